#include "win/ServiceHarness.h"

#include <cstdio>
#include <stdexcept>

#include "support/WinHandles.h"

namespace karvo::test {

RunResult launcherCommand(const RuntimeLayout& layout, const std::string& tail) {
    RunOptions options;
    options.timeoutMs = CommandTimeoutMs;
    return runProcess("\"" + layout.executable() + "\" " + tail, options);
}

std::optional<SERVICE_STATUS_PROCESS> queryService(const std::string& name) {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return std::nullopt;
    UniqueService service(OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
    if (!service) return std::nullopt;
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                              reinterpret_cast<BYTE*>(&status), sizeof status, &needed))
        return std::nullopt;
    return status;
}

bool waitForServiceState(const std::string& name, DWORD state, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        const auto status = queryService(name);
        if (status && status->dwCurrentState == state) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(100);
    }
}

bool serviceExists(const std::string& name) {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService service(manager ? OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_STATUS)
                                  : nullptr);
    return service.valid();
}

DWORD startWithParameters(const std::string& name, const std::vector<std::string>& parameters) {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return GetLastError();
    UniqueService service(OpenServiceA(manager.get(), name.c_str(), SERVICE_START));
    if (!service) return GetLastError();
    std::vector<LPCSTR> pointers;
    for (const auto& parameter : parameters) pointers.push_back(parameter.c_str());
    if (!StartServiceA(service.get(), static_cast<DWORD>(pointers.size()),
                       pointers.empty() ? nullptr : pointers.data()))
        return GetLastError();
    return 0;
}

bool waitProcessGone(DWORD pid, DWORD timeoutMs) {
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!process) return true;
    return WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
}

namespace {

constexpr const char* PriorityKeyPath[] = {"SOFTWARE\\norvale-soft",
                                           "SOFTWARE\\norvale-soft\\karvo",
                                           "SOFTWARE\\norvale-soft\\karvo\\priority"};

bool keyIsEmpty(const char* path) {
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return subkeys == 0 && values == 0;
}

}  // namespace

PriorityValue::PriorityValue(const std::string& serviceName, DWORD type, const std::string& bytes)
    : name_(serviceName) {
    for (const char* path : PriorityKeyPath) {
        UniqueKey key;
        DWORD disposition = 0;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            key.receive(), &disposition) != ERROR_SUCCESS)
            throw std::runtime_error(std::string("cannot create HKLM\\") + path);
        if (disposition == REG_CREATED_NEW_KEY) createdKeys_.push_back(path);
        if (path == PriorityKeyPath[2] &&
            RegSetValueExA(key.get(), name_.c_str(), 0, type,
                           reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())) != ERROR_SUCCESS)
            throw std::runtime_error("cannot set the priority value");
    }
}

PriorityValue::~PriorityValue() {
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PriorityKeyPath[2], 0, KEY_SET_VALUE, key.receive()) ==
        ERROR_SUCCESS)
        RegDeleteValueA(key.get(), name_.c_str());
    key.reset();
    for (auto it = createdKeys_.rbegin(); it != createdKeys_.rend(); ++it)
        if (keyIsEmpty(it->c_str())) RegDeleteKeyA(HKEY_LOCAL_MACHINE, it->c_str());
}

InstalledService::InstalledService(const RuntimeLayout& layout, const std::string& name,
                                   const std::string& installWord)
    : layout_(layout), name_(name) {
    install_ = launcherCommand(layout, installWord);
}

bool InstalledService::start(const std::string& mark, DWORD timeoutMs) {
    // Without the settling wait: the caller waits for its own mark, and a program meant
    // to end at once must not fail the start.
    const RunResult started = launcherCommand(layout_, "/start nowait");
    if (started.exitCode != 0) {
        std::fprintf(stderr, "/start of %s ended with %lu:\n%s%s", name_.c_str(),
                     static_cast<unsigned long>(started.exitCode), started.out.c_str(),
                     started.err.c_str());
        return false;
    }
    const bool marked = layout_.waitForRecord(mark, timeoutMs);
    if (!marked) {
        const auto status = queryService(name_);
        std::fprintf(stderr, "%s: no \"%s\" from the program within %lu ms; service state %lu\n",
                     name_.c_str(), mark.c_str(), static_cast<unsigned long>(timeoutMs),
                     status ? static_cast<unsigned long>(status->dwCurrentState) : 0ul);
    }
    if (const auto status = queryService(name_); status && status->dwProcessId)
        pids_.push_back(status->dwProcessId);
    if (const DWORD child = childPid(layout_)) pids_.push_back(child);
    return marked;
}

DWORD childPid(const RuntimeLayout& layout) {
    return static_cast<DWORD>(std::stoul(layout.record().first("pid").value_or("0")));
}

InstalledService::~InstalledService() {
    if (const auto status = queryService(name_); status && status->dwProcessId)
        pids_.push_back(status->dwProcessId);
    launcherCommand(layout_, "/uninstall");
    // Whatever the launcher could not remove is removed here, and nothing may live on.
    if (serviceExists(name_)) {
        UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        UniqueService service(
            manager ? OpenServiceA(manager.get(), name_.c_str(), SERVICE_STOP | DELETE) : nullptr);
        if (service) {
            SERVICE_STATUS status{};
            ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
            waitForServiceState(name_, SERVICE_STOPPED, 10000);
            DeleteService(service.get());
        }
    }
    for (const DWORD pid : pids_) {
        if (waitProcessGone(pid, 5000)) continue;
        UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
        if (process) {
            TerminateProcess(process.get(), 99);
            WaitForSingleObject(process.get(), 5000);
        }
    }
}

}  // namespace karvo::test
