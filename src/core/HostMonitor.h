// The Java host's own native thread beside the program: it serves thread-dump requests on
// the service's dump pipe and, when the watchdog is configured, asks the VM for a sign of
// life at each interval. A VM that does not answer in time, or answers with deadlocked
// threads, is dumped and the host ends with WatchdogExitCode; the service process's restart
// policy decides what follows.
#pragma once
#include <string>

#include <jni.h>

namespace karvo {

// The service whose host this is (the service process passes its name first); set before
// the VM is created.
void setMonitoredService(const std::string& serviceName);

// Called once the VM exists; starts the monitor thread.
void startHostMonitor(JavaVM* vm);

}  // namespace karvo
