// The restart policy: which ends of the program lead to a restart, after which delay, and
// when the service gives up.
#include <gtest/gtest.h>

#include <vector>

#include "config/RestartPolicy.h"
#include "core/ServiceState.h"
#include "support/OutputTail.h"

using namespace karvo;

namespace {

struct End {
    std::uint32_t exitCode;
    bool stopRequested;
    std::uint64_t ranForMs;
};

struct Outcome {
    RestartAction action;
    std::uint32_t delayMs;
};

constexpr auto Finish = RestartAction::Finish;
constexpr auto Restart = RestartAction::Restart;
constexpr auto GiveUp = RestartAction::GiveUp;

RestartSettings settings(RestartMode mode, std::uint32_t limit = 0) {
    RestartSettings s;
    s.mode = mode;
    s.firstDelayMs = 1000;
    s.maxDelayMs = 5000;
    s.resetAfterMs = 60000;
    s.limit = limit;
    return s;
}

}  // namespace

TEST(RestartPolicy, Decisions) {
    constexpr std::uint64_t Quick = 100, Long = 60000;
    struct Row {
        const char* name;
        RestartSettings settings;
        std::vector<std::pair<End, Outcome>> ends;
    } rows[] = {
        {"never: a failure ends the service as before", settings(RestartMode::Never),
         {{{3, false, Quick}, {Finish, 0}}}},
        {"on-failure: exit 0 is not restarted", settings(RestartMode::OnFailure),
         {{{0, false, Quick}, {Finish, 0}}}},
        {"on-failure: a stop request is never followed by a restart",
         settings(RestartMode::OnFailure), {{{3, true, Quick}, {Finish, 0}}}},
        {"always: exit 0 is restarted too", settings(RestartMode::Always),
         {{{0, false, Quick}, {Restart, 1000}}}},
        {"quick failures double the delay up to the cap", settings(RestartMode::OnFailure),
         {{{3, false, Quick}, {Restart, 1000}},
          {{3, false, Quick}, {Restart, 2000}},
          {{3, false, Quick}, {Restart, 4000}},
          {{3, false, Quick}, {Restart, 5000}},
          {{3, false, Quick}, {Restart, 5000}}}},
        {"a long run brings back the first delay", settings(RestartMode::OnFailure),
         {{{3, false, Quick}, {Restart, 1000}},
          {{3, false, Quick}, {Restart, 2000}},
          {{3, false, Long}, {Restart, 1000}},
          {{3, false, Quick}, {Restart, 2000}}}},
        {"limit 2: the third quick failure gives up", settings(RestartMode::OnFailure, 2),
         {{{3, false, Quick}, {Restart, 1000}},
          {{3, false, Quick}, {Restart, 2000}},
          {{3, false, Quick}, {GiveUp, 0}}}},
        {"limit counts only since the last long run", settings(RestartMode::Always, 1),
         {{{0, false, Quick}, {Restart, 1000}},
          {{0, false, Long}, {Restart, 1000}},
          {{0, false, Quick}, {GiveUp, 0}}}},
        {"limit 0 is unlimited", settings(RestartMode::OnFailure, 0),
         std::vector<std::pair<End, Outcome>>(50, {{3, false, Quick}, {Restart, 0}})},
    };
    for (const auto& row : rows) {
        RestartPlanner planner(row.settings);
        int step = 0;
        for (const auto& [end, expected] : row.ends) {
            const RestartDecision got = planner.childEnded(end.exitCode, end.stopRequested,
                                                           end.ranForMs);
            EXPECT_EQ(got.action, expected.action) << row.name << ", end " << step;
            // The unlimited row only checks that it never gives up.
            if (expected.delayMs != 0 || expected.action != Restart) {
                EXPECT_EQ(got.delayMs, expected.delayMs) << row.name << ", end " << step;
            }
            ++step;
        }
    }
}

TEST(RestartPolicy, SettingsFromStoredTexts) {
    struct Row {
        const char* name;
        RestartTexts texts;
        RestartMode mode;
        std::uint32_t first, max, resetAfter, limit;
        bool problem;
    } rows[] = {
        {"nothing stored: today's behaviour and the defaults",
         {},
         RestartMode::Never,
         1000,
         60000,
         60000,
         0,
         false},
        {"all given",
         {"on-failure", "250", "4000", "10000", "3"},
         RestartMode::OnFailure,
         250,
         4000,
         10000,
         3,
         false},
        {"always", {"always", "", "", "", ""}, RestartMode::Always, 1000, 60000, 60000, 0, false},
        {"unknown mode: never, and said so",
         {"sometimes", "", "", "", ""},
         RestartMode::Never,
         1000,
         60000,
         60000,
         0,
         true},
        {"mode is case-sensitive",
         {"Always", "", "", "", ""},
         RestartMode::Never,
         1000,
         60000,
         60000,
         0,
         true},
        {"negative delay: the default, and said so",
         {"always", "-5", "", "", ""},
         RestartMode::Always,
         1000,
         60000,
         60000,
         0,
         true},
        {"cap below the first delay is raised to it",
         {"always", "9000", "10", "", ""},
         RestartMode::Always,
         9000,
         9000,
         60000,
         0,
         false},
        {"zero delay: the floor, so that a failing program is not started in a tight loop",
         {"always", "0", "0", "", ""},
         RestartMode::Always,
         100,
         100,
         60000,
         0,
         true},
        {"limit with a reset time of 0: the default reset time, so the limit counts",
         {"always", "", "", "0", "3"},
         RestartMode::Always,
         1000,
         60000,
         60000,
         3,
         true},
        {"reset time of 0 without a limit is kept",
         {"always", "", "", "0", ""},
         RestartMode::Always,
         1000,
         60000,
         0,
         0,
         false},
    };
    for (const auto& row : rows) {
        std::string problem;
        const RestartSettings got = readRestartSettings(row.texts, problem);
        EXPECT_EQ(got.mode, row.mode) << row.name;
        EXPECT_EQ(got.firstDelayMs, row.first) << row.name;
        EXPECT_EQ(got.maxDelayMs, row.max) << row.name;
        EXPECT_EQ(got.resetAfterMs, row.resetAfter) << row.name;
        EXPECT_EQ(got.limit, row.limit) << row.name;
        EXPECT_EQ(!problem.empty(), row.problem) << row.name << ": " << problem;
    }
}

TEST(RestartPolicy, DelayNearTheTopOfTheRangeDoesNotWrap) {
    RestartSettings s = settings(RestartMode::Always);
    s.firstDelayMs = 0x90000000u;
    s.maxDelayMs = 0xF0000000u;
    RestartPlanner planner(s);
    EXPECT_EQ(planner.childEnded(0, false, 0).delayMs, 0x90000000u);
    EXPECT_EQ(planner.childEnded(0, false, 0).delayMs, 0xF0000000u);
}

TEST(StopWaitHint, CoversTheStopTimeout) {
    struct Row {
        const char* name;
        std::uint32_t seconds;
        std::uint32_t hint;
    } rows[] = {
        {"no time-out: the usual hint", 0, 50000},
        {"short time-out: the usual hint already covers it", 30, 50000},
        {"long time-out: time-out plus margin", 120, 130000},
        {"huge time-out: the largest hint, not a wrapped small one", 0xFFFFFFFFu, 0xFFFFFFFFu},
    };
    for (const auto& row : rows) EXPECT_EQ(stopWaitHintFor(row.seconds), row.hint) << row.name;
}

TEST(OutputTail, KeepsTheLastLines) {
    struct Row {
        const char* name;
        std::size_t capacity;
        std::vector<std::string> writes;
        std::vector<std::string> lines;
    } rows[] = {
        {"nothing written", 16, {}, {}},
        {"lines across writes, CR removed, trailing empty lines dropped", 64,
         {"Exception in thr", "ead main\r\n\tat Main.main\r\n\r\n"},
         {"Exception in thread main", "\tat Main.main"}},
        {"older output dropped: the cut line at the front goes too", 10,
         {"first line\nsecond\nlast\n"}, {"last"}},
        {"one write longer than the capacity", 8, {std::string(100, 'x') + "\nabc\n"}, {"abc"}},
        {"one long line cut at the front is kept as far as it goes", 4, {"abcdefgh"}, {"efgh"}},
        {"a last line without line feed is kept", 64, {"a\nno end"}, {"a", "no end"}},
        {"NUL bytes shown as question marks", 64, {std::string("a\0b\n", 4)}, {"a?b"}},
        {"many small writes keep only the capacity", 6,
         std::vector<std::string>(1000, "ab\n"), {"ab", "ab"}},
    };
    for (const auto& row : rows) {
        OutputTail tail(row.capacity);
        for (const auto& write : row.writes) tail.append(write.data(), write.size());
        EXPECT_EQ(tail.lines(), row.lines) << row.name;
    }
}
