// The decisions of the service-control commands that need no Service Control Manager:
// the dependency list's layout and the patience of the stop wait.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace karvo {

// The names of a comma-separated list (empty pieces skipped, blanks kept), each followed
// by a NUL, with one more NUL after the last: the layout CreateService expects. Nothing
// when the list names no service.
std::optional<std::string> makeDependencyList(std::string_view commaSeparatedNames);

// What a status query reports that the stop wait looks at.
struct StopProgress {
    std::uint32_t state = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;  // milliseconds
};

inline constexpr std::uint32_t ServiceStateStopped = 1;
inline constexpr std::uint32_t ServiceStateStopPending = 3;
inline constexpr std::uint32_t ServiceStateRunning = 4;
inline constexpr std::uint32_t StopPollIntervalMs = 500;

struct StopWaitHooks {
    std::function<std::optional<StopProgress>()> queryStatus;  // nothing when the query fails
    std::function<void(std::uint32_t milliseconds)> sleep;
    std::function<std::uint32_t()> tickCount;  // milliseconds, wraps around
};

// Polls while the service reports stop pending. Progress of the check point restarts the
// interval; an interval longer than the reported wait hint ends the wait. True when the
// service reached the stopped state.
bool waitForStopState(const StopWaitHooks& hooks);

}  // namespace karvo
