#include "config/TempDirectory.h"

#include <direct.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "config/Messages.h"
#include "config/PathOps.h"
#include "support/Log.h"
#include "support/TextLimits.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

std::string& launcherTempDirStorage() {
    static std::string path;
    return path;
}

std::string environmentValue(const char* name) {
    std::vector<char> buffer(MaxTextLength + 1);
    const DWORD length =
        GetEnvironmentVariableA(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) return {};
    return std::string(buffer.data(), length);
}

std::string windowsDirectory() {
    char buffer[MAX_PATH + 1] = "";
    const UINT length = GetWindowsDirectoryA(buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) return {};
    return std::string(buffer, length);
}

// The fallback directories carry no trailing backslash: a name formed below one must not
// land beside it, glued to its last step.
std::string withSeparator(const std::string& directory) {
    return directory.empty() || directory.back() == '\\' ? directory : directory + "\\";
}

// The fallbacks when the system's temporary directory cannot be spelled in the code page:
// the first writable one of these, in this order.
std::string fallbackTempDirectory() {
    const std::string windows = windowsDirectory();
    std::vector<std::string> candidates;
    if (!windows.empty()) candidates.push_back(windows + "\\temp");
    candidates.push_back("c:\\temp");
    candidates.push_back("c:\\tmp");
    if (!windows.empty()) candidates.push_back(windows);
    for (const std::string& candidate : candidates) {
        if (isWritableDirectory(candidate)) return candidate;
    }
    if (isWritableDirectory("c:\\")) {
        CreateDirectoryA("c:\\tmp", nullptr);
        if (isWritableDirectory("c:\\tmp")) return "c:\\tmp";
    }
    exitWithConfiguredMessage(Key::MessageTempDirUnusable);
}

}  // namespace

const std::string& launcherTempDir() {
    return launcherTempDirStorage();
}

void setLauncherTempDir(std::string path) {
    launcherTempDirStorage() = std::move(path);
}

std::string getTempDirectory() {
    std::vector<char> buffer(MaxTextLength + 1, '\0');
    const DWORD result = GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
    logMessage("GetTempPath returned %d (last error %d)", static_cast<int>(result),
               static_cast<int>(GetLastError()));
    // A result as large as the buffer is the size it would need: nothing was written.
    std::string directory =
        (result > 0 && result < buffer.size()) ? std::string(buffer.data(), result) : std::string();
    if (directory.empty()) {
        directory = environmentValue("HOMEDRIVE") + environmentValue("HOMEPATH");
        logMessage("No temp dir defined. Using home %s", directory.c_str());
    } else {
        logMessage("make dir returned %d", _mkdir(directory.c_str()));
    }
    // When the long form cannot be computed, the system's own form decides: a "?" there
    // means the same as in the long form.
    const std::optional<std::string> longForm = getLongPathName(directory);
    const std::string& judged = longForm ? *longForm : directory;
    if (judged.find('?') == std::string::npos) return directory;
    return fallbackTempDirectory();
}

bool isWritableDirectory(const std::string& path) {
    char testDirectory[MaxTextLength + 1];
    const int length =
        std::snprintf(testDirectory, sizeof testDirectory, "%s\\kvo_w_testdir", path.c_str());
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof testDirectory) return false;
    RemoveDirectoryA(testDirectory);
    const bool created = CreateDirectoryA(testDirectory, nullptr) != FALSE;
    const bool writable = created && pathExists(testDirectory);
    RemoveDirectoryA(testDirectory);
    return writable;
}

std::string createTempFileName() {
    const std::string directory = getTempDirectory();
    logMessage("tempPath is %s", directory.c_str());
    char name[MAX_PATH + 1] = "";
    std::string file;
    if (GetTempFileNameA(directory.c_str(), "kvo", 0, name) != 0) {
        file = name;
    } else {
        logMessage("GetTempFileName failed (last error %d)", static_cast<int>(GetLastError()));
        // Seeded once per process: reseeding with the time at every call would hand the
        // same name to every attempt within one second.
        static const bool seeded = [] {
            std::srand(static_cast<unsigned>(std::time(nullptr)) ^ GetCurrentProcessId());
            return true;
        }();
        (void)seeded;
        char fallback[MaxTextLength + 32];
        std::snprintf(fallback, sizeof fallback, "%skvo%d", withSeparator(directory).c_str(),
                      std::rand());
        file = fallback;
    }
    logMessage("tempFile is %s", file.c_str());
    return file;
}

std::string getProcessFileName(unsigned long number) {
    char name[MaxTextLength + 32];
    std::snprintf(name, sizeof name, "%skvo_p%d.tmp", withSeparator(getTempDirectory()).c_str(),
                  static_cast<int>(number));
    return name;
}

void createLauncherTempDir() {
    for (int attempt = 0; attempt < 5; ++attempt) {
        setLauncherTempDir(createTempFileName() + "_dir");
        logMessage("Temp dir: %s", launcherTempDir().c_str());
        if (CreateDirectoryA(launcherTempDir().c_str(), nullptr)) return;
        logMessage("Could not create dir (%d)", static_cast<int>(GetLastError()));
    }
    exitWithConfiguredMessage(Key::MessageInternalError, InternalError::TempDirectory);
}

void emptyDirectory(const std::string& path) {
    // An empty path or one starting with "." would aim at the working directory.
    if (path.empty() || path[0] == '.') return;
    logMessage("emptying %s", path.c_str());
    const std::string prefix = path.back() == '\\' ? path : path + "\\";
    WIN32_FIND_DATAA data;
    UniqueFind find(FindFirstFileA((prefix + "*.*").c_str(), &data));
    if (!find) return;
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        const std::string entry = prefix + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            logMessage("attempting to remove %s", entry.c_str());
            RemoveDirectoryA(entry.c_str());
        } else {
            logMessage("attempting to delete %s", entry.c_str());
            DeleteFileA(entry.c_str());
        }
    } while (FindNextFileA(find.get(), &data));
}

}  // namespace karvo
