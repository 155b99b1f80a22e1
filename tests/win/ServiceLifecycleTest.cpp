// A service over its life under the real Service Control Manager with the stand-in JVM:
// the stop time-out, the restart policy, the hosts' temporary directories and the event
// log source. Wine's manager keeps a service "running" after its process died without a
// stopped report, so every expectation here rests on what the service process reports.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "config/ConfigKeys.h"
#include "core/EventLogSource.h"
#include "support/WinHandles.h"
#include "win/RuntimeLayout.h"
#include "win/ServiceHarness.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

constexpr DWORD StateTimeoutMs = 30000;

std::map<ConfigKey, std::string> keysWith(const std::string& name,
                                          std::map<ConfigKey, std::string> extra) {
    auto keys = serviceKeys(name);
    for (auto& [key, value] : extra) keys[key] = value;
    return keys;
}

bool sendStop(const std::string& name) {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService service(manager ? OpenServiceA(manager.get(), name.c_str(), SERVICE_STOP)
                                  : nullptr);
    SERVICE_STATUS status{};
    return service && ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
}

std::size_t runs(const RuntimeLayout& layout) { return layout.record().all("param count").size(); }

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The host's extraction directory as the Java side was told it, one per run.
std::vector<std::string> hostTempDirs(const RuntimeLayout& layout) {
    const std::string prefix = "-Dkarvo.tempDir=";
    std::vector<std::string> dirs;
    for (const auto& option : layout.record().all("option"))
        if (option.rfind(prefix, 0) == 0) dirs.push_back(option.substr(prefix.size()));
    return dirs;
}

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A directory and the placeholder beside it ("...tmp_dir" and "...tmp").
bool leftBehind(const std::string& dir) {
    return exists(dir) || exists(dir.substr(0, dir.size() - 4));
}

}  // namespace

TEST(ServiceStopTimeout, ProgramEndsOrIsTerminated) {
    struct Row {
        const char* name;
        std::string script;
        std::string stopTimeout;
        DWORD waitHint;
        DWORD specificExitCode;
        bool mainReturned;
    } rows[] = {
        {"ignores the shutdown code: terminated after the time-out", "sleep:60000", "1", 50000,
         5004, false},
        {"ends in time under a long time-out: never terminated, and the hint covers it",
         "sleep:3000", "100", 110000, 0, true},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoStopTimeout");
        RuntimeLayout layout("stop_timeout", keysWith(name, {{Key::StopTimeout, row.stopTimeout}}),
                             row.script);
        InstalledService service(layout, name);
        ASSERT_TRUE(service.start()) << row.name;
        const auto running = queryService(name);
        ASSERT_TRUE(running) << row.name;

        ASSERT_TRUE(sendStop(name)) << row.name;
        const auto pending = queryService(name);
        ASSERT_TRUE(pending) << row.name;
        EXPECT_EQ(pending->dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING)) << row.name;
        EXPECT_EQ(pending->dwWaitHint, row.waitHint) << row.name;

        ASSERT_TRUE(waitForServiceState(name, SERVICE_STOPPED, StateTimeoutMs)) << row.name;
        const auto stopped = queryService(name);
        ASSERT_TRUE(stopped) << row.name;
        EXPECT_EQ(stopped->dwWin32ExitCode,
                  row.specificExitCode ? static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR) : 0u)
            << row.name;
        EXPECT_EQ(stopped->dwServiceSpecificExitCode, row.specificExitCode) << row.name;
        EXPECT_TRUE(waitProcessGone(running->dwProcessId, 10000)) << row.name;
        EXPECT_EQ(layout.record().has("main", "returned"), row.mainReturned) << row.name;
    }
}

TEST(ServiceRestart, PolicyDecidesWhatFollowsTheProgramsEnd) {
    struct Row {
        const char* name;
        std::string restart;
        std::string script;
        DWORD specificExitCode;
        std::size_t runs;
    } rows[] = {
        {"on-failure restarts a program that exits with 3 until the limit", "on-failure",
         "exit:3", 5005, 3},
        {"always restarts a program that exits with 0 until the limit", "always", "exit:0", 5005,
         3},
        {"on-failure leaves a program that exits with 0 stopped", "on-failure", "exit:0", 0, 1},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoRestart");
        RuntimeLayout layout("restart",
                             keysWith(name, {{Key::Restart, row.restart},
                                             {Key::RestartDelay, "200"},
                                             {Key::RestartLimit, "2"}}),
                             row.script);
        InstalledService service(layout, name);
        ASSERT_TRUE(service.start()) << row.name;

        ASSERT_TRUE(waitForServiceState(name, SERVICE_STOPPED, StateTimeoutMs)) << row.name;
        const auto stopped = queryService(name);
        ASSERT_TRUE(stopped) << row.name;
        EXPECT_EQ(stopped->dwServiceSpecificExitCode, row.specificExitCode) << row.name;
        EXPECT_EQ(runs(layout), row.runs) << row.name;
    }
}

TEST(ServiceRestart, StopDuringTheDelayStopsAtOnce) {
    const std::string name = uniqueName("KarvoRestartStop");
    RuntimeLayout layout(
        "restart_stop",
        keysWith(name, {{Key::Restart, "always"}, {Key::RestartDelay, "120000"}}), "exit:3");
    InstalledService service(layout, name);
    ASSERT_EQ(launcherCommand(layout, "/start").exitCode, 0u);
    ASSERT_TRUE(layout.waitForRecord("exit", 20000));
    const auto status = queryService(name);
    ASSERT_TRUE(status);
    service.watch(status->dwProcessId);
    Sleep(1000);  // the service process notices the end and starts waiting
    EXPECT_EQ(queryService(name)->dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));

    // A delay of two minutes is longer than the stop command waits: only an immediate
    // stop lets it print "Service stopped".
    const RunResult stop = launcherCommand(layout, "/stop");
    EXPECT_TRUE(contains(stop.out, "Service stopped")) << stop.out;
    const auto stopped = queryService(name);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(stopped->dwWin32ExitCode, 0u);
    EXPECT_EQ(runs(layout), 1u);
}

// Several services built from one template share the temporary directory: each host's
// directory lives exactly as long as its host, whoever starts or stops meanwhile.
TEST(HostTempDirectories, StartStopCyclesLeaveOnlyRunningHostsDirectories) {
    // A cycle takes about 2.5 s under Wine on a busy machine, so 100 would take most of a
    // test's time limit; KARVO_TEMP_CYCLES=100 runs them all.
    char wanted[16] = {};
    const int Cycles = GetEnvironmentVariableA("KARVO_TEMP_CYCLES", wanted, sizeof wanted) > 0
                           ? std::max(1, std::atoi(wanted))
                           : 20;
    const std::vector<IncludedFile> files = {{"data.txt", {'k', 'v', 'o'}}};
    const std::string keeperName = uniqueName("KarvoTempKeeper");
    const std::string cyclerName = uniqueName("KarvoTempCycler");
    RuntimeLayout keeper("temp_keeper", serviceKeys(keeperName), "wait-stdin", files);
    RuntimeLayout cycler("temp_cycler", serviceKeys(cyclerName), "wait-stdin", files);
    InstalledService keeperService(keeper, keeperName);
    InstalledService cyclerService(cycler, cyclerName);

    ASSERT_EQ(launcherCommand(keeper, "/start nowait").exitCode, 0u);
    ASSERT_TRUE(keeper.waitForRecord("param count", 20000));
    if (const auto status = queryService(keeperName)) keeperService.watch(status->dwProcessId);
    const auto keeperDirs = hostTempDirs(keeper);
    ASSERT_EQ(keeperDirs.size(), 1u);
    const std::string keeperDir = keeperDirs[0];

    for (int cycle = 1; cycle <= Cycles; ++cycle) {
        ASSERT_EQ(launcherCommand(cycler, "/start nowait").exitCode, 0u) << "cycle " << cycle;
        const ULONGLONG end = GetTickCount64() + 20000;
        while (runs(cycler) < static_cast<std::size_t>(cycle) && GetTickCount64() < end) Sleep(50);
        ASSERT_EQ(runs(cycler), static_cast<std::size_t>(cycle));
        const auto dirs = hostTempDirs(cycler);
        ASSERT_EQ(dirs.size(), static_cast<std::size_t>(cycle));
        // The running host has its files; every earlier one left nothing.
        EXPECT_TRUE(exists(dirs.back() + "\\data.txt")) << "cycle " << cycle;
        for (std::size_t i = 0; i + 1 < dirs.size(); ++i)
            EXPECT_FALSE(leftBehind(dirs[i])) << "cycle " << cycle << ": " << dirs[i];
        const RunResult stop = launcherCommand(cycler, "/stop");
        ASSERT_TRUE(contains(stop.out, "Service stopped")) << "cycle " << cycle << stop.out;
        EXPECT_FALSE(leftBehind(dirs.back())) << "cycle " << cycle << ": " << dirs.back();
    }
    // Nobody removed the directory of the host that ran all along.
    EXPECT_TRUE(exists(keeperDir + "\\data.txt")) << keeperDir;
    ASSERT_TRUE(contains(launcherCommand(keeper, "/stop").out, "Service stopped"));
    EXPECT_FALSE(leftBehind(keeperDir)) << keeperDir;
}

TEST(EventLogSource, RegisteredAtInstallRemovedAtUninstall) {
    const std::string name = uniqueName("KarvoEventSource");
    RuntimeLayout layout("event_source", serviceKeys(name), "wait-stdin");
    const std::string key = eventSourceKey(name);
    {
        InstalledService service(layout, name);
        ASSERT_EQ(service.installResult().exitCode, 0u) << service.installResult().out;
        UniqueKey source;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, source.receive()),
                  ERROR_SUCCESS);
        char file[MAX_PATH * 4] = {};
        DWORD size = sizeof file - 1, type = 0;
        ASSERT_EQ(RegQueryValueExA(source.get(), "EventMessageFile", nullptr, &type,
                                   reinterpret_cast<BYTE*>(file), &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
        EXPECT_EQ(std::string(file), layout.executable());
        DWORD types = 0;
        size = sizeof types;
        ASSERT_EQ(RegQueryValueExA(source.get(), "TypesSupported", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(&types), &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(types, 7u);

        // The message file shows an event's own text: message 1 is "%1".
        const HMODULE messages =
            LoadLibraryExA(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(messages, nullptr);
        char insert[] = "the program failed";
        DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(insert)};
        char text[256] = {};
        const DWORD length = FormatMessageA(
            FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, messages, 1, 0, text,
            sizeof text, reinterpret_cast<va_list*>(inserts));
        FreeLibrary(messages);
        EXPECT_EQ(std::string(text, length), "the program failed\r\n");
    }
    UniqueKey gone;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, gone.receive()),
              ERROR_SUCCESS);
}
