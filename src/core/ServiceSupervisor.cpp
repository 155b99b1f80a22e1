// The service process. serviceMain runs on a thread the dispatcher creates and starts the
// child; serviceControlHandler runs on the dispatcher's own thread; a third thread drains
// the child's output. They share the status record and the control pipe's write end, both
// of which change only through single atomic steps.
#include <windows.h>

#include "core/ServiceSupervisor.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/ChildCommandLine.h"
#include "core/ServiceName.h"
#include "core/ServiceState.h"
#include "core/SingleUseSlot.h"
#include "launch/ArgumentSplitter.h"
#include "support/Log.h"
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

constexpr const char* PriorityKey = "SOFTWARE\\norvale-soft\\karvo\\priority";
constexpr DWORD OutputBlockSize = 8192;

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

// Starts the child and waits for it; returns only when it could not be started.
void superviseChild(DWORD count, LPSTR* arguments) {
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

    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    UniqueHandle outputRead, outputWrite, controlRead, controlWrite;
    if (!CreatePipe(outputRead.receive(), outputWrite.receive(), &inheritable, 0)) {
        logMessage("CreatePipe error (%d)", lastError());
        reportFailedStart(SupervisorFailure::Pipes);
        return;
    }
    if (!SetHandleInformation(outputRead.get(), HANDLE_FLAG_INHERIT, 0)) {
        logMessage("SetHandleInformation error (%d)", lastError());
        reportFailedStart(SupervisorFailure::Pipes);
        return;
    }
    if (!CreatePipe(controlRead.receive(), controlWrite.receive(), &inheritable, 0)) {
        logMessage("CreatePipe error 2 (%d)", lastError());
        reportFailedStart(SupervisorFailure::Pipes);
        return;
    }
    if (!SetHandleInformation(controlWrite.get(), HANDLE_FLAG_INHERIT, 0)) {
        logMessage("SetHandleInformation error 2 (%d)", lastError());
        reportFailedStart(SupervisorFailure::Pipes);
        return;
    }
    // From here a stop request can deliver its code; the child reads it once it runs.
    controlPipeWrite.publish(controlWrite.release());
    if (serviceStatus.currentState() == ServiceCode::StopPending) sendShutdownCode(0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = controlRead.get();
    startup.hStdOutput = outputWrite.get();
    startup.hStdError = outputWrite.get();
    PROCESS_INFORMATION process{};
    std::u16string commandLine = line.text;
    const DWORD flags = readChildPriority() | DETACHED_PROCESS;
    if (!CreateProcessW(nullptr, reinterpret_cast<LPWSTR>(commandLine.data()), nullptr, nullptr,
                        TRUE, flags, nullptr, nullptr, &startup, &process)) {
        logMessage("could not start process %S (%d)", wideChars(line.text), lastError());
        reportFailedStart(SupervisorFailure::ChildStart);
        return;
    }
    UniqueHandle childProcess(process.hProcess), childThread(process.hThread);

    // Only the child holds these now, so the output pipe breaks when the child ends.
    outputWrite.reset();
    controlRead.reset();
    HANDLE reader = outputRead.release();
    if (HANDLE thread = CreateThread(nullptr, 0, consumeChildOutput, reader, 0, nullptr)) {
        CloseHandle(thread);
    } else {
        // Nobody would read: better the child's writes fail than block it for ever.
        logError("could not start the output reader (%d)", lastError());
        CloseHandle(reader);
    }

    // Still "running" unless a stop came in meanwhile, which must not be overwritten.
    reportStatus();
    logMessage("registering ConsoleCtrlHandler");
    SetConsoleCtrlHandler(consoleEventHandler, TRUE);
    WaitForSingleObject(childProcess.get(), INFINITE);

    DWORD exitCode = 0;
    if (!GetExitCodeProcess(childProcess.get(), &exitCode)) exitCode = 0;
    logMessage("process terminated with exit code %d", static_cast<int>(exitCode));
    const bool reportStopped = serviceStatus.childEnded(exitCode);
    childThread.reset();
    childProcess.reset();
    // The stopped report lets the dispatcher return on the main thread, which then ends the
    // process through the runtime's exit path while this thread may still be logging. So
    // everything is written first, and after the report comes only the end itself.
    if (reportStopped) logMessage("service stopped set");
    logMessage("exiting");
    if (reportStopped && !reportStatus()) logMessage("SetServiceStatus 10 failed %d", lastError());
    // The child is never restarted; the process ends here, not in the dispatcher.
    ExitProcess(0);
}

}  // namespace

void WINAPI serviceMain(DWORD argumentCount, LPSTR* arguments) {
    logMessage("service main");
    serviceStatus.reset();
    const char* name = argumentCount >= 1 && arguments ? arguments[0] : nullptr;
    if (!name || !*name || !setServiceName(name)) setServiceName("unknown");
    logMessage("service name is '%s'", serviceName().c_str());

    const SERVICE_STATUS_HANDLE handle =
        RegisterServiceCtrlHandlerA(serviceName().c_str(), serviceControlHandler);
    if (!handle) return;
    statusHandle.store(handle);
    reportStatus();
    superviseChild(argumentCount, arguments);
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
    logMessage("consuming output");
    const HANDLE pipe = static_cast<HANDLE>(readHandle);
    static char discard[OutputBlockSize];  // only this thread ever reads into it
    DWORD got = 0;
    while (ReadFile(pipe, discard, sizeof discard, &got, nullptr) && got > 0) {
    }
    CloseHandle(pipe);
    logMessage("consuming output done");
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
