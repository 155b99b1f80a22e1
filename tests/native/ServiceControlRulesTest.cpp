// The service-control decisions that need no Service Control Manager: the dependency
// list's layout and how long a stop is waited for.
#include <gtest/gtest.h>

#include <vector>

#include "core/ServiceControlRules.h"

using namespace karvo;
using namespace std::string_literals;

TEST(ServiceControlRules, DependencyListLayout) {
    struct Row {
        const char* name;
        std::string_view names;
        std::optional<std::string> expected;
    } rows[] = {
        {"empty key", "", std::nullopt},
        {"only commas", ",,,", std::nullopt},
        {"one name", "Tcpip", "Tcpip\0\0"s},
        {"two names", "Tcpip,Dnscache", "Tcpip\0Dnscache\0\0"s},
        {"leading, doubled and trailing commas skipped", ",a,,b,", "a\0b\0\0"s},
        {"blanks kept", " a , b", " a \0 b\0\0"s},
    };
    for (const auto& row : rows) EXPECT_EQ(makeDependencyList(row.names), row.expected) << row.name;
}

TEST(ServiceControlRules, LongestDependencyKeyFitsWhole) {
    const std::string name(8191, 'n');
    const auto list = makeDependencyList(name);
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(*list, name + "\0\0"s);
}

namespace {

// A service that reports a scripted sequence of states (the last one repeats) while time
// passes only through the waits.
struct ScriptedService {
    std::vector<std::optional<StopProgress>> script;
    std::size_t next = 0;
    std::uint32_t now = 0;
    int sleeps = 0;

    StopWaitHooks hooks() {
        StopWaitHooks h;
        h.queryStatus = [this] {
            const auto status = script[std::min(next, script.size() - 1)];
            ++next;
            return status;
        };
        h.sleep = [this](std::uint32_t ms) {
            now += ms;
            ++sleeps;
        };
        h.tickCount = [this] { return now; };
        return h;
    }
};

StopProgress pending(std::uint32_t checkPoint, std::uint32_t hint = 2000) {
    return {ServiceStateStopPending, checkPoint, hint};
}
const StopProgress Stopped{ServiceStateStopped, 0, 0};
const StopProgress Running{ServiceStateRunning, 0, 0};

}  // namespace

TEST(ServiceControlRules, StopWait) {
    std::vector<std::optional<StopProgress>> progressing;
    for (std::uint32_t i = 0; i < 20; ++i) progressing.push_back(pending(i));
    progressing.push_back(Stopped);

    struct Row {
        const char* name;
        std::vector<std::optional<StopProgress>> script;
        std::uint32_t startTick;
        bool stopped;
        int sleeps;
    } rows[] = {
        {"already stopped", {Stopped}, 0, true, 0},
        {"stops after two polls", {pending(0), pending(0), Stopped}, 0, true, 2},
        // 2000 ms hint: the wait ends on the first poll more than 2000 ms in.
        {"no progress gives up after the hint", {pending(0)}, 0, false, 5},
        {"progress restarts the interval", progressing, 0, true, 20},
        {"first query fails", {std::nullopt}, 0, false, 0},
        {"query fails while pending", {pending(0), std::nullopt}, 0, false, 1},
        {"back to running is not stopped", {pending(0), Running}, 0, false, 1},
        {"tick counter wraps around", {pending(0)}, 0xFFFFFF00u, false, 5},
        {"zero hint gives up on the first poll", {pending(0, 0)}, 0, false, 1},
    };
    for (const auto& row : rows) {
        ScriptedService service{row.script};
        service.now = row.startTick;
        EXPECT_EQ(waitForStopState(service.hooks()), row.stopped) << row.name;
        EXPECT_EQ(service.sleeps, row.sleeps) << row.name;
    }
}
