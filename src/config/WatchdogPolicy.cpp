#include "config/WatchdogPolicy.h"

#include <algorithm>

#include "config/SettingBounds.h"

namespace karvo {
namespace {

// Seconds as milliseconds, read and bounded as the packer reads them; nothing for a text that
// is not a whole number from 0 to MaxWatchdogSeconds.
bool readSeconds(const std::string& text, std::uint32_t& milliseconds) {
    const auto seconds = decimalInteger(text);
    if (!seconds || *seconds < 0 || *seconds > MaxWatchdogSeconds) return false;
    milliseconds = static_cast<std::uint32_t>(*seconds) * 1000;
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
        problem = "watchdog_interval '" + interval + "' is not a number of seconds from 0 to " +
                  std::to_string(MaxWatchdogSeconds) + ", the watchdog is off";
        return settings;
    }
    if (!timeout.empty() && (!readSeconds(timeout, timeoutMs) || timeoutMs == 0)) {
        problem = "watchdog_timeout '" + timeout + "' is not a number of seconds from 1 to " +
                  std::to_string(MaxWatchdogSeconds) + ", the watchdog is off";
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
