#include "core/StartupEnvironment.h"

#include <windows.h>

#include "config/EnvironmentEntries.h"
#include "config/ExecutablePath.h"
#include "config/InternalErrors.h"
#include "config/LauncherConfig.h"
#include "config/LauncherVariables.h"
#include "config/Messages.h"
#include "config/PathOps.h"
#include "config/ProductFlavour.h"
#include "support/Log.h"
#include "support/TextConv.h"

namespace karvo {

void prepareStartupEnvironment() {
    // Everything after this reads the configuration, so the block comes first.
    readConfig();

    // Key 2001 is read into two bytes: only its first character counts.
    setProductFlavour(getConfigString(Key::Flavour, 2));

    const std::string& workingDirectory = getConfigString(Key::WorkingDirectory);
    if (workingDirectory.empty()) {
        logMessage("working directory unchanged");
        return;
    }
    // Relative to the executable, whatever directory the console or the Service Control
    // Manager gave the process. A directory that cannot be entered is not fatal: the
    // Java side reports what it cannot find.
    const std::string resolved = normalizePath(workingDirectory, true);
    SetCurrentDirectoryA(resolved.c_str());
    logMessage("change working directory to %s", resolved.c_str());
}

std::string diagnosticLogPath() {
    std::string path = getExecutablePath();
    const std::size_t slash = path.find_last_of('\\');
    const std::size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.resize(dot);
    return path + ".diagnostic.log";
}

void applyDiagnosticLogSetting() {
    if (getConfigInt(Key::DiagnosticLog) == 0) return;
    if (!switchLogOn(diagnosticLogPath()))
        logError("the diagnostic log %s cannot be opened", diagnosticLogPath().c_str());
}

void applyConfiguredEnvironment() {
    const std::string& text = getConfigString(Key::Environment);
    if (text.empty()) return;
    std::string problem;
    const auto entries = parseEnvironmentEntries(text, problem);
    if (!entries) {
        logError("%s", problem.c_str());
        exitWithConfiguredMessage(Key::MessageInternalError, InternalError::EnvironmentEntry);
    }
    for (const auto& entry : *entries) {
        std::string value = entry.value;
        expandLauncherVariablesOrExit(value);
        logMessage("environment %s=%s", entry.name.c_str(), value.c_str());
        // Wide, so that a value outside the ANSI code page of the names is not turned to "?".
        const std::u16string name = toWide(entry.name, CP_ACP);
        const std::u16string wideValue = toWide(value, CP_ACP);
        SetEnvironmentVariableW(wideChars(name), value.empty() ? nullptr : wideChars(wideValue));
    }
}

}  // namespace karvo
