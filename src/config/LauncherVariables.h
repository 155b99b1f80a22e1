// Launcher variables in configured texts: the executable's and temporary directories, the
// chosen Java runtime's home, the path-list separator and environment references.
#pragma once
#include <string>

namespace karvo {

// Expands in place. Returns false (text unchanged) when the result would exceed the
// configured-text limit.
bool expandLauncherVariables(std::string& text);

// The same for a text the launch cannot do without: one that would exceed the limit ends
// the process with the internal-error message InternalError::ExpansionTooLong.
void expandLauncherVariablesOrExit(std::string& text);

// JvmHome: the chosen java executable's directory followed by "..".
void recordJvmHome(const std::string& javaExePath);
const std::string& jvmHome();

}  // namespace karvo
