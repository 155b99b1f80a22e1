// The executable as a person at a console meets it: usage, the words' failures in plain
// words, the start that waits to see the program run, the program in the foreground, the
// stopped state a failed program leaves, the configured environment and the service's own
// diagnostic log.
#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>

#include "config/ConfigKeys.h"
#include "support/WinHandles.h"
#include "win/RuntimeLayout.h"
#include "win/ServiceHarness.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

bool startsWith(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

std::map<ConfigKey, std::string> keysWith(const std::string& name,
                                          std::map<ConfigKey, std::string> extra) {
    auto keys = serviceKeys(name);
    for (auto& [key, value] : extra) keys[key] = value;
    return keys;
}

RunResult runIn(const std::string& exe, const std::string& tail, RunOptions options = {}) {
    options.timeoutMs = 60000;
    options.unsetEnvironment = {"KARVO_LOG", "TESSEL_LOG"};
    return runProcess("\"" + exe + "\"" + (tail.empty() ? "" : " " + tail), options);
}

// The program's own arguments: what the runtime class receives after its five parameters
// (GUI flag, main class, the two output files, the append flag).
std::vector<std::string> programArguments(const RuntimeLayout& layout) {
    const auto params = layout.record().all("param");
    return params.size() > 5 ? std::vector<std::string>(params.begin() + 5, params.end())
                             : std::vector<std::string>{};
}

DWORD parentOf(DWORD pid) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry))
        if (entry.th32ProcessID == pid) return entry.th32ParentProcessID;
    return 0;
}

}  // namespace

TEST(FrontDoor, UsageForHelpAndForNoKnownWord) {
    ScratchDir dir("usage");
    const std::string exe = dir.file("acme.exe");
    writeConfiguredExe(exe, blockWith({{Key::ServiceName, uniqueName("KarvoUsage")}}));
    struct Row {
        const char* name;
        const char* tail;
        DWORD exitCode;
        bool onStandardError;
    } rows[] = {
        {"no word at all", "", 2, true},
        {"an unknown word", "/frobnicate", 2, true},
        {"a word without its prefix", "status", 2, true},
        {"/help", "/help", 0, false},
        {"-h", "-h", 0, false},
        {"--help", "--help", 0, false},
        {"/?", "/?", 0, false},
    };
    for (const auto& row : rows) {
        const auto run = runIn(exe, row.tail);
        ASSERT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, row.exitCode) << row.name;
        const std::string& usage = row.onStandardError ? run.err : run.out;
        const std::string& other = row.onStandardError ? run.out : run.err;
        EXPECT_TRUE(startsWith(usage, "Usage: acme.exe /COMMAND")) << row.name << "\n" << usage;
        EXPECT_NE(usage.find("/uninstall"), std::string::npos) << row.name;
        EXPECT_EQ(other, "") << row.name;
    }
}

TEST(FrontDoor, FailuresNameTheirCause) {
    const std::string name = uniqueName("Karvo Missing");
    ScratchDir dir("cause");
    const std::string exe = dir.file("svc.exe");
    writeConfiguredExe(exe, blockWith({{Key::ServiceName, "unused"}}));
    const std::string notInstalled = "Service '" + name + "' is not installed.";
    struct Row {
        const char* name;
        std::string tail;
    } rows[] = {
        {"start", "/start \"" + name + "\""},   {"stop", "/stop \"" + name + "\""},
        {"status", "/status \"" + name + "\""}, {"uninstall", "/uninstall \"" + name + "\""},
        {"update", "/update \"" + name + "\""}, {"unquoted name means the same", "/status " + name},
    };
    for (const auto& row : rows) {
        const auto run = runIn(exe, row.tail);
        ASSERT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, 1u) << row.name;
        EXPECT_EQ(lines(run.out), std::vector<std::string>{notInstalled}) << row.name;
    }
}

TEST(FrontDoor, QuotedServiceNameWorksLikeAnUnquotedOne) {
    const std::string name = uniqueName("Acme Ticker");
    RuntimeLayout layout("quoted", serviceKeys(name), "wait-stdin");
    InstalledService service(layout, name);
    ASSERT_EQ(service.installResult().exitCode, 0u) << service.installResult().out;
    for (const std::string& tail : {"/status \"" + name + "\"", "/status " + name}) {
        const auto run = launcherCommand(layout, tail);
        EXPECT_EQ(run.exitCode, 3u) << tail;
        EXPECT_EQ(lines(run.out), std::vector<std::string>{"Not running."}) << tail;
    }
}

// A program that fails on its own (and is not restarted) leaves the service stopped with
// its exit code, so that the manager, sc query and /status all say what happened.
TEST(FrontDoor, StartWaitsToSeeTheProgramRun) {
    struct Row {
        const char* name;
        std::string script;
        std::map<ConfigKey, std::string> extra;
        DWORD exitCode;
        std::string lastLine;  // "%s": the service name
        DWORD specificExitCode;
    } rows[] = {
        {"a program that keeps running", "wait-stdin", {}, 0, "Service '%s' is running.", 0},
        {"a program that exits at once with 3",
         "exit:3",
         {},
         1,
         "Service '%s' stopped during its start: the program ended with exit code 3. Its "
         "output is not kept (set redirect_stdout and stdout_file to keep it); its last lines "
         "are in the Application event log.",
         3},
        {"one that exits at once with its output kept and the log on",
         "exit:3",
         {{Key::PassStdOutFile, "1"}, {Key::StdOutFile, "out.log"}, {Key::DiagnosticLog, "1"}},
         1,
         "",
         3},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoStartWait");
        RuntimeLayout layout("start_wait", keysWith(name, row.extra), row.script);
        InstalledService service(layout, name);
        const auto run = launcherCommand(layout, "/start");
        if (const auto status = queryService(name)) service.watch(status->dwProcessId);
        EXPECT_EQ(run.exitCode, row.exitCode) << row.name << "\n" << run.out;
        const auto out = lines(run.out);
        ASSERT_EQ(out.size(), 2u) << row.name << "\n" << run.out;
        EXPECT_EQ(out[0], "Starting service '" + name + "'.") << row.name;
        std::string expected = row.lastLine;
        if (const auto at = expected.find("%s"); at != std::string::npos)
            expected.replace(at, 2, name);
        if (expected.empty()) {
            const std::string exeBase =
                layout.executable().substr(0, layout.executable().size() - 4);
            expected = "Service '" + name +
                       "' stopped during its start: the program ended with "
                       "exit code 3. Its output: " +
                       layout.directory() +
                       "\\out.log; what it "
                       "wrote before those were opened is in the Application event log. "
                       "Diagnostic log: " +
                       exeBase + ".diagnostic.log.";
        }
        EXPECT_EQ(out[1], expected) << row.name;
        if (row.exitCode == 0) continue;

        const auto stopped = queryService(name);
        ASSERT_TRUE(stopped) << row.name;
        EXPECT_EQ(stopped->dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << row.name;
        EXPECT_EQ(stopped->dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR))
            << row.name;
        EXPECT_EQ(stopped->dwServiceSpecificExitCode, row.specificExitCode) << row.name;
        const auto status = launcherCommand(layout, "/status");
        EXPECT_EQ(status.exitCode, 3u) << row.name;
        ASSERT_GE(lines(status.out).size(), 2u) << row.name << status.out;
        EXPECT_EQ(lines(status.out)[1], "Stopped: the program ended with exit code 3.") << row.name;
    }
}

TEST(FrontDoor, FailureActionsRunAfterAProgramThatFailed) {
    const std::string name = uniqueName("KarvoFailureFlag");
    RuntimeLayout layout("failure_flag", keysWith(name, {{Key::FailureRestartDelay, "60000"}}),
                         "wait-stdin");
    InstalledService service(layout, name);
    ASSERT_EQ(service.installResult().exitCode, 0u) << service.installResult().out;
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService handle(OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG));
    ASSERT_TRUE(handle);
    SERVICE_FAILURE_ACTIONS_FLAG flag{};
    DWORD needed = 0;
    if (!QueryServiceConfig2A(handle.get(), SERVICE_CONFIG_FAILURE_ACTIONS_FLAG,
                              reinterpret_cast<BYTE*>(&flag), sizeof flag, &needed)) {
        // Wine's manager does not keep the flag; the install went on without it.
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
        GTEST_SKIP() << "this manager does not keep the failure actions flag";
    }
    EXPECT_TRUE(flag.fFailureActionsOnNonCrashFailures);
}

TEST(FrontDoor, EnvironmentReachesTheProgramInOrder) {
    const std::string name = uniqueName("KarvoEnvironment");
    RuntimeLayout layout(
        "environment",
        keysWith(name, {{Key::Environment,
                         "KARVO_T_GREETING=hello\nKARVO_T_BOTH=${KARVO_T_GREETING}-%KARVO_EXEDIR%"
                         "\nKARVO_T_GONE="},
                        {Key::VmArguments, "-Dboth=${KARVO_T_BOTH} -Dgone=${KARVO_T_GONE}"}}),
        "return");
    RunOptions options;
    options.environment = {{"KARVO_T_GONE", "inherited"}};
    const auto run = runIn(layout.executable(), "/run", options);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    const auto options_ = layout.record().all("option");
    const auto both = std::find_if(options_.begin(), options_.end(),
                                   [](const std::string& o) { return startsWith(o, "-Dboth="); });
    ASSERT_NE(both, options_.end()) << run.err;
    // A later entry sees an earlier one, and launcher variables are expanded.
    EXPECT_TRUE(startsWith(*both, "-Dboth=hello-") && both->back() == '\\') << *both;
    EXPECT_NE(both->find("environment"), std::string::npos) << *both;
    // An empty value removes the variable: the reference is then left as written.
    EXPECT_TRUE(layout.record().has("option", "-Dgone=${KARVO_T_GONE}"));
}

TEST(FrontDoor, RunHostsTheProgramInTheForeground) {
    struct Row {
        const char* name;
        std::string script;
        bool interrupt;
        DWORD exitCode;
        bool shutdownCodeRead;
    } rows[] = {
        {"the program's own exit code", "stderr:hello from the program|exit:7", false, 7, false},
        {"Ctrl+C sends the shutdown code, as a stop does", "wait-stdin|exit:5", true, 5, true},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoRun");
        RuntimeLayout layout("run", serviceKeys(name), row.script);
        RunOptions options;
        if (row.interrupt) {
            // A console of its own, which this test joins for a moment to press Ctrl+C in it.
            options.creationFlags = CREATE_NEW_CONSOLE;
            options.whileRunning = [&](DWORD pid) {
                ASSERT_TRUE(layout.waitForRecord("param count", 20000)) << row.name;
                const DWORD host = static_cast<DWORD>(std::stoul(*layout.record().first("pid")));
                EXPECT_EQ(parentOf(host), pid) << row.name;
                FreeConsole();
                ASSERT_TRUE(AttachConsole(pid)) << row.name << " error " << GetLastError();
                SetConsoleCtrlHandler(nullptr, TRUE);  // this test is not the one to stop
                EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0))
                    << row.name << " error " << GetLastError();
                Sleep(500);  // the event is delivered on a thread of its own
                FreeConsole();
                SetConsoleCtrlHandler(nullptr, FALSE);
            };
        }
        const auto run = runIn(layout.executable(), "/run", options);
        ASSERT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, row.exitCode) << row.name << "\n" << run.err;
        EXPECT_EQ(layout.record().has("stdin", "0"), row.shutdownCodeRead) << row.name;
        // The program's output reaches the console, and the service name comes first.
        if (!row.interrupt) {
            EXPECT_NE(run.err.find("hello from the program"), std::string::npos) << run.err;
            EXPECT_EQ(programArguments(layout), std::vector<std::string>{name}) << row.name;
        }
    }
}

TEST(FrontDoor, ServiceNameArgumentCanBeLeftOut) {
    struct Row {
        const char* name;
        std::map<ConfigKey, std::string> extra;
        std::vector<std::string> params;
    } rows[] = {
        {"absent: the name first", {{Key::ProgramArguments, "a"}}, {"%s", "a"}},
        {"on: the name first",
         {{Key::ServiceNameArgument, "1"}, {Key::ProgramArguments, "a"}},
         {"%s", "a"}},
        {"off: only the program's own",
         {{Key::ServiceNameArgument, "0"}, {Key::ProgramArguments, "a"}},
         {"a"}},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoNameArg");
        RuntimeLayout layout("name_arg", keysWith(name, row.extra), "return");
        const auto run = runIn(layout.executable(), "/run");
        ASSERT_FALSE(run.timedOut) << row.name;
        std::vector<std::string> expected;
        for (const auto& param : row.params) expected.push_back(param == "%s" ? name : param);
        EXPECT_EQ(programArguments(layout), expected) << row.name;
    }
}

TEST(FrontDoor, DiagnosticLogOfOneService) {
    const std::string name = uniqueName("KarvoOwnLog");
    RuntimeLayout layout("own_log", keysWith(name, {{Key::DiagnosticLog, "1"}}), "wait-stdin");
    InstalledService service(layout, name);
    ASSERT_TRUE(service.start());
    const std::string exe = layout.executable();
    const std::string log = exe.substr(0, exe.size() - 4) + ".diagnostic.log";
    const auto text = readFile(log);
    ASSERT_TRUE(text) << log;
    EXPECT_NE(text->find("log file " + log), std::string::npos) << *text;
    EXPECT_NE(text->find("service main"), std::string::npos) << *text;
    const auto status = launcherCommand(layout, "/status");
    EXPECT_EQ(lines(status.out),
              (std::vector<std::string>{"Running.", "Diagnostic log: " + log + "."}));
}

// A host that fails before any runtime takes its error stream over (here: no runtime found)
// leaves its reason in the error file, where the program's output is read, folder and all.
TEST(FrontDoor, ReasonOfAFailedStartReachesTheErrorFile) {
    struct Row {
        const char* name;
        std::map<ConfigKey, std::string> extra;
        bool written;
    } rows[] = {
        {"error output redirected",
         {{Key::PassStdErrFile, "1"}, {Key::StdErrFile, "logs\\err.log"}},
         true},
        {"error output not redirected", {{Key::StdErrFile, "logs\\err.log"}}, false},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoReason");
        auto keys = keysWith(name, row.extra);
        keys[Key::SearchSequence] = "Bno-runtime-here";
        RuntimeLayout layout("reason", keys, "wait-stdin");
        InstalledService service(layout, name);
        const auto run = launcherCommand(layout, "/start");
        EXPECT_EQ(run.exitCode, 1u) << row.name << "\n" << run.out;
        const auto text = readFile(layout.directory() + "\\logs\\err.log");
        ASSERT_EQ(text.has_value(), row.written) << row.name;
        if (!text) continue;
        EXPECT_EQ(
            text->rfind("[karvo: the program ended with exit code 1; its last output:]\r\n", 0), 0u)
            << row.name << "\n"
            << *text;
        EXPECT_NE(text->find("No Java runtime was found"), std::string::npos) << row.name << *text;
    }
}
