#include "win/TestSupport.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <cstring>

#include "PackedExecutable.h"
#include "config/ConfigKeys.h"

namespace karvo::test {

const std::string& buildDirectory() {
    static const std::string directory = [] {
        char path[MAX_PATH * 4];
        const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
        std::string text(path, length);
        return text.substr(0, text.find_last_of('\\') + 1);
    }();
    return directory;
}

std::string templatePath() { return buildDirectory() + "karvo-service.exe"; }

std::string uniqueName(const std::string& prefix) {
    static std::atomic<int> counter{0};
    return prefix + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
}

ScratchDir::ScratchDir(const std::string& name) {
    const std::string root = buildDirectory() + "scratch";
    CreateDirectoryA(root.c_str(), nullptr);
    path_ = root + "\\" + uniqueName(name);
    removeTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() { removeTree(path_); }

void removeTree(const std::string& path) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            const std::string child = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

bool writeFile(const std::string& path, const std::string& contents) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
    return std::fclose(file) == 0 && ok;
}

std::optional<std::string> readFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return std::nullopt;
    std::string contents;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) contents.append(buffer, got);
    std::fclose(file);
    return contents;
}

ConfigBlock blockWith(std::map<ConfigKey, std::string> texts,
                      std::map<ConfigKey, std::u16string> wides) {
    for (const auto& info : configKeyTable()) {
        if (!info.packerDefault.empty() && !texts.count(info.number))
            texts[info.number] = std::string(info.packerDefault);
    }
    ConfigBlock block;
    block.texts.assign(texts.begin(), texts.end());
    block.wides.assign(wides.begin(), wides.end());
    return block;
}

void writeConfiguredExe(const std::string& path, const ConfigBlock& block,
                        const std::vector<IncludedFile>& files) {
    const auto templateBytes = readFile(templatePath());
    if (!templateBytes) throw std::runtime_error("cannot read the template " + templatePath());
    std::vector<std::uint8_t> in(templateBytes->begin(), templateBytes->end()), out;
    std::string error;
    if (!pack::appendBlock(in, block, files, out, error)) throw std::runtime_error(error);
    if (!writeFile(path, std::string(out.begin(), out.end())))
        throw std::runtime_error("cannot write " + path);
}

namespace {

// The launcher loads the window library only to show a message. Under Wine a process's first
// use of it connects to the desktop and may start the desktop process, which then inherits
// whatever the process has open at that moment, such as the stream a death test captures
// (its temporary file could then not be removed). The test program connects once, at start.
const bool DesktopConnected = GetDesktopWindow() != nullptr;

std::string environmentBlock(const RunOptions& options) {
    std::map<std::string, std::string, std::less<>> merged;
    // Windows keeps variable names case-insensitively; keep the first spelling seen.
    auto upper = [](std::string s) {
        for (char& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        return s;
    };
    std::map<std::string, std::pair<std::string, std::string>> byUpper;
    char* inherited = GetEnvironmentStringsA();
    for (const char* entry = inherited; *entry; entry += strlen(entry) + 1) {
        const std::string text = entry;
        const auto eq = text.find('=', 1);
        if (eq == std::string::npos) continue;
        byUpper[upper(text.substr(0, eq))] = {text.substr(0, eq), text.substr(eq + 1)};
    }
    FreeEnvironmentStringsA(inherited);
    for (const auto& name : options.unsetEnvironment) byUpper.erase(upper(name));
    for (const auto& [name, value] : options.environment) byUpper[upper(name)] = {name, value};
    std::string block;
    for (const auto& [key, entry] : byUpper) block += entry.first + "=" + entry.second + '\0';
    block += '\0';
    return block;
}

struct Drain {
    HANDLE pipe;
    std::string* into;
};

DWORD WINAPI drain(void* parameter) {
    auto* job = static_cast<Drain*>(parameter);
    char buffer[8192];
    DWORD got = 0;
    while (ReadFile(job->pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        job->into->append(buffer, got);
    return 0;
}

// Waits for a reader; a grandchild that still holds the pipe must not hang the test.
void finish(HANDLE thread) {
    if (WaitForSingleObject(thread, 5000) == WAIT_TIMEOUT) {
        CancelSynchronousIo(thread);
        if (WaitForSingleObject(thread, 2000) == WAIT_TIMEOUT) TerminateThread(thread, 1);
    }
    CloseHandle(thread);
}

}  // namespace

RunResult runProcess(const std::string& commandLine, const RunOptions& options) {
    RunResult result;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite, inRead, inWrite;
    CreatePipe(&outRead, &outWrite, &inherit, 0);
    CreatePipe(&errRead, &errWrite, &inherit, 0);
    CreatePipe(&inRead, &inWrite, &inherit, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    std::string mutableLine = commandLine;
    std::string environment = environmentBlock(options);
    const BOOL started = CreateProcessA(
        nullptr, mutableLine.data(), nullptr, nullptr, TRUE, options.creationFlags,
        environment.data(),
        options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str(), &startup,
        &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    CloseHandle(inRead);
    if (!started) {
        const DWORD error = GetLastError();
        CloseHandle(outRead);
        CloseHandle(errRead);
        CloseHandle(inWrite);
        throw std::runtime_error("cannot start " + commandLine + " (error " +
                                 std::to_string(error) + ")");
    }
    Drain outJob{outRead, &result.out}, errJob{errRead, &result.err};
    HANDLE outReader = CreateThread(nullptr, 0, drain, &outJob, 0, nullptr);
    HANDLE errReader = CreateThread(nullptr, 0, drain, &errJob, 0, nullptr);
    if (!options.input.empty()) {
        DWORD written = 0;
        WriteFile(inWrite, options.input.data(), static_cast<DWORD>(options.input.size()), &written,
                  nullptr);
    }
    CloseHandle(inWrite);
    if (options.whileRunning) options.whileRunning(process.dwProcessId);
    if (WaitForSingleObject(process.hProcess, options.timeoutMs) == WAIT_TIMEOUT) {
        result.timedOut = true;
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    finish(outReader);
    finish(errReader);
    CloseHandle(outRead);
    CloseHandle(errRead);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            out.push_back(line);
            line.clear();
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty()) out.push_back(line);
    return out;
}

}  // namespace karvo::test
