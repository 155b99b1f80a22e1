// The service-control commands of a configured launcher against the real Service Control
// Manager: what they print, their exit codes, and what the manager has registered.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "support/TextConv.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;
using namespace std::string_literals;

namespace {

// Stops and deletes a service by name at the end of a test, whatever the test did.
class ServiceCleanup {
public:
    explicit ServiceCleanup(std::string name) : name_(std::move(name)) {}
    ~ServiceCleanup() { remove(name_); }
    ServiceCleanup(const ServiceCleanup&) = delete;
    ServiceCleanup& operator=(const ServiceCleanup&) = delete;

    static void remove(const std::string& name) {
        SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        if (!manager) return;
        if (SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_STOP | DELETE)) {
            SERVICE_STATUS status;
            ControlService(service, SERVICE_CONTROL_STOP, &status);
            DeleteService(service);
            CloseServiceHandle(service);
        }
        CloseServiceHandle(manager);
    }

private:
    std::string name_;
};

struct Registration {
    DWORD type = 0;
    DWORD startType = 0;
    DWORD errorControl = 0;
    std::string binaryPath;
    std::string dependencies;  // NUL-separated, without the final NUL
    std::string startName;
    std::u16string description;
};

// The list as the manager keeps it in the registry (Wine's configuration query leaves the
// dependencies out).
std::string registeredDependencies(const std::string& name) {
    const std::u16string key = u"SYSTEM\\CurrentControlSet\\Services\\" + toWide(name, CP_ACP);
    char16_t buffer[4096] = {};
    DWORD size = sizeof buffer - 4;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, wideChars(key), L"DependOnService", RRF_RT_REG_MULTI_SZ,
                     nullptr, buffer, &size) != ERROR_SUCCESS)
        return "";
    std::string list;
    for (const char16_t* d = buffer; *d; d += std::char_traits<char16_t>::length(d) + 1) {
        if (!list.empty()) list.push_back('\0');
        list += toNarrow(d, CP_ACP);
    }
    return list;
}

std::optional<Registration> registration(const std::string& name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return std::nullopt;
    SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_QUERY_CONFIG);
    std::optional<Registration> result;
    if (service) {
        std::vector<std::uint64_t> buffer(8192);
        DWORD needed = 0;
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
        if (QueryServiceConfigA(service, config, 8192 * 8, &needed)) {
            Registration r;
            r.type = config->dwServiceType;
            r.startType = config->dwStartType;
            r.errorControl = config->dwErrorControl;
            r.binaryPath = config->lpBinaryPathName ? config->lpBinaryPathName : "";
            r.startName = config->lpServiceStartName ? config->lpServiceStartName : "";
            r.dependencies = registeredDependencies(name);
            std::vector<std::uint64_t> descriptionBuffer(8192);
            if (QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION,
                                     reinterpret_cast<BYTE*>(descriptionBuffer.data()),
                                     8192 * 8, &needed)) {
                auto* text = reinterpret_cast<SERVICE_DESCRIPTIONW*>(descriptionBuffer.data());
                if (text->lpDescription) r.description = fromWideChars(text->lpDescription);
            }
            result = r;
        }
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return result;
}

// A configured launcher in its own scratch directory.
struct Launcher {
    ScratchDir dir;
    std::string exe;

    Launcher(const std::string& dirName, std::map<ConfigKey, std::string> texts,
             std::map<ConfigKey, std::u16string> wides = {}, const char* exeName = "svc.exe",
             std::vector<ConfigKey> absent = {})
        : dir(dirName), exe(dir.file(exeName)) {
        ConfigBlock block = blockWith(std::move(texts), std::move(wides));
        std::erase_if(block.texts, [&](const auto& entry) {
            return std::find(absent.begin(), absent.end(), entry.first) != absent.end();
        });
        writeConfiguredExe(exe, block);
    }

    RunResult run(const std::string& tail) const {
        RunOptions options;
        options.timeoutMs = 60000;
        options.unsetEnvironment = {"KARVO_LOG", "TESSEL_LOG"};
        return runProcess("\"" + exe + "\" " + tail, options);
    }
};

using Lines = std::vector<std::string>;

// The expected lines of a table row, with "%s" standing for the service name.
template <typename Texts>
Lines withName(const Texts& texts, const std::string& name) {
    Lines expected;
    for (std::string line : texts) {
        if (const auto at = line.find("%s"); at != std::string::npos) line.replace(at, 2, name);
        expected.push_back(line);
    }
    return expected;
}

}  // namespace

TEST(ServiceControl, InstallRegistersTheService) {
    struct Row {
        const char* name;
        const char* tail;
        std::map<ConfigKey, std::string> texts;
        std::map<ConfigKey, std::u16string> wides;
        DWORD type;
        DWORD startType;
        std::string dependencies;
        std::u16string description;
        std::vector<ConfigKey> absent = {};
    } rows[] = {
        {"prefix makes the service interactive", "/install", {{Key::LauncherType, "4"}}, {},
         SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, SERVICE_AUTO_START, "", u""},
        {"switch makes it an own-process service", "/install non-interactive",
         {{Key::LauncherType, "4"}}, {}, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, "", u""},
        {"absent launcher type installs on demand", "-install non-interactive", {}, {},
         SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, "", u"", {Key::LauncherType}},
        {"other launcher type installs on demand", "--install non-interactive",
         {{Key::LauncherType, "2"}}, {}, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, "",
         u""},
        {"install-auto ignores the launcher type", "/install-auto non-interactive",
         {{Key::LauncherType, "2"}}, {}, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, "", u""},
        {"install-demand ignores the launcher type", "/install-demand non-interactive",
         {{Key::LauncherType, "4"}}, {}, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, "",
         u""},
        {"dependencies without empty names", "/install-demand non-interactive",
         {{Key::Dependencies, ",RpcSs,,PlugPlay,"}}, {}, SERVICE_WIN32_OWN_PROCESS,
         SERVICE_DEMAND_START, "RpcSs\0PlugPlay"s, u""},
        {"wide description", "/install-demand non-interactive", {},
         {{Key::Description, u"Runs the \u00e9t\u00e9 reports \u65e5\u672c"}},
         SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, "", u"Runs the \u00e9t\u00e9 reports \u65e5\u672c"},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoInstall");
        ServiceCleanup cleanup(name);
        auto texts = row.texts;
        texts[Key::ServiceName] = name;
        Launcher launcher("install", texts, row.wides, "svc.exe", row.absent);

        const auto run = launcher.run(row.tail);
        ASSERT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, 0u) << row.name;
        EXPECT_EQ(lines(run.out), Lines{"Installed service '" + name + "'."}) << row.name;

        const auto registered = registration(name);
        ASSERT_TRUE(registered.has_value()) << row.name;
        EXPECT_EQ(registered->type, row.type) << row.name;
        EXPECT_EQ(registered->startType, row.startType) << row.name;
        EXPECT_EQ(registered->errorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL)) << row.name;
        // Always quoted, so that no character of the path can split it.
        EXPECT_EQ(registered->binaryPath, "\"" + launcher.exe + "\"") << row.name;
        EXPECT_EQ(registered->dependencies, row.dependencies) << row.name;
        EXPECT_EQ(registered->description, row.description) << row.name;
    }
}

TEST(ServiceControl, ImagePathWithABlankIsQuoted) {
    // Unquoted, the manager would try "...\with.exe" for "...\with blank\svc.exe" first.
    const std::string name = uniqueName("KarvoQuoted");
    ServiceCleanup cleanup(name);
    Launcher launcher("with blank", {{Key::ServiceName, name}}, {}, "my svc.exe");
    const auto run = launcher.run("/install-demand");
    ASSERT_EQ(run.exitCode, 0u) << run.out;
    const auto registered = registration(name);
    ASSERT_TRUE(registered.has_value());
    EXPECT_EQ(registered->binaryPath, "\"" + launcher.exe + "\"");
}

TEST(ServiceControl, ExplicitNameReplacesTheConfiguredOne) {
    const std::string configured = uniqueName("KarvoConfigured");
    const std::string given = uniqueName("Karvo Given ");  // blanks are part of the name
    ServiceCleanup cleanConfigured(configured), cleanGiven(given);
    Launcher launcher("explicit", {{Key::ServiceName, configured}});

    const auto run = launcher.run("/install non-interactive non-interactive " + given);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(lines(run.out), Lines{"Installed service '" + given + "'."});
    EXPECT_TRUE(registration(given).has_value());
    EXPECT_FALSE(registration(configured).has_value());
    ASSERT_TRUE(registration(given).has_value());
    EXPECT_EQ(registration(given)->type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));

    EXPECT_EQ(launcher.run("/status " + given).exitCode, 3u);
    const auto removed = launcher.run("/uninstall " + given);
    EXPECT_EQ(lines(removed.out),
              (Lines{"Service is already stopped.", "Uninstalled service '" + given + "'."}));
}

TEST(ServiceControl, CommandsOnAStoppedService) {
    struct Row {
        const char* name;
        const char* tail;
        DWORD exitCode;
        Lines out;  // "%s" stands for the service name
    } rows[] = {
        {"status of an automatic service", "/status", 3, {"Not running.", "Auto-start."}},
        {"status of a demand service", "/status", 3, {"Not running."}},
        {"stop", "/stop", 0, {"Service is already stopped."}},
        {"install over it stops it first", "/install-auto", 0,
         {"Service is already stopped.", "Installed service '%s'."}},
        {"uninstall", "/uninstall", 0,
         {"Service is already stopped.", "Uninstalled service '%s'."}},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoStopped");
        ServiceCleanup cleanup(name);
        Launcher launcher("stopped", {{Key::ServiceName, name}});
        const bool automatic = std::string(row.name) != "status of a demand service";
        ASSERT_EQ(launcher.run(automatic ? "/install-auto" : "/install-demand").exitCode, 0u);

        const auto run = launcher.run(row.tail);
        ASSERT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, row.exitCode) << row.name;
        EXPECT_EQ(lines(run.out), withName(row.out, name)) << row.name;
    }
}

TEST(ServiceControl, CommandsOnAMissingService) {
    struct Row {
        const char* name;
        const char* tail;
        DWORD exitCode;
        Lines out;
    } rows[] = {
        {"start", "/start", 1, {"Service '%s' is not installed."}},
        {"stop", "/stop", 1, {"Service '%s' is not installed."}},
        {"status", "/status", 1, {"Service '%s' is not installed."}},
        {"uninstall", "/uninstall", 1, {"Service '%s' is not installed."}},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoMissing");
        Launcher launcher("missing", {{Key::ServiceName, name}});
        const auto run = launcher.run(row.tail);
        ASSERT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, row.exitCode) << row.name;
        EXPECT_EQ(lines(run.out), withName(row.out, name)) << row.name;
    }
}

TEST(ServiceControl, InstallAndStartStartsEvenAfterAFailedInstall) {
    // An empty name cannot be created; the start is still tried and decides the exit code.
    Launcher launcher("emptyname", {});
    const auto run = launcher.run("/install-and-start");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 1u);
    const auto out = lines(run.out);
    ASSERT_EQ(out.size(), 2u) << run.out;
    EXPECT_EQ(out[0].rfind("Could not create service '': ", 0), 0u) << out[0];
    EXPECT_EQ(out[1].rfind("Could not start service '': ", 0), 0u) << out[1];
}

namespace {

bool waitForState(const std::string& name, DWORD wanted, DWORD timeoutMs) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, name.c_str(), SERVICE_QUERY_STATUS) : nullptr;
    bool reached = false;
    const DWORD start = GetTickCount();
    while (service && !reached) {
        SERVICE_STATUS status;
        if (!QueryServiceStatus(service, &status)) break;
        reached = status.dwCurrentState == wanted;
        if (!reached && GetTickCount() - start > timeoutMs) break;
        if (!reached) Sleep(100);
    }
    if (service) CloseServiceHandle(service);
    if (manager) CloseServiceHandle(manager);
    return reached;
}

// The stand-in service of the fixtures, registered and started directly through the
// manager; stopped, waited for and deleted at the end.
class StubService {
public:
    StubService(std::string name, const char* mode, DWORD startType) : name_(std::move(name)) {
        const std::string image =
            "\"" + buildDirectory() + "fixtures\\controlstub\\controlstub.exe\" " + mode;
        SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE service = CreateServiceA(manager, name_.c_str(), name_.c_str(),
                                           SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                           startType, SERVICE_ERROR_NORMAL, image.c_str(),
                                           nullptr, nullptr, nullptr, nullptr, nullptr);
        if (service) {
            started_ = StartServiceA(service, 0, nullptr) &&
                       waitForState(name_, SERVICE_RUNNING, 10000);
            CloseServiceHandle(service);
        }
        CloseServiceHandle(manager);
    }
    ~StubService() {
        requestStop();
        waitForState(name_, SERVICE_STOPPED, 15000);
        ServiceCleanup::remove(name_);
    }
    StubService(const StubService&) = delete;
    StubService& operator=(const StubService&) = delete;

    bool running() const { return started_; }
    void requestStop() const {
        SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
        if (SC_HANDLE service = OpenServiceA(manager, name_.c_str(), SERVICE_STOP)) {
            SERVICE_STATUS status;
            ControlService(service, SERVICE_CONTROL_STOP, &status);
            CloseServiceHandle(service);
        }
        CloseServiceHandle(manager);
    }

private:
    std::string name_;
    bool started_ = false;
};

}  // namespace

TEST(ServiceControl, CommandsOnARunningService) {
    struct Row {
        const char* name;
        const char* mode;
        DWORD startType;
        bool stopFirst;    // a stop request is already pending when the command runs
        const char* tail;  // followed by the service name
        DWORD exitCode;
        Lines out;  // "%s" stands for the service name
        DWORD stateAfter;
    } rows[] = {
        {"status of an automatic service",
         "prompt",
         SERVICE_AUTO_START,
         false,
         "/status",
         0,
         {"Running.", "Auto-start."},
         SERVICE_RUNNING},
        {"status of a demand service",
         "prompt",
         SERVICE_DEMAND_START,
         false,
         "/status",
         0,
         {"Running."},
         SERVICE_RUNNING},
        {"status while stopping",
         "stuck",
         SERVICE_DEMAND_START,
         true,
         "/status",
         3,
         {"Not running."},
         SERVICE_STOP_PENDING},
        {"start",
         "prompt",
         SERVICE_DEMAND_START,
         false,
         "/start",
         0,
         {"Service is already running."},
         SERVICE_RUNNING},
        {"stop waits through the progress",
         "prompt",
         SERVICE_DEMAND_START,
         false,
         "/stop",
         0,
         {"Stopping service '%s'.", "Service stopped"},
         SERVICE_STOPPED},
        {"stop that outlasts the wait hint",
         "stuck",
         SERVICE_DEMAND_START,
         false,
         "/stop",
         0,
         {"Stopping service '%s'.", "Error while stopping service"},
         SERVICE_STOP_PENDING},
        // The stub is replaced by a launcher without a runtime, so the start is not waited
        // for: what counts is that it is started again and says so.
        {"install over it stops it first and starts it again",
         "prompt",
         SERVICE_DEMAND_START,
         false,
         "/install-demand nowait",
         0,
         {"Stopping service '%s'.", "Service stopped", "Installed service '%s'.",
          "Service '%s' was running: starting it again.", "Starting service '%s'."},
         0},
        {"uninstall stops it first",
         "prompt",
         SERVICE_DEMAND_START,
         false,
         "/uninstall",
         0,
         {"Stopping service '%s'.", "Service stopped", "Uninstalled service '%s'."},
         0},
        // A stop already under way is not "already running" and not a failed stop.
        {"start while stopping waits, then starts",
         "slow",
         SERVICE_DEMAND_START,
         true,
         "/start",
         0,
         {"Waiting for service '%s' to stop first.", "Starting service '%s'.",
          "Service '%s' is running."},
         SERVICE_RUNNING},
        {"start while a stop outlasts its hint fails",
         "stuck",
         SERVICE_DEMAND_START,
         true,
         "/start",
         1,
         {"Waiting for service '%s' to stop first.",
          "Could not start service: it is still stopping."},
         SERVICE_STOP_PENDING},
        {"stop while stopping waits for it",
         "slow",
         SERVICE_DEMAND_START,
         true,
         "/stop",
         0,
         {"Stopping service '%s'.", "Service stopped"},
         SERVICE_STOPPED},
    };
    Launcher launcher("running", {{Key::ServiceName, uniqueName("KarvoUnused")}});
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoStub");
        StubService stub(name, row.mode, row.startType);
        ASSERT_TRUE(stub.running()) << row.name;
        if (row.stopFirst) {
            stub.requestStop();
            ASSERT_TRUE(waitForState(name, SERVICE_STOP_PENDING, 5000)) << row.name;
        }
        const auto run = launcher.run(std::string(row.tail) + " " + name);
        ASSERT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, row.exitCode) << row.name;
        EXPECT_EQ(lines(run.out), withName(row.out, name)) << row.name;
        if (row.stateAfter != 0) {
            EXPECT_TRUE(waitForState(name, row.stateAfter, 5000)) << row.name;
        } else if (std::string(row.tail) == "/uninstall") {
            EXPECT_FALSE(registration(name).has_value()) << row.name;
        }
    }
}

TEST(ServiceControl, StartRunsAnInstalledService) {
    const std::string name = uniqueName("KarvoStubStart");
    StubService stub(name, "prompt", SERVICE_DEMAND_START);
    ASSERT_TRUE(stub.running());
    stub.requestStop();
    ASSERT_TRUE(waitForState(name, SERVICE_STOPPED, 10000));

    Launcher launcher("start", {{Key::ServiceName, name}});
    const auto run = launcher.run("/start");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(lines(run.out),
              (Lines{"Starting service '" + name + "'.", "Service '" + name + "' is running."}));
    EXPECT_TRUE(waitForState(name, SERVICE_RUNNING, 10000));
}

TEST(ServiceControl, TwoStopsAtOnceBothSucceed) {
    Launcher launcher("racing", {{Key::ServiceName, uniqueName("KarvoUnused")}});
    const std::string name = uniqueName("KarvoRace");
    StubService stub(name, "slow", SERVICE_DEMAND_START);
    ASSERT_TRUE(stub.running());
    RunResult first, second;
    std::thread other([&] { first = launcher.run("/stop " + name); });
    Sleep(200);  // the first request is under way; the second finds the service stopping
    second = launcher.run("/stop " + name);
    other.join();
    for (const RunResult* run : {&first, &second}) {
        ASSERT_FALSE(run->timedOut);
        EXPECT_EQ(run->exitCode, 0u) << run->out;
        EXPECT_EQ(lines(run->out), withName(Lines{"Stopping service '%s'.", "Service stopped"}, name));
    }
}

namespace {

// What the manager returns of the install options.
struct InstallOptions {
    DWORD type = 0;
    std::u16string account;
    bool delayed = false;
    DWORD resetPeriod = 0;
    std::vector<std::pair<DWORD, DWORD>> actions;  // type and delay of each failure action
};

std::optional<InstallOptions> installOptions(const std::string& name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return std::nullopt;
    SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_QUERY_CONFIG);
    std::optional<InstallOptions> result;
    std::vector<std::uint64_t> buffer(8192);
    const DWORD size = static_cast<DWORD>(buffer.size() * sizeof buffer[0]);
    auto* bytes = reinterpret_cast<BYTE*>(buffer.data());
    DWORD needed = 0;
    if (service &&
        QueryServiceConfigW(service, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(bytes), size,
                            &needed)) {
        InstallOptions o;
        const auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(bytes);
        o.type = config->dwServiceType;
        if (config->lpServiceStartName) o.account = fromWideChars(config->lpServiceStartName);
        if (QueryServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, bytes, size,
                                 &needed))
            o.delayed = reinterpret_cast<SERVICE_DELAYED_AUTO_START_INFO*>(bytes)->fDelayedAutostart;
        if (QueryServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, bytes, size, &needed)) {
            const auto* failure = reinterpret_cast<SERVICE_FAILURE_ACTIONSW*>(bytes);
            o.resetPeriod = failure->dwResetPeriod;
            for (DWORD i = 0; i < failure->cActions; ++i)
                o.actions.emplace_back(failure->lpsaActions[i].Type, failure->lpsaActions[i].Delay);
        }
        result = o;
    }
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return result;
}

}  // namespace

TEST(ServiceControl, InstallOptionsAreRegistered) {
    using Actions = std::vector<std::pair<DWORD, DWORD>>;
    struct Row {
        const char* name;
        const char* tail;
        std::map<ConfigKey, std::string> texts;
        DWORD type;
        std::u16string account;  // "%s" stands for the service name
        bool delayed;
        DWORD resetPeriod;
        Actions actions;
    } rows[] = {
        {"defaults: local system, no delay, no recovery", "/install", {},
         SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, u"LocalSystem", false, 0, {}},
        {"local service account is never interactive", "/install",
         {{Key::ServiceAccount, "nt authority\\localservice"}}, SERVICE_WIN32_OWN_PROCESS,
         u"NT AUTHORITY\\LocalService", false, 0, {}},
        {"the service's own virtual account", "/install-demand",
         {{Key::ServiceAccount, "NT SERVICE\\%s"}}, SERVICE_WIN32_OWN_PROCESS,
         u"NT SERVICE\\%s", false, 0, {}},
        {"delay means nothing on demand", "/install-demand non-interactive",
         {{Key::DelayedAutoStart, "1"}},
         SERVICE_WIN32_OWN_PROCESS, u"LocalSystem", false, 0, {}},
        {"restart after a failure, reset period given", "/install-demand non-interactive",
         {{Key::FailureRestartDelay, "5000"}, {Key::FailureResetPeriod, "3600"}},
         SERVICE_WIN32_OWN_PROCESS, u"LocalSystem", false, 3600, {{SC_ACTION_RESTART, 5000}}},
        {"restart after a failure, reset period of a day", "/install-demand non-interactive",
         {{Key::FailureRestartDelay, "60000"}}, SERVICE_WIN32_OWN_PROCESS, u"LocalSystem", false,
         86400, {{SC_ACTION_RESTART, 60000}}},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoOptions");
        ServiceCleanup cleanup(name);
        auto texts = row.texts;
        texts[Key::ServiceName] = name;
        for (auto& [key, text] : texts) text = withName(Lines{text}, name)[0];
        Launcher launcher("options", texts);

        const auto run = launcher.run(row.tail);
        ASSERT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, 0u) << row.name << ": " << run.out;
        const auto options = installOptions(name);
        ASSERT_TRUE(options.has_value()) << row.name;
        EXPECT_EQ(options->type, row.type) << row.name;
        EXPECT_EQ(toNarrow(options->account, CP_ACP),
                  withName(Lines{toNarrow(row.account, CP_ACP)}, name)[0])
            << row.name;
        EXPECT_EQ(options->delayed, row.delayed) << row.name;
        // Wine's manager accepts failure actions and keeps none: it reads back an empty
        // list. Windows returns what was registered.
        if (!options->actions.empty()) {
            EXPECT_EQ(options->actions, row.actions) << row.name;
            EXPECT_EQ(options->resetPeriod, row.resetPeriod) << row.name;
        }
    }
}

TEST(ServiceControl, DelayedAutomaticStart) {
    // Wine's manager does not know the setting (it answers ERROR_INVALID_LEVEL): the install
    // goes on and says the service starts with the others. Windows registers the delay.
    const std::string name = uniqueName("KarvoDelayed");
    ServiceCleanup cleanup(name);
    Launcher launcher("delayed", {{Key::ServiceName, name}, {Key::DelayedAutoStart, "1"}});
    const auto run = launcher.run("/install-auto");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    const auto options = installOptions(name);
    ASSERT_TRUE(options.has_value());
    if (options->delayed) {
        EXPECT_EQ(lines(run.out), withName(Lines{"Installed service '%s'."}, name));
    } else {
        EXPECT_EQ(lines(run.out),
                  withName(Lines{"This system has no delayed automatic start; the service starts "
                                 "with the other automatic services.",
                                 "Installed service '%s'."},
                           name));
    }
}

TEST(ServiceControl, UnusableAccountIsRefused) {
    // A hand-edited block: the packer would have refused it. The service already installed
    // under that name stays as it is.
    const std::string name = uniqueName("KarvoAccount");
    ServiceCleanup cleanup(name);
    Launcher good("account", {{Key::ServiceName, name}});
    ASSERT_EQ(good.run("/install-demand").exitCode, 0u);
    // A user without a domain: the system would have to guess which one is meant.
    Launcher bad("account-bad", {{Key::ServiceName, name}, {Key::ServiceAccount, "alice"}});

    const auto run = bad.run("/install-auto");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 1u);
    const auto out = lines(run.out);
    ASSERT_EQ(out.size(), 1u) << run.out;
    EXPECT_EQ(out[0].rfind("Could not create service: the account 'alice' cannot be used "
                           "(accepted are LocalSystem",
                           0),
              0u)
        << out[0];
    const auto registered = registration(name);
    ASSERT_TRUE(registered.has_value());
    EXPECT_EQ(registered->startType, static_cast<DWORD>(SERVICE_DEMAND_START));
}

// A replaced executable's install-time settings reach the installed service in place.
TEST(ServiceControl, UpdateAppliesTheSettingsInPlace) {
    struct Row {
        const char* name;
        std::map<ConfigKey, std::string> before;
        std::u16string descriptionBefore;
        std::map<ConfigKey, std::string> after;
        std::u16string descriptionAfter;
        DWORD startType;
        std::string dependencies;
    } rows[] = {
        {"new description and dependencies, automatic start",
         {{Key::Dependencies, "RpcSs"}, {Key::LauncherType, "2"}},
         u"Old text",
         {{Key::Dependencies, "RpcSs,PlugPlay"}, {Key::LauncherType, "4"}},
         u"New text",
         SERVICE_AUTO_START,
         "RpcSs\0PlugPlay"s},
        {"settings no longer configured are cleared",
         {{Key::Dependencies, "RpcSs"}, {Key::LauncherType, "4"}},
         u"Old text",
         {{Key::LauncherType, "2"}},
         u"",
         SERVICE_DEMAND_START,
         ""},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoUpdate");
        ServiceCleanup cleanup(name);
        auto before = row.before;
        before[Key::ServiceName] = name;
        Launcher old("update", before, {{Key::Description, row.descriptionBefore}});
        ASSERT_EQ(old.run("/install non-interactive").exitCode, 0u) << row.name;

        auto after = row.after;
        after[Key::ServiceName] = name;
        Launcher replaced("update_new", after, {{Key::Description, row.descriptionAfter}});
        const auto run = replaced.run("/update non-interactive");
        ASSERT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, 0u) << row.name << "\n" << run.out;
        EXPECT_EQ(lines(run.out).back(), "Updated service '" + name +
                                             "'; a running service uses the new settings from "
                                             "its next start.")
            << row.name;
        const auto registered = registration(name);
        ASSERT_TRUE(registered) << row.name;
        EXPECT_EQ(registered->description, row.descriptionAfter) << row.name;
        EXPECT_EQ(registered->dependencies, row.dependencies) << row.name;
        EXPECT_EQ(registered->startType, row.startType) << row.name;
        EXPECT_EQ(registered->binaryPath, "\"" + replaced.exe + "\"") << row.name;
    }
}
