#include "core/ServiceControl.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "config/ExecutablePath.h"
#include "config/LauncherConfig.h"
#include "config/ServiceAccount.h"
#include "core/AccountInstall.h"
#include "core/EventLogSource.h"
#include "core/ServiceControlRules.h"
#include "core/ServiceName.h"
#include "support/TextConv.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

const char* name() { return serviceName().c_str(); }

// The image path the Service Control Manager runs, always in double quotes. Unquoted,
// "C:\Program Files\App\svc.exe" would first be tried as "C:\Program.exe", and the service
// process's own splitting would take an apostrophe in "C:\bob's\svc.exe" for an unclosed
// quote. Quoted, the splitter reads it as one argument whatever it holds (a path cannot
// contain a double quote).
std::string imagePathForService() { return "\"" + getExecutablePath() + "\""; }

using ChangeConfig2W = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPVOID);

// Looked up in the advapi32 already loaded, so that a system without ChangeServiceConfig2W
// still installs the service (without the settings that need it).
ChangeConfig2W changeConfig2() {
    const HMODULE advapi = GetModuleHandleA("advapi32.dll");
    if (!advapi) return nullptr;
    return reinterpret_cast<ChangeConfig2W>(
        reinterpret_cast<void*>(GetProcAddress(advapi, "ChangeServiceConfig2W")));
}

// The description is optional and its result is not examined.
void setServiceDescription(SC_HANDLE service) {
    std::u16string description = getConfigWString(Key::Description);
    if (description.empty()) return;
    const auto change = changeConfig2();
    if (!change) return;
    SERVICE_DESCRIPTIONW text;
    text.lpDescription = reinterpret_cast<LPWSTR>(description.data());
    change(service, SERVICE_CONFIG_DESCRIPTION, &text);
}

// A day: long enough that a service failing once a night is still seen as failing again.
constexpr DWORD DefaultFailureResetSeconds = 86400;

// Delayed automatic start and the system's restart after a failure, when configured. The
// operator asked for them, so a system that refuses them fails the install (the caller
// removes the half-made service). Returns the system's error code, 0 on success.
DWORD applyInstallOptions(SC_HANDLE service, int startType) {
    const bool delayed = startType == SERVICE_AUTO_START &&
                         getConfigInt(Key::DelayedAutoStart) != 0;
    const int restartDelay = getConfigInt(Key::FailureRestartDelay);
    if (!delayed && restartDelay <= 0) return 0;
    const auto change = changeConfig2();
    if (!change) {
        std::printf("Could not register the install options: this system lacks "
                    "ChangeServiceConfig2W.\n");
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    if (delayed) {
        SERVICE_DELAYED_AUTO_START_INFO info{TRUE};
        if (!change(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &info)) {
            const DWORD error = GetLastError();
            // A manager that does not know the setting at all (Wine) starts the service
            // with the others: a later start is a courtesy to the system, not something
            // the service relies on, so the install goes on and says so.
            if (error != ERROR_INVALID_LEVEL) {
                std::printf("Could not set the delayed automatic start. Error code: %d\n",
                            static_cast<int>(error));
                return error ? error : ERROR_GEN_FAILURE;
            }
            std::printf("This system has no delayed automatic start; the service starts with "
                        "the other automatic services.\n");
        }
    }
    if (restartDelay > 0) {
        const int reset = getConfigInt(Key::FailureResetPeriod);
        // One action: the system repeats the last action for every further failure.
        SC_ACTION action{SC_ACTION_RESTART, static_cast<DWORD>(restartDelay)};
        SERVICE_FAILURE_ACTIONSW actions{};
        actions.dwResetPeriod = reset > 0 ? static_cast<DWORD>(reset) : DefaultFailureResetSeconds;
        actions.cActions = 1;
        actions.lpsaActions = &action;
        if (!change(service, SERVICE_CONFIG_FAILURE_ACTIONS, &actions)) {
            const DWORD error = GetLastError();
            std::printf("Could not register the failure actions. Error code: %d\n",
                        static_cast<int>(error));
            return error ? error : ERROR_GEN_FAILURE;
        }
    }
    return 0;
}

std::optional<StopProgress> queryStopProgress(SC_HANDLE service) {
    SERVICE_STATUS status;
    if (!QueryServiceStatus(service, &status)) return std::nullopt;
    return StopProgress{status.dwCurrentState, status.dwCheckPoint, status.dwWaitHint};
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

int installService(int startType, bool interactive, const std::string& passwordVariable) {
    // Checked before the old service is touched: a configuration that cannot be installed
    // must not remove the one that runs.
    const std::string configuredAccount = getConfigString(Key::ServiceAccount);
    const auto account = parseServiceAccount(configuredAccount);
    if (!account) {
        std::printf("Could not create service: the account '%s' cannot be used (%.*s).\n",
                    configuredAccount.c_str(), static_cast<int>(AcceptedServiceAccounts.size()),
                    AcceptedServiceAccounts.data());
        return CommandExit::Failed;
    }
    // The password is had before anything changes, too: a user who cannot give it keeps
    // the service that runs. It goes to the Service Control Manager and nowhere else.
    ServicePassword password;
    if (!obtainServicePassword(*account,
                               choosePasswordSource(*account, interactive, passwordVariable,
                                                    getConfigString(Key::ServicePasswordVariable)),
                               password))
        return CommandExit::Failed;
    uninstallService(false);

    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        std::printf("Could not open SCManager.\n");
        return CommandExit::Failed;
    }
    // Created through the wide call, with the texts converted exactly as the ANSI call
    // would convert them: Wine's ANSI call keeps only the first name of a dependency list.
    const std::u16string wideName = toWide(serviceName(), CP_ACP);
    const std::u16string imagePath = toWide(imagePathForService(), fileApiCodePage());
    const auto dependencies = buildDependencyList();
    const std::u16string wideDependencies = dependencies ? toWide(*dependencies, CP_ACP) : u"";
    const std::u16string wideAccount = toWide(account->name, CP_ACP);
    // Only the local system account may interact with the desktop; the system refuses the
    // flag for any other account, so an account of its own makes the service non-interactive.
    const bool mayInteract = interactive && account->name.empty();
    const DWORD type =
        SERVICE_WIN32_OWN_PROCESS | (mayInteract ? SERVICE_INTERACTIVE_PROCESS : 0);
    UniqueService service(CreateServiceW(
        manager.get(), wideChars(wideName), wideChars(wideName), SERVICE_ALL_ACCESS, type,
        static_cast<DWORD>(startType), SERVICE_ERROR_NORMAL, wideChars(imagePath), nullptr, nullptr,
        dependencies ? wideChars(wideDependencies) : nullptr,
        account->name.empty() ? nullptr : wideChars(wideAccount),
        password.empty() ? nullptr : wideChars(password.text())));
    if (!service) {
        std::printf("Could not create service.\n");
        return CommandExit::Failed;
    }
    setServiceDescription(service.get());
    if (applyInstallOptions(service.get(), startType) != 0) {
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
    ensureServiceLogonRight(*account);
    return CommandExit::Done;
}

int uninstallService(bool verbose) {
    stopInstalledService(false);

    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        if (verbose) std::printf("Could not open SCManager.\n");
        return CommandExit::Failed;
    }
    UniqueService service(OpenServiceA(manager.get(), name(), DELETE));
    if (!service || !DeleteService(service.get())) {
        if (verbose) std::printf("Could not delete service.\n");
        return CommandExit::Failed;
    }
    removeEventSource(serviceName());
    if (verbose) std::printf("Uninstalled service '%s'.\n", name());
    return CommandExit::Done;
}

int startInstalledService() {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        std::printf("Could not open SCManager.\n");
        return CommandExit::Failed;
    }
    UniqueService service(
        OpenServiceA(manager.get(), name(), SERVICE_START | SERVICE_QUERY_STATUS));
    if (service && StartServiceA(service.get(), 0, nullptr)) {
        std::printf("Starting service '%s'.\n", name());
        return CommandExit::Done;
    }
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
        if (StartServiceA(service.get(), 0, nullptr)) {
            std::printf("Starting service '%s'.\n", name());
            return CommandExit::Done;
        }
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
    std::printf("Could not start service. Error code: %d\n", static_cast<int>(error));
    return CommandExit::Failed;
}

int stopInstalledService(bool verbose) {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        if (verbose) std::printf("Could not open SCManager.\n");
        return CommandExit::Failed;
    }
    UniqueService service(
        OpenServiceA(manager.get(), name(), SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!service) {
        if (verbose) std::printf("Could not stop service.\n");
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
    if (verbose) std::printf("Could not stop service.\n");
    return CommandExit::Failed;
}

bool waitForServiceStop(SC_HANDLE service) {
    StopWaitHooks hooks;
    hooks.queryStatus = [service] { return queryStopProgress(service); };
    hooks.sleep = [](std::uint32_t milliseconds) { Sleep(milliseconds); };
    hooks.tickCount = [] { return static_cast<std::uint32_t>(GetTickCount()); };
    return waitForStopState(hooks);
}

int queryServiceState() {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        std::printf("Could not open SCManager.\n");
        return CommandExit::Failed;
    }
    UniqueService service(
        OpenServiceA(manager.get(), name(), SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
    SERVICE_STATUS status;
    if (!service || !QueryServiceStatus(service.get(), &status)) {
        std::printf("Could not get status.\n");
        return CommandExit::Failed;
    }
    const bool running = status.dwCurrentState == SERVICE_RUNNING;
    std::printf(running ? "Running.\n" : "Not running.\n");

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
