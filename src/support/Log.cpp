#include "support/Log.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "support/LogFormat.h"
#include "support/TextConv.h"
#include "support/TextLimits.h"

namespace karvo {
namespace {

// A critical section rather than std::mutex: the standard one brings the whole POSIX-threads
// layer into the executable, for nothing a critical section cannot do. It is never deleted,
// as the state that holds it is never destroyed.
class LogLock {
public:
    LogLock() { InitializeCriticalSection(&section_); }
    LogLock(const LogLock&) = delete;
    LogLock& operator=(const LogLock&) = delete;
    void lock() { EnterCriticalSection(&section_); }
    void unlock() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class LogLockGuard {
public:
    explicit LogLockGuard(LogLock& lock) : lock_(lock) { lock_.lock(); }
    LogLockGuard(const LogLockGuard&) = delete;
    LogLockGuard& operator=(const LogLockGuard&) = delete;
    ~LogLockGuard() { lock_.unlock(); }

private:
    LogLock& lock_;
};

// Everything the log keeps for the life of the process, guarded by one lock: the service
// process logs from three threads.
struct LogState {
    LogLock lock;
    bool decided = false;
    std::optional<std::string> path;
    std::FILE* file = nullptr;
};

// Never destroyed: a console event or a late thread may log while the process's exit
// handlers run, and a destroyed lock would end the process with an exception.
LogState& state() {
    static LogState* const instance = new LogState;
    return *instance;
}

bool variableIsYes(const char* name) {
    char value[MaxTextLength + 1];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value && std::strcmp(value, "yes") == 0;
}

void writeHeader(std::FILE* file) {
    char module[MaxTextLength + 1] = "";
    GetModuleFileNameA(nullptr, module, sizeof module);
    const std::time_t now = std::time(nullptr);
    const char* when = std::ctime(&now);
    std::fprintf(file, "Started executable %s at %s\n", module, when ? when : "\n");
    std::fflush(file);
}

bool isDirectory(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// "tsl_nlog_<n>" in the directory named by TMP (or c:\ when TMP names no directory), with
// the first number for which no file exists yet. The file is created here, exclusively, so
// two processes starting together never share a log.
std::optional<std::string> uniqueLogName() {
    char tmp[MaxTextLength + 1];
    const DWORD length = GetEnvironmentVariableA("TMP", tmp, sizeof tmp);
    std::string directory = length > 0 && length < sizeof tmp && isDirectory(tmp) ? tmp : "c:\\";
    if (directory.back() != '\\') directory += '\\';
    for (unsigned number = 1; number < 100000; ++number) {
        const std::string name = directory + "tsl_nlog_" + std::to_string(number);
        HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return name;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return std::nullopt;
    }
    return std::nullopt;
}

// Wide texts in the log are in the ANSI code page, like every other text there; a
// character it lacks becomes "?" and the rest of the line is kept.
std::string ansiText(const wchar_t* text, std::size_t length) {
    return toNarrow(std::u16string_view(reinterpret_cast<const char16_t*>(text), length), CP_ACP);
}

// Runs under the lock at the start of every call.
void initialise(LogState& log) {
    if (log.path && !log.file) log.file = std::fopen(log.path->c_str(), "a");
    if (log.decided) return;
    log.decided = true;
    const bool on = variableIsYes("KARVO_LOG") || variableIsYes("TESSEL_LOG");
    if (!on) return;

    if (auto name = uniqueLogName()) {
        log.path = *name;
        log.file = std::fopen(log.path->c_str(), "w");
    }
    if (!log.file) {
        log.path = "c:\\tsl_nlog";
        log.file = std::fopen(log.path->c_str(), "w");
        if (!log.file) return;
    }
    writeHeader(log.file);
}

void writeLine(const char* prefix, const char* format, va_list args) {
    LogState& log = state();
    LogLockGuard guard(log.lock);
    initialise(log);
    if (!log.file) return;
    const std::string text = formatLogText(format, args, ansiText);
    std::fputs(prefix, log.file);
    std::fwrite(text.data(), 1, text.size(), log.file);
    std::fputc('\n', log.file);
    std::fclose(log.file);
    log.file = nullptr;
}

}  // namespace

void logMessage(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeLine("", format, args);
    va_end(args);
}

void logError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeLine("ERROR: ", format, args);
    va_end(args);
}

bool switchLogOn(const std::string& path) {
    LogState& log = state();
    LogLockGuard guard(log.lock);
    if (log.file) std::fclose(log.file);
    log.file = std::fopen(path.c_str(), "a");
    if (!log.file) {
        log.file = nullptr;
        return false;
    }
    log.decided = true;
    log.path = path;
    writeHeader(log.file);
    std::fprintf(log.file, "log file %s\n", path.c_str());
    std::fclose(log.file);
    log.file = nullptr;
    return true;
}

std::optional<std::string> getLogFilePath() {
    LogState& log = state();
    LogLockGuard guard(log.lock);
    initialise(log);
    if (log.file) {
        std::fclose(log.file);
        log.file = nullptr;
    }
    return log.path;
}

}  // namespace karvo
