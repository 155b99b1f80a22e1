// Process entry: chooses the role of this process from its command line. A command word
// makes it the service-control tool; without one it is either the service process (handed
// to the service dispatcher) or, with the restart marker last, the child that hosts Java.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/ExecutablePath.h"
#include "config/IncludedFiles.h"
#include "config/LauncherConfig.h"
#include "config/Messages.h"
#include "core/ChildCommandLine.h"
#include "core/CommandLine.h"
#include "core/ForegroundRun.h"
#include "core/HostMonitor.h"
#include "core/NativeLibraryPath.h"
#include "core/ServiceControl.h"
#include "core/ServiceName.h"
#include "core/ServiceSettings.h"
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

// The program's own file name, as a person typed it, for the usage text.
std::string programName() {
    const std::string& path = getExecutablePath();
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int printUsage(std::FILE* stream, int exitCode) {
    std::fputs(usageText(programName()).c_str(), stream);
    return exitCode;
}

int runCommand(const ParsedCommand& parsed) {
    const int configuredStartType = installStartType(getConfigInt(Key::LauncherType));
    const bool wait = parsed.waitForStart;
    switch (parsed.command) {
        case Command::Install:
            return installService(configuredStartType, parsed.interactive, wait,
                                  parsed.passwordVariable);
        case Command::InstallAndStart:
            // The start is tried even when the install failed: the service may already
            // exist in a usable state, and the start's result is what the caller sees.
            // An install that already started it again leaves "already running" to say so.
            installService(configuredStartType, parsed.interactive, wait, parsed.passwordVariable);
            return startInstalledService(wait);
        case Command::InstallAuto:
            return installService(AutoStart, parsed.interactive, wait, parsed.passwordVariable);
        case Command::InstallDemand:
            return installService(DemandStart, parsed.interactive, wait, parsed.passwordVariable);
        case Command::Update:
            return updateService(configuredStartType, parsed.interactive, parsed.passwordVariable);
        case Command::Uninstall:
            return uninstallService(true);
        case Command::Stop:
            return stopInstalledService(true);
        case Command::Start: return startInstalledService(wait);
        case Command::Status:
            return queryServiceState();
        case Command::Run: return runInForeground();
        case Command::Help: return printUsage(stdout, 0);
        case Command::Dump: return dumpServiceThreads();
        case Command::None:
            break;
    }
    return 0;
}

// Started by the Service Control Manager: the dispatcher runs the service on its own
// thread and returns only when the service has stopped. Started from a console, the
// dispatcher fails at once (1063): a person ran the program without a word it knows, and
// is shown how to use it. Only the dispatcher can tell the two apart, since the manager
// also starts the service process without a word.
int runServiceProcess() {
    // The table keeps its own copy: serviceMain replaces ServiceName while the dispatcher
    // still holds the table.
    std::string tableName = serviceName();
    SERVICE_TABLE_ENTRYA table[] = {{tableName.data(), serviceMain}, {nullptr, nullptr}};
    logMessage("calling StartServiceCtrlDispatcher");
    DWORD error = 0;
    if (!StartServiceCtrlDispatcherA(table)) {
        error = GetLastError();
        logMessage("StartServiceCtrlDispatcher failed with error %d", static_cast<int>(error));
    }
    logMessage("StartServiceCtrlDispatcher returned");
    return error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT ? printUsage(stderr, 2) : 0;
}

// The supervised child: hosts the Java program in this process.
int runJavaHost(std::vector<std::u16string> arguments) {
    arguments.pop_back();  // the marker
    if (extractIncludedFiles() != 0)
        exitWithConfiguredMessage(Key::MessageInternalError, InternalError::Extraction);
    // After the extraction, so that %KARVO_TEMPDIR% has its value; before the search, so
    // that a JAVA_HOME set here is the one it follows; before the native library
    // directories go in front of PATH, so that a PATH set here keeps them.
    applyConfiguredEnvironment();
    prepareNativeLibraryPath();
    // The service process answers console events; the child must not die of them before
    // the Java program has read its shutdown code.
    logMessage("registering ConsoleCtrlHandler");
    SetConsoleCtrlHandler(consoleEventHandler, TRUE);
    // A failed search has already shown its message; the orderly exit flushes the streams.
    if (!LoadDLL(true)) std::exit(1);
    // The arguments now start with the service name the service process put first; a
    // program that takes only its own arguments can be spared it.
    if (!arguments.empty()) setMonitoredService(toNarrow(arguments.front(), CP_ACP));
    const bool nameArgument = getConfigString(Key::ServiceNameArgument).empty() ||
                              getConfigInt(Key::ServiceNameArgument) != 0;
    if (!nameArgument && !arguments.empty()) arguments.erase(arguments.begin());
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
    if (parsed.command == Command::None || parsed.command == Command::Run)
        applyDiagnosticLogSetting();
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
