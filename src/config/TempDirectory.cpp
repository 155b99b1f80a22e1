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

// Deeper than anything the launcher extracts; a program's own tree below that is left.
constexpr int MaxRemovalDepth = 32;

std::string& launcherTempDirStorage() {
    static std::string path;
    return path;
}

// The held placeholder that marks LauncherTempDir as in use; let go when it changes.
UniqueHandle& ownerMark() {
    static UniqueHandle mark;
    return mark;
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
    ownerMark().reset();
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
    // Directories of hosts that have ended go first, so that they never pile up.
    removeEndedLauncherTempDirs();
    // The placeholders of failed attempts are held until the end, so that no attempt gets
    // a name an earlier one already tried; closing them deletes them.
    std::vector<UniqueHandle> failedAttempts;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::string placeholder = createTempFileName();
        // Held open without sharing for the life of this process and deleted by the system
        // when the process ends, however it ends: while it exists, the directory beside it
        // belongs to a running host. Not inheritable, so the program's own children do not
        // keep it.
        UniqueHandle lock(CreateFileA(placeholder.c_str(), GENERIC_READ | DELETE, 0, nullptr,
                                      OPEN_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (!lock) {
            // Someone else holds the name (a clean-up removing an old directory of that
            // name): a directory made now would not be marked as ours.
            logMessage("Could not hold %s (%d)", placeholder.c_str(),
                       static_cast<int>(GetLastError()));
            continue;
        }
        const std::string directory = placeholder + "_dir";
        logMessage("Temp dir: %s", directory.c_str());
        if (CreateDirectoryA(directory.c_str(), nullptr)) {
            setLauncherTempDir(directory);
            ownerMark() = std::move(lock);
            return;
        }
        logMessage("Could not create dir (%d)", static_cast<int>(GetLastError()));
        failedAttempts.push_back(std::move(lock));
    }
    failedAttempts.clear();
    exitWithConfiguredMessage(Key::MessageInternalError, InternalError::TempDirectory);
}

bool removeDirectoryTree(const std::string& path, int depth) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    // A link is removed as a link: what it points to belongs to someone else.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT) && depth < MaxRemovalDepth) {
        WIN32_FIND_DATAA data;
        UniqueFind find(FindFirstFileA((path + "\\*").c_str(), &data));
        if (find) {
            do {
                const std::string name = data.cFileName;
                if (name == "." || name == "..") continue;
                const std::string entry = path + "\\" + name;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    removeDirectoryTree(entry, depth + 1);
                } else {
                    if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                        SetFileAttributesA(entry.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileA(entry.c_str());
                }
            } while (FindNextFileA(find.get(), &data));
        }
    }
    return RemoveDirectoryA(path.c_str()) != FALSE;
}

namespace {

// Takes the placeholder's name for the caller while it removes the directory beside it:
// created anew and held without sharing, it keeps every host from being given that name
// (unique names are only handed out for files that do not exist) and tells other clean-ups
// that the directory is taken. Fails while the directory's host still holds its placeholder.
UniqueHandle claimPlaceholder(const std::string& placeholder) {
    const auto claim = [&] {
        return UniqueHandle(CreateFileA(placeholder.c_str(), GENERIC_READ | DELETE, 0, nullptr,
                                        CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    };
    UniqueHandle held = claim();
    // A placeholder nobody holds (its host ended before the system could delete it, or an
    // older launcher left it) can be deleted; one that is held cannot.
    if (!held && GetLastError() == ERROR_FILE_EXISTS && DeleteFileA(placeholder.c_str()))
        held = claim();
    return held;
}

}  // namespace

int removeEndedLauncherTempDirs() {
    const std::string temp = withSeparator(getTempDirectory());
    WIN32_FIND_DATAA data;
    // Collected first: removing entries while the search runs may skip some.
    std::vector<std::string> names;
    {
        UniqueFind find(FindFirstFileA((temp + "kvo*.tmp_dir").c_str(), &data));
        if (!find) return 0;
        do {
            const std::string name = data.cFileName;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name.size() > 4 &&
                name.compare(name.size() - 4, 4, "_dir") == 0)
                names.push_back(name);
        } while (FindNextFileA(find.get(), &data));
    }
    int removed = 0;
    for (const std::string& name : names) {
        const std::string directory = temp + name;
        const UniqueHandle claim = claimPlaceholder(temp + name.substr(0, name.size() - 4));
        if (!claim) continue;  // its host still runs, or another clean-up has it
        logMessage("removing %s, its host has ended", directory.c_str());
        if (removeDirectoryTree(directory, 0)) ++removed;
        else logMessage("could not remove all of %s (%d)", directory.c_str(),
                        static_cast<int>(GetLastError()));
    }
    return removed;
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
