#include "jre/JvmLibrary.h"

#include <windows.h>

#include <cstdlib>
#include <optional>
#include <vector>

#include "config/ConfigKeys.h"
#include "config/LauncherConfig.h"
#include "config/PathOps.h"
#include "jre/RuntimeLayout.h"
#include "support/LauncherWidth.h"
#include "support/Log.h"
#include "support/PeMachine.h"
#include "support/TextLimits.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

// The VM type directories below a runtime's bin directory, in the order they are tried.
constexpr const char* VmTypeDirectories[] = {"hotspot", "client", "server", "classic", "jrockit"};

CreateJavaVMFn& entrySlot() {
    static CreateJavaVMFn entry = nullptr;
    return entry;
}

}  // namespace

// The process PATH as the system holds it; an unset PATH reads as empty. Nothing when it is
// longer than a PATH may be.
std::optional<std::string> processPath() {
    std::vector<char> buffer(MaxPathListLength + 1);
    SetLastError(ERROR_SUCCESS);
    const DWORD length =
        GetEnvironmentVariableA("PATH", buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length >= buffer.size()) return std::nullopt;
    return std::string(buffer.data(), length);
}

namespace {

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

// The machine of the file at path, or nothing when it cannot be opened or read.
std::optional<PeMachineInfo> fileMachine(const std::string& path) {
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::vector<std::uint8_t> bytes(PeHeaderReadSize);
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
        return std::nullopt;
    bytes.resize(got);
    return readPeMachine(bytes);
}

// Loading a library of another machine fails with error 193 only after the search has
// settled on its runtime; judging the file first lets the search go on to one that fits.
bool fitsLauncher(const std::string& path, const PeMachineInfo& info) {
    if (info.isPe && info.machine == LauncherMachine) return true;
    const std::string what = info.isPe ? describePeMachine(info) + " library" : "not a Windows library";
    logMessage("skipping %s: %s, this launcher is %d-bit", path.c_str(), what.c_str(), LauncherBits);
    return false;
}

// Every jvm.dll that loadJvmLibrary would try for this java executable, in its order.
std::vector<std::string> jvmLibraryCandidates(const std::string& javaExePath) {
    std::vector<std::string> paths;
    const std::string vmType = getConfigString(Key::VmType, MaxVmTypeLength + 1);
    auto addFor = [&](const std::string& exePath) {
        const std::optional<std::string> bin = javaBinDirectory(exePath);
        if (!bin) return;
        if (!vmType.empty()) paths.push_back(*bin + "\\" + vmType + "\\jvm.dll");
        for (const char* directory : VmTypeDirectories)
            paths.push_back(*bin + "\\" + directory + "\\jvm.dll");
    };
    addFor(javaExePath);
    if (const std::optional<std::string> embedded = embeddedJreJavaExe(javaExePath)) addFor(*embedded);
    return paths;
}

}  // namespace

bool runtimeFitsLauncher(const std::string& javaExePath) {
    bool anyLibrary = false;
    for (const std::string& path : jvmLibraryCandidates(javaExePath)) {
        const std::optional<PeMachineInfo> info = fileMachine(path);
        if (!info) continue;
        anyLibrary = true;
        if (fitsLauncher(path, *info)) return true;
    }
    // Without any library the runtime stays a candidate, and loading says what is wrong.
    return !anyLibrary;
}

HMODULE tryLoadJvmDll(const std::string& binDirectory, const std::string& vmTypeDirectory) {
    const std::string path = binDirectory + "\\" + vmTypeDirectory + "\\jvm.dll";
    const bool exists = pathExists(path);
    logMessage("Trying %s (exists %d)", path.c_str(), exists ? 1 : 0);
    if (exists) {
        const std::optional<PeMachineInfo> info = fileMachine(path);
        if (info && !fitsLauncher(path, *info)) return nullptr;
    }
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
    const std::optional<std::string> oldPath = processPath();
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

void abandonJvmLibrary(HMODULE library, const std::optional<std::string>& pathBefore) {
    if (!library) return;  // a failed load has already set PATH back
    FreeLibrary(library);
    if (pathBefore) setPath(*pathBefore);
}

CreateJavaVMFn createJavaVMEntry() { return entrySlot(); }

}  // namespace karvo
