// Judging one java executable: where it is looked for, its version from a real run of the
// fake java.exe or from the per-user cache, and the version rules applied to it.
#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "config/LauncherConfig.h"
#include "jre/JreValidation.h"
#include "win/JreTestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

struct CacheEntry {
    DWORD timeType = 0;
    std::vector<BYTE> time;
    DWORD versionType = 0;
    std::string versionBytes;  // exactly as stored
};

std::optional<CacheEntry> readCacheEntry(const std::string& normalizedPath) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, versionCacheKeyName(normalizedPath).c_str(), 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return std::nullopt;
    CacheEntry entry;
    BYTE buffer[512];
    DWORD size = sizeof buffer;
    if (RegQueryValueExA(key, "LastWriteTime", nullptr, &entry.timeType, buffer, &size) == ERROR_SUCCESS)
        entry.time.assign(buffer, buffer + size);
    size = sizeof buffer;
    if (RegQueryValueExA(key, "Version", nullptr, &entry.versionType, buffer, &size) == ERROR_SUCCESS)
        entry.versionBytes.assign(reinterpret_cast<char*>(buffer), size);
    RegCloseKey(key);
    return entry;
}

void seedCacheEntry(const std::string& normalizedPath, const std::vector<BYTE>& time,
                    const std::string& versionBytes) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, versionCacheKeyName(normalizedPath).c_str(), 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "LastWriteTime", 0, REG_BINARY, time.data(), static_cast<DWORD>(time.size()));
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(versionBytes.data()),
                   static_cast<DWORD>(versionBytes.size()));
    RegCloseKey(key);
}

std::vector<BYTE> timeBytes(std::uint64_t time) {
    std::vector<BYTE> bytes(8);
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<BYTE>(time >> (8 * i));
    return bytes;
}

std::uint64_t writeTime(const std::string& path) {
    std::uint64_t time = 0;
    EXPECT_TRUE(getFileWriteTime(path, &time)) << path;
    return time;
}

// A new last-write time, an hour after the current one.
void touch(const std::string& path) {
    const std::uint64_t later = writeTime(path) + 36000000000ull;
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME time{static_cast<DWORD>(later), static_cast<DWORD>(later >> 32)};
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &time));
    CloseHandle(file);
}

}  // namespace

TEST(JreValidation, RuntimeDirectoryMapsToItsJavaExecutable) {
    struct Row {
        const char* name;
        std::vector<const char*> files;
        bool requireJdk;
        bool expected;
        const char* suffix;
    } rows[] = {
        {"plain runtime through its bin", {"bin\\java.exe"}, false, true, "\\bin\\java.exe"},
        {"JDK through its embedded runtime", {"bin\\java.exe", "jre\\bin\\java.exe"}, false, true,
         "\\jre\\bin\\java.exe"},
        {"empty directory still names a candidate", {}, false, true, "\\bin\\java.exe"},
        {"JDK required and present", {"lib\\tools.jar", "jre\\bin\\java.exe"}, true, true,
         "\\jre\\bin\\java.exe"},
        {"JDK required, runtime only", {"bin\\java.exe"}, true, false, "\\jre\\bin\\java.exe"},
        {"JDK required, a JDK 17 layout through its bin",
         {"bin\\java.exe", "bin\\javac.exe", "jmods\\java.base.jmod"}, true, true,
         "\\bin\\java.exe"},
        {"JDK required, javac beside an embedded runtime",
         {"bin\\javac.exe", "jre\\bin\\java.exe"}, true, false, "\\jre\\bin\\java.exe"},
        {"JDK required, tools.jar still comes first",
         {"lib\\tools.jar", "bin\\javac.exe", "jre\\bin\\java.exe"}, true, true,
         "\\jre\\bin\\java.exe"},
        {"no JDK required, a JDK 17 layout as any runtime", {"bin\\java.exe", "bin\\javac.exe"},
         false, true, "\\bin\\java.exe"},
    };
    for (const auto& row : rows) {
        ScratchDir dir("locate");
        for (const char* file : row.files) {
            makeDirectories(std::string(directoryOf(dir.file(file))));
            writeFile(dir.file(file), "");
        }
        installConfigForTesting(blockWith({{Key::RequireJdk, row.requireJdk ? "1" : "0"}}));
        std::string javaExe;
        EXPECT_EQ(locateJavaExe(javaExe, dir.path()), row.expected) << row.name;
        EXPECT_EQ(javaExe, dir.path() + row.suffix) << row.name;
    }
}

TEST(JreValidation, VersionFromARunIsJudgedAndCached) {
    const std::string longBanner = "java version \"" + std::string(MaxVersionLength + 1, '7') + "\"";
    struct Row {
        const char* name;
        std::string banner;
        int exitCode;
        const char* min;
        const char* max;
        bool allowPreRelease;
        std::map<ConfigKey, std::string> keys;
        bool withJavaw;
        bool expected;
        std::optional<std::string> cached;  // the version stored, if any
        const char* suffix;
    } rows[] = {
        {"classic banner in range",
         bannerFor("1.8.0_51"),
         0,
         "1.6",
         "",
         false,
         {},
         false,
         true,
         "1.8.0_51",
         "\\bin\\java.exe"},
        {"openjdk banner without its date",
         "openjdk version \"11.0.2\" 2019-01-15",
         0,
         "1.6",
         "",
         false,
         {},
         false,
         true,
         "11.0.2",
         "\\bin\\java.exe"},
        {"below the minimum 9 and cached all the same",
         bannerFor("1.8.0_392") + "\nJava(TM) SE Runtime",
         0,
         "9",
         "",
         false,
         {},
         false,
         false,
         "1.8.0_392",
         "\\bin\\java.exe"},
        {"options picked up before the banner",
         "Picked up JAVA_TOOL_OPTIONS: -Xmx64m\nPicked up _JAVA_OPTIONS: -Xss1m\n"
         "openjdk version \"17.0.2\" 2022-01-18",
         0,
         "9",
         "",
         false,
         {},
         false,
         true,
         "17.0.2",
         "\\bin\\java.exe"},
        {"failing runtime cached as 1.0.0",
         bannerFor("1.8.0_51"),
         2,
         "",
         "",
         false,
         {},
         false,
         false,
         "1.0.0",
         "\\bin\\java.exe"},
        {"unknown banner caches nothing",
         "Error: could not open jvm.cfg",
         0,
         "",
         "",
         false,
         {},
         false,
         false,
         std::nullopt,
         "\\bin\\java.exe"},
        {"overlong version caches nothing",
         longBanner,
         0,
         "1.6",
         "",
         false,
         {},
         false,
         false,
         std::nullopt,
         "\\bin\\java.exe"},
        {"pre-release refused",
         bannerFor("1.7.0-ea"),
         0,
         "1.6",
         "",
         false,
         {},
         false,
         false,
         "1.7.0-ea",
         "\\bin\\java.exe"},
        {"pre-release allowed by the caller",
         bannerFor("1.7.0-ea"),
         0,
         "1.6",
         "",
         true,
         {},
         false,
         true,
         "1.7.0-ea",
         "\\bin\\java.exe"},
        {"pre-release allowed by the configuration",
         bannerFor("1.7.0-ea"),
         0,
         "1.6",
         "",
         false,
         {{Key::AllowPreRelease, "1"}},
         false,
         true,
         "1.7.0-ea",
         "\\bin\\java.exe"},
        {"launcher type 1 needs javaw.exe",
         bannerFor("1.8.0_51"),
         0,
         "1.6",
         "",
         false,
         {{Key::LauncherType, "1"}},
         false,
         false,
         "1.8.0_51",
         "\\bin\\javaw.exe"},
        {"launcher type 1 answers with javaw.exe",
         bannerFor("1.8.0_51"),
         0,
         "1.6",
         "",
         false,
         {{Key::LauncherType, "1"}},
         true,
         true,
         "1.8.0_51",
         "\\bin\\javaw.exe"},
    };
    for (const auto& row : rows) {
        JreTestEnvironment environment;
        ScratchDir dir("jrerun");
        environment.forgetCacheBelow(dir.path());
        makeJavaRuntime(dir.path(), row.banner, row.exitCode);
        if (row.withJavaw) copyFixture("fakejava", "javaw.exe", dir.file("bin\\javaw.exe"));
        installConfigForTesting(blockWith(row.keys));

        std::string javaExe = dir.file("bin\\java.exe");
        std::string version;
        EXPECT_EQ(checkJavaExe(javaExe, version, row.min, row.max, row.allowPreRelease),
                  row.expected)
            << row.name;
        const std::string normalized = normalizePath(dir.file("bin\\java.exe"), false);
        EXPECT_EQ(javaExe, normalizePath(dir.path(), false) + row.suffix) << row.name;
        EXPECT_EQ(runCount(dir.file("bin")), 1) << row.name;
        const auto entry = readCacheEntry(normalized);
        ASSERT_EQ(entry.has_value(), row.cached.has_value()) << row.name;
        if (entry) {
            EXPECT_EQ(entry->versionType, static_cast<DWORD>(REG_SZ)) << row.name;
            EXPECT_EQ(entry->versionBytes, *row.cached) << row.name << ": no terminator stored";
            EXPECT_EQ(entry->timeType, static_cast<DWORD>(REG_BINARY)) << row.name;
            EXPECT_EQ(entry->time, timeBytes(writeTime(normalized))) << row.name;
        }
        EXPECT_TRUE(filesIn(environment.tempDirectory()).empty()) << row.name << ": temporary file left";
        if (environment.hasLog()) {
            EXPECT_TRUE(environment.logged(std::string("checkJavaExe returning ") +
                                           (row.expected ? "1" : "0")))
                << row.name;
        }
    }
}

TEST(JreValidation, CachedVersionSparesTheRunUntilTheFileChanges) {
    struct Step {
        const char* name;
        bool touchFirst;
        const char* min;
        bool expected;
        int runsAfter;
    };
    struct Scenario {
        const char* name;
        int exitCode;
        std::vector<Step> steps;
    } scenarios[] = {
        {"working runtime",
         0,
         {{"first check runs it", false, "1.6", true, 1},
          {"unchanged file is judged from the cache", false, "1.6", true, 1},
          {"a stricter minimum needs no run either", false, "1.9", false, 1},
          {"touched file runs again", true, "1.6", true, 2},
          {"and is cached again", false, "1.6", true, 2}}},
        {"runtime that exits with 2",
         2,
         {{"first check fails", false, "", false, 1},
          {"cached failure version is below 1.6", false, "1.6", false, 1},
          {"cached failure version passes an empty minimum", false, "", true, 1},
          {"touched file runs again", true, "", false, 2}}},
    };
    for (const auto& scenario : scenarios) {
        JreTestEnvironment environment;
        ScratchDir dir("jrecache");
        environment.forgetCacheBelow(dir.path());
        makeJavaRuntime(dir.path(), bannerFor("1.8.0_51"), scenario.exitCode);
        installConfigForTesting(blockWith({}));
        const std::string path = normalizePath(dir.file("bin\\java.exe"), false);
        for (const auto& step : scenario.steps) {
            if (step.touchFirst) touch(path);
            std::string javaExe = dir.file("bin\\java.exe"), version;
            EXPECT_EQ(checkJavaExe(javaExe, version, step.min, "", false), step.expected)
                << scenario.name << ": " << step.name;
            EXPECT_EQ(runCount(dir.file("bin")), step.runsAfter) << scenario.name << ": " << step.name;
            const auto entry = readCacheEntry(path);
            ASSERT_TRUE(entry.has_value()) << scenario.name << ": " << step.name;
            EXPECT_EQ(entry->time, timeBytes(writeTime(path))) << scenario.name << ": " << step.name;
        }
    }
}

TEST(JreValidation, OnlyAnExactCacheEntryIsBelieved) {
    struct Row {
        const char* name;
        int timeShape;  // 0 exact, 1 seven bytes, 2 nine bytes, 3 another time
        std::string storedVersion;
        int runs;
        const char* version;
        const char* min = "";
    } rows[] = {
        {"exact time", 0, "9.9", 0, "9.9"},
        {"stored with a terminator", 0, std::string("9.9\0", 4), 0, "9.9"},
        {"seven bytes", 1, "9.9", 1, "1.8.0_51"},
        {"nine bytes", 2, "9.9", 1, "1.8.0_51"},
        {"another time", 3, "9.9", 1, "1.8.0_51"},
        // Written before the banner was read between its quotation marks.
        {"old entry with the banner's tail", 0, "17.0.2\" 2022-01-1", 0, "17.0.2\" 2022-01-1", "9"},
    };
    for (const auto& row : rows) {
        JreTestEnvironment environment;
        ScratchDir dir("jreexact");
        environment.forgetCacheBelow(dir.path());
        makeJavaRuntime(dir.path(), bannerFor("1.8.0_51"));
        installConfigForTesting(blockWith({}));
        const std::string path = normalizePath(dir.file("bin\\java.exe"), false);
        std::vector<BYTE> time = timeBytes(writeTime(path));
        if (row.timeShape == 1) time.pop_back();
        if (row.timeShape == 2) time.push_back(0);
        if (row.timeShape == 3) time[0] ^= 1;
        seedCacheEntry(path, time, row.storedVersion);

        std::string javaExe = path, version;
        EXPECT_TRUE(checkJavaExe(javaExe, version, row.min, "", false)) << row.name;
        EXPECT_EQ(version, row.version) << row.name;
        EXPECT_EQ(runCount(dir.file("bin")), row.runs) << row.name;
    }
}

TEST(JreValidation, HangingRuntimeIsTerminatedAndLeavesNothing) {
    JreTestEnvironment environment;
    ScratchDir dir("jrehang");
    environment.forgetCacheBelow(dir.path());
    makeJavaRuntime(dir.path(), bannerFor("1.8.0_51"), 0, 30000);
    installConfigForTesting(blockWith({}));
    const std::string path = normalizePath(dir.file("bin\\java.exe"), false);

    const auto start = std::chrono::steady_clock::now();
    std::string version;
    EXPECT_FALSE(runJavaVersion(path, writeTime(path), version, 1500));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_FALSE(readCacheEntry(path).has_value()) << "a timed-out run caches nothing";
    EXPECT_TRUE(filesIn(environment.tempDirectory()).empty());
    if (environment.hasLog()) {
            EXPECT_TRUE(environment.logged("Terminating process"));
        }
    // Terminated, so the runtime directory can go away with the scratch directory.
    EXPECT_TRUE(DeleteFileA(dir.file("bin\\java.exe").c_str()));
}

// No version from an executable that is not there or cannot start: refused, nothing cached
// and no temporary file left.
TEST(JreValidation, UnusableExecutableGivesNoVersion) {
    struct Row {
        const char* name;
        const char* relative;                 // the path checked, below the directory
        std::optional<std::string> contents;  // of bin\java.exe, when it is written
        const char* logLine;
    } rows[] = {
        {"text file named java.exe", "bin\\java.exe", "not a program", "couldn't get version"},
        {"empty file named java.exe", "bin\\java.exe", "", "couldn't get version"},
        {"missing file", "bin\\java.exe", std::nullopt, "file doesn't exist"},
        {"wildcard matching a real file", "bin\\jav?.exe", std::nullopt, "file doesn't exist"},
    };
    for (const auto& row : rows) {
        JreTestEnvironment environment;
        ScratchDir dir("jrebad");
        environment.forgetCacheBelow(dir.path());
        makeDirectories(dir.file("bin"));
        writeFile(dir.file("bin\\javax.exe"), "");
        writeFile(dir.file("bin\\javb.exe"), "");
        if (row.contents) writeFile(dir.file("bin\\java.exe"), *row.contents);
        installConfigForTesting(blockWith({}));
        std::string javaExe = dir.file(row.relative), version;
        EXPECT_FALSE(checkJavaExe(javaExe, version, "", "", true)) << row.name;
        EXPECT_FALSE(readCacheEntry(javaExe).has_value()) << row.name;
        EXPECT_TRUE(filesIn(environment.tempDirectory()).empty()) << row.name;
        if (environment.hasLog()) {
            EXPECT_TRUE(environment.logged(row.logLine)) << row.name;
        }
    }
}

TEST(JreValidation, RequiredJdkIsJudgedByItsLayoutAndVersion) {
    struct Row {
        const char* name;
        const char* runtime;  // where the fake java.exe goes, below the directory
        std::vector<const char*> files;
        std::string banner;
        bool expected;
        const char* logLine = nullptr;
    } rows[] = {
        {"JDK 17 with javac and jmods",
         "",
         {"bin\\javac.exe", "jmods\\java.base.jmod"},
         "openjdk version \"17.0.2\" 2022-01-18",
         true},
        {"Java 8 with javac but no tools.jar",
         "",
         {"bin\\javac.exe"},
         bannerFor("1.8.0_392"),
         false,
         "not a JDK: Java 1.8.0_392 without lib\\tools.jar"},
        {"runtime 17 without javac", "", {}, "openjdk version \"17.0.2\"", false},
        {"JDK 8 through tools.jar and its embedded runtime",
         "jre",
         {"lib\\tools.jar", "bin\\javac.exe"},
         bannerFor("1.8.0_392"),
         true},
    };
    for (const auto& row : rows) {
        JreTestEnvironment environment;
        ScratchDir dir("jrejdk");
        environment.forgetCacheBelow(dir.path());
        makeJavaRuntime(*row.runtime ? dir.file(row.runtime) : dir.path(), row.banner);
        for (const char* file : row.files) {
            makeDirectories(std::string(directoryOf(dir.file(file))));
            writeFile(dir.file(file), "");
        }
        installConfigForTesting(blockWith({{Key::RequireJdk, "1"}}));
        std::string javaExe;
        const bool found = locateJavaExe(javaExe, dir.path()) &&
                           validateJavaExe(javaExe, "1.6", "", false);
        EXPECT_EQ(found, row.expected) << row.name;
        if (row.logLine && environment.hasLog()) {
            EXPECT_TRUE(environment.logged(row.logLine)) << row.name;
        }
    }
}

// A usable release file judges the runtime without starting it, and nothing is cached; one
// that is unusable or distrusted leaves the judgement to the probe, whose banner is then
// compared with it in the log.
TEST(JreValidation, ReleaseFileJudgesUnlessUnusableOrDistrusted) {
    const std::string modern = "JAVA_VERSION=\"17.0.9\"\nJAVA_RUNTIME_VERSION=\"17.0.9+9-LTS\"\n";
    struct Row {
        const char* name;
        std::optional<std::string> releaseFile;
        bool distrusted;
        bool accepted;
        int runs;             // of the probe
        const char* version;  // found
        bool disagreementLogged;
    } rows[] = {
        {"release file judges", modern, false, true, 0, "17.0.9", false},
        {"release file below the minimum", "JAVA_VERSION=\"1.8.0_392\"\r\n", false, false, 0,
         "1.8.0_392", false},
        {"pre-release release file refused",
         "JAVA_VERSION=\"22\"\nJAVA_RUNTIME_VERSION=\"22-ea+5-360\"\n", false, false, 0, "22-ea",
         false},
        {"unusable release file", "JAVA_VERSION=\"seventeen\"\n", false, true, 1, "17.0.2", false},
        {"no release file", std::nullopt, false, true, 1, "17.0.2", false},
        {"distrusted release file", modern, true, true, 1, "17.0.2", true},
    };
    for (const auto& row : rows) {
        JreTestEnvironment environment;
        ScratchDir dir("jrerelease");
        environment.forgetCacheBelow(dir.path());
        makeJavaRuntime(dir.path(), "openjdk version \"17.0.2\" 2022-01-18");
        if (row.releaseFile) writeFile(dir.file("release"), *row.releaseFile);
        installConfigForTesting(blockWith({}));
        std::string javaExe = dir.file("bin\\java.exe"), version;
        if (row.distrusted) {
            std::string first = javaExe;
            ASSERT_TRUE(checkJavaExe(first, version, "9", "", false)) << row.name;
            ASSERT_TRUE(acceptedByReleaseFile(first)) << row.name;
            distrustReleaseFile(first);
            EXPECT_FALSE(acceptedByReleaseFile(first)) << row.name;
        }
        EXPECT_EQ(checkJavaExe(javaExe, version, "9", "", false), row.accepted) << row.name;
        EXPECT_EQ(version, row.version) << row.name;
        EXPECT_EQ(runCount(dir.file("bin")), row.runs) << row.name;
        EXPECT_EQ(acceptedByReleaseFile(javaExe), row.accepted && row.runs == 0) << row.name;
        EXPECT_EQ(readCacheEntry(javaExe).has_value(), row.runs > 0)
            << row.name << ": only a probe's answer is cached";
        if (!environment.hasLog()) continue;
        bool logged = false;
        for (const std::string& line : environment.logLines())
            logged |= line.find("says 17.0.9, the banner says 17.0.2") != std::string::npos;
        EXPECT_EQ(logged, row.disagreementLogged) << row.name;
    }
}
