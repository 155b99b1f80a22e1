// Which ended hosts' temporary directories the clean-up may remove.
#include <gtest/gtest.h>

#include "config/HostTempDirRules.h"

using namespace karvo;

TEST(HostTempDirRules, OnlyThisAccountsDirectoriesOfEndedHostsGo) {
    using P = PlaceholderState;
    using K = HostDirKind;
    using V = HostDirVerdict;
    struct Row {
        const char* name;
        PlaceholderState placeholder;
        HostDirKind kind;
        bool ours;
        HostDirVerdict expected;
    } rows[] = {
        {"host ended, its placeholder gone", P::Gone, K::Directory, true, V::Remove},
        {"placeholder left before the system started", P::LeftBeforeSystemStart, K::Directory, true,
         V::Remove},
        {"placeholder held: the host runs", P::Held, K::Directory, true, V::HostRuns},
        {"placeholder left unheld since the start: an earlier template's host may run",
         P::LeftSinceSystemStart, K::Directory, true, V::HostMayRun},
        {"a link in the directory's place is left alone", P::Gone, K::Link, true, V::Link},
        {"another account's link is left alone", P::Gone, K::Link, false, V::Link},
        {"another account's directory is left alone", P::Gone, K::Directory, false, V::NotOurs},
        {"a file of that name is no host's", P::Gone, K::NotADirectory, true, V::NotADirectory},
    };
    for (const auto& row : rows)
        EXPECT_EQ(judgeHostTempDir(row.placeholder, row.kind, row.ours), row.expected) << row.name;
}

TEST(HostTempDirRules, OlderThanTheSystemStartWithSlack) {
    constexpr std::uint64_t Second = 10000000;  // file time units
    constexpr std::uint64_t Now = 133000000000000000;
    constexpr std::uint64_t Uptime = 2 * 3600 * 1000;  // two hours, in ms
    const std::uint64_t start = Now - 2 * 3600 * Second;
    struct Row {
        const char* name;
        std::uint64_t fileTime;
        std::uint64_t now;
        std::uint64_t sinceStartMs;
        bool expected;
    } rows[] = {
        {"written a day before the start", start - 24 * 3600 * Second, Now, Uptime, true},
        {"written just before the start: within the slack", start - 60 * Second, Now, Uptime,
         false},
        {"written since the start", start + 60 * Second, Now, Uptime, false},
        {"a clock set before any start bounds nothing", 0, 1000, Uptime, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(writtenBeforeSystemStart(row.fileTime, row.now, row.sinceStartMs), row.expected)
            << row.name;
}
