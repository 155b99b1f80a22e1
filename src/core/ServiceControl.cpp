#include "core/ServiceControl.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "config/LauncherConfig.h"
#include "config/PathOps.h"
#include "core/AccountInstall.h"
#include "core/EventLogSource.h"
#include "core/ServiceControlRules.h"
#include "core/ServiceName.h"
#include "core/ServiceSettings.h"
#include "core/StartupEnvironment.h"
#include "support/Log.h"
#include "support/TextConv.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

const char* name() { return serviceName().c_str(); }

std::optional<StopProgress> queryStopProgress(SC_HANDLE service) {
    SERVICE_STATUS status;
    if (!QueryServiceStatus(service, &status)) return std::nullopt;
    return StopProgress{status.dwCurrentState, status.dwCheckPoint, status.dwWaitHint,
                        status.dwWin32ExitCode, status.dwServiceSpecificExitCode};
}

StopWaitHooks waitHooks(SC_HANDLE service) {
    StopWaitHooks hooks;
    hooks.queryStatus = [service] { return queryStopProgress(service); };
    hooks.sleep = [](std::uint32_t milliseconds) { Sleep(milliseconds); };
    hooks.tickCount = [] { return static_cast<std::uint32_t>(GetTickCount()); };
    return hooks;
}

std::string exitMeaning(const StopProgress& status) {
    const DWORD win32 = status.win32ExitCode;
    return serviceExitMeaning(win32, status.specificExitCode,
                              win32 && win32 != ServiceCode::ServiceSpecificError
                                  ? systemErrorText(win32)
                                  : std::string());
}

// Where the program's output goes, as far as the configuration says without running it: a
// file name that needs the program's own variables is shown as configured.
std::vector<std::string> configuredOutputFiles() {
    std::vector<std::string> files;
    for (const auto& [pass, file] : {std::pair{Key::PassStdOutFile, Key::StdOutFile},
                                     std::pair{Key::PassStdErrFile, Key::StdErrFile}}) {
        const std::string& name = getConfigString(file);
        if (getConfigInt(pass) == 0 || name.empty()) continue;
        const bool plain = name.find('%') == std::string::npos &&
                           name.find("${") == std::string::npos && !name.starts_with('$');
        std::string shown = plain ? normalizePath(name, true) : name;
        if (files.empty() || files.back() != shown) files.push_back(std::move(shown));
    }
    return files;
}

// After the manager took the start: the service must reach running and stay there for the
// settling time, or the command fails with what the service's exit codes say.
int awaitRunningService(SC_HANDLE service) {
    std::fflush(stdout);  // the wait takes a few seconds: show what is going on
    const auto status = waitForStartSettled(waitHooks(service), StartSettleMs, StartLimitMs);
    if (!status) {
        printControlFailure("query", GetLastError());
        return CommandExit::Failed;
    }
    if (status->state == SERVICE_RUNNING) {
        std::printf("Service '%s' is running.\n", name());
        return CommandExit::Done;
    }
    if (status->state == SERVICE_STOPPED) {
        const std::string log =
            getConfigInt(Key::DiagnosticLog) != 0 ? diagnosticLogPath() : std::string();
        std::printf("%s\n", startFailureLine(serviceName(), exitMeaning(*status),
                                             configuredOutputFiles(), log)
                                .c_str());
        return CommandExit::Failed;
    }
    std::printf("Service '%s' did not report running within %u s.\n", name(),
                static_cast<unsigned>(StartLimitMs / 1000));
    return CommandExit::Failed;
}

DWORD currentState(SC_HANDLE service) {
    const auto progress = queryStopProgress(service);
    return progress ? progress->state : 0;
}

// The wait that every stop command shares, whether it sent the stop request itself or
// found one already under way.
void reportStopWait(SC_HANDLE service) {
    std::printf("Stopping service '%s'.\n", name());
    std::fflush(stdout);  // the wait can take a while: show what is going on
    std::printf(waitForServiceStop(service) ? "Service stopped\n"
                                            : "Error while stopping service\n");
}

}  // namespace

std::optional<std::string> buildDependencyList() {
    return makeDependencyList(getConfigString(Key::Dependencies));
}

int installService(int startType, bool interactive, bool waitForStart,
                   const std::string& passwordVariable) {
    // Checked before the old service is touched: a configuration that cannot be installed
    // must not remove the one that runs.
    const auto registration = readServiceRegistration(startType, interactive);
    if (!registration) return CommandExit::Failed;
    // The password is had before anything changes, too: a user who cannot give it keeps
    // the service that runs. It goes to the Service Control Manager and nowhere else.
    ServicePassword password;
    if (!obtainConfiguredPassword(interactive, passwordVariable, password))
        return CommandExit::Failed;
    const bool wasRunning = serviceIsRunning();
    uninstallService(false);

    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        printControlFailure("create", GetLastError());
        return CommandExit::Failed;
    }
    const std::u16string wideName = toWide(serviceName(), CP_ACP);
    UniqueService service(CreateServiceW(
        manager.get(), wideChars(wideName), wideChars(wideName), SERVICE_ALL_ACCESS,
        registration->type, registration->startType, SERVICE_ERROR_NORMAL,
        wideChars(registration->imagePath), nullptr, nullptr,
        registration->dependencies ? wideChars(*registration->dependencies) : nullptr,
        registration->account.empty() ? nullptr : wideChars(registration->account),
        password.empty() ? nullptr : wideChars(password.text())));
    if (!service) {
        printControlFailure("create", GetLastError());
        return CommandExit::Failed;
    }
    if (applyExtraSettings(service.get(), registration->startType, false) != 0) {
        // All or nothing: a service without the recovery the operator asked for would
        // look installed and fail them later.
        DeleteService(service.get());
        std::printf("Could not create service.\n");
        return CommandExit::Failed;
    }
    // Without its source the events still arrive, but the Event Viewer cannot show their text.
    if (!registerEventSource(serviceName()))
        std::printf("Could not register the event log source.\n");
    std::printf("Installed service '%s'.\n", name());
    ensureConfiguredLogonRight();
    if (!wasRunning) return CommandExit::Done;
    // Whoever installs over a running service wants it running again, on the new settings.
    std::printf("Service '%s' was running: starting it again.\n", name());
    return startInstalledService(waitForStart);
}

bool serviceIsRunning() {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService service(manager ? OpenServiceA(manager.get(), name(), SERVICE_QUERY_STATUS)
                                  : nullptr);
    if (!service) return false;
    const DWORD state = currentState(service.get());
    return state == SERVICE_RUNNING || state == SERVICE_START_PENDING;
}

int uninstallService(bool verbose) {
    stopInstalledService(false);

    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    UniqueService service(manager ? OpenServiceA(manager.get(), name(), DELETE) : nullptr);
    if (!service || !DeleteService(service.get())) {
        if (verbose) printControlFailure("remove", GetLastError());
        return CommandExit::Failed;
    }
    removeEventSource(serviceName());
    if (verbose) std::printf("Uninstalled service '%s'.\n", name());
    return CommandExit::Done;
}

int startInstalledService(bool waitForStart) {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService service(
        manager ? OpenServiceA(manager.get(), name(), SERVICE_START | SERVICE_QUERY_STATUS)
                : nullptr);
    if (!service) {
        printControlFailure("start", GetLastError());
        return CommandExit::Failed;
    }
    const auto started = [&] {
        std::printf("Starting service '%s'.\n", name());
        return waitForStart ? awaitRunningService(service.get()) : CommandExit::Done;
    };
    if (StartServiceA(service.get(), 0, nullptr)) return started();
    DWORD error = GetLastError();
    // A service that is still stopping counts as running for the manager; calling that
    // "already running" would be wrong, since it ends stopped. Wait for the stop, then start.
    if (error == ERROR_SERVICE_ALREADY_RUNNING &&
        currentState(service.get()) == SERVICE_STOP_PENDING) {
        std::printf("Waiting for service '%s' to stop first.\n", name());
        std::fflush(stdout);
        if (!waitForServiceStop(service.get())) {
            std::printf("Could not start service: it is still stopping.\n");
            return CommandExit::Failed;
        }
        if (StartServiceA(service.get(), 0, nullptr)) return started();
        error = GetLastError();
    }
    if (error == ERROR_SERVICE_ALREADY_RUNNING) {
        std::printf("Service is already running.\n");
        return CommandExit::Done;
    }
    if (error == ERROR_SERVICE_LOGON_FAILED) {
        printLogonFailure(getConfigString(Key::ServiceAccount));
        return CommandExit::Failed;
    }
    printControlFailure("start", error);
    return CommandExit::Failed;
}

int stopInstalledService(bool verbose) {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService service(
        manager ? OpenServiceA(manager.get(), name(), SERVICE_STOP | SERVICE_QUERY_STATUS)
                : nullptr);
    if (!service) {
        if (verbose) printControlFailure("stop", GetLastError());
        return CommandExit::Failed;
    }
    SERVICE_STATUS status;
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        reportStopWait(service.get());
        return CommandExit::Done;
    }
    const DWORD error = GetLastError();
    // A stop already under way (another command, the system) refuses a second request;
    // the service is stopping all the same, so this command waits for it like its own.
    const DWORD state = error == ERROR_SERVICE_NOT_ACTIVE ? SERVICE_STOPPED
                                                          : currentState(service.get());
    if (state == SERVICE_STOP_PENDING) {
        reportStopWait(service.get());
        return CommandExit::Done;
    }
    if (state == SERVICE_STOPPED) {
        std::printf("Service is already stopped.\n");
        return CommandExit::Done;
    }
    if (verbose) printControlFailure("stop", error);
    return CommandExit::Failed;
}

bool waitForServiceStop(SC_HANDLE service) { return waitForStopState(waitHooks(service)); }

int queryServiceState() {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService service(
        manager ? OpenServiceA(manager.get(), name(), SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS)
                : nullptr);
    const auto status = service ? queryStopProgress(service.get()) : std::nullopt;
    if (!status) {
        printControlFailure("query", GetLastError());
        return CommandExit::Failed;
    }
    const bool running = status->state == SERVICE_RUNNING;
    std::printf(running ? "Running.\n" : "Not running.\n");
    // A service that stopped on its own says why; a clean stop has nothing to add.
    // A service that never ran since the system started has nothing to tell either.
    if (status->state == SERVICE_STOPPED && status->win32ExitCode != 0 &&
        status->win32ExitCode != ERROR_SERVICE_NEVER_STARTED)
        std::printf("Stopped: %s.\n", exitMeaning(*status).c_str());
    if (getConfigInt(Key::DiagnosticLog) != 0)
        std::printf("Diagnostic log: %s.\n", diagnosticLogPath().c_str());

    // 8 KB holds any ordinary configuration; a larger one (long path, many dependencies)
    // is read again at the size the manager asks for rather than reported as a failure.
    std::vector<std::uint64_t> buffer(8192 / sizeof(std::uint64_t));
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    BOOL ok = QueryServiceConfigA(service.get(), config, 8192, &needed);
    if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed > 8192) {
        buffer.resize(needed / sizeof(std::uint64_t) + 1);
        config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
        ok = QueryServiceConfigA(service.get(), config,
                                 static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t)),
                                 &needed);
    }
    if (!ok) {
        const DWORD error = GetLastError();
        std::printf("Could not get config (%d, %d).\n", static_cast<int>(error),
                    static_cast<int>(needed));
        return CommandExit::Failed;
    }
    if (config->dwStartType == SERVICE_AUTO_START) std::printf("%s.\n", "Auto-start");
    return running ? CommandExit::Done : CommandExit::NotRunning;
}

}  // namespace karvo
