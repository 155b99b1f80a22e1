// The watchdog's settings and what each answer of the VM means.
#include <gtest/gtest.h>

#include "config/WatchdogPolicy.h"

using namespace karvo;

TEST(WatchdogPolicy, SettingsAreReadOrRefusedWhole) {
    struct Row {
        const char* name;
        std::string interval, timeout;
        std::uint32_t intervalMs, timeoutMs;
        const char* problemPart;  // "" when there must be no problem
    } rows[] = {
        {"nothing set: off, silently", "", "", 0, 0, ""},
        {"interval 0: off, silently", "0", "", 0, 0, ""},
        {"interval alone takes the default time-out", "30", "", 30000, 10000, ""},
        {"both set", "5", "2", 5000, 2000, ""},
        {"a time-out without an interval is pointed out", "", "5", 0, 0,
         "without watchdog_interval"},
        {"a negative interval turns it off", "-5", "2", 0, 0, "watchdog_interval '-5'"},
        {"a time-out of 0 would fire at once", "5", "0", 0, 0, "watchdog_timeout '0'"},
        {"a unit in the text is refused", "5s", "", 0, 0, "watchdog_interval '5s'"},
        {"more seconds than fit in milliseconds", "5", "4294968", 0, 0, "watchdog_timeout"},
        {"the packer's largest value", "4000000", "4000000", 4000000000u, 4000000000u, ""},
        {"one more than the packer takes", "4000001", "", 0, 0, "from 0 to 4000000"},
        {"a plus sign as the packer stores it", "+5", "", 5000, 10000, ""},
    };
    for (const auto& row : rows) {
        std::string problem = "stale";
        const WatchdogSettings settings = readWatchdogSettings(row.interval, row.timeout, problem);
        EXPECT_EQ(settings.intervalMs, row.intervalMs) << row.name;
        EXPECT_EQ(settings.timeoutMs, row.timeoutMs) << row.name;
        if (*row.problemPart == '\0') {
            EXPECT_EQ(problem, "") << row.name;
        } else {
            EXPECT_NE(problem.find(row.problemPart), std::string::npos)
                << row.name << ": " << problem;
        }
    }
}

TEST(WatchdogPolicy, EachAnswerHasItsVerdict) {
    const WatchdogSettings settings{10000, 4000};
    struct Row {
        const char* name;
        bool answered;
        std::uint64_t tookMs;
        int deadlocked;
        WatchdogVerdict verdict;
    } rows[] = {
        {"a quick answer without deadlock", true, 10, 0, WatchdogVerdict::Fine},
        {"exactly half the time-out is not yet slow", true, 2000, 0, WatchdogVerdict::Fine},
        {"more than half the time-out is slow", true, 2001, 0, WatchdogVerdict::Slow},
        {"an answer after the time-out counts as none", true, 4001, 0, WatchdogVerdict::Unanswered},
        {"no answer", false, 4000, 0, WatchdogVerdict::Unanswered},
        {"deadlocked threads", true, 10, 2, WatchdogVerdict::Deadlocked},
        {"a slow answer naming a deadlock is a deadlock", true, 3000, 2,
         WatchdogVerdict::Deadlocked},
        {"a runtime that cannot tell is alive", true, 10, -1, WatchdogVerdict::Fine},
    };
    for (const auto& row : rows)
        EXPECT_EQ(judgeWatchdogCheck(settings, row.answered, row.tookMs, row.deadlocked),
                  row.verdict)
            << row.name;
}
