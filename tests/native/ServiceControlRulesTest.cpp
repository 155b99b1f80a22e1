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
    return {ServiceCode::StopPending, checkPoint, hint};
}
const StopProgress Stopped{ServiceCode::Stopped, 0, 0};
const StopProgress Running{ServiceCode::Running, 0, 0};

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

TEST(ServiceControlRules, StartWait) {
    const StopProgress StartPending{ServiceCode::StartPending, 0, 0};
    const StopProgress Failed{ServiceCode::Stopped, 0, 0, 1066, 3};
    struct Row {
        const char* name;
        std::vector<std::optional<StopProgress>> script;
        std::optional<std::uint32_t> endState;  // nothing: the query failed
        int sleeps;
    } rows[] = {
        // 1000 ms of settling at 250 ms a poll: four polls after the first.
        {"running throughout settles", {Running}, ServiceCode::Running, 4},
        {"dies during the settling", {Running, Running, Failed}, ServiceCode::Stopped, 2},
        {"stopped at once", {Failed}, ServiceCode::Stopped, 0},
        {"start pending, then running settles",
         {StartPending, StartPending, Running},
         ServiceCode::Running,
         6},
        {"never reaches running gives up at the limit",
         {StartPending},
         ServiceCode::StartPending,
         8},
        {"a stop under way restarts the settling",
         {Running, Running, pending(0), Running},
         ServiceCode::Running,
         7},
        {"query fails", {Running, std::nullopt}, std::nullopt, 1},
    };
    for (const auto& row : rows) {
        ScriptedService service{row.script};
        const auto status = waitForStartSettled(service.hooks(), 1000, 2000);
        ASSERT_EQ(status.has_value(), row.endState.has_value()) << row.name;
        if (status) {
            EXPECT_EQ(status->state, *row.endState) << row.name;
        }
        EXPECT_EQ(service.sleeps, row.sleeps) << row.name;
    }
}

TEST(ServiceControlRules, FailureLines) {
    struct Row {
        const char* name;
        std::uint32_t error;
        const char* systemText;
        const char* line;
    } rows[] = {
        {"not installed says so in words", 1060, "The specified service does not exist.\r\n",
         "Service 'Acme' is not installed."},
        {"access denied says what to do", 5, "Access is denied.\r\n",
         "Access is denied: run this from an elevated prompt."},
        {"anything else: the system's text beside the code", 1058,
         "The service cannot be started.\r\n",
         "Could not start service 'Acme': The service cannot be started (error 1058)."},
        {"no system text: the code alone", 77777, "",
         "Could not start service 'Acme': error 77777."},
    };
    for (const auto& row : rows)
        EXPECT_EQ(controlFailureLine("start", "Acme", row.error, row.systemText), row.line)
            << row.name;
}

TEST(ServiceControlRules, ExitMeanings) {
    struct Row {
        const char* name;
        std::uint32_t win32;
        std::uint32_t specific;
        const char* systemText;
        const char* meaning;
    } rows[] = {
        {"program's own exit code", 1066, 3, "", "the program ended with exit code 3"},
        {"program's negative exit code reads signed", 1066, 0xFFFFFFFFu, "",
         "the program ended with exit code -1"},
        {"the service process's own code", 1066, 5005, "",
         "exit code 5005: the program failed too often and is not restarted again"},
        {"a system code with its text", 1067, 0, "The process terminated unexpectedly.\r\n",
         "exit code 1067: The process terminated unexpectedly"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(serviceExitMeaning(row.win32, row.specific, row.systemText), row.meaning)
            << row.name;
}
