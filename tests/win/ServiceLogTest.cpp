// The diagnostic logs of the service process and its child, written when the services of
// this run have KARVO_LOG=yes. Wine's service manager gives services the system
// environment as it was when the manager started, so a test cannot switch it on for one
// service; run with WINE_SYSTEM_ENV="KARVO_LOG=yes" (scripts/with-wine.sh) to check them.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <set>

#include "config/ConfigKeys.h"
#include "support/WinHandles.h"
#include "win/RuntimeLayout.h"
#include "win/ServiceHarness.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

bool servicesLog() {
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                      "System\\CurrentControlSet\\Control\\Session Manager\\Environment", 0,
                      KEY_READ, key.receive()) != ERROR_SUCCESS)
        return false;
    for (const char* name : {"KARVO_LOG", "TESSEL_LOG"}) {
        char value[16] = {};
        DWORD size = sizeof value - 1;
        if (RegQueryValueExA(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                             &size) == ERROR_SUCCESS &&
            std::string(value) == "yes")
            return true;
    }
    return false;
}

std::vector<std::string> logDirectories() {
    std::vector<std::string> directories = {"c:\\"};
    char tmp[MAX_PATH * 4];
    const DWORD length = GetEnvironmentVariableA("TMP", tmp, sizeof tmp);
    if (length > 0 && length < sizeof tmp) {
        std::string directory(tmp, length);
        if (directory.back() != '\\') directory += '\\';
        directories.push_back(directory);
    }
    return directories;
}

std::set<std::string> logFiles() {
    std::set<std::string> files;
    for (const auto& directory : logDirectories()) {
        WIN32_FIND_DATAA data;
        UniqueFind find(FindFirstFileA((directory + "tsl_nlog*").c_str(), &data));
        if (!find) continue;
        do files.insert(directory + data.cFileName);
        while (FindNextFileA(find.get(), &data));
    }
    return files;
}

// The logs that appeared since `before` and were written by this layout's executable;
// they are deleted here, after being read.
std::vector<std::vector<std::string>> takeNewLogs(const std::set<std::string>& before,
                                                  const RuntimeLayout& layout) {
    std::vector<std::vector<std::string>> logs;
    for (const auto& file : logFiles()) {
        if (before.count(file)) continue;
        const auto text = readFile(file);
        if (!text || text->find("Started executable " + layout.executable()) != 0) continue;
        logs.push_back(lines(*text));
        DeleteFileA(file.c_str());
    }
    return logs;
}

const std::vector<std::string>* logWith(const std::vector<std::vector<std::string>>& logs,
                                        const std::string& line) {
    for (const auto& log : logs)
        if (std::find(log.begin(), log.end(), line) != log.end()) return &log;
    return nullptr;
}

// Each expected line appears, in this order (other lines may come between).
bool inOrder(const std::vector<std::string>& log, const std::vector<std::string>& expected) {
    auto at = log.begin();
    for (const auto& line : expected) {
        at = std::find(at, log.end(), line);
        if (at == log.end()) return false;
        ++at;
    }
    return true;
}

std::string joined(const std::vector<std::string>& log) {
    std::string text;
    for (const auto& line : log) text += "  | " + line + "\n";
    return text;
}

}  // namespace

TEST(ServiceLog, BothProcessesLogTheirPart) {
    if (!servicesLog()) GTEST_SKIP() << "services of this run do not log (see the file comment)";
    struct Row {
        const char* name;
        std::string script;
        bool stopRequested;
        std::vector<std::string> serviceLines;  // "NAME" stands for the service name
        std::vector<std::string> absent;
        std::map<ConfigKey, std::string> extraKeys;
        std::vector<std::string> once;  // lines the service log holds exactly once
    } rows[] = {
        {"stopped by request",
         "wait-stdin",
         true,
         {"service main", "service name is 'NAME'", "registering ConsoleCtrlHandler",
          "control handler request 1", "sending shutdown 0", "shutdown sent",
          "process terminated with exit code 0", "service stopped set", "exiting"},
         {}},
        {"child ends with 0 on its own: reported stopped without a request",
         "sleep:300",
         false,
         {"service main", "service name is 'NAME'", "registering ConsoleCtrlHandler",
          "process terminated with exit code 0", "service stopped set", "exiting"},
         {"control handler request 1", "sending shutdown 0"}},
        {"child ends with 1 on its own: reported stopped with its code",
         "sleep:300|exit:1",
         false,
         {"service main", "service name is 'NAME'", "process terminated with exit code 1",
          "service stopped set", "exiting"},
         {"control handler request 1"}},
        {"child fails: the last lines it wrote are logged, only those after a cut",
         "stderr:" + std::string(5000, 'x') +
             "|stderr:Exception in thread main|stderr:\tat "
             "Main.main|sleep:300|exit:3",
         false,
         {"process terminated with exit code 3", "ERROR: the program ended with exit code 3",
          "last output of the program:", "output: Exception in thread main",
          "output: \tat Main.main", "service stopped set", "exiting"},
         {"output: " + std::string(5000, 'x')}},
        {"restarted twice: console events handled by one registration",
         "exit:3",
         false,
         {"registering ConsoleCtrlHandler", "process terminated with exit code 3",
          "restart 1 after exit code 3 in 200 ms", "restart 2 after exit code 3 in 400 ms",
          "process terminated with exit code 3", "exiting"},
         {},
         {{Key::Restart, "on-failure"}, {Key::RestartDelay, "200"}, {Key::RestartLimit, "2"}},
         {"registering ConsoleCtrlHandler"}},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoLog");
        RuntimeLayout layout("log_e2e", [&] {
            auto keys = serviceKeys(name);
            keys[Key::ProgramArguments] = "-r";
            for (const auto& [key, value] : row.extraKeys) keys[key] = value;
            return keys;
        }(), row.script);
        const auto before = logFiles();
        {
            InstalledService service(layout, name);
            ASSERT_TRUE(service.start()) << row.name;
            const auto status = queryService(name);
            ASSERT_TRUE(status) << row.name;
            if (row.stopRequested) launcherCommand(layout, "/stop");
            EXPECT_TRUE(waitProcessGone(status->dwProcessId, 20000)) << row.name;
        }
        const auto logs = takeNewLogs(before, layout);
        const auto* serviceLog = logWith(logs, "service main");
        const auto* childLog = logWith(logs, "launching program");
        ASSERT_NE(serviceLog, nullptr) << row.name;
        ASSERT_NE(childLog, nullptr) << row.name;
        EXPECT_NE(serviceLog, childLog) << row.name;

        std::vector<std::string> expected = row.serviceLines;
        for (auto& line : expected)
            if (auto at = line.find("NAME"); at != std::string::npos) line.replace(at, 4, name);
        EXPECT_TRUE(inOrder(*serviceLog, expected)) << row.name << "\n" << joined(*serviceLog);
        // The drain starts with the child; its last line may be cut off by the process end.
        EXPECT_TRUE(inOrder(*serviceLog, {"consuming output"})) << row.name;
        for (const auto& line : row.absent)
            EXPECT_EQ(std::count(serviceLog->begin(), serviceLog->end(), line), 0) << row.name;
        for (const auto& line : row.once)
            EXPECT_EQ(std::count(serviceLog->begin(), serviceLog->end(), line), 1)
                << row.name << ": " << line << "\n"
                << joined(*serviceLog);

        EXPECT_TRUE(inOrder(*childLog, {"launching program", "Creating JVM", "JVM created",
                                        "main class: com/karvo/runtime/WinLauncher",
                                        "param count: 7", "param 0: false",
                                        "param 1: com.example.Main", "param 5: " + name,
                                        "param 6: -r", "calling main"}))
            << row.name << "\n" << joined(*childLog);
        if (row.stopRequested) {
            EXPECT_TRUE(
                inOrder(*childLog, {"calling main", "main returned", "dest JVM", "launch done"}))
                << row.name;
        }
    }
}
