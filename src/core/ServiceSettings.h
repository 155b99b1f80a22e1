// The install-time settings of the executable as the Service Control Manager keeps them:
// applied once when the service is created, and again in place by /update, so that a
// replaced executable's description, dependencies, start type, account and recovery reach
// the installed service without removing it.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

namespace karvo {

// What the executable asks the manager to register, read from the configuration once.
struct ServiceRegistration {
    DWORD type = SERVICE_WIN32_OWN_PROCESS;
    DWORD startType = SERVICE_DEMAND_START;
    std::u16string imagePath;
    std::optional<std::u16string> dependencies;  // NUL-separated, double NUL at the end
    std::u16string account;                      // empty: the local system account
};

// Nothing (and the reason printed) when the configured account cannot be used.
std::optional<ServiceRegistration> readServiceRegistration(int startType, bool interactive);

// The settings CreateService and ChangeServiceConfig cannot carry: the description,
// delayed start, the failure actions and the flag that lets them run after a program that
// ended with an error. `update` also clears what the configuration no longer asks for.
// Returns the system's error code, 0 on success.
DWORD applyExtraSettings(SC_HANDLE service, DWORD startType, bool update);

// /update: the registration and the extra settings applied to the installed service, and
// the event source registered again (the executable may have moved). A user account's
// password is had as install has it; none given leaves the stored one as it is.
int updateService(int startType, bool interactive, const std::string& passwordVariable = {});

// The system's own text for an error code, in the ANSI code page, without its line break.
std::string systemErrorText(DWORD error);
// Prints the one failure line of a command: `action` is its verb ("start", "stop", ...).
void printControlFailure(const char* action, DWORD error);

}  // namespace karvo
