#include "config/WatchdogPolicy.h"

#include <algorithm>

namespace karvo {
namespace {

// Seconds as milliseconds; nothing for a text that is not a plain whole number in range.
bool readSeconds(const std::string& text, std::uint32_t& milliseconds) {
    constexpr std::uint32_t MaxSeconds = 4000000;  // about 46 days: ms still fit 32 bits
    if (text.empty() || text.size() > 7 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const std::uint32_t seconds = static_cast<std::uint32_t>(std::stoul(text));
    if (seconds > MaxSeconds) return false;
    milliseconds = seconds * 1000;
    return true;
}

}  // namespace

WatchdogSettings readWatchdogSettings(const std::string& interval, const std::string& timeout,
                                      std::string& problem) {
    problem.clear();
    WatchdogSettings settings;
    std::uint32_t intervalMs = 0;
    std::uint32_t timeoutMs = DefaultWatchdogTimeoutSeconds * 1000;
    if (!interval.empty() && !readSeconds(interval, intervalMs)) {
        problem = "watchdog_interval '" + interval +
                  "' is not a number of seconds from 0 to 4000000, the watchdog is off";
        return settings;
    }
    if (!timeout.empty() && (!readSeconds(timeout, timeoutMs) || timeoutMs == 0)) {
        problem = "watchdog_timeout '" + timeout +
                  "' is not a number of seconds from 1 to 4000000, the watchdog is off";
        return settings;
    }
    if (intervalMs == 0) {
        if (!timeout.empty())
            problem = "watchdog_timeout is set without watchdog_interval, the watchdog is off";
        return settings;
    }
    settings.intervalMs = intervalMs;
    settings.timeoutMs = timeoutMs;
    return settings;
}

WatchdogVerdict judgeWatchdogCheck(const WatchdogSettings& settings, bool answered,
                                   std::uint64_t tookMs, int deadlockedThreads) {
    if (!answered || tookMs > settings.timeoutMs) return WatchdogVerdict::Unanswered;
    if (deadlockedThreads > 0) return WatchdogVerdict::Deadlocked;
    if (tookMs * 2 > settings.timeoutMs) return WatchdogVerdict::Slow;
    return WatchdogVerdict::Fine;
}

}  // namespace karvo
