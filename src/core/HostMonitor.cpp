#include <windows.h>

#include "core/HostMonitor.h"

#include <cstdio>

#include "config/LauncherConfig.h"
#include "config/WatchdogPolicy.h"
#include "core/ThreadDumpRequest.h"
#include "launch/JavaVMLauncher.h"
#include "launch/RuntimeCalls.h"
#include "support/Log.h"
#include "support/TextConv.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

constexpr DWORD RequestReadWaitMs = 2000;

struct Monitor {
    JavaVM* vm = nullptr;
    std::string serviceName;
    WatchdogSettings watchdog;
    std::u16string errorFile;  // the program's redirected error output, or empty
};

Monitor monitor;

// Text as the log and the console expect it.
std::string ansi(const std::string& utf8) { return toNarrow(toWide(utf8, CP_UTF8), CP_ACP); }

bool appendToFile(const std::u16string& path, const std::string& text) {
    UniqueHandle file(CreateFileW(wideChars(path), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

// Where the dump goes: the program's error output when it goes to a file; otherwise the
// diagnostic log when it is on; otherwise a file in the account's temporary directory, since
// output nobody keeps would lose the dump. True with `where`, or false with the reason.
bool takeThreadDump(std::string& where) {
    if (!monitor.errorFile.empty()) {
        const RuntimeAnswer answer =
            callRuntime(monitor.vm, RuntimeCall::DumpToError, HostDumpWaitMs);
        if (!answer.failure.empty()) {
            where = answer.failure;
            return false;
        }
        where = toNarrow(monitor.errorFile, CP_ACP);
        return true;
    }
    const RuntimeAnswer answer = callRuntime(monitor.vm, RuntimeCall::DumpText, HostDumpWaitMs);
    if (!answer.failure.empty()) {
        where = answer.failure;
        return false;
    }
    if (const auto logPath = getLogFilePath()) {
        logMessage("thread dump:");
        std::size_t start = 0;
        while (start < answer.text.size()) {
            std::size_t end = answer.text.find('\n', start);
            if (end == std::string::npos) end = answer.text.size();
            logMessage("%s", ansi(answer.text.substr(start, end - start)).c_str());
            start = end + 1;
        }
        where = "the diagnostic log " + *logPath;
        return true;
    }
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    const std::u16string file = fromWideChars(length ? temp : L".\\") +
                                toWide(monitor.serviceName, CP_ACP) + u"-threads.txt";
    if (!appendToFile(file, answer.text + "\n")) {
        where = "the dump file " + toNarrow(file, CP_ACP) + " cannot be written (error " +
                std::to_string(static_cast<int>(GetLastError())) + ")";
        return false;
    }
    where = toNarrow(file, CP_ACP);
    return true;
}

// One request on a connected pipe: a line in, where the dump went (or "!" and why not) out.
void serveRequest(HANDLE pipe) {
    char request[16];
    DWORD got = 0, error = 0;
    if (!transferOnPipe(pipe, false, request, sizeof request, GetTickCount64() + RequestReadWaitMs,
                        got, error) ||
        got == 0)
        return;
    logMessage("thread dump requested");
    std::string where;
    const bool written = takeThreadDump(where);
    logMessage(written ? "thread dump written to %s" : "no thread dump: %s", where.c_str());
    std::string reply = (written ? "" : "!") + where + "\n";
    DWORD sent = 0;
    // Flushed so that the reply is read before the pipe is disconnected; a requester that
    // gave up has closed its end, and the write then fails at once.
    if (transferOnPipe(pipe, true, reply.data(), static_cast<DWORD>(reply.size()),
                       GetTickCount64() + RequestReadWaitMs, sent, error))
        FlushFileBuffers(pipe);
}

[[noreturn]] void endHungProgram(const std::string& reason) {
    std::string where;
    const bool written = takeThreadDump(where);
    const std::string line =
        "karvo: " + reason + "; " + (written ? "thread dump written to " : "no thread dump: ") +
        where + "; the program ends with exit code " + std::to_string(WatchdogExitCode) + "\n";
    logError("%s", line.c_str());
    // Straight to the host's error output (the service process keeps its last lines for the
    // event log), past whatever the program did to System.err.
    DWORD written_ = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()),
              &written_, nullptr);
    // No orderly VM shutdown: a hung program's shutdown hooks would hang as well.
    TerminateProcess(GetCurrentProcess(), WatchdogExitCode);
    ExitProcess(WatchdogExitCode);
}

// One watchdog check. False when the watchdog cannot work with this runtime and stops.
bool checkProgram() {
    const ULONGLONG start = GetTickCount64();
    const RuntimeAnswer answer =
        callRuntime(monitor.vm, RuntimeCall::DeadlockedThreadCount, monitor.watchdog.timeoutMs);
    const ULONGLONG took = GetTickCount64() - start;
    if (answer.answered && !answer.failure.empty()) {
        logError("watchdog: %s, the watchdog stops", answer.failure.c_str());
        return false;
    }
    static bool toldNoManagement = false;
    if (answer.answered && answer.number < 0 && !toldNoManagement) {
        toldNoManagement = true;
        logMessage("watchdog: the runtime has no management classes, deadlocks are not detected");
    }
    switch (judgeWatchdogCheck(monitor.watchdog, answer.answered, took, answer.number)) {
        case WatchdogVerdict::Fine: return true;
        case WatchdogVerdict::Slow:
            logMessage("watchdog: the VM took %d ms to answer (time-out %d ms)",
                       static_cast<int>(took), static_cast<int>(monitor.watchdog.timeoutMs));
            return true;
        case WatchdogVerdict::Unanswered:
            endHungProgram("the program did not answer the watchdog within " +
                           std::to_string(monitor.watchdog.timeoutMs / 1000) + " s");
        case WatchdogVerdict::Deadlocked:
            endHungProgram("the watchdog found " + std::to_string(answer.number) +
                           " deadlocked threads");
    }
    return true;
}

UniqueHandle createDumpPipe() {
    const std::u16string name = threadDumpPipeName(monitor.serviceName);
    UniqueHandle pipe(CreateNamedPipeW(
        wideChars(name), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 4096, 4096,
        0, nullptr));
    if (!pipe)
        logError("could not create the dump pipe %S (%d), thread dumps cannot be requested",
                 wideChars(name), static_cast<int>(GetLastError()));
    return pipe;
}

DWORD WINAPI monitorThread(LPVOID) {
    UniqueHandle pipe = createDumpPipe();
    UniqueHandle connected(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    bool watching = monitor.watchdog.enabled();
    bool listening = false;
    OVERLAPPED overlapped{};
    ULONGLONG nextCheck = GetTickCount64() + monitor.watchdog.intervalMs;
    for (;;) {
        if (pipe && !listening) {
            ResetEvent(connected.get());
            overlapped = OVERLAPPED{};
            overlapped.hEvent = connected.get();
            if (!ConnectNamedPipe(pipe.get(), &overlapped)) {
                const DWORD error = GetLastError();
                if (error == ERROR_PIPE_CONNECTED) {
                    SetEvent(connected.get());
                } else if (error != ERROR_IO_PENDING) {
                    logError("the dump pipe stopped working (%d)", static_cast<int>(error));
                    pipe.reset();
                }
            }
            listening = static_cast<bool>(pipe);
        }
        if (!pipe && !watching) return 0;
        DWORD waitMs = INFINITE;
        if (watching) {
            const ULONGLONG now = GetTickCount64();
            waitMs = now >= nextCheck ? 0 : static_cast<DWORD>(nextCheck - now);
        }
        const DWORD woke =
            pipe ? WaitForSingleObject(connected.get(), waitMs) : (Sleep(waitMs), WAIT_TIMEOUT);
        if (woke == WAIT_OBJECT_0) {
            serveRequest(pipe.get());
            DisconnectNamedPipe(pipe.get());
            listening = false;
            continue;
        }
        if (watching) {
            watching = checkProgram();
            nextCheck = GetTickCount64() + monitor.watchdog.intervalMs;
        }
    }
}

}  // namespace

void setMonitoredService(const std::string& serviceName) { monitor.serviceName = serviceName; }

void startHostMonitor(JavaVM* vm) {
    monitor.vm = vm;
    std::string problem;
    monitor.watchdog = readWatchdogSettings(getConfigString(Key::WatchdogInterval),
                                            getConfigString(Key::WatchdogTimeout), problem);
    if (!problem.empty()) logError("%s", problem.c_str());
    monitor.errorFile = errorOutputFile();
    if (monitor.watchdog.enabled())
        logMessage("watchdog every %d ms, time-out %d ms",
                   static_cast<int>(monitor.watchdog.intervalMs),
                   static_cast<int>(monitor.watchdog.timeoutMs));
    UniqueHandle thread(CreateThread(nullptr, 0, monitorThread, nullptr, 0, nullptr));
    if (!thread)
        logError("could not start the host's monitor thread (%d): no thread dumps, no watchdog",
                 static_cast<int>(GetLastError()));
}

}  // namespace karvo
