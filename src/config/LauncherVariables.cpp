#include "config/LauncherVariables.h"

#include <windows.h>

#include <cstring>

#include "config/Messages.h"
#include "config/PathOps.h"
#include "config/TempDirectory.h"
#include "config/VariableExpansion.h"
#include "support/Log.h"
#include "support/TextLimits.h"

namespace karvo {
namespace {

std::string& jvmHomeStorage() {
    static std::string home;
    return home;
}

// The process environment block, entry by entry, as the system holds it right now.
std::vector<std::string> environmentEntries() {
    std::vector<std::string> entries;
    char* block = GetEnvironmentStringsA();
    if (!block) return entries;
    for (const char* entry = block; *entry; entry += std::strlen(entry) + 1) {
        entries.emplace_back(entry);
    }
    FreeEnvironmentStringsA(block);
    return entries;
}

}  // namespace

bool expandLauncherVariables(std::string& text) {
    LauncherVariableValues values;
    values.executableDirectory = resolvePath("");
    values.launcherTempDir = launcherTempDir();
    values.jvmHome = jvmHome();
    // The system temporary directory and the environment are found out afresh for every
    // text that refers to them, and only then: asking for them costs system calls (and log
    // lines) that, paid for every line of a long option file, took far longer than the rest.
    const LauncherVariableLookups lookups{getTempDirectory, environmentEntries};
    const auto log = [](const Replacement& replacement) {
        logMessage("expanding %s to %s in %s.", replacement.token.c_str(),
                   replacement.value.c_str(), replacement.text.c_str());
    };
    if (!expandVariables(text, values, lookups, MaxTextLength, log)) {
        logError("expanding %s would exceed %d characters; left unexpanded", text.c_str(),
                 static_cast<int>(MaxTextLength));
        return false;
    }
    return true;
}

void expandLauncherVariablesOrExit(std::string& text) {
    if (!expandLauncherVariables(text)) {
        exitWithConfiguredMessage(Key::MessageInternalError, InternalError::ExpansionTooLong);
    }
}

void recordJvmHome(const std::string& javaExePath) { jvmHomeStorage() = jvmHomeFor(javaExePath); }

const std::string& jvmHome() { return jvmHomeStorage(); }

}  // namespace karvo
