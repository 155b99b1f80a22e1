// The whole service under Wine's Service Control Manager: install, start, the program's
// view through the stand-in JVM, stop, and what is left afterwards (nothing).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <optional>

#include "config/ConfigKeys.h"
#include "support/WinHandles.h"
#include "win/RuntimeLayout.h"
#include "win/ServiceHarness.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

constexpr DWORD StartTimeoutMs = 20000;

std::map<ConfigKey, std::string> keysFor(const std::string& name,
                                         std::map<ConfigKey, std::string> extra = {}) {
    auto keys = serviceKeys(name);
    keys[Key::ProgramArguments] = "-r";
    for (auto& [key, value] : extra) keys[key] = value;
    return keys;
}

std::vector<std::string> expectedParameters(const std::string& name,
                                            std::vector<std::string> more = {}) {
    std::vector<std::string> out = {"false", "com.example.Main", "", "", "false", name, "-r"};
    out.insert(out.end(), more.begin(), more.end());
    return out;
}

// The state the service answers an interrogation with (0 when it cannot be asked).
DWORD interrogate(const std::string& name) {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService service(
        manager ? OpenServiceA(manager.get(), name.c_str(), SERVICE_INTERROGATE) : nullptr);
    SERVICE_STATUS status{};
    if (!service || !ControlService(service.get(), SERVICE_CONTROL_INTERROGATE, &status)) return 0;
    return status.dwCurrentState;
}

// Wine 8 starts every process at normal priority whatever CreateProcess was asked for;
// priority classes can only be compared where the platform keeps them.
bool platformKeepsPriorityClass() {
    char self[MAX_PATH * 4];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string line = std::string("\"") + self + "\" --gtest_list_tests";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED | IDLE_PRIORITY_CLASS | CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        return false;
    const bool kept = GetPriorityClass(process.hProcess) == IDLE_PRIORITY_CLASS;
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return kept;
}

}  // namespace

TEST(EndToEnd, StartRunStopUninstall) {
    struct Row {
        const char* name;
        std::string installWord;
        std::vector<std::string> runningStatus;
    } rows[] = {
        {"on demand", "/install-demand", {"Running."}},
        {"automatic start shows the Auto-start line", "/install-auto", {"Running.", "Auto-start."}},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoE2E");
        RuntimeLayout layout("e2e_cycle", keysFor(name), "wait-stdin");
        InstalledService service(layout, name, row.installWord);
        ASSERT_EQ(service.installResult().exitCode, 0u) << row.name << service.installResult().out;

        const RunResult start = launcherCommand(layout, "/start");
        EXPECT_EQ(start.exitCode, 0u) << row.name;
        EXPECT_EQ(lines(start.out),
                  (std::vector<std::string>{"Starting service '" + name + "'.",
                                            "Service '" + name + "' is running."}));
        ASSERT_TRUE(layout.waitForRecord("param count", StartTimeoutMs)) << row.name;
        const auto running = queryService(name);
        ASSERT_TRUE(running) << row.name;
        EXPECT_EQ(running->dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING)) << row.name;
        const DWORD servicePid = running->dwProcessId, child = childPid(layout);
        service.watch(servicePid);
        service.watch(child);
        EXPECT_NE(servicePid, child) << row.name;

        // An interrogation repeats the state and changes nothing.
        EXPECT_EQ(interrogate(name), static_cast<DWORD>(SERVICE_RUNNING)) << row.name;
        const auto afterInterrogation = queryService(name);
        ASSERT_TRUE(afterInterrogation) << row.name;
        EXPECT_EQ(afterInterrogation->dwCheckPoint, running->dwCheckPoint) << row.name;
        EXPECT_EQ(afterInterrogation->dwWaitHint, running->dwWaitHint) << row.name;

        const RunResult status = launcherCommand(layout, "/status");
        EXPECT_EQ(status.exitCode, 0u) << row.name;
        EXPECT_EQ(lines(status.out), row.runningStatus) << row.name;

        const FakeJvmRecord record = layout.record();
        EXPECT_EQ(record.all("param"), expectedParameters(name)) << row.name;
        EXPECT_TRUE(record.has("option", "-Dkarvo.isService=true")) << row.name;
        EXPECT_TRUE(record.has("option", "-Dsun.java.command=" + layout.executable())) << row.name;

        const RunResult stop = launcherCommand(layout, "/stop");
        EXPECT_EQ(stop.exitCode, 0u) << row.name;
        const std::vector<std::string> stopLines = {"Stopping service '" + name + "'.",
                                                    "Service stopped"};
        EXPECT_EQ(lines(stop.out), stopLines) << row.name;
        // The program read exactly the shutdown code, and the VM was taken down in order.
        EXPECT_TRUE(layout.record().has("stdin", "0")) << row.name;
        // Exactly "0" and a line feed, then the end of the input.
        EXPECT_TRUE(layout.record().has("stdin rest", "")) << row.name;
        EXPECT_TRUE(layout.record().has("DestroyJavaVM")) << row.name;
        EXPECT_TRUE(waitProcessGone(servicePid, 10000)) << row.name;
        EXPECT_TRUE(waitProcessGone(child, 10000)) << row.name;
        const auto stopped = queryService(name);
        ASSERT_TRUE(stopped) << row.name;
        EXPECT_EQ(stopped->dwWin32ExitCode, 0u) << row.name;

        const RunResult after = launcherCommand(layout, "/status");
        EXPECT_EQ(after.exitCode, 3u) << row.name;
        EXPECT_EQ(lines(after.out).at(0), "Not running.") << row.name;
    }
}

// Installing over a running service stops it first, through the same stop as "/stop", and
// starts it again afterwards: whoever upgrades a running service wants it running.
TEST(EndToEnd, InstallOverRunningService) {
    const std::string name = uniqueName("KarvoE2E");
    RuntimeLayout layout("e2e_reinstall", keysFor(name), "wait-stdin");
    InstalledService service(layout, name);
    ASSERT_TRUE(service.start());
    const DWORD child = childPid(layout);

    const RunResult again = launcherCommand(layout, "/install-demand");
    EXPECT_EQ(again.exitCode, 0u);
    const std::vector<std::string> expected = {
        "Stopping service '" + name + "'.",
        "Service stopped",
        "Installed service '" + name + "'.",
        "Service '" + name + "' was running: starting it again.",
        "Starting service '" + name + "'.",
        "Service '" + name + "' is running."};
    EXPECT_EQ(lines(again.out), expected);
    EXPECT_TRUE(layout.record().has("stdin", "0"));
    EXPECT_TRUE(waitProcessGone(child, 10000));
    if (const auto status = queryService(name)) service.watch(status->dwProcessId);
    EXPECT_EQ(layout.record().all("param count").size(), 2u);
    service.watch(childPid(layout));
}

TEST(EndToEnd, ChildEndingOnItsOwn) {
    struct Row {
        const char* name;
        std::string script;
        DWORD win32ExitCode;
        DWORD specificExitCode;
    } rows[] = {
        {"code 0: reported stopped with both exit codes 0", "sleep:300", 0, 0},
        // Reported stopped too, with the program's code: the manager, sc query and /status
        // tell the truth, and the system counts it as a failure.
        {"code 1: reported stopped with the program's exit code", "sleep:300|exit:1",
         ERROR_SERVICE_SPECIFIC_ERROR, 1},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoE2E");
        RuntimeLayout layout("e2e_ownend", keysFor(name), row.script);
        {
            InstalledService service(layout, name);
            ASSERT_EQ(launcherCommand(layout, "/start nowait").exitCode, 0u) << row.name;
            ASSERT_TRUE(layout.waitForRecord("pid", StartTimeoutMs)) << row.name;
            const auto started = queryService(name);
            ASSERT_TRUE(started) << row.name;
            const DWORD servicePid = started->dwProcessId;
            service.watch(servicePid);
            service.watch(childPid(layout));
            EXPECT_TRUE(waitProcessGone(servicePid, StartTimeoutMs)) << row.name;
            EXPECT_TRUE(waitProcessGone(childPid(layout), StartTimeoutMs)) << row.name;
            const auto status = queryService(name);
            ASSERT_TRUE(status) << row.name;
            EXPECT_EQ(status->dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << row.name;
            EXPECT_EQ(status->dwWin32ExitCode, row.win32ExitCode) << row.name;
            EXPECT_EQ(status->dwServiceSpecificExitCode, row.specificExitCode) << row.name;
        }
        EXPECT_FALSE(serviceExists(name)) << row.name;
    }
}

// A child that ends with an error after the stop request: still a clean stop.
TEST(EndToEnd, NonZeroExitAfterStopIsStillStopped) {
    const std::string name = uniqueName("KarvoE2E");
    RuntimeLayout layout("e2e_stopexit", keysFor(name), "wait-stdin|exit:3");
    InstalledService service(layout, name);
    ASSERT_TRUE(service.start());
    const RunResult stop = launcherCommand(layout, "/stop");
    EXPECT_EQ(lines(stop.out).back(), "Service stopped");
    EXPECT_TRUE(layout.record().has("exit", "3"));
    const auto status = queryService(name);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(status->dwWin32ExitCode, 0u);
    EXPECT_EQ(status->dwServiceSpecificExitCode, 0u);
}

TEST(EndToEnd, StartParameters) {
    const std::string longParameter(17000, 'x');
    struct Row {
        const char* name;
        std::vector<std::string> parameters;
        bool runs;
        std::vector<std::string> more;   // after the service name and "-r"
        DWORD specificExitCode;          // when it does not run
    } rows[] = {
        {"parameters after the configured arguments, quoting kept",
         {"p1", "two words", "it's", "say \"hi\""},
         true,
         {"p1", "two words", "it's", "say \"hi\""},
         0},
        {"command line too long: stopped with an error, no child",
         {longParameter},
         false,
         {},
         5002},
        {"parameter with both quote kinds: stopped with an error", {"it's \"x\""}, false, {}, 5003},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoE2E");
        RuntimeLayout layout("e2e_params", keysFor(name), "wait-stdin");
        InstalledService service(layout, name);
        ASSERT_EQ(startWithParameters(name, row.parameters), 0u) << row.name;
        if (row.runs) {
            ASSERT_TRUE(layout.waitForRecord("param count", StartTimeoutMs)) << row.name;
            service.watch(childPid(layout));
            EXPECT_EQ(layout.record().all("param"), expectedParameters(name, row.more)) << row.name;
        } else {
            EXPECT_TRUE(waitForServiceState(name, SERVICE_STOPPED, StartTimeoutMs)) << row.name;
            const auto status = queryService(name);
            ASSERT_TRUE(status) << row.name;
            EXPECT_EQ(status->dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR))
                << row.name;
            EXPECT_EQ(status->dwServiceSpecificExitCode, row.specificExitCode) << row.name;
            EXPECT_FALSE(layout.record().has("pid")) << row.name;
        }
    }
}

TEST(EndToEnd, ServiceNameWithBlanks) {
    const std::string name = uniqueName("Karvo E2E ");
    RuntimeLayout layout("e2e_blanks", keysFor(name), "wait-stdin");
    InstalledService service(layout, name);
    ASSERT_EQ(service.installResult().exitCode, 0u) << service.installResult().out;
    ASSERT_TRUE(service.start());
    EXPECT_EQ(layout.record().all("param"), expectedParameters(name));
    const RunResult stop = launcherCommand(layout, "/stop");
    EXPECT_EQ(lines(stop.out).back(), "Service stopped");
}

// An apostrophe and no blank in the executable's directory: the service process splits the
// command line the manager gives it, where an unquoted path would hold an unclosed quote.
TEST(EndToEnd, ExecutableInADirectoryWithAnApostrophe) {
    const std::string name = uniqueName("KarvoE2E");
    RuntimeLayout layout("bob's", keysFor(name), "wait-stdin");
    ASSERT_EQ(layout.directory().find(' '), std::string::npos);
    InstalledService service(layout, name);
    ASSERT_EQ(service.installResult().exitCode, 0u) << service.installResult().out;
    const RunResult start = launcherCommand(layout, "/start");
    EXPECT_EQ(start.exitCode, 0u) << start.out;
    ASSERT_TRUE(layout.waitForRecord("param count", StartTimeoutMs));
    service.watch(childPid(layout));
    EXPECT_EQ(layout.record().all("param"), expectedParameters(name));
    const RunResult stop = launcherCommand(layout, "/stop");
    EXPECT_EQ(lines(stop.out).back(), "Service stopped");
    EXPECT_TRUE(layout.record().has("stdin", "0"));
}

// The child is started with the program path the service process was started with. A
// drive-relative image path ("Z:dir\\svc.exe") finds the executable from the manager's
// current directory, but no longer once the service process has moved to its configured
// working directory: the child cannot be created, and the service stops with its own code.
TEST(EndToEnd, ChildThatCannotBeCreatedStopsTheServiceWith5000) {
    const std::string name = uniqueName("KarvoE2E");
    RuntimeLayout layout("e2e_nochild", keysFor(name, {{Key::WorkingDirectory, "sub"}}),
                         "wait-stdin");
    ASSERT_TRUE(CreateDirectoryA((layout.directory() + "\\sub").c_str(), nullptr));
    InstalledService service(layout, name);
    ASSERT_EQ(service.installResult().exitCode, 0u) << service.installResult().out;
    const std::string driveRelative = layout.executable().substr(0, 2) +
                                      layout.executable().substr(3);
    {
        UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        UniqueService handle(manager ? OpenServiceA(manager.get(), name.c_str(),
                                                    SERVICE_CHANGE_CONFIG)
                                     : nullptr);
        ASSERT_TRUE(handle);
        ASSERT_TRUE(ChangeServiceConfigA(handle.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                         SERVICE_NO_CHANGE, driveRelative.c_str(), nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr));
    }
    ASSERT_EQ(startWithParameters(name, {}), 0u);
    ASSERT_TRUE(waitForServiceState(name, SERVICE_STOPPED, StartTimeoutMs));
    const auto status = queryService(name);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(status->dwServiceSpecificExitCode, 5000u);
    EXPECT_FALSE(layout.record().has("pid"));
}

// The child's output is drained all the time, so a program that writes a lot never blocks.
TEST(EndToEnd, LargeOutputDoesNotStall) {
    const std::string name = uniqueName("KarvoE2E");
    RuntimeLayout layout("e2e_flood", keysFor(name), "flood:40|wait-stdin");
    InstalledService service(layout, name);
    ASSERT_TRUE(service.start("pid"));
    ASSERT_TRUE(layout.waitForRecord("flood", 60000));
    EXPECT_TRUE(layout.record().has("flood", "40 MB written"));
    const RunResult stop = launcherCommand(layout, "/stop");
    EXPECT_EQ(lines(stop.out).back(), "Service stopped");
    EXPECT_TRUE(layout.record().has("stdin", "0"));
}

TEST(EndToEnd, ChildPriorityFromTheRegistry) {
    struct Row {
        const char* name;
        std::optional<DWORD> value;
        DWORD expected;
    } rows[] = {
        {"no value: normal", std::nullopt, NORMAL_PRIORITY_CLASS},
        {"idle", IDLE_PRIORITY_CLASS, IDLE_PRIORITY_CLASS},
        {"above normal", ABOVE_NORMAL_PRIORITY_CLASS, ABOVE_NORMAL_PRIORITY_CLASS},
        // Not a priority class: a suspended child would never read its shutdown code.
        {"suspended start refused, child runs at normal", CREATE_SUSPENDED, NORMAL_PRIORITY_CLASS},
    };
    const bool comparable = platformKeepsPriorityClass();
    if (!comparable)
        std::printf(
            "note: this platform ignores priority classes; only checking that the child runs\n");
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoE2E");
        std::optional<PriorityValue> priority;
        if (row.value) {
            std::string bytes(sizeof(DWORD), '\0');
            std::memcpy(bytes.data(), &*row.value, sizeof(DWORD));
            priority.emplace(name, REG_DWORD, bytes);
        }
        RuntimeLayout layout("e2e_priority", keysFor(name), "wait-stdin");
        InstalledService service(layout, name);
        ASSERT_TRUE(service.start()) << row.name;
        const DWORD child = childPid(layout);
        UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, child));
        ASSERT_TRUE(process) << row.name;
        if (comparable) {
            EXPECT_EQ(GetPriorityClass(process.get()), row.expected) << row.name;
        }
        EXPECT_EQ(lines(launcherCommand(layout, "/stop").out).back(), "Service stopped")
            << row.name;
    }
}
