// The system temporary directory, temporary names and the launcher's own directory, on the
// real file system.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>

#include "config/LauncherConfig.h"
#include "config/Messages.h"
#include "config/TempDirectory.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

// Sets environment variables for one test and puts the old values back.
class EnvironmentGuard {
public:
    void set(const std::string& name, const std::optional<std::string>& value) {
        if (!saved_.count(name)) {
            char buffer[32768];
            const DWORD length = GetEnvironmentVariableA(name.c_str(), buffer, sizeof buffer);
            saved_[name] =
                length ? std::optional<std::string>(std::string(buffer, length)) : std::nullopt;
        }
        SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
    }
    ~EnvironmentGuard() {
        for (const auto& [name, value] : saved_) {
            SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

bool isDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string windowsDirectory() {
    char buffer[MAX_PATH];
    return std::string(buffer, GetWindowsDirectoryA(buffer, MAX_PATH));
}

bool setCreationTime(const std::string& path, WORD year) {
    SYSTEMTIME system{};
    system.wYear = year;
    system.wMonth = 1;
    system.wDay = 1;
    FILETIME time{};
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool set = SystemTimeToFileTime(&system, &time) && SetFileTime(file, &time, &time, &time);
    CloseHandle(file);
    return set;
}

// Without the privilege, Windows lets developer mode make links.
constexpr DWORD UnprivilegedLink = 0x2;

// A link that leads to the target; false where none can be made (Wine 8 makes links that
// lead nowhere, and no junctions at all).
bool makeDirectoryLink(const std::string& link, const std::string& target) {
    if (!CreateSymbolicLinkA(link.c_str(), target.c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY | UnprivilegedLink))
        return false;
    const DWORD attributes = GetFileAttributesA(link.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return true;
    RemoveDirectoryA(link.c_str());
    DeleteFileA(link.c_str());
    return false;
}

// Gives a directory the local service account as its owner; false when the system refuses.
bool giveToAnotherAccount(const std::string& path) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    if (!CreateWellKnownSid(WinLocalServiceSid, nullptr, sid, &size)) return false;
    std::string copy = path;
    if (SetNamedSecurityInfoA(copy.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, sid, nullptr,
                              nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(copy.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const bool changed = owner && EqualSid(owner, sid);
    LocalFree(descriptor);
    return changed;
}

}  // namespace

TEST(TempDirectory, SystemDirectoryFromTheEnvironment) {
    ScratchDir scratch("tmpdir");
    struct Row {
        const char* name;
        std::string tmp;
        std::string expected;
    } rows[] = {
        {"existing directory, with the system's trailing backslash", scratch.path(),
         scratch.path() + "\\"},
        {"missing directory is created", scratch.file("fresh"), scratch.file("fresh") + "\\"},
    };
    for (const auto& row : rows) {
        EnvironmentGuard environment;
        environment.set("TMP", row.tmp);
        environment.set("TEMP", row.tmp);
        EXPECT_EQ(getTempDirectory(), row.expected) << row.name;
        EXPECT_TRUE(isDirectory(row.tmp)) << row.name;
    }
}

TEST(TempDirectory, UnrepresentableDirectoryFallsBackToWindowsTemp) {
    ScratchDir scratch("tmpwide");
    // A name that the ANSI code page cannot spell: the 8-bit form holds "?".
    std::wstring wide(scratch.path().begin(), scratch.path().end());
    wide += L"\\\u0416\u4E2D";
    ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));
    const std::string windowsTemp = windowsDirectory() + "\\temp";
    CreateDirectoryA(windowsTemp.c_str(), nullptr);
    EnvironmentGuard environment;
    environment.set("TMP", std::nullopt);
    SetEnvironmentVariableW(L"TMP", wide.c_str());
    SetEnvironmentVariableW(L"TEMP", wide.c_str());
    EXPECT_EQ(getTempDirectory(), windowsTemp);
    EXPECT_EQ(getProcessFileName(4711), windowsTemp + "\\kvo_p4711.tmp")
        << "a name below a fallback lies inside it";
    RemoveDirectoryW(wide.c_str());
    environment.set("TEMP", std::nullopt);
}

TEST(TempDirectory, WritableDirectory) {
    ScratchDir scratch("writable");
    struct Row {
        const char* name;
        std::string path;
        bool writable;
    } rows[] = {
        {"existing directory", scratch.path(), true},
        {"missing directory", scratch.file("none"), false},
        {"a file is no directory", scratch.file("file.txt"), false},
    };
    ASSERT_TRUE(writeFile(scratch.file("file.txt"), "x"));
    for (const auto& row : rows) {
        EXPECT_EQ(isWritableDirectory(row.path), row.writable) << row.name;
        EXPECT_FALSE(isDirectory(row.path + "\\kvo_w_testdir"))
            << row.name << ": test directory removed";
    }
    // A leftover test directory from an earlier run does not spoil the answer.
    CreateDirectoryA(scratch.file("kvo_w_testdir").c_str(), nullptr);
    EXPECT_TRUE(isWritableDirectory(scratch.path()));
    EXPECT_FALSE(isDirectory(scratch.file("kvo_w_testdir")));
}

TEST(TempDirectory, Names) {
    ScratchDir scratch("names");
    EnvironmentGuard environment;
    environment.set("TMP", scratch.path());
    environment.set("TEMP", scratch.path());

    const std::string name = createTempFileName();
    EXPECT_EQ(name.rfind(scratch.path() + "\\kvo", 0), 0u) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".tmp") << name;
    EXPECT_EQ(readFile(name), std::string()) << "a new, empty file";
    EXPECT_NE(createTempFileName(), name) << "names are unique";

    EXPECT_EQ(getProcessFileName(4711), scratch.path() + "\\kvo_p4711.tmp");
    EXPECT_FALSE(isFile(scratch.file("kvo_p4711.tmp"))) << "nothing is created";
}

TEST(TempDirectory, LauncherTempDir) {
    ScratchDir scratch("launchtmp");
    EnvironmentGuard environment;
    environment.set("TMP", scratch.path());
    environment.set("TEMP", scratch.path());
    createLauncherTempDir();
    const std::string directory = launcherTempDir();
    EXPECT_EQ(directory.rfind(scratch.path() + "\\kvo", 0), 0u) << directory;
    EXPECT_EQ(directory.substr(directory.size() - 8), ".tmp_dir") << directory;
    EXPECT_TRUE(isDirectory(directory));
    setLauncherTempDir("");
}

// TMP names a file: no unique file can be made there, so the name is made up without a
// file, and the launcher's directory below it cannot be created in five attempts either.
TEST(TempDirectory, UnusableDirectoryEndsWithInternalError7) {
    ScratchDir scratch("tmpfile");
    const std::string notADirectory = scratch.file("file.txt");
    ASSERT_TRUE(writeFile(notADirectory, "x"));
    {
        EnvironmentGuard environment;
        environment.set("TMP", notADirectory);
        environment.set("TEMP", notADirectory);
        const std::string name = createTempFileName();
        const std::string prefix = notADirectory + "\\kvo";
        ASSERT_EQ(name.rfind(prefix, 0), 0u) << name;
        const std::string number = name.substr(prefix.size());
        EXPECT_FALSE(number.empty()) << name;
        EXPECT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << name;
        EXPECT_FALSE(isFile(name)) << "nothing is created";
    }
    // Set only inside the dying statement: the test framework needs a working TMP itself.
    EXPECT_EXIT(
        {
            SetEnvironmentVariableA("TMP", notADirectory.c_str());
            SetEnvironmentVariableA("TEMP", notADirectory.c_str());
            installConfigForTesting(blockWith({}));
            setMessageBoxMode(false);
            createLauncherTempDir();
        },
        testing::ExitedWithCode(1), "error code: 7");
}

TEST(TempDirectory, EmptyDirectory) {
    ScratchDir scratch("empty");
    const std::string root = scratch.file("d");
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA((root + "\\emptysub").c_str(), nullptr);
    CreateDirectoryA((root + "\\fullsub").c_str(), nullptr);
    ASSERT_TRUE(writeFile(root + "\\a.jar", "a"));
    ASSERT_TRUE(writeFile(root + "\\b", "b"));
    ASSERT_TRUE(writeFile(root + "\\fullsub\\c", "c"));

    // Run from the scratch directory, so that a relative path would hit the real files.
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(scratch.path().c_str());
    struct Row {
        const char* name;
        std::string path;
    } rows[] = {
        {"relative path left alone", ".\\d"},
        {"empty path left alone", ""},
    };
    for (const auto& row : rows) {
        emptyDirectory(row.path);
        EXPECT_TRUE(isFile(root + "\\a.jar")) << row.name;
    }
    SetCurrentDirectoryA(previous);

    emptyDirectory(root + "\\");
    EXPECT_FALSE(isFile(root + "\\a.jar"));
    EXPECT_FALSE(isFile(root + "\\b"));
    EXPECT_FALSE(isDirectory(root + "\\emptysub")) << "an empty subdirectory goes";
    EXPECT_TRUE(isFile(root + "\\fullsub\\c")) << "no descent";
    EXPECT_TRUE(isDirectory(root));
}

// A host's directory goes once its host has ended, and only then. Here this process plays
// every host: a held placeholder is a running one.
TEST(TempDirectory, EndedHostsDirectoriesAreRemoved) {
    ScratchDir scratch("ended");
    EnvironmentGuard environment;
    environment.set("TMP", scratch.path());
    environment.set("TEMP", scratch.path());
    enum class Placeholder { Gone, Unheld, UnheldBeforeSystemStart, Held };
    struct Row {
        const char* name;
        std::string entry;
        bool directory;
        Placeholder placeholder;
        bool removed;
    } rows[] = {
        {"placeholder gone: host ended", "kvo1A.tmp_dir", true, Placeholder::Gone, true},
        {"placeholder left unheld since the system started: a host of an earlier template "
         "may run, kept",
         "kvo1B.tmp_dir", true, Placeholder::Unheld, false},
        {"placeholder left unheld before the system started: host ended", "kvo1E.tmp_dir", true,
         Placeholder::UnheldBeforeSystemStart, true},
        {"placeholder held: host runs, kept", "kvo1C.tmp_dir", true, Placeholder::Held, false},
        {"a file of that name is not a host's directory", "kvo1D.tmp_dir", false, Placeholder::Gone,
         false},
        {"another name is not touched", "other.tmp_dir", true, Placeholder::Gone, false},
    };
    std::vector<HANDLE> held;
    for (const auto& row : rows) {
        const std::string path = scratch.file(row.entry);
        if (row.directory) {
            ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << row.name;
            ASSERT_TRUE(CreateDirectoryA((path + "\\lib").c_str(), nullptr)) << row.name;
            ASSERT_TRUE(writeFile(path + "\\lib\\a.jar", "a")) << row.name;
            ASSERT_TRUE(writeFile(path + "\\ro.txt", "r")) << row.name;
            SetFileAttributesA((path + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        } else {
            ASSERT_TRUE(writeFile(path, "f")) << row.name;
        }
        const std::string placeholder = path.substr(0, path.size() - 4);
        if (row.placeholder != Placeholder::Gone) {
            ASSERT_TRUE(writeFile(placeholder, ""));
        }
        if (row.placeholder == Placeholder::UnheldBeforeSystemStart) {
            ASSERT_TRUE(setCreationTime(placeholder, 2001)) << row.name;
        }
        if (row.placeholder == Placeholder::Held)
            held.push_back(CreateFileA(placeholder.c_str(), GENERIC_READ, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    }
    removeEndedLauncherTempDirs();
    for (const auto& row : rows) {
        const std::string path = scratch.file(row.entry);
        EXPECT_EQ(GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES, row.removed)
            << row.name;
        if (row.removed) {
            EXPECT_FALSE(isFile(path.substr(0, path.size() - 4))) << row.name << ": placeholder";
        }
        if (row.placeholder == Placeholder::Unheld) {
            EXPECT_TRUE(isFile(path.substr(0, path.size() - 4))) << row.name << ": placeholder";
        }
    }
    for (HANDLE handle : held) CloseHandle(handle);

    // The launcher's own directory counts as running until it lets go of it.
    createLauncherTempDir();
    const std::string own = launcherTempDir();
    removeEndedLauncherTempDirs();
    EXPECT_TRUE(isDirectory(own));
    setLauncherTempDir("");
    removeEndedLauncherTempDirs();
    EXPECT_FALSE(isDirectory(own));
    EXPECT_FALSE(isFile(own.substr(0, own.size() - 4))) << "no placeholder left";
}

// The clean-up may run as the system account over a directory where other accounts create
// entries: what stands in a host directory's place is looked at as itself, never followed.
TEST(TempDirectory, CleanUpFollowsNoLinkAndTakesNoOtherAccountsDirectory) {
    ScratchDir scratch("links");
    EnvironmentGuard environment;
    environment.set("TMP", scratch.path());
    environment.set("TEMP", scratch.path());
    const std::string outside = scratch.file("outside");
    ASSERT_TRUE(CreateDirectoryA(outside.c_str(), nullptr));
    ASSERT_TRUE(writeFile(outside + "\\precious.txt", "keep"));
    enum class Setup { LinkInItsPlace, LinkInside, OtherOwner };
    struct Row {
        const char* name;
        std::string entry;
        Setup setup;
        bool removed;
    } rows[] = {
        {"a link in a host directory's place stays, and so does its target", "kvo2A.tmp_dir",
         Setup::LinkInItsPlace, false},
        {"a link inside an ended host's directory goes as a link", "kvo2B.tmp_dir",
         Setup::LinkInside, true},
        {"another account's directory stays", "kvo2C.tmp_dir", Setup::OtherOwner, false},
    };
    for (const auto& row : rows) {
        const std::string path = scratch.file(row.entry);
        if (row.setup == Setup::LinkInItsPlace) {
            if (!makeDirectoryLink(path, outside)) {
                std::printf("SKIPPED %s: no link can be made here (%lu)\n", row.name,
                            GetLastError());
                continue;
            }
        } else {
            ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << row.name;
            ASSERT_TRUE(writeFile(path + "\\own.txt", "o")) << row.name;
        }
        if (row.setup == Setup::LinkInside && !makeDirectoryLink(path + "\\lib", outside)) {
            std::printf("SKIPPED %s: no link can be made here (%lu)\n", row.name, GetLastError());
            continue;
        }
        if (row.setup == Setup::OtherOwner && !giveToAnotherAccount(path)) {
            std::printf("SKIPPED %s: this system gives no directory another owner\n", row.name);
            continue;
        }
        removeEndedLauncherTempDirs();
        EXPECT_EQ(GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES, row.removed)
            << row.name;
        EXPECT_TRUE(isFile(outside + "\\precious.txt")) << row.name << ": the link was followed";
        if (row.setup == Setup::LinkInItsPlace) RemoveDirectoryA(path.c_str());
    }
}
