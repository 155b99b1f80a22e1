#include "core/ServiceSettings.h"

#include <windows.h>

#include <cstdio>

#include "config/ExecutablePath.h"
#include "config/LauncherConfig.h"
#include "config/ServiceAccount.h"
#include "core/AccountInstall.h"
#include "core/EventLogSource.h"
#include "core/ServiceControl.h"
#include "core/ServiceControlRules.h"
#include "core/ServiceName.h"
#include "support/TextConv.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

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

// The description's result is not examined: it is a courtesy to the reader of the list.
void setServiceDescription(ChangeConfig2W change, SC_HANDLE service, bool update) {
    std::u16string description = getConfigWString(Key::Description);
    if (description.empty() && !update) return;
    SERVICE_DESCRIPTIONW text;
    text.lpDescription = reinterpret_cast<LPWSTR>(description.data());
    change(service, SERVICE_CONFIG_DESCRIPTION, &text);
}

// A day: long enough that a service failing once a night is still seen as failing again.
constexpr DWORD DefaultFailureResetSeconds = 86400;

DWORD reportRefusal(const char* what) {
    const DWORD error = GetLastError();
    std::printf("Could not set the %s: %s.\n", what,
                errorWithSystemText(error, systemErrorText(error)).c_str());
    return error ? error : ERROR_GEN_FAILURE;
}

DWORD setDelayedStart(ChangeConfig2W change, SC_HANDLE service, bool delayed) {
    SERVICE_DELAYED_AUTO_START_INFO info{delayed ? TRUE : FALSE};
    if (change(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &info)) return 0;
    // A manager that does not know the setting at all (Wine) starts the service with the
    // others: a later start is a courtesy to the system, not something the service relies
    // on, so the install goes on and says so.
    if (GetLastError() != ERROR_INVALID_LEVEL) return reportRefusal("delayed automatic start");
    if (delayed)
        std::printf(
            "This system has no delayed automatic start; the service starts with "
            "the other automatic services.\n");
    return 0;
}

DWORD setFailureActions(ChangeConfig2W change, SC_HANDLE service, int restartDelay) {
    const int reset = getConfigInt(Key::FailureResetPeriod);
    // One action: the system repeats the last action for every further failure. With no
    // action and an array given, the manager deletes the actions an earlier install set.
    SC_ACTION action{SC_ACTION_RESTART, static_cast<DWORD>(restartDelay > 0 ? restartDelay : 0)};
    SERVICE_FAILURE_ACTIONSW actions{};
    actions.dwResetPeriod = reset > 0 ? static_cast<DWORD>(reset) : DefaultFailureResetSeconds;
    actions.cActions = restartDelay > 0 ? 1 : 0;
    actions.lpsaActions = &action;
    if (!change(service, SERVICE_CONFIG_FAILURE_ACTIONS, &actions))
        return reportRefusal("failure actions");
    // The service reports a failed program as stopped with its exit code rather than
    // vanishing; only with this flag does the system count that as a failure and recover.
    SERVICE_FAILURE_ACTIONS_FLAG flag{TRUE};
    if (!change(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &flag) &&
        GetLastError() != ERROR_INVALID_LEVEL)
        return reportRefusal("failure actions for programs that end with an error");
    return 0;
}

}  // namespace

std::string systemErrorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    if (length == 0 || !buffer) return {};
    std::string text =
        toNarrow(std::u16string_view(reinterpret_cast<char16_t*>(buffer), length), CP_ACP);
    LocalFree(buffer);
    return text;
}

void printControlFailure(const char* action, DWORD error) {
    std::printf("%s\n",
                controlFailureLine(action, serviceName(), error, systemErrorText(error)).c_str());
}

std::optional<ServiceRegistration> readServiceRegistration(int startType, bool interactive) {
    const std::string configuredAccount = getConfigString(Key::ServiceAccount);
    const auto account = parseServiceAccount(configuredAccount);
    if (!account) {
        std::printf("Could not create service: the account '%s' cannot be used (%.*s).\n",
                    configuredAccount.c_str(), static_cast<int>(AcceptedServiceAccounts.size()),
                    AcceptedServiceAccounts.data());
        return std::nullopt;
    }
    ServiceRegistration registration;
    // Only the local system account may interact with the desktop; the system refuses the
    // flag for any other account, so an account of its own makes the service non-interactive.
    const bool mayInteract = interactive && account->name.empty();
    registration.type = SERVICE_WIN32_OWN_PROCESS | (mayInteract ? SERVICE_INTERACTIVE_PROCESS : 0);
    registration.startType = static_cast<DWORD>(startType);
    // Converted exactly as the ANSI calls would convert them: Wine's ANSI calls keep only
    // the first name of a dependency list, so the wide ones are used.
    registration.imagePath = toWide(imagePathForService(), fileApiCodePage());
    if (const auto dependencies = buildDependencyList())
        registration.dependencies = toWide(*dependencies, CP_ACP);
    registration.account = toWide(account->name, CP_ACP);
    return registration;
}

DWORD applyExtraSettings(SC_HANDLE service, DWORD startType, bool update) {
    const bool delayed =
        startType == SERVICE_AUTO_START && getConfigInt(Key::DelayedAutoStart) != 0;
    const int restartDelay = getConfigInt(Key::FailureRestartDelay);
    const auto change = changeConfig2();
    if (!change) {
        if (!delayed && restartDelay <= 0) return 0;
        std::printf(
            "Could not register the install options: this system lacks "
            "ChangeServiceConfig2W.\n");
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    setServiceDescription(change, service, update);
    // A fresh service has neither setting: only what was asked for is sent, so that a
    // system that refuses one fails only the installs that need it.
    if (delayed || (update && startType == SERVICE_AUTO_START)) {
        if (const DWORD error = setDelayedStart(change, service, delayed)) return error;
    }
    if (restartDelay > 0 || update) {
        if (const DWORD error = setFailureActions(change, service, restartDelay)) return error;
    }
    return 0;
}

int updateService(int startType, bool interactive, const std::string& passwordVariable) {
    const auto registration = readServiceRegistration(startType, interactive);
    if (!registration) return CommandExit::Failed;
    ServicePassword password;
    if (!obtainConfiguredPassword(interactive, passwordVariable, password))
        return CommandExit::Failed;
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        printControlFailure("update", GetLastError());
        return CommandExit::Failed;
    }
    const std::u16string wideName = toWide(serviceName(), CP_ACP);
    UniqueService service(
        OpenServiceW(manager.get(), wideChars(wideName), SERVICE_CHANGE_CONFIG | SERVICE_START));
    if (!service) {
        printControlFailure("update", GetLastError());
        return CommandExit::Failed;
    }
    // An empty list clears the dependencies; the local system account has to be named to
    // replace an account an earlier install set.
    const std::u16string dependencies =
        registration->dependencies.value_or(std::u16string(1, u'\0'));
    const std::u16string account =
        registration->account.empty() ? u"LocalSystem" : registration->account;
    if (!ChangeServiceConfigW(service.get(), registration->type, registration->startType,
                              SERVICE_ERROR_NORMAL, wideChars(registration->imagePath), nullptr,
                              nullptr, wideChars(dependencies), wideChars(account),
                              password.empty() ? nullptr : wideChars(password.text()),
                              wideChars(wideName))) {
        printControlFailure("update", GetLastError());
        return CommandExit::Failed;
    }
    if (applyExtraSettings(service.get(), registration->startType, true) != 0)
        return CommandExit::Failed;
    if (!registerEventSource(serviceName()))
        std::printf("Could not register the event log source.\n");
    ensureConfiguredLogonRight();
    std::printf(
        "Updated service '%s'; a running service uses the new settings from its "
        "next start.\n",
        serviceName().c_str());
    return CommandExit::Done;
}

}  // namespace karvo
