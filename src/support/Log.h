// The diagnostic log: off unless KARVO_LOG or TESSEL_LOG is exactly "yes" when the first
// line is written. Each call appends one complete line and closes the file again, so the
// log survives an abrupt end of the process. Formats follow the C runtime's printf,
// including %S (a UTF-16 text) and %I64d.
#pragma once
#include <optional>
#include <string>

#if defined(__GNUC__) && defined(_WIN32)
#define KARVO_LOG_FORMAT(fmt, args) __attribute__((format(ms_printf, fmt, args)))
#else
#define KARVO_LOG_FORMAT(fmt, args)
#endif

namespace karvo {

void logMessage(const char* format, ...) KARVO_LOG_FORMAT(1, 2);
void logError(const char* format, ...) KARVO_LOG_FORMAT(1, 2);

// The log file's path, or nothing when logging is off.
std::optional<std::string> getLogFilePath();

// Turns the log on for the rest of this process, appending to `path`: a service's own
// setting, which needs no variable in the system environment and so no restart of the
// machine. Its first line says where the log is. False when the file cannot be opened
// (the log then stays as it was).
bool switchLogOn(const std::string& path);

}  // namespace karvo
