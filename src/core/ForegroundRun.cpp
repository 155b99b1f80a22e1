#include "core/ForegroundRun.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "config/LauncherConfig.h"
#include "core/ChildCommandLine.h"
#include "core/ProgramJob.h"
#include "core/ServiceName.h"
#include "launch/ArgumentSplitter.h"
#include "support/Log.h"
#include "support/TextConv.h"
#include "support/TextLimits.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

// The control pipe's write end while nobody has asked to stop, and the event that tells
// the waiting thread a stop was asked for. The console's handler runs on a thread of its
// own, so whoever takes the handle is the only one to write and close it.
std::atomic<HANDLE> controlWrite{nullptr};
std::atomic<HANDLE> stopRequested{nullptr};
std::atomic<HANDLE> runningChild{nullptr};
std::uint32_t stopTimeoutSeconds = 0;

// How long closing the console may wait for the program: the system ends this process a
// few seconds after the close event whatever the handler does.
constexpr DWORD CloseWaitMs = 4500;

void sendShutdown() {
    const HANDLE write = controlWrite.exchange(nullptr);
    if (!write) return;
    logMessage("sending shutdown 0");
    DWORD written = 0;
    WriteFile(write, "0\n", 2, &written, nullptr);
    CloseHandle(write);
}

BOOL WINAPI foregroundConsoleHandler(DWORD event) {
    logMessage("console event %d", static_cast<int>(event));
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    if (event != CTRL_CLOSE_EVENT && controlWrite.load())
        std::fprintf(stderr, "Stopping the program (the shutdown code was sent).\n");
    sendShutdown();
    if (const HANDLE stop = stopRequested.load()) SetEvent(stop);
    // The process ends when this handler returns from a close: give the program the time
    // the system allows to run its shutdown hooks.
    if (event == CTRL_CLOSE_EVENT)
        if (const HANDLE child = runningChild.load()) WaitForSingleObject(child, CloseWaitMs);
    return TRUE;
}

// A copy of one of this process's standard handles that the child can inherit; nothing
// when the handle is not open.
UniqueHandle inheritableStandardHandle(DWORD which) {
    UniqueHandle copy;
    const HANDLE own = GetStdHandle(which);
    if (own && own != INVALID_HANDLE_VALUE)
        DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), copy.receive(), 0, TRUE,
                        DUPLICATE_SAME_ACCESS);
    return copy;
}

// Waits for the program; after a stop request with a time-out, one that does not end in
// time is terminated.
void waitForProgram(HANDLE child) {
    HANDLE both[2] = {child, stopRequested.load()};
    if (WaitForMultipleObjects(2, both, FALSE, INFINITE) == WAIT_OBJECT_0) return;
    if (stopTimeoutSeconds == 0) {
        WaitForSingleObject(child, INFINITE);
        return;
    }
    const DWORD limitMs = static_cast<DWORD>(
        std::min<std::uint64_t>(std::uint64_t{stopTimeoutSeconds} * 1000, INFINITE - 1));
    if (WaitForSingleObject(child, limitMs) != WAIT_TIMEOUT) return;
    std::fprintf(stderr, "The program did not end within %u s of the shutdown code; ending it.\n",
                 static_cast<unsigned>(stopTimeoutSeconds));
    TerminateProcess(child, 1);
    WaitForSingleObject(child, INFINITE);
}

}  // namespace

int runInForeground() {
    const int timeout = getConfigInt(Key::StopTimeout);
    stopTimeoutSeconds = timeout > 0 ? static_cast<std::uint32_t>(timeout) : 0;

    ChildCommandLineParts parts;
    const auto own = splitArguments(fromWideChars(GetCommandLineW()));
    if (!own.empty()) parts.ownArguments.push_back(own[0]);  // the word and name stay here
    parts.serviceName = toWide(serviceName(), CP_ACP);
    const ChildCommandLine line = buildChildCommandLine(parts, MaxCommandLineLength);
    if (line.error != ChildCommandLineError::None) {
        std::fprintf(stderr, "Could not run the program: its command line cannot be written.\n");
        return 1;
    }

    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    UniqueHandle controlRead, write;
    if (!CreatePipe(controlRead.receive(), write.receive(), &inheritable, 0) ||
        !SetHandleInformation(write.get(), HANDLE_FLAG_INHERIT, 0)) {
        std::fprintf(stderr,
                     "Could not run the program: no pipe for its shutdown code (error %d).\n",
                     static_cast<int>(GetLastError()));
        return 1;
    }
    UniqueHandle output = inheritableStandardHandle(STD_OUTPUT_HANDLE);
    UniqueHandle error = inheritableStandardHandle(STD_ERROR_HANDLE);
    stopRequested = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    controlWrite = write.release();
    SetConsoleCtrlHandler(foregroundConsoleHandler, TRUE);

    // Its processes end with this one, and what the program leaves behind ends with the
    // program, as under the service.
    ProgramJob job;
    job.create(getConfigInt(Key::KeepChildProcesses) != 0);
    PROCESS_INFORMATION process{};
    const HostStreams streams{controlRead.get(), output.get(), error.get()};
    // A group of its own: Ctrl+C reaches this process, which turns it into the shutdown
    // code, rather than the program's runtime, which would end at once.
    if (!job.start(line.text, streams, CREATE_NEW_PROCESS_GROUP, process)) {
        std::fprintf(stderr, "Could not run the program (error %d).\n",
                     static_cast<int>(GetLastError()));
        return 1;
    }
    UniqueHandle child(process.hProcess), thread(process.hThread);
    runningChild = child.get();
    // Only the child holds these now.
    controlRead.reset();
    output.reset();
    error.reset();

    waitForProgram(child.get());
    DWORD exitCode = 1;
    GetExitCodeProcess(child.get(), &exitCode);
    logMessage("the program ended with exit code %d", static_cast<int>(exitCode));
    job.endLeftovers();
    runningChild = nullptr;
    if (const HANDLE unused = controlWrite.exchange(nullptr)) CloseHandle(unused);
    return static_cast<int>(exitCode);
}

}  // namespace karvo
