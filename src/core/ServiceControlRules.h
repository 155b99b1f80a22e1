// The decisions of the service-control commands that need no Service Control Manager:
// the dependency list's layout, the patience of the stop and start waits, and the lines
// that tell a person what went wrong.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ServiceState.h"

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
    std::uint32_t win32ExitCode = 0;
    std::uint32_t specificExitCode = 0;
};

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

// How long a started service must stay running before the start counts as done: a program
// that cannot find its runtime or its main class ends well within it.
inline constexpr std::uint32_t StartSettleMs = 3000;
// How long a service may take to report running at all.
inline constexpr std::uint32_t StartLimitMs = 30000;
inline constexpr std::uint32_t StartPollIntervalMs = 250;

// Polls until the service has been running for settleMs without a break, has stopped, or
// has not reached running within limitMs. The last status seen; nothing when a query failed.
std::optional<StopProgress> waitForStartSettled(const StopWaitHooks& hooks, std::uint32_t settleMs,
                                                std::uint32_t limitMs);

// The system's error codes the commands name in words of their own.
inline constexpr std::uint32_t ErrorAccessDenied = 5;
inline constexpr std::uint32_t ErrorServiceDoesNotExist = 1060;

// "<the system's text> (error N)", or "error N" when the system has no text for it.
std::string errorWithSystemText(std::uint32_t error, std::string_view systemText);

// The one line a failed command prints: "not installed" and "not elevated" in words that
// say what to do, anything else as the system's own text beside its code. `action` is the
// verb ("start", "stop", ...).
std::string controlFailureLine(std::string_view action, std::string_view serviceName,
                               std::uint32_t error, std::string_view systemText);

// What a stopped service's exit codes mean: the service process's own codes, the exit code
// of the program, or the system's text for its code.
std::string serviceExitMeaning(std::uint32_t win32ExitCode, std::uint32_t specificExitCode,
                               std::string_view systemText);

// The line for a service that stopped during its start: what its codes mean, where its
// output went (the files, or nothing when it is discarded) and the diagnostic log, if on.
std::string startFailureLine(std::string_view serviceName, std::string_view meaning,
                             const std::vector<std::string>& outputFiles, std::string_view logFile);

}  // namespace karvo
