#include "config/TempDirectory.h"

#include <aclapi.h>
#include <direct.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <vector>

#include "config/HostTempDirRules.h"
#include "config/Messages.h"
#include "config/PathOps.h"
#include "support/Log.h"
#include "support/TextLimits.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

void freeLocal(HLOCAL memory) { LocalFree(memory); }
// Memory the system allocated for the caller (a security descriptor).
using UniqueLocal = Owned<HLOCAL, freeLocal, 0>;

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

namespace {

// Opens an entry as itself: a link is opened, not what it points to. Without delete sharing,
// so that nobody can rename the entry or put something else in its place while it is held.
UniqueHandle openEntryItself(const std::string& path, DWORD access) {
    return UniqueHandle(CreateFileA(
        path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

HostDirKind entryKind(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return HostDirKind::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return HostDirKind::Directory;
    return HostDirKind::NotADirectory;
}

std::optional<HostDirKind> heldEntryKind(HANDLE entry) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(entry, &info)) return std::nullopt;
    return entryKind(info.dwFileAttributes);
}

// Deletes one entry by name once nothing of it is needed any more. Neither call follows a
// link: a link, or whatever was put in the entry's place meanwhile, goes as itself, and a
// directory only when it is empty.
bool deleteEntryItself(const std::string& path, HostDirKind kind) {
    if (kind == HostDirKind::Directory) return RemoveDirectoryA(path.c_str()) != FALSE;
    // A link to a directory goes as a directory, a link to a file (or a socket file) as a
    // file; both remove the link, never its target.
    if (kind == HostDirKind::Link && RemoveDirectoryA(path.c_str())) return true;
    return DeleteFileA(path.c_str()) != FALSE;
}

// Empties a directory the caller holds (so its name keeps meaning it): each subdirectory is
// held in turn and looked at as itself before anything below it is touched, so a link put in
// its place is removed, never entered.
void removeHeldDirectoryContents(const std::string& path, int depth) {
    WIN32_FIND_DATAA data;
    UniqueFind find(FindFirstFileA((path + "\\*").c_str(), &data));
    if (!find) return;
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        const std::string child = path + "\\" + name;
        const HostDirKind kind = entryKind(data.dwFileAttributes);
        if (kind == HostDirKind::Directory) {
            removeDirectoryTree(child, depth + 1);
            continue;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        deleteEntryItself(child, kind);
    } while (FindNextFileA(find.get(), &data));
}

}  // namespace

bool removeDirectoryTree(const std::string& path, int depth) {
    std::optional<HostDirKind> kind;
    {
        const UniqueHandle held = openEntryItself(path, FILE_READ_ATTRIBUTES);
        if (!held) return GetLastError() == ERROR_FILE_NOT_FOUND;
        kind = heldEntryKind(held.get());
        if (kind == HostDirKind::Directory && depth < MaxRemovalDepth)
            removeHeldDirectoryContents(path, depth);
    }
    return kind && deleteEntryItself(path, *kind);
}

namespace {

// The owner of a file system object, compared with this process's account: the user itself
// and the owner it gives to what it creates (on Windows often the Administrators group for
// an administrator or the system account).
bool ownedByThisAccount(HANDLE object) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const UniqueLocal descriptorMemory(descriptor);
    UniqueHandle token;
    if (!owner || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive()))
        return false;
    const auto tokenSidMatches = [&](TOKEN_INFORMATION_CLASS kind) {
        DWORD size = 0;
        GetTokenInformation(token.get(), kind, nullptr, 0, &size);
        std::vector<unsigned char> buffer(size);
        if (size == 0 || !GetTokenInformation(token.get(), kind, buffer.data(), size, &size))
            return false;
        // TOKEN_USER and TOKEN_OWNER both start with the SID's pointer.
        const PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                           : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
        return EqualSid(sid, owner) != FALSE;
    };
    return tokenSidMatches(TokenUser) || tokenSidMatches(TokenOwner);
}

std::uint64_t fileTimeValue(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// The caller's hold on a placeholder's name while it removes the directory beside it:
// created anew (or taken over, when left unheld) and held without sharing, it keeps every
// host from being given that name (unique names are only handed out for files that do not
// exist) and tells other clean-ups that the directory is taken.
struct PlaceholderClaim {
    UniqueHandle held;
    PlaceholderState state = PlaceholderState::Held;
};

PlaceholderClaim claimPlaceholder(const std::string& placeholder) {
    PlaceholderClaim claim;
    claim.held = UniqueHandle(
        CreateFileA(placeholder.c_str(), GENERIC_READ | DELETE, 0, nullptr, CREATE_NEW,
                    FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (claim.held) {
        claim.state = PlaceholderState::Gone;
        return claim;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return claim;
    // Left there: held by a running host (then it cannot be opened), or by nobody. Hosts
    // built from an earlier template never held theirs; only one older than the system's
    // start surely belongs to a host that has ended.
    claim.held = UniqueHandle(CreateFileA(placeholder.c_str(), GENERIC_READ | DELETE, 0, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!claim.held) return claim;
    FILETIME created{}, now{};
    GetFileTime(claim.held.get(), &created, nullptr, nullptr);
    GetSystemTimeAsFileTime(&now);
    claim.state =
        writtenBeforeSystemStart(fileTimeValue(created), fileTimeValue(now), GetTickCount64())
            ? PlaceholderState::LeftBeforeSystemStart
            : PlaceholderState::LeftSinceSystemStart;
    return claim;
}

const char* verdictText(HostDirVerdict verdict) {
    switch (verdict) {
        case HostDirVerdict::Remove: return "its host has ended";
        case HostDirVerdict::HostRuns: return "its host runs";
        case HostDirVerdict::HostMayRun:
            return "its placeholder is left but not held, as by a host of an earlier template";
        case HostDirVerdict::Link: return "it is a link";
        case HostDirVerdict::NotADirectory: return "it is no directory";
        case HostDirVerdict::NotOurs: return "another account owns it";
    }
    return "";
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
        const std::string placeholder = temp + name.substr(0, name.size() - 4);
        PlaceholderClaim claim = claimPlaceholder(placeholder);
        if (!claim.held) continue;  // its host still runs, or another clean-up has it
        {
            // What was listed is looked at again as itself, and held from here on.
            const UniqueHandle entry =
                openEntryItself(directory, FILE_READ_ATTRIBUTES | READ_CONTROL);
            const std::optional<HostDirKind> kind =
                entry ? heldEntryKind(entry.get()) : std::nullopt;
            if (!kind) continue;
            const HostDirVerdict verdict =
                judgeHostTempDir(claim.state, *kind, ownedByThisAccount(entry.get()));
            if (verdict != HostDirVerdict::Remove) {
                logMessage("leaving %s: %s", directory.c_str(), verdictText(verdict));
                continue;
            }
            logMessage("removing %s, %s", directory.c_str(), verdictText(verdict));
            removeHeldDirectoryContents(directory, 0);
        }
        const bool gone = deleteEntryItself(directory, HostDirKind::Directory);
        if (gone)
            ++removed;
        else logMessage("could not remove all of %s (%d)", directory.c_str(),
                        static_cast<int>(GetLastError()));
        // A placeholder taken over goes after its directory, so that no host can be given
        // its name while the directory is still there.
        if (claim.state == PlaceholderState::LeftBeforeSystemStart) {
            claim.held.reset();
            DeleteFileA(placeholder.c_str());
        }
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
