// Thread dumps of a running service's program and the watchdog of a hung one, with the
// stand-in VM answering (or not) the calls the host makes from its own thread while the
// program's main thread is blocked (reading its control pipe, so that a stop ends it).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "config/ConfigKeys.h"
#include "support/WinHandles.h"
#include "win/RuntimeLayout.h"
#include "win/ServiceHarness.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

constexpr const char* DumpHeading = "Thread dump of the stand-in VM";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The path /dump printed after "written to ", without the closing full stop.
std::string printedPath(const std::string& out) {
    const std::string marker = "written to ";
    const auto start = out.find(marker);
    if (start == std::string::npos) return {};
    std::string path = out.substr(start + marker.size());
    path = path.substr(0, path.find_first_of("\r\n"));
    if (!path.empty() && path.back() == '.') path.pop_back();
    return path;
}

bool waitForRuns(const RuntimeLayout& layout, std::size_t runs) {
    const ULONGLONG end = GetTickCount64() + 15000;
    while (layout.record().all("param count").size() < runs && GetTickCount64() < end) Sleep(100);
    return layout.record().all("param count").size() >= runs;
}

std::map<ConfigKey, std::string> keysWith(const std::string& name,
                                          std::map<ConfigKey, std::string> extra) {
    auto keys = serviceKeys(name);
    for (auto& [key, value] : extra) keys[key] = value;
    return keys;
}

}  // namespace

TEST(ThreadDump, DumpCommandSaysWhereTheDumpWent) {
    struct Row {
        const char* name;
        bool redirectError;
    } rows[] = {
        {"redirected error output receives the dump", true},
        {"output nobody keeps: a file in the temporary directory", false},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoDump");
        ScratchDir logs("dump_logs");
        const std::string errorFile = logs.file("err.log");
        std::map<ConfigKey, std::string> extra;
        if (row.redirectError) extra = {{Key::PassStdErrFile, "1"}, {Key::StdErrFile, errorFile}};
        RuntimeLayout layout("dump", keysWith(name, extra), "wait-stdin");
        InstalledService service(layout, name);
        ASSERT_TRUE(service.start()) << row.name;

        const RunResult dump = launcherCommand(layout, "/dump");
        EXPECT_EQ(dump.exitCode, 0u) << row.name << ": " << dump.out;
        const std::string where = printedPath(dump.out);
        if (row.redirectError) {
            EXPECT_EQ(where, errorFile) << row.name << ": " << dump.out;
        } else {
            EXPECT_TRUE(contains(where, name + "-threads.txt")) << row.name << ": " << dump.out;
        }
        EXPECT_TRUE(contains(readFile(where).value_or(""), DumpHeading)) << row.name;
        if (!row.redirectError) DeleteFileA(where.c_str());
    }
}

TEST(ThreadDump, DumpOfAServiceThatIsNotRunningIsRefused) {
    const std::string name = uniqueName("KarvoNoDump");
    RuntimeLayout layout("no_dump", serviceKeys(name), "sleep:60000");
    const RunResult dump = launcherCommand(layout, "/dump");
    EXPECT_EQ(dump.exitCode, 1u);
    EXPECT_TRUE(contains(dump.out, "Could not take a thread dump of service '" + name +
                                       "': its program is not running"))
        << dump.out;
}

TEST(ThreadDump, ForcedStopLeavesADump) {
    const std::string name = uniqueName("KarvoStopDump");
    ScratchDir logs("stop_dump_logs");
    RuntimeLayout layout("stop_dump",
                         keysWith(name, {{Key::StopTimeout, "1"},
                                         {Key::PassStdErrFile, "1"},
                                         {Key::StdErrFile, logs.file("err.log")}}),
                         "sleep:60000");
    InstalledService service(layout, name);
    ASSERT_TRUE(service.start());
    EXPECT_EQ(launcherCommand(layout, "/stop").exitCode, 0u);
    ASSERT_TRUE(waitForServiceState(name, SERVICE_STOPPED, 30000));
    EXPECT_EQ(queryService(name)->dwServiceSpecificExitCode, 5004u);
    EXPECT_TRUE(contains(readFile(logs.file("err.log")).value_or(""), DumpHeading));
}

TEST(Watchdog, HungProgramIsDumpedAndEnded) {
    struct Row {
        const char* name;
        std::string script;
        bool ended;
        bool dumped;
    } rows[] = {
        {"deadlocked threads: dumped, ended with 5006", "deadlocked:2|wait-stdin", true, true},
        {"a VM that stops answering: ended with 5006, the dump could not be had",
         "hang-calls|wait-stdin", true, false},
        {"a VM that answers keeps running", "wait-stdin", false, false},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoWatchdog");
        ScratchDir logs("watchdog_logs");
        RuntimeLayout layout("watchdog",
                             keysWith(name, {{Key::WatchdogInterval, "1"},
                                             {Key::WatchdogTimeout, "2"},
                                             {Key::Restart, "on-failure"},
                                             {Key::RestartDelay, "200"},
                                             {Key::PassStdErrFile, "1"},
                                             {Key::StdErrFile, logs.file("err.log")}}),
                             row.script);
        InstalledService service(layout, name);
        ASSERT_TRUE(service.start()) << row.name;
        UniqueHandle host(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, childPid(layout)));
        ASSERT_TRUE(host) << row.name;

        const DWORD waited = WaitForSingleObject(host.get(), row.ended ? 20000 : 5000);
        EXPECT_EQ(waited == WAIT_OBJECT_0, row.ended) << row.name;
        DWORD exitCode = 0;
        GetExitCodeProcess(host.get(), &exitCode);
        if (row.ended) {
            EXPECT_EQ(exitCode, 5006u) << row.name;
            // The restart policy decides what follows: on-failure starts the program again.
            EXPECT_TRUE(waitForRuns(layout, 2)) << row.name;
        } else {
            const auto calls = layout.record().all("call");
            EXPECT_GE(std::count(calls.begin(), calls.end(),
                                 "com/karvo/runtime/ThreadDump.deadlockedThreadCount"),
                      3)
                << row.name;
        }
        EXPECT_EQ(contains(readFile(logs.file("err.log")).value_or(""), DumpHeading), row.dumped)
            << row.name;
        const auto pids = layout.record().all("pid");
        if (!pids.empty()) service.watch(static_cast<DWORD>(std::stoul(pids.back())));
    }
}
