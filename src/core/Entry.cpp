// Process entry: chooses the role of this process from its command line. A command word
// makes it the service-control tool; without one it is either the service process (handed
// to the service dispatcher) or, with the restart marker last, the child that hosts Java.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/LauncherConfig.h"
#include "core/CommandLine.h"
#include "core/ServiceControl.h"
#include "core/ServiceName.h"
#include "core/StartupEnvironment.h"
#include "launch/ArgumentSplitter.h"
#include "support/Log.h"
#include "support/TextConv.h"
#include "support/TextLimits.h"

namespace karvo {
namespace {

// The last argument of the child's command line, put there by the service process.
constexpr std::u16string_view ChildMarker = u"__tsl_restart";

// A step whose unit is not part of this build ends the process plainly: reporting success
// for work that was never done would be worse than stopping.
[[noreturn]] void stepNotBuilt(const char* step) {
    std::fprintf(stderr, "This launcher build cannot %s yet.\n", step);
    std::fflush(nullptr);
    std::exit(1);
}

int runCommand(const ParsedCommand& parsed) {
    const int configuredStartType = installStartType(getConfigInt(Key::LauncherType));
    switch (parsed.command) {
        case Command::Install:
            return installService(configuredStartType, parsed.interactive);
        case Command::InstallAndStart:
            // The start is tried even when the install failed: the service may already
            // exist in a usable state, and the start's result is what the caller sees.
            installService(configuredStartType, parsed.interactive);
            return startInstalledService();
        case Command::InstallAuto:
            return installService(AutoStart, parsed.interactive);
        case Command::InstallDemand:
            return installService(DemandStart, parsed.interactive);
        case Command::Uninstall:
            return uninstallService(true);
        case Command::Stop:
            return stopInstalledService(true);
        case Command::Start:
            return startInstalledService();
        case Command::Status:
            return queryServiceState();
        case Command::None:
            break;
    }
    return 0;
}

// Started by the Service Control Manager: the dispatcher runs the service on its own
// thread and returns only when the service has stopped. Started from a console, the
// dispatcher fails at once (1063), which is logged and not an error of this process.
int runServiceProcess() {
    stepNotBuilt("run as a service");
}

// The supervised child: hosts the Java program in this process.
int runJavaHost(std::vector<std::u16string> arguments) {
    arguments.pop_back();  // the marker
    (void)arguments;
    stepNotBuilt("extract its included files");
}

int runWithoutCommand() {
    const std::u16string commandLine = fromWideChars(GetCommandLineW());
    logMessage("command line %S", wideChars(commandLine));
    std::vector<std::u16string> arguments = splitArguments(commandLine);
    if (!arguments.empty()) arguments.erase(arguments.begin());  // the program path
    if (arguments.empty() || arguments.back() != ChildMarker) return runServiceProcess();
    return runJavaHost(std::move(arguments));
}

int runLauncher(std::string_view tail) {
    prepareStartupEnvironment();
    setServiceName(getConfigString(Key::ServiceName));

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
