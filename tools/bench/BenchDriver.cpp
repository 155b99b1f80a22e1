// Runs the timed part of the bench inside one Windows process, so that timings do not
// include starting Wine: interleaved rounds over every case, then one "name median-ms" line
// per case. The layouts are prepared by scripts/bench.sh. Not shipped.
//   bench-driver <bench directory> <rounds>
//   bench-driver --time <rounds> <command line>...
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

std::string root;

double nowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Runs a command line to its end (at most a minute); the time it took, or -1. By default
// the program gets no console, as the service gives its Java host none: under Wine even a
// console without a window costs a console host process, more than a small program's start.
double runTimed(const std::string& commandLine, const std::string& directory,
                DWORD flags = DETACHED_PROCESS) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string line = commandLine;
    const double start = nowMs();
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        directory.c_str(), &startup, &info)) {
        std::fprintf(stderr, "cannot start %s (error %lu)\n", commandLine.c_str(), GetLastError());
        return -1;
    }
    const bool ended = WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0;
    const double took = nowMs() - start;
    DWORD exitCode = 1;
    GetExitCodeProcess(info.hProcess, &exitCode);
    if (!ended) TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (!ended || exitCode != 0) {
        std::fprintf(stderr, "%s ended with %lu\n", commandLine.c_str(), exitCode);
        return -1;
    }
    return took;
}

// The version cache entries of the runtimes under one layout (their key names hold the
// lower-cased path with "/" for "\\"), wherever the launcher may have written them: a
// service may see another user's hive. The other layouts keep theirs.
void forgetVersions(const std::string& layout) {
    std::string marker = "/" + layout + "/";
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_USERS}) {
        const std::string base = std::string(root == HKEY_USERS ? ".DEFAULT\\" : "") +
                                 "SOFTWARE\\norvale-soft\\karvo\\jvms";
        HKEY key;
        if (RegOpenKeyExA(root, base.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) continue;
        std::vector<std::string> doomed;
        char name[1024];
        for (DWORD index = 0;; ++index) {
            DWORD length = sizeof name;
            if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            if (std::string(name, length).find(marker) != std::string::npos)
                doomed.emplace_back(name, length);
        }
        for (const std::string& subkey : doomed) RegDeleteTreeA(key, subkey.c_str());
        RegCloseKey(key);
    }
}

double host(const std::string& layout) {
    const std::string directory = root + "\\" + layout;
    return runTimed("\"" + directory + "\\svc.exe\" KarvoBench __tsl_restart", directory);
}

// The same with the diagnostic log on; the log files go to the bench's own directory.
double loggedHost(const std::string& layout) {
    const std::string logs = root + "\\logs";
    CreateDirectoryA(logs.c_str(), nullptr);
    SetEnvironmentVariableA("TMP", logs.c_str());
    SetEnvironmentVariableA("KARVO_LOG", "yes");
    const double took = host(layout);
    SetEnvironmentVariableA("KARVO_LOG", nullptr);
    return took;
}

bool fileHolds(const std::string& path, const char* text) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::string contents;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) contents.append(buffer, got);
    std::fclose(file);
    return contents.find(text) != std::string::npos;
}

class Service {
public:
    // The configured executable of one layout, installed under its own name.
    Service(const std::string& layout, const std::string& name)
        : layout_(layout), manager_(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {
        const std::string binary = "\"" + root + "\\" + layout + "\\svc.exe\"";
        service_ =
            CreateServiceA(manager_, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                           SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                           binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
        if (!service_) std::fprintf(stderr, "cannot create the service (error %lu)\n", GetLastError());
    }
    ~Service() {
        if (service_) {
            stop();
            DeleteService(service_);
            CloseServiceHandle(service_);
        }
        CloseServiceHandle(manager_);
    }
    // Start request to the stand-in's main entered; -1 on failure.
    double start() {
        const std::string record = root + "\\" + layout_ + "\\jre\\bin\\client\\fakejvm.record";
        DeleteFileA(record.c_str());
        const double begin = nowMs();
        if (!StartServiceA(service_, 0, nullptr)) return -1;
        while (nowMs() - begin < 30000) {
            if (fileHolds(record, "param count")) return nowMs() - begin;
            Sleep(1);
        }
        return -1;
    }
    // Stop request to the service reported stopped; -1 on failure.
    double stop() {
        SERVICE_STATUS status{};
        const double begin = nowMs();
        if (!ControlService(service_, SERVICE_CONTROL_STOP, &status)) return -1;
        while (nowMs() - begin < 30000) {
            if (QueryServiceStatus(service_, &status) && status.dwCurrentState == SERVICE_STOPPED)
                return nowMs() - begin;
            Sleep(1);
        }
        return -1;
    }

private:
    std::string layout_;
    SC_HANDLE manager_;
    SC_HANDLE service_ = nullptr;
};

// A stopped service's processes take a moment to go, and Wine's service manager keeps
// working after that; the next measurement should not pay for it.
void settle() { Sleep(1000); }

double median(std::vector<double> values) {
    std::vector<double> good;
    for (double v : values)
        if (v >= 0) good.push_back(v);
    if (good.empty()) return -1;
    std::sort(good.begin(), good.end());
    const std::size_t n = good.size();
    return n % 2 ? good[n / 2] : (good[n / 2 - 1] + good[n / 2]) / 2;
}

// Investigation aid: interleaved rounds over the given command lines, one median each.
int timeCommands(int rounds, int count, char** lines) {
    std::vector<std::vector<double>> samples(count);
    for (int round = -1; round < rounds; ++round)
        for (int i = 0; i < count; ++i) {
            const double took = runTimed(lines[i], ".");
            if (round >= 0) samples[i].push_back(took);
        }
    for (int i = 0; i < count; ++i) std::printf("%.1f %s\n", median(samples[i]), lines[i]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 3 && std::string(argv[1]) == "--time")
        return timeCommands(std::atoi(argv[2]), argc - 3, argv + 3);
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench-driver <bench directory> <rounds>\n");
        return 2;
    }
    root = argv[1];
    const int rounds = std::atoi(argv[2]);
    const std::string bareDirectory = root + "\\host";
    const std::string bareLine = "\"" + root + "\\bare-loader.exe\" \"" + root +
                                 "\\host\\jre\\bin\\client\\jvm.dll\" com/example/Bench";
    const std::string probeLine = "\"" + root + "\\host\\jre\\bin\\java.exe\" -version";

    std::map<std::string, std::vector<double>> samples;
    Service service("service", "KarvoBenchSvc");
    Service probed("serviceprobe", "KarvoBenchSvcProbe");  // its runtime has no release file
    // One warm-up of everything, not counted: the first start of each program pays for
    // loading it from disk.
    for (int round = -1; round < rounds; ++round) {
        std::map<std::string, std::vector<double>> taken;
        // The short cases three times a round: one slow start moves their median less.
        for (int repeat = 0; repeat < 3; ++repeat) {
            taken["bare"].push_back(runTimed(bareLine, bareDirectory));
            taken["host"].push_back(host("host"));
            taken["probe"].push_back(runTimed(probeLine, bareDirectory));
            taken["probe_console"].push_back(runTimed(probeLine, bareDirectory, CREATE_NO_WINDOW));
            taken["opts1k"].push_back(host("opts1k"));
            taken["opts10k"].push_back(host("opts10k"));
            taken["host_log"].push_back(loggedHost("host"));
            taken["opts1k_log"].push_back(loggedHost("opts1k"));
        }
        // Runtimes with release files, as real ones have, and the same without them, so that
        // every java.exe is started.
        for (const std::string kind : {"", "probe"})
            for (const char* n : {"1", "10", "50"}) {
                const std::string layout = "search" + kind + n;
                forgetVersions(layout);
                taken["miss" + kind + n].push_back(host(layout));
                taken["hit" + kind + n].push_back(host(layout));
            }
        forgetVersions("service");
        taken["cold"].push_back(service.start());
        taken["stop"].push_back(service.stop());
        settle();
        taken["warm"].push_back(service.start());
        taken["stop"].push_back(service.stop());
        settle();
        forgetVersions("serviceprobe");
        taken["coldprobe"].push_back(probed.start());
        probed.stop();
        settle();
        taken["warmprobe"].push_back(probed.start());
        probed.stop();
        settle();
        if (round < 0) continue;
        for (const auto& [name, values] : taken)
            samples[name].insert(samples[name].end(), values.begin(), values.end());
        std::fprintf(stderr, "round %d of %d done\n", round + 1, rounds);
    }
    for (const auto& [name, values] : samples) std::printf("%s %.1f\n", name.c_str(), median(values));
    return 0;
}
