// Process entry: chooses the role of this process from its command line. A command word
// makes it the service-control tool; without one it is either the service process (handed
// to the service dispatcher) or, with the restart marker last, the child that hosts Java.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/IncludedFiles.h"
#include "config/LauncherConfig.h"
#include "config/Messages.h"
#include "core/ChildCommandLine.h"
#include "core/CommandLine.h"
#include "core/HostMonitor.h"
#include "core/NativeLibraryPath.h"
#include "core/ServiceControl.h"
#include "core/ServiceName.h"
#include "core/ServiceSupervisor.h"
#include "core/StartupEnvironment.h"
#include "core/ThreadDumpRequest.h"
#include "jre/JreSearch.h"
#include "launch/JavaVMLauncher.h"
#include "launch/ArgumentSplitter.h"
#include "support/Log.h"
#include "support/TextConv.h"
#include "support/TextLimits.h"

namespace karvo {
namespace {

int runCommand(const ParsedCommand& parsed) {
    const int configuredStartType = installStartType(getConfigInt(Key::LauncherType));
    switch (parsed.command) {
        case Command::Install:
            return installService(configuredStartType, parsed.interactive, parsed.passwordVariable);
        case Command::InstallAndStart:
            // The start is tried even when the install failed: the service may already
            // exist in a usable state, and the start's result is what the caller sees.
            installService(configuredStartType, parsed.interactive, parsed.passwordVariable);
            return startInstalledService();
        case Command::InstallAuto:
            return installService(AutoStart, parsed.interactive, parsed.passwordVariable);
        case Command::InstallDemand:
            return installService(DemandStart, parsed.interactive, parsed.passwordVariable);
        case Command::Uninstall:
            return uninstallService(true);
        case Command::Stop:
            return stopInstalledService(true);
        case Command::Start:
            return startInstalledService();
        case Command::Status:
            return queryServiceState();
        case Command::Dump: return dumpServiceThreads();
        case Command::None:
            break;
    }
    return 0;
}

// Started by the Service Control Manager: the dispatcher runs the service on its own
// thread and returns only when the service has stopped. Started from a console, the
// dispatcher fails at once (1063), which is logged and not an error of this process.
int runServiceProcess() {
    // The table keeps its own copy: serviceMain replaces ServiceName while the dispatcher
    // still holds the table.
    std::string tableName = serviceName();
    SERVICE_TABLE_ENTRYA table[] = {{tableName.data(), serviceMain}, {nullptr, nullptr}};
    logMessage("calling StartServiceCtrlDispatcher");
    if (!StartServiceCtrlDispatcherA(table))
        logMessage("StartServiceCtrlDispatcher failed with error %d",
                   static_cast<int>(GetLastError()));
    logMessage("StartServiceCtrlDispatcher returned");
    return 0;
}

// The supervised child: hosts the Java program in this process.
int runJavaHost(std::vector<std::u16string> arguments) {
    arguments.pop_back();  // the marker
    if (extractIncludedFiles() != 0)
        exitWithConfiguredMessage(Key::MessageInternalError, InternalError::Extraction);
    prepareNativeLibraryPath();
    // The service process answers console events; the child must not die of them before
    // the Java program has read its shutdown code.
    logMessage("registering ConsoleCtrlHandler");
    SetConsoleCtrlHandler(consoleEventHandler, TRUE);
    // A failed search has already shown its message; the orderly exit flushes the streams.
    if (!LoadDLL(true)) std::exit(1);
    // The arguments now start with the service name the service process put first.
    if (!arguments.empty()) setMonitoredService(toNarrow(arguments.front(), CP_ACP));
    if (!launchJavaProgram(arguments, true, startHostMonitor)) std::exit(1);
    return 0;
}

int runWithoutCommand() {
    const std::u16string commandLine = fromWideChars(GetCommandLineW());
    logMessage("command line %S", wideChars(commandLine));
    std::vector<std::u16string> arguments = splitArguments(commandLine);
    if (!arguments.empty()) arguments.erase(arguments.begin());  // the program path
    if (arguments.empty() || arguments.back() != RestartMarker) return runServiceProcess();
    return runJavaHost(std::move(arguments));
}

int runLauncher(std::string_view tail) {
    prepareStartupEnvironment();
    // A name this long cannot come from the packer; a hand-made block that holds one must
    // not leave every command working on an empty name.
    if (!setServiceName(getConfigString(Key::ServiceName))) {
        std::fprintf(stderr, "The configured service name is longer than %u characters.\n",
                     static_cast<unsigned>(MaxTextLength));
        return 1;
    }

    const ParsedCommand parsed = parseCommandTail(tail);
    if (parsed.serviceName && !setServiceName(*parsed.serviceName)) {
        std::fprintf(stderr, "The service name on the command line is longer than %u characters.\n",
                     static_cast<unsigned>(MaxTextLength));
        return 1;
    }
    if (parsed.command != Command::None) return runCommand(parsed);
    return runWithoutCommand();
}

}  // namespace
}  // namespace karvo

int main() {
    const char* commandLine = GetCommandLineA();
    const int exitCode = karvo::runLauncher(karvo::commandTail(commandLine ? commandLine : ""));
    std::fflush(nullptr);
    return exitCode;
}
