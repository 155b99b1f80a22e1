#include "core/ServiceControl.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "config/LauncherConfig.h"
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

// The description is optional: looked up in the advapi32 already loaded, so that a system
// without ChangeServiceConfig2W still installs the service.
void setServiceDescription(SC_HANDLE service) {
    std::u16string description = getConfigWString(Key::Description);
    if (description.empty()) return;
    const HMODULE advapi = GetModuleHandleA("advapi32.dll");
    if (!advapi) return;
    using ChangeConfig2W = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPVOID);
    const auto change = reinterpret_cast<ChangeConfig2W>(
        reinterpret_cast<void*>(GetProcAddress(advapi, "ChangeServiceConfig2W")));
    if (!change) return;
    SERVICE_DESCRIPTIONW text;
    text.lpDescription = reinterpret_cast<LPWSTR>(description.data());
    change(service, SERVICE_CONFIG_DESCRIPTION, &text);
}

std::optional<StopProgress> queryStopProgress(SC_HANDLE service) {
    SERVICE_STATUS status;
    if (!QueryServiceStatus(service, &status)) return std::nullopt;
    return StopProgress{status.dwCurrentState, status.dwCheckPoint, status.dwWaitHint};
}

}  // namespace

std::optional<std::string> buildDependencyList() {
    return makeDependencyList(getConfigString(Key::Dependencies));
}

int installService(int startType, bool interactive) {
    uninstallService(false);

    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        std::printf("Could not open SCManager.\n");
        return 1;
    }
    // Created through the wide call, with the texts converted exactly as the ANSI call
    // would convert them: Wine's ANSI call keeps only the first name of a dependency list.
    const std::u16string wideName = toWide(serviceName(), CP_ACP);
    const std::u16string imagePath = toWide(imagePathForService(), fileApiCodePage());
    const auto dependencies = buildDependencyList();
    const std::u16string wideDependencies = dependencies ? toWide(*dependencies, CP_ACP) : u"";
    const DWORD type =
        SERVICE_WIN32_OWN_PROCESS | (interactive ? SERVICE_INTERACTIVE_PROCESS : 0);
    UniqueService service(CreateServiceW(
        manager.get(), wideChars(wideName), wideChars(wideName), SERVICE_ALL_ACCESS, type,
        static_cast<DWORD>(startType), SERVICE_ERROR_NORMAL, wideChars(imagePath), nullptr,
        nullptr, dependencies ? wideChars(wideDependencies) : nullptr, nullptr, nullptr));
    if (!service) {
        std::printf("Could not create service.\n");
        return 1;
    }
    setServiceDescription(service.get());
    std::printf("Installed service '%s'.\n", name());
    return 0;
}

int uninstallService(bool verbose) {
    stopInstalledService(false);

    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        if (verbose) std::printf("Could not open SCManager.\n");
        return 1;
    }
    UniqueService service(OpenServiceA(manager.get(), name(), DELETE));
    if (!service || !DeleteService(service.get())) {
        if (verbose) std::printf("Could not delete service.\n");
        return 1;
    }
    if (verbose) std::printf("Uninstalled service '%s'.\n", name());
    return 0;
}

int startInstalledService() {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        std::printf("Could not open SCManager.\n");
        return 1;
    }
    UniqueService service(OpenServiceA(manager.get(), name(), SERVICE_START));
    if (service && StartServiceA(service.get(), 0, nullptr)) {
        std::printf("Starting service '%s'.\n", name());
        return 0;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_SERVICE_ALREADY_RUNNING) {
        std::printf("Service is already running.\n");
        return 0;
    }
    std::printf("Could not start service. Error code: %d\n", static_cast<int>(error));
    return 1;
}

int stopInstalledService(bool verbose) {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        if (verbose) std::printf("Could not open SCManager.\n");
        return 1;
    }
    UniqueService service(
        OpenServiceA(manager.get(), name(), SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!service) {
        if (verbose) std::printf("Could not stop service.\n");
        return 1;
    }
    SERVICE_STATUS status;
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        std::printf("Stopping service '%s'.\n", name());
        std::fflush(stdout);  // the wait can take a while: show what is going on
        std::printf(waitForServiceStop(service.get()) ? "Service stopped\n"
                                                      : "Error while stopping service\n");
        return 0;
    }
    if (GetLastError() == ERROR_SERVICE_NOT_ACTIVE) {
        std::printf("Service is already stopped.\n");
        return 0;
    }
    if (verbose) std::printf("Could not stop service.\n");
    return 1;
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
        return 1;
    }
    UniqueService service(
        OpenServiceA(manager.get(), name(), SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
    SERVICE_STATUS status;
    if (!service || !QueryServiceStatus(service.get(), &status)) {
        std::printf("Could not get status.\n");
        return 1;
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
        return 1;
    }
    if (config->dwStartType == SERVICE_AUTO_START) std::printf("%s.\n", "Auto-start");
    return running ? 0 : 3;
}

}  // namespace karvo
