#include "jre/JvmLibrary.h"

#include <windows.h>

#include <cstdlib>
#include <optional>
#include <vector>

#include "config/ConfigKeys.h"
#include "config/LauncherConfig.h"
#include "config/PathOps.h"
#include "jre/VersionRules.h"
#include "support/Log.h"
#include "support/TextLimits.h"

namespace karvo {
namespace {

// The VM type directories below a runtime's bin directory, in the order they are tried.
constexpr const char* VmTypeDirectories[] = {"hotspot", "client", "server", "classic", "jrockit"};

CreateJavaVMFn& entrySlot() {
    static CreateJavaVMFn entry = nullptr;
    return entry;
}

// The process PATH as the system holds it; an unset PATH reads as empty. Nothing when it is
// longer than a PATH may be.
std::optional<std::string> currentPath() {
    std::vector<char> buffer(MaxPathListLength + 1);
    SetLastError(ERROR_SUCCESS);
    const DWORD length =
        GetEnvironmentVariableA("PATH", buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length >= buffer.size()) return std::nullopt;
    return std::string(buffer.data(), length);
}

// The system's copy and the C runtime's copy of the environment both get the same text, so
// that neither a later CreateProcess nor a getenv of the Java side sees a stale PATH.
void setPath(const std::string& path) {
    if (SetEnvironmentVariableA("PATH", path.c_str())) {
        logMessage("Setting PATH %s", path.c_str());
    } else {
        logMessage("Setting PATH %s failed with error %d", path.c_str(),
                   static_cast<int>(GetLastError()));
    }
    const std::string assignment = "PATH=" + path;
    _putenv(assignment.c_str());
}

}  // namespace

HMODULE tryLoadJvmDll(const std::string& binDirectory, const std::string& vmTypeDirectory) {
    const std::string path = binDirectory + "\\" + vmTypeDirectory + "\\jvm.dll";
    const bool exists = pathExists(path);
    logMessage("Trying %s (exists %d)", path.c_str(), exists ? 1 : 0);
    // A broken library must fail the call, not wait for someone to close a system dialog:
    // a service has no one to do that.
    DWORD previousMode = 0;
    const bool modeSet = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previousMode);
    HMODULE library = LoadLibraryA(path.c_str());
    const DWORD error = GetLastError();
    if (modeSet) SetThreadErrorMode(previousMode, nullptr);
    if (exists && !library) logMessage("Failed with error code %d", static_cast<int>(error));
    return library;
}

HMODULE loadJvmForJavaExe(const std::string& javaExePath) {
    const std::optional<std::string> bin = javaBinDirectory(javaExePath);
    if (!bin || bin->size() > MaxBinDirectoryLength) {
        logMessage("The bin directory of %s is longer than %d characters; not loading it",
                   javaExePath.c_str(), static_cast<int>(MaxBinDirectoryLength));
        return nullptr;
    }
    const std::optional<std::string> oldPath = currentPath();
    const std::optional<std::string> newPath =
        oldPath ? appendToPathList(*oldPath, *bin, MaxPathListLength) : std::nullopt;
    if (!newPath) {
        logMessage("PATH with %s would be longer than %d characters; not loading it",
                   bin->c_str(), static_cast<int>(MaxPathListLength));
        return nullptr;
    }
    setPath(*newPath);

    HMODULE library = nullptr;
    const std::string vmType = getConfigString(Key::VmType, MaxVmTypeLength + 1);
    if (!vmType.empty()) library = tryLoadJvmDll(*bin, vmType);
    for (const char* directory : VmTypeDirectories) {
        if (library) break;
        library = tryLoadJvmDll(*bin, directory);
    }
    if (!library) setPath(*oldPath);
    return library;
}

HMODULE loadJvmLibrary(const std::string& javaExePath) {
    if (HMODULE library = loadJvmForJavaExe(javaExePath)) return library;
    // A JDK's own bin directory holds no VM; its embedded runtime does.
    const std::optional<std::string> embedded = embeddedJreJavaExe(javaExePath);
    if (!embedded) return nullptr;
    return loadJvmForJavaExe(*embedded);
}

bool resolveCreateJavaVM(HMODULE library) {
    if (!library) return false;
    auto entry = reinterpret_cast<CreateJavaVMFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "JNI_CreateJavaVM")));
    if (!entry) return false;
    entrySlot() = entry;
    return true;
}

CreateJavaVMFn createJavaVMEntry() { return entrySlot(); }

}  // namespace karvo
