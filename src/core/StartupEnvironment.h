// What every launcher process does first: configuration, flavour, working directory.
#pragma once
#include <string>

namespace karvo {

void prepareStartupEnvironment();

// Where the diagnostic log goes when the service's own setting turns it on: beside the
// executable, named after it, so that /status can name it and nobody has to look for it.
std::string diagnosticLogPath();

// The service's own log setting, for the roles that run the program (the service process,
// the Java host and /run); the command words leave the service's log alone.
void applyDiagnosticLogSetting();

// The configured environment variables, set in order in this process before the runtime
// search, each value expanded once the earlier ones are set (so a later one may refer to
// an earlier one). A list that cannot be read or a value too long once expanded ends the
// process with the internal-error message.
void applyConfiguredEnvironment();

}  // namespace karvo
