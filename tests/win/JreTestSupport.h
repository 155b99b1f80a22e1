// Runtime directory layouts for the runtime search tests: copies of the fake java.exe and of
// the stand-in JVM libraries, the per-user version cache of those copies, the log of this
// process and a private temporary directory, all removed again at the end.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/PathOps.h"
#include "config/PathText.h"
#include "jre/SearchRules.h"
#include "jre/VersionOrder.h"
#include "support/LauncherWidth.h"
#include "support/Log.h"
#include "win/TestSupport.h"

namespace karvo::test {

inline std::string fixture(const std::string& name, const std::string& file) {
    return buildDirectory() + "fixtures\\" + name + "\\" + file;
}

// Every occurrence of each token in text, replaced by its value (the value is not searched).
inline std::string replaceTokens(std::string text,
                                 const std::vector<std::pair<std::string, std::string>>& tokens) {
    for (const auto& [token, value] : tokens)
        for (auto at = text.find(token); at != std::string::npos; at = text.find(token, at + value.size()))
            text.replace(at, token.size(), value);
    return text;
}

// "{bits}" becomes this build's width; "{64}" becomes form64, which names the 64-bit build's
// form of a message ("64") or nothing when both builds expect the same text.
inline std::string withWidth(const std::string& text, const std::string& form64) {
    return replaceTokens(text, {{"{bits}", std::string(LauncherBitsText)},
                                {"{64}", LauncherBits == 64 ? form64 : ""}});
}

// A fixture of the other Windows build (the other width), as a Windows path; empty when
// this build was configured without the other's fixtures directory.
inline std::string otherWidthFixture(const std::string& name, const std::string& file) {
    std::string directory = KARVO_OTHER_WIDTH_FIXTURES;
    if (directory.empty()) return {};
    std::replace(directory.begin(), directory.end(), '/', '\\');
    return "Z:" + directory + "\\" + name + "\\" + file;
}

inline void makeDirectories(const std::string& path) {
    for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

inline void copyFixture(const std::string& name, const std::string& file, const std::string& to) {
    makeDirectories(std::string(directoryOf(to)));
    ASSERT_TRUE(CopyFileA(fixture(name, file).c_str(), to.c_str(), FALSE)) << to;
}

// The fake's settings for a banner of one or more lines ("\n" between them).
inline std::string fakeJavaSettings(const std::string& banner, int exitCode = 0, int delayMs = 0) {
    std::string settings;
    for (const std::string& line : lines(banner)) settings += "banner=" + line + "\n";
    if (settings.empty()) settings = "banner=\n";
    return settings + "exit=" + std::to_string(exitCode) + "\ndelay_ms=" +
           std::to_string(delayMs) + "\n";
}

// directory\bin\java.exe (the fake) with its banner, exit code and delay.
inline void makeJavaRuntime(const std::string& directory, const std::string& banner,
                            int exitCode = 0, int delayMs = 0) {
    copyFixture("fakejava", "java.exe", directory + "\\bin\\java.exe");
    writeFile(directory + "\\bin\\fakejava.ini", fakeJavaSettings(banner, exitCode, delayMs));
}

inline std::string bannerFor(const std::string& version) { return "java version \"" + version + "\""; }

// How often the fake java.exe in binDirectory was started.
inline int runCount(const std::string& binDirectory) {
    const auto text = readFile(binDirectory + "\\fakejava.runs");
    return text ? static_cast<int>(lines(*text).size()) : 0;
}

// Files left in a directory (not counting subdirectories).
inline std::vector<std::string> filesIn(const std::string& directory) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((directory + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

// Removes the key and then each parent in turn, for as long as the key holds nothing: keys
// the tests created are gone afterwards, keys with other contents stay.
inline void deleteEmptyKeys(HKEY root, std::string key) {
    while (!key.empty()) {
        HKEY handle;
        if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) == ERROR_SUCCESS) {
            DWORD subkeys = 1, values = 1;
            RegQueryInfoKeyA(handle, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr);
            RegCloseKey(handle);
            if (subkeys != 0 || values != 0) return;
            if (RegDeleteKeyA(root, key.c_str()) != ERROR_SUCCESS) return;
        }
        const auto slash = key.find_last_of('\\');
        if (slash == std::string::npos || key.substr(0, slash) == "SOFTWARE") return;
        key.resize(slash);
    }
}

// Creates root\key and, unless name is empty, sets its text value name; false on a failure.
inline bool writeRegistryText(HKEY root, const std::string& key, const std::string& name,
                              const std::string& value) {
    HKEY handle;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const bool written =
        name.empty() || RegSetValueExA(handle, name.c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return written;
}

// A variable's value; nothing when it is not set.
inline std::optional<std::string> variableValue(const char* name) {
    char buffer[32768];
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return length < sizeof buffer ? std::string(buffer, length) : std::string();
}

inline std::string environmentVariable(const char* name) {
    return variableValue(name).value_or("");
}

// Sets (or, with nullptr, removes) a variable in both environment copies for one scope.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name), old_(variableValue(name)) {
        set(value);
    }
    ~ScopedVariable() { set(old_ ? old_->c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    // The C runtime's _putenv also writes the system's copy, and removes a variable set to
    // the empty text; the system's copy is therefore written last.
    void set(const char* value) {
        _putenv((name_ + "=" + (value ? value : "")).c_str());
        SetEnvironmentVariableA(name_.c_str(), value);
    }
    std::string name_;
    std::optional<std::string> old_;
};

// The log of this process (switched on before the first line is written) and a private
// temporary directory for the version probes' files.
class JreTestEnvironment {
public:
    JreTestEnvironment() : temp_("jretemp"), tmp_("TMP", temp_.path().c_str()), temp2_("TEMP", temp_.path().c_str()) {
        logPath_ = processLog();
        const auto text = logPath_ ? readFile(*logPath_) : std::nullopt;
        logStart_ = text ? text->size() : 0;
    }
    ~JreTestEnvironment() { purgeVersionCache(); }

    const std::string& tempDirectory() const { return temp_.path(); }
    // The log lines written since this environment was made.
    std::vector<std::string> logLines() const {
        if (!logPath_) return {};
        const auto text = readFile(*logPath_);
        return text && text->size() >= logStart_ ? lines(text->substr(logStart_))
                                                 : std::vector<std::string>{};
    }
    bool logged(const std::string& line) const {
        for (const auto& l : logLines())
            if (l == line) return true;
        return false;
    }
    bool hasLog() const { return logPath_.has_value(); }
    // Cache entries of the paths below a directory of this test are removed at the end.
    void forgetCacheBelow(const std::string& directory) { cached_.push_back(directory); }

private:
    static std::optional<std::string> processLog() {
        // One log directory for the whole process; the log file is decided once.
        static ScratchDir logDirectory("jrelog");
        static const std::optional<std::string> path = [] {
            ScopedVariable on("KARVO_LOG", "yes");
            ScopedVariable tmp("TMP", logDirectory.path().c_str());
            return getLogFilePath();
        }();
        return path;
    }
    void purgeVersionCache() {
        for (const std::string& directory : cached_) {
            std::string prefix = versionCacheKeyName(normalizePath(directory, false));
            const std::string root(VersionCacheRoot);
            const std::string stem = prefix.substr(root.size());
            HKEY key;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, root.substr(0, root.size() - 1).c_str(), 0,
                              KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
                continue;
            std::vector<std::string> doomed;
            char name[1024];
            for (DWORD index = 0;; ++index) {
                DWORD length = sizeof name;
                if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                    ERROR_SUCCESS)
                    break;
                if (std::string(name, length).rfind(stem, 0) == 0) doomed.emplace_back(name, length);
            }
            for (const auto& name : doomed) RegDeleteKeyA(key, name.c_str());
            RegCloseKey(key);
        }
        deleteEmptyKeys(HKEY_CURRENT_USER, "SOFTWARE\\norvale-soft\\karvo\\jvms");
    }

    ScratchDir temp_;
    ScopedVariable tmp_, temp2_;
    std::optional<std::string> logPath_;
    std::size_t logStart_ = 0;
    std::vector<std::string> cached_;
};

// "{dir}" becomes the scratch directory, "{rel}" the same relative to the executable's
// directory, "{dir/}" the scratch directory written with forward slashes.
inline std::string fill(const std::string& text, const ScratchDir& dir) {
    std::string slashed = dir.path();
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    return replaceTokens(text, {{"{dir}", dir.path()},
                                {"{rel}", dir.path().substr(buildDirectory().size())},
                                {"{dir/}", slashed}});
}

}  // namespace karvo::test
