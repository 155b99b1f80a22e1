// Services installed by a test: the launcher's own commands against the real Service
// Control Manager, with an owner that always stops and removes the service and ends any
// process it left behind, within a time limit.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "win/RuntimeLayout.h"

namespace karvo::test {

constexpr DWORD CommandTimeoutMs = 60000;

// Runs the layout's executable with a command line tail such as "/start".
RunResult launcherCommand(const RuntimeLayout& layout, const std::string& tail);

std::optional<SERVICE_STATUS_PROCESS> queryService(const std::string& name);
bool waitForServiceState(const std::string& name, DWORD state, DWORD timeoutMs);
bool serviceExists(const std::string& name);
// StartServiceA with the given parameters; the system's error code (0 on success).
DWORD startWithParameters(const std::string& name, const std::vector<std::string>& parameters);

bool waitProcessGone(DWORD pid, DWORD timeoutMs);
// The program's process as the stand-in runtime recorded it; 0 before it did.
DWORD childPid(const RuntimeLayout& layout);

// A value under HKLM "SOFTWARE\norvale-soft\karvo\priority" for one service, removed
// again with the keys it had to create (when they are empty by then).
class PriorityValue {
public:
    PriorityValue(const std::string& serviceName, DWORD type, const std::string& bytes);
    ~PriorityValue();
    PriorityValue(const PriorityValue&) = delete;
    PriorityValue& operator=(const PriorityValue&) = delete;

private:
    std::string name_;
    std::vector<std::string> createdKeys_;  // innermost last
};

class InstalledService {
public:
    // Installs with the given command word ("/install-demand", "/install-auto").
    InstalledService(const RuntimeLayout& layout, const std::string& name,
                     const std::string& installWord = "/install-demand");
    ~InstalledService();
    InstalledService(const InstalledService&) = delete;
    InstalledService& operator=(const InstalledService&) = delete;

    const RunResult& installResult() const { return install_; }
    // Starts the service with "/start nowait" and waits until the stand-in runtime records `mark`
    // ("param count": the program's main was entered). The service process and the program
    // are ended with the service if they outlive the test. False when the start fails or
    // the mark does not come in time.
    bool start(const std::string& mark = "param count", DWORD timeoutMs = 20000);
    // Remembers a process (service or child) to end if it outlives the test.
    void watch(DWORD pid) { pids_.push_back(pid); }

private:
    const RuntimeLayout& layout_;
    std::string name_;
    RunResult install_;
    std::vector<DWORD> pids_;
};

}  // namespace karvo::test
