#include "core/StartupEnvironment.h"

#include <windows.h>

#include "config/LauncherConfig.h"
#include "config/PathOps.h"
#include "config/ProductFlavour.h"
#include "support/Log.h"

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

}  // namespace karvo
