#include "core/NativeLibraryPath.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "config/LauncherConfig.h"
#include "config/LauncherVariables.h"
#include "config/PathOps.h"
#include "launch/PathList.h"
#include "support/Log.h"
#include "support/TextLimits.h"

namespace karvo {
namespace {

// The inherited PATH, or nothing when there is none or it could never fit.
std::optional<std::string> inheritedPath() {
    std::vector<char> buffer(MaxPathListLength + 1);
    const DWORD length =
        GetEnvironmentVariableA("PATH", buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) return std::nullopt;
    return std::string(buffer.data(), length);
}

}  // namespace

void prepareNativeLibraryPath() {
    std::string configured = getConfigString(Key::NativeLibraryDirectories);
    logMessage("native lib dir is %s", configured.c_str());
    // A list that would outgrow its buffer through expansion ends the launch: without its
    // directories the program's native libraries would fail later, far from the cause.
    expandLauncherVariablesOrExit(configured);

    std::vector<std::string> directories;
    for (const std::string& piece : splitPathList(configured))
        directories.push_back(resolvePath(piece));
    const NativePathResult built =
        buildNativeLibraryPath(directories, inheritedPath(), MaxPathListLength);
    for (const std::string& dropped : built.dropped) {
        logError("native lib dir %s does not fit into PATH; left out", dropped.c_str());
    }

    if (SetEnvironmentVariableA("PATH", built.path.c_str())) {
        logMessage("Setting PATH (native libs) %s", built.path.c_str());
    } else {
        logMessage("Setting PATH (native libs) %s failed with error %d", built.path.c_str(),
                   static_cast<int>(GetLastError()));
    }
    // The C runtime keeps its own copy of the environment; getenv and child processes
    // started through it must see the same PATH. The text lives for the process.
    static std::string runtimeEntry;
    runtimeEntry = "PATH=" + built.path;
    _putenv(runtimeEntry.c_str());
}

}  // namespace karvo
