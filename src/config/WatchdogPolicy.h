// The watchdog of a hung program: how often the Java host asks the VM for a sign of life,
// how long it waits for the answer, and what each answer means. The host only times the
// calls and acts on the verdicts decided here.
#pragma once
#include <cstdint>
#include <string>

namespace karvo {

// The exit code of a host that the watchdog ended: the restart policy sees it like any
// other failure of the program.
inline constexpr std::uint32_t WatchdogExitCode = 5006;

struct WatchdogSettings {
    std::uint32_t intervalMs = 0;  // 0: no watchdog
    std::uint32_t timeoutMs = 0;
    bool enabled() const { return intervalMs > 0; }
};

// The default time-out when only the interval is set.
inline constexpr std::uint32_t DefaultWatchdogTimeoutSeconds = 10;

// The stored texts of watchdog_interval and watchdog_timeout (seconds). A value that is not
// a whole number from 0 up, or a time-out without an interval, is described in `problem`
// (for the log); the watchdog then stays off.
WatchdogSettings readWatchdogSettings(const std::string& interval, const std::string& timeout,
                                      std::string& problem);

enum class WatchdogVerdict {
    Fine,        // answered in time, no deadlock
    Slow,        // answered, but took more than half the time-out: worth a log line
    Unanswered,  // no answer within the time-out
    Deadlocked,  // answered, naming deadlocked threads
};

// One check: whether the VM answered at all, how long it took, and how many threads it
// found deadlocked (below 0 when the runtime cannot tell).
WatchdogVerdict judgeWatchdogCheck(const WatchdogSettings& settings, bool answered,
                                   std::uint64_t tookMs, int deadlockedThreads);

}  // namespace karvo
