// The service's own source in the Windows Application event log: registered at install so
// that the Event Viewer shows the launcher's texts as written, removed at uninstall.
#pragma once
#include <windows.h>

#include <string>

namespace karvo {

// "SYSTEM\CurrentControlSet\Services\EventLog\Application\<name>" below HKLM.
std::string eventSourceKey(const std::string& serviceName);

// The message file is this executable (it carries a message table that shows each
// event's text unchanged). False when the key cannot be written.
bool registerEventSource(const std::string& serviceName);
void removeEventSource(const std::string& serviceName);

// Writes one event under the service's name; type is EVENTLOG_ERROR_TYPE or
// EVENTLOG_WARNING_TYPE. Failures are logged and otherwise ignored.
void reportServiceEvent(WORD type, const std::string& text);

}  // namespace karvo
