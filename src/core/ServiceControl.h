// The service-control commands: install, uninstall, start, stop and query the service
// named by ServiceName through the Service Control Manager. Each prints its one-line
// results on standard output and returns the process exit code.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

namespace karvo {

// Exit codes of the service-control commands.
namespace CommandExit {
inline constexpr int Done = 0;        // the command did what it was asked (or found it done)
inline constexpr int Failed = 1;      // it could not; the line before says why
inline constexpr int NotRunning = 3;  // status only: the service exists but is not running
}  // namespace CommandExit

// startType: SERVICE_AUTO_START (2) or SERVICE_DEMAND_START (3). An existing service of
// the same name is stopped and deleted first, unless the configured account cannot be
// used. Registers the account, delayed start and failure actions when configured. A
// service that was running is started again (waiting for it as /start does, unless
// waitForStart is false). A user account's password comes from the variable named by
// passwordVariable (when not empty) or in the configuration, or is asked for at the console
// when interactive.
int installService(int startType, bool interactive, bool waitForStart,
                   const std::string& passwordVariable = {});
// True when the service is running or starting.
bool serviceIsRunning();
// Stops the service first. Failure lines only when verbose.
int uninstallService(bool verbose);
// Done also when the service is already running. A service still stopping is waited for
// (as long as its stop makes progress) and then started. With waitForStart, Done only once
// the service has stayed running for the settling time; a service that stopped meanwhile
// is Failed, with a line that says why and where its output went.
int startInstalledService(bool waitForStart);
// Done also when the service is already stopped or the wait for the stop gave up. A stop
// already under way is waited for like one this command asked for.
int stopInstalledService(bool verbose);
// Done when running, NotRunning when not, Failed when it cannot be asked.
int queryServiceState();

// True when the service reached the stopped state before its wait hint ran out.
bool waitForServiceStop(SC_HANDLE service);

// Key 149 in the layout CreateService expects; nothing when it names no service.
std::optional<std::string> buildDependencyList();

}  // namespace karvo
