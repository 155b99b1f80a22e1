// The service process. serviceMain runs on a thread the dispatcher creates and starts the
// child; serviceControlHandler runs on the dispatcher's own thread; a third thread drains
// the child's output. They share the status record and the control pipe's write end, both
// of which change only through single atomic steps.
#include <windows.h>

#include "core/ServiceSupervisor.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "config/LauncherConfig.h"
#include "config/TempDirectory.h"
#include "core/ChildCommandLine.h"
#include "core/EventLogSource.h"
#include "core/ProgramJob.h"
#include "config/RestartPolicy.h"
#include "core/ServiceName.h"
#include "core/ServiceState.h"
#include "core/SingleUseSlot.h"
#include "core/ThreadDumpRequest.h"
#include "launch/ArgumentSplitter.h"
#include "launch/JavaVMLauncher.h"
#include "support/Log.h"
#include "support/OutputTail.h"
#include "support/TextConv.h"
#include "support/TextLimits.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

ServiceStatusRecord serviceStatus;
std::atomic<SERVICE_STATUS_HANDLE> statusHandle{nullptr};
// Empty until the control pipe exists and again once the shutdown code went out: whoever
// takes the handle out of here is the only one to write to it and close it.
SingleUseSlot<HANDLE> controlPipeWrite;

// Set by the first stop or shutdown request and never reset: ends a restart delay at once
// and starts the stop time-out. Lives until the process ends.
std::atomic<HANDLE> stopRequested{nullptr};

// Every host of this service runs in it; only the serviceMain thread uses it.
ProgramJob programJob;

constexpr const char* PriorityKey = "SOFTWARE\\norvale-soft\\karvo\\priority";
constexpr DWORD OutputBlockSize = 8192;
// How long a terminated child may take to be gone, and how long the output reader may take
// to see the pipe break once the child has ended.
constexpr DWORD TerminationWaitMs = 10000;
constexpr DWORD DrainWaitMs = 2000;

int lastError() { return static_cast<int>(GetLastError()); }

BOOL reportStatus() {
    return reportLatest(serviceStatus, [](const ServiceStatusFields& fields) {
        SERVICE_STATUS status{fields[0], fields[1], fields[2], fields[3],
                              fields[4], fields[5], fields[6]};
        return SetServiceStatus(statusHandle.load(), &status) != FALSE;
    });
}

// The child never ran: the service must not stay reported as running with nothing behind it.
void reportFailedStart(std::uint32_t serviceSpecificCode) {
    if (HANDLE write = controlPipeWrite.take()) CloseHandle(write);
    serviceStatus.failedToStart(serviceSpecificCode);
    reportStatus();
}

std::vector<std::u16string> startParameters(DWORD count, LPSTR* arguments) {
    std::vector<std::u16string> out;
    for (DWORD i = 1; i < count; ++i)
        out.push_back(toWide(arguments[i] ? arguments[i] : "", CP_ACP));
    return out;
}

struct SupervisorSettings {
    std::uint32_t stopTimeoutSeconds = 0;
    bool keepChildProcesses = false;
    RestartSettings restart;
};

SupervisorSettings readSupervisorSettings() {
    SupervisorSettings settings;
    const int timeout = getConfigInt(Key::StopTimeout);
    if (timeout < 0) logError("stop_timeout %d is negative, waiting without a limit", timeout);
    settings.stopTimeoutSeconds = timeout > 0 ? static_cast<std::uint32_t>(timeout) : 0;
    settings.keepChildProcesses = getConfigInt(Key::KeepChildProcesses) != 0;
    std::string problem;
    settings.restart = readRestartSettings(
        {getConfigString(Key::Restart), getConfigString(Key::RestartDelay),
         getConfigString(Key::RestartDelayMax), getConfigString(Key::RestartResetAfter),
         getConfigString(Key::RestartLimit)},
        problem);
    if (!problem.empty()) logError("%s", problem.c_str());
    return settings;
}

// What one run of the child left behind.
struct ChildRun {
    bool started = false;
    DWORD exitCode = 0;
    std::uint64_t ranForMs = 0;
    bool terminated = false;  // ended by us after the stop time-out
    std::string dumpNote;     // then: where its thread dump went, or why there is none
    std::vector<std::string> lastOutput;
};

// The drain of one child's output and the tail it keeps. Owned by the supervisor; left to
// the reading thread when that is still blocked (a process the child started may hold the
// pipe open) so that the thread never reads into freed memory.
struct OutputDrain {
    HANDLE pipe = nullptr;
    OutputTail tail;
};

void drainPipe(HANDLE pipe, OutputTail* tail) {
    logMessage("consuming output");
    // Each drain has its own buffer: a stuck drain of an earlier child may still be reading.
    std::vector<char> buffer(OutputBlockSize);
    DWORD got = 0;
    while (ReadFile(pipe, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) &&
           got > 0) {
        if (tail) tail->append(buffer.data(), got);
    }
    CloseHandle(pipe);
    logMessage("consuming output done");
}

DWORD WINAPI drainChildOutput(LPVOID drain) {
    auto* self = static_cast<OutputDrain*>(drain);
    drainPipe(self->pipe, &self->tail);
    return 0;
}

// What the host wrote before the runtime took its error stream over (no Java runtime found, a
// missing class path entry) is in no file of the program's. It is added to the error file,
// where the program's output is read, unless the name can only be known inside the program.
void appendToErrorFile(DWORD exitCode, const std::vector<std::string>& lastOutput) {
    const auto name = errorOutputFileName();
    if (lastOutput.empty() || !name || name->empty() || name->front() == u'$') return;
    // Its folder may not exist yet: the runtime makes it only when it opens the file.
    for (auto slash = name->find(u'\\', 3); slash != std::u16string::npos;
         slash = name->find(u'\\', slash + 1))
        CreateDirectoryW(wideChars(name->substr(0, slash)), nullptr);
    UniqueHandle file(CreateFileW(wideChars(*name), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        logError("could not add the program's last output to its error file (%d)", lastError());
        return;
    }
    std::string text = "[karvo: the program ended with exit code " +
                       std::to_string(static_cast<int>(exitCode)) + "; its last output:]\r\n";
    for (const std::string& line : lastOutput) text += line + "\r\n";
    DWORD written = 0;
    WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// The program failed: what it last wrote goes where an administrator looks, the launcher
// log (when it is on), the Application event log and the program's error file.
void reportProgramFailure(DWORD exitCode, const std::vector<std::string>& lastOutput) {
    logError("the program ended with exit code %d", static_cast<int>(exitCode));
    std::string text = "The program of service " + serviceName() + " ended with exit code " +
                       std::to_string(static_cast<int>(exitCode)) + ".";
    if (!lastOutput.empty()) {
        logMessage("last output of the program:");
        text += " Its last output:";
    }
    for (const std::string& line : lastOutput) {
        logMessage("output: %s", line.c_str());
        text += "\r\n" + line;
    }
    reportServiceEvent(EVENTLOG_ERROR_TYPE, text);
    appendToErrorFile(exitCode, lastOutput);
}

std::uint64_t milliseconds() { return GetTickCount64(); }

// Waits for the child. After a stop request with a time-out, a child that does not end in
// time is dumped and terminated; one that ends in time is left alone.
bool waitForChild(HANDLE child, std::uint32_t stopTimeoutSeconds, std::string& dumpNote) {
    HANDLE both[2] = {child, stopRequested.load()};
    if (stopTimeoutSeconds == 0 || !both[1] ||
        WaitForMultipleObjects(2, both, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
        WaitForSingleObject(child, INFINITE);
        return false;
    }
    // Kept below INFINITE: a time-out of weeks is still a time-out.
    const DWORD limitMs = static_cast<DWORD>(
        std::min<std::uint64_t>(std::uint64_t{stopTimeoutSeconds} * 1000, INFINITE - 1));
    if (WaitForSingleObject(child, limitMs) != WAIT_TIMEOUT) return false;
    // Why it hung is worth more than the few seconds the dump may add to the stop.
    const ThreadDumpReply dump = requestThreadDump(serviceName(), DumpRequestWaitMs);
    dumpNote = (dump.written ? "thread dump written to " : "no thread dump: ") + dump.text;
    logError("the program did not end within %d s of the shutdown code, terminating it; %s",
             static_cast<int>(stopTimeoutSeconds), dumpNote.c_str());
    if (!TerminateProcess(child, ServiceCode::ServiceSpecificError))
        logError("TerminateProcess failed (%d)", lastError());
    WaitForSingleObject(child, TerminationWaitMs);
    return true;
}

enum class PipeEnd { Read, Write };

// A pipe for the child: both ends are created inheritable, then the end this process keeps
// (`ours`) is made private again, so the child holds only its own end and sees the pipe
// close when this process closes ours. `errorTag` tells the two pipes apart in the log.
bool createChildPipe(UniqueHandle& readEnd, UniqueHandle& writeEnd, PipeEnd ours,
                     const char* errorTag) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!CreatePipe(readEnd.receive(), writeEnd.receive(), &inheritable, 0)) {
        logMessage("CreatePipe error%s (%d)", errorTag, lastError());
        return false;
    }
    if (!SetHandleInformation(ours == PipeEnd::Read ? readEnd.get() : writeEnd.get(),
                              HANDLE_FLAG_INHERIT, 0)) {
        logMessage("SetHandleInformation error%s (%d)", errorTag, lastError());
        return false;
    }
    return true;
}

// Starts the child once and waits for it to end. When it cannot be started the service
// has been reported stopped with the reason, and started is false.
ChildRun runChild(const ChildCommandLine& line, const SupervisorSettings& settings) {
    ChildRun run;
    UniqueHandle outputRead, outputWrite, controlRead, controlWrite;
    if (!createChildPipe(outputRead, outputWrite, PipeEnd::Read, "") ||
        !createChildPipe(controlRead, controlWrite, PipeEnd::Write, " 2")) {
        reportFailedStart(SupervisorFailure::Pipes);
        return run;
    }
    // From here a stop request can deliver its code; the child reads it once it runs.
    controlPipeWrite.publish(controlWrite.release());
    if (serviceStatus.currentState() == ServiceCode::StopPending) sendShutdownCode(0);

    PROCESS_INFORMATION process{};
    const HostStreams streams{controlRead.get(), outputWrite.get(), outputWrite.get()};
    if (!programJob.start(line.text, streams, readChildPriority() | DETACHED_PROCESS, process)) {
        logMessage("could not start process %S (%d)", wideChars(line.text), lastError());
        reportFailedStart(SupervisorFailure::ChildStart);
        return run;
    }
    run.started = true;
    const std::uint64_t startedAt = milliseconds();
    UniqueHandle childProcess(process.hProcess), childThread(process.hThread);

    // Only the child holds these now, so the output pipe breaks when the child ends.
    outputWrite.reset();
    controlRead.reset();
    auto drain = std::make_unique<OutputDrain>();
    drain->pipe = outputRead.release();
    UniqueHandle drainThread(CreateThread(nullptr, 0, drainChildOutput, drain.get(), 0, nullptr));
    if (!drainThread) {
        // Nobody would read: better the child's writes fail than block it for ever.
        logError("could not start the output reader (%d)", lastError());
        CloseHandle(drain->pipe);
    }

    // Still "running" unless a stop came in meanwhile, which must not be overwritten.
    reportStatus();
    run.terminated = waitForChild(childProcess.get(), settings.stopTimeoutSeconds, run.dumpNote);
    run.ranForMs = milliseconds() - startedAt;
    if (!GetExitCodeProcess(childProcess.get(), &run.exitCode)) run.exitCode = 0;
    // What the program started ends with it; this also frees the output pipe they hold.
    programJob.endLeftovers();
    // A code nobody sent must not go to the next child; whoever takes it closes it.
    if (HANDLE unused = controlPipeWrite.take()) CloseHandle(unused);

    // The pipe breaks when the child ends, unless something the child started still holds
    // it: then the tail is taken as far as it got, and the reader keeps its memory.
    if (drainThread && WaitForSingleObject(drainThread.get(), DrainWaitMs) != WAIT_OBJECT_0) {
        logMessage("output reader still busy, taking the output read so far");
        run.lastOutput = drain->tail.lines();
        drain.release();
        return run;
    }
    run.lastOutput = drain->tail.lines();
    return run;
}

// The end of the service process: everything is logged first, then the report, then the
// end itself. The stopped report lets the dispatcher return on the main thread, which then
// ends the process through the runtime's exit path while this thread may still be logging.
[[noreturn]] void endServiceProcess(bool reportStopped) {
    if (reportStopped) logMessage("service stopped set");
    logMessage("exiting");
    if (reportStopped && !reportStatus()) logMessage("SetServiceStatus 10 failed %d", lastError());
    ExitProcess(0);
}

// Starts the child, and again as the restart policy says, until the service ends; returns
// only when a child could not be started.
void superviseChild(DWORD count, LPSTR* arguments, const SupervisorSettings& settings) {
    ChildCommandLineParts parts;
    parts.ownArguments = splitArguments(fromWideChars(GetCommandLineW()));
    parts.serviceName = toWide(serviceName(), CP_ACP);
    parts.startParameters = startParameters(count, arguments);
    const ChildCommandLine line = buildChildCommandLine(parts, MaxCommandLineLength);
    if (line.error == ChildCommandLineError::TooLong) {
        logError("child command line longer than %d characters",
                 static_cast<int>(MaxCommandLineLength));
        reportFailedStart(SupervisorFailure::CommandLineTooLong);
        return;
    }
    if (line.error == ChildCommandLineError::Unquotable) {
        logError("argument holds both kinds of quote and cannot be passed to the child: %S",
                 wideChars(line.offendingArgument));
        reportFailedStart(SupervisorFailure::UnquotableArgument);
        return;
    }

    // Console events must not end the service process. Once for every child it starts:
    // each registration adds another entry to the process's list of handlers.
    logMessage("registering ConsoleCtrlHandler");
    SetConsoleCtrlHandler(consoleEventHandler, TRUE);
    RestartPlanner planner(settings.restart);
    for (;;) {
        const ChildRun run = runChild(line, settings);
        if (!run.started) return;
        logMessage("process terminated with exit code %d", static_cast<int>(run.exitCode));
        if (run.exitCode != 0 && !run.terminated) reportProgramFailure(run.exitCode, run.lastOutput);
        // The child's extracted files go with it (and those of any other host that ended).
        if (getConfigInt(Key::IncludedFileCount) > 0) removeEndedLauncherTempDirs();

        if (run.terminated) {
            reportServiceEvent(EVENTLOG_WARNING_TYPE,
                               "The program of service " + serviceName() +
                                   " did not end in time after the stop request and was "
                                   "terminated; " +
                                   run.dumpNote + ".");
            serviceStatus.stopWithError(SupervisorFailure::StopTimedOut);
            endServiceProcess(true);
        }
        const bool stopPending = serviceStatus.currentState() == ServiceCode::StopPending;
        const RestartDecision decision =
            planner.childEnded(run.exitCode, stopPending, run.ranForMs);
        if (decision.action == RestartAction::Finish) {
            endServiceProcess(serviceStatus.childEnded(run.exitCode));
        }
        if (decision.action == RestartAction::GiveUp) {
            logError("restart limit of %d reached, giving up",
                     static_cast<int>(settings.restart.limit));
            reportServiceEvent(EVENTLOG_ERROR_TYPE,
                               "The program of service " + serviceName() +
                                   " failed too often; it is not restarted again.");
            serviceStatus.stopWithError(SupervisorFailure::RestartLimitReached);
            endServiceProcess(true);
        }
        logMessage("restart %d after exit code %d in %d ms",
                   static_cast<int>(decision.restartNumber), static_cast<int>(run.exitCode),
                   static_cast<int>(decision.delayMs));
        // The service stays "running" while it waits; a stop request ends the wait at once.
        const HANDLE stop = stopRequested.load();
        if (!stop) Sleep(decision.delayMs);
        if ((stop && WaitForSingleObject(stop, decision.delayMs) == WAIT_OBJECT_0) ||
            serviceStatus.currentState() != ServiceCode::Running) {
            logMessage("stop requested while waiting to restart");
            endServiceProcess(serviceStatus.childEnded(run.exitCode));
        }
    }
}

}  // namespace

void WINAPI serviceMain(DWORD argumentCount, LPSTR* arguments) {
    logMessage("service main");
    serviceStatus.reset();
    const char* name = argumentCount >= 1 && arguments ? arguments[0] : nullptr;
    if (!name || !*name || !setServiceName(name)) setServiceName("unknown");
    logMessage("service name is '%s'", serviceName().c_str());
    // Both must be in place before the first control request can arrive.
    const SupervisorSettings settings = readSupervisorSettings();
    serviceStatus.setStopWaitHint(stopWaitHintFor(settings.stopTimeoutSeconds));
    stopRequested = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!stopRequested) logError("CreateEvent failed (%d)", lastError());
    programJob.create(settings.keepChildProcesses);

    const SERVICE_STATUS_HANDLE handle =
        RegisterServiceCtrlHandlerA(serviceName().c_str(), serviceControlHandler);
    if (!handle) return;
    statusHandle.store(handle);
    reportStatus();
    superviseChild(argumentCount, arguments, settings);
}

void WINAPI serviceControlHandler(DWORD control) {
    logMessage("control handler request %d", static_cast<int>(control));
    if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
        const bool shutdown = control == SERVICE_CONTROL_SHUTDOWN;
        // Once stopped has been reported a late request only repeats that state.
        if (serviceStatus.requestStop(shutdown)) {
            if (!reportStatus()) {
                const char* line =
                    shutdown ? "SetServiceStatus 1 failed %d" : "SetServiceStatus 2 failed %d";
                logMessage(line, lastError());
            }
            if (const HANDLE stop = stopRequested.load()) SetEvent(stop);
            sendShutdownCode(0);
            return;
        }
    }
    if (!reportStatus()) logMessage("SetServiceStatus 3 failed %d", lastError());
}

void sendShutdownCode(unsigned char code) {
    logMessage("sending shutdown %d", code);
    const HANDLE write = controlPipeWrite.take();
    if (!write) {
        // Before the pipe exists serviceMain sends it; after it was sent there is nothing to do.
        logMessage("no open control pipe, shutdown not sent now");
        return;
    }
    char message[8];
    const int length = std::snprintf(message, sizeof message, "%d\n", code);
    DWORD written = 0;
    WriteFile(write, message, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(write);
    logMessage("shutdown sent");
}

DWORD WINAPI consumeChildOutput(LPVOID readHandle) {
    drainPipe(static_cast<HANDLE>(readHandle), nullptr);
    return 0;
}

BOOL WINAPI consoleEventHandler(DWORD) {
    logMessage("ConsoleCtrlHandler event");
    return TRUE;
}

DWORD readChildPriority() {
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PriorityKey, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
        return NORMAL_PRIORITY_CLASS;
    DWORD value = 0, size = sizeof value;
    if (RegQueryValueExA(key.get(), serviceName().c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        size != sizeof value)
        return NORMAL_PRIORITY_CLASS;
    if (!isPriorityClass(value)) {
        logError("priority %d is not a priority class, using normal", static_cast<int>(value));
        return NORMAL_PRIORITY_CLASS;
    }
    logMessage("using priority %d", static_cast<int>(value));
    return value;
}

}  // namespace karvo
