#include "jre/JreValidation.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "config/ConfigKeys.h"
#include "config/LauncherConfig.h"
#include "config/PathOps.h"
#include "config/TempDirectory.h"
#include "jre/JvmLibrary.h"
#include "jre/RuntimeJudgement.h"
#include "jre/RuntimeLayout.h"
#include "jre/SearchRules.h"
#include "jre/VersionOrder.h"
#include "support/Log.h"
#include "support/TextLimits.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

// "LastWriteTime" holds the FILETIME as stored in memory: low word first, little-endian.
void toFileTimeBytes(std::uint64_t time, BYTE (&bytes)[8]) {
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<BYTE>(time >> (8 * i));
}

// The java executable's last-write time from its directory entry. Wildcards would let the
// directory search answer for some other file, so a path holding one does not exist.
bool findJavaExe(const std::string& path, std::uint64_t* lastWriteTime) {
    if (path.find_first_of("*?") != std::string::npos) return false;
    return getFileWriteTime(path, lastWriteTime);
}

// The version probe holds the file until it has ended; a terminated probe may take a moment
// to let go of it, and a temporary file must never stay behind.
void deleteTempFile(const std::string& path) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return;
        Sleep(50);
    }
    logMessage("could not delete %s (error %d)", path.c_str(), static_cast<int>(GetLastError()));
}

std::string versionCommandLine(const std::string& javaExePath) {
    std::vector<char> shortPath(MaxTextLength + 1);
    const DWORD length = GetShortPathNameA(javaExePath.c_str(), shortPath.data(),
                                           static_cast<DWORD>(shortPath.size()));
    std::string program = (length == 0 || length >= shortPath.size())
                              ? javaExePath
                              : std::string(shortPath.data(), length);
    // Where short names are switched off the "short" form keeps its blanks; quoting it keeps
    // the command line from starting a program named by the path's first word.
    if (program.find(' ') != std::string::npos) program = "\"" + program + "\"";
    return program + " -version";
}

// The probe's standard error, read up to MaxBannerOutputBytes: the banner may come after
// lines about options picked up from the environment.
std::optional<std::string> readBannerVersion(const std::string& tempFile) {
    UniqueFile file(std::fopen(tempFile.c_str(), "rb"));
    if (!file) return std::nullopt;
    std::vector<char> output(MaxBannerOutputBytes);
    const std::size_t length = std::fread(output.data(), 1, output.size(), file.get());
    auto version = parseVersionBanner(std::string_view(output.data(), length));
    if (version) logMessage("Java version: %s", version->c_str());
    return version;
}

// The runtime's "release" file beside its bin directory; nothing when the path is too short to
// have one.
std::optional<std::string> releaseFilePath(const std::string& javaExePath) {
    const auto directory = javaExeDirectory(javaExePath);
    if (!directory) return std::nullopt;
    return *directory + "..\\release";
}

// The release file's text, up to MaxBannerOutputBytes; nothing when there is none.
std::optional<std::string> readReleaseFile(const std::optional<std::string>& path) {
    UniqueFile file(path ? std::fopen(path->c_str(), "rb") : nullptr);
    if (!file) return std::nullopt;
    std::string text(MaxBannerOutputBytes, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file.get()));
    return text;
}

// What this process has judged by release files: the runtimes accepted that way (the path
// checkJavaExe returned, and the java executable whose release file it was) and the java
// executables whose release files are no longer believed.
struct ReleaseFileJudgements {
    std::vector<std::pair<std::string, std::string>> accepted;
    std::vector<std::string> distrusted;
};

ReleaseFileJudgements& releaseFileJudgements() {
    static ReleaseFileJudgements judgements;
    return judgements;
}

bool isDistrusted(const std::string& javaExePath) {
    const auto& distrusted = releaseFileJudgements().distrusted;
    return std::find(distrusted.begin(), distrusted.end(), javaExePath) != distrusted.end();
}

JdkLayout readJdkLayout(const std::string& javaExePath) {
    const auto bin = javaExeDirectory(javaExePath);
    if (!bin) return JdkLayout::NoHome;
    const std::string home = *bin + "..";
    if (pathExists(home + "\\lib\\tools.jar")) return JdkLayout::ToolsJar;
    return pathExists(home + "\\bin\\javac.exe") ? JdkLayout::CompilerOnly : JdkLayout::Neither;
}

// Everything about the candidate that can be known without starting it. A missing executable
// has nothing more to read, and one of the other width is passed over whatever it holds.
RuntimeEvidence gatherEvidence(const std::string& javaExePath,
                               const RuntimeRequirements& requirements,
                               std::uint64_t& lastWriteTime) {
    RuntimeEvidence evidence;
    evidence.exists = findJavaExe(javaExePath, &lastWriteTime);
    if (!evidence.exists) {
        logMessage("file doesn't exist");
        return evidence;
    }
    logMessage("file exists");
    // Logs the library it skips when the width differs.
    evidence.fitsLauncher = runtimeFitsLauncher(javaExePath);
    if (!evidence.fitsLauncher) return evidence;
    std::string cached;
    if (readCachedVersion(javaExePath, lastWriteTime, cached)) {
        evidence.cachedVersion = cached;
    } else {
        // Only asked for when the cache has nothing: the usual start reads no more than that.
        evidence.releaseFileText = readReleaseFile(releaseFilePath(javaExePath));
        evidence.releaseFileDistrusted = isDistrusted(javaExePath);
    }
    if (requirements.requireJdk) evidence.jdkLayout = readJdkLayout(javaExePath);
    if (requirements.windowed) evidence.windowedExists = pathExists(windowedJavaExe(javaExePath));
    return evidence;
}

// The log tells where the version came from and why a runtime was refused, in the order the
// decision was taken.
void logVerdict(const std::string& javaExePath, const RuntimeVerdict& verdict) {
    const char* version = verdict.version.c_str();
    switch (verdict.source) {
        case VersionSource::Cache: logMessage("got version from registry %s", version); break;
        case VersionSource::ReleaseFile:
            logMessage("got version from release file %s", version);
            break;
        case VersionSource::Probe:
            logMessage("got version from execution %s", version);
            if (!verdict.disagreeingReleaseVersion.empty())
                logMessage("release file %s says %s, the banner says %s",
                           releaseFilePath(javaExePath)->c_str(),
                           verdict.disagreeingReleaseVersion.c_str(), version);
            break;
        case VersionSource::None: break;
    }
    if (verdict.refusal == RuntimeRefusal::NoVersion) logMessage("couldn't get version");
    if (verdict.refusal == RuntimeRefusal::PreRelease) logMessage("beta vm not allowed");
    if (verdict.refusal == RuntimeRefusal::NotJdk)
        logMessage("not a JDK: Java %s without lib\\tools.jar", version);
}

}  // namespace

bool locateJavaExe(std::string& javaExePath, const std::string& directory) {
    javaExePath = directory + "\\jre\\bin\\java.exe";
    if (getConfigInt(Key::RequireJdk) != 0) {
        if (pathExists(directory + "\\lib\\tools.jar")) return true;
        // Java 9 and later: no embedded runtime and no tools.jar, but a compiler. Its
        // version is checked against this rule in checkJavaExe.
        if (pathExists(directory + "\\jre") || !pathExists(directory + "\\bin\\javac.exe"))
            return false;
        javaExePath = directory + "\\bin\\java.exe";
        return true;
    }
    if (pathExists(javaExePath)) return true;
    javaExePath = directory + "\\bin\\java.exe";
    return true;
}

bool checkJavaExe(std::string& javaExePath, std::string& version, std::string_view min,
                  std::string_view max, bool allowPreRelease) {
    const std::string minText(min), maxText(max);
    logMessage("checkJavaExe (%s, [out], %s, %s, %d)", javaExePath.c_str(), minText.c_str(),
               maxText.c_str(), allowPreRelease ? 1 : 0);
    javaExePath = normalizePath(javaExePath, false);
    const RuntimeRequirements requirements{
        min, max, allowPreRelease || getConfigInt(Key::AllowPreRelease) != 0,
        getConfigInt(Key::RequireJdk) != 0, getConfigInt(Key::LauncherType) == 1};
    std::uint64_t lastWriteTime = 0;
    RuntimeEvidence evidence = gatherEvidence(javaExePath, requirements, lastWriteTime);
    RuntimeVerdict verdict = judgeRuntime(evidence, requirements);
    if (verdict.kind == RuntimeVerdictKind::AskProbe) {
        std::string probed;
        evidence.probed = true;
        if (runJavaVersion(javaExePath, lastWriteTime, probed)) {
            evidence.probedVersion = probed;
            // Whatever it is judged, the cache keeps what the executable said.
            writeCachedVersion(javaExePath, lastWriteTime, probed);
        }
        verdict = judgeRuntime(evidence, requirements);
    }
    if (evidence.exists) version = verdict.version;
    logVerdict(javaExePath, verdict);

    const bool accepted = verdict.kind == RuntimeVerdictKind::Accepted;
    const std::string probedPath = javaExePath;
    if (verdict.windowedPath) javaExePath = windowedJavaExe(javaExePath);
    if (accepted && verdict.source == VersionSource::ReleaseFile)
        releaseFileJudgements().accepted.emplace_back(javaExePath, probedPath);
    logMessage("checkJavaExe returning %d", accepted ? 1 : 0);
    return accepted;
}

bool acceptedByReleaseFile(const std::string& javaExePath) {
    const auto& accepted = releaseFileJudgements().accepted;
    return std::any_of(accepted.begin(), accepted.end(), [&](const auto& entry) {
        return entry.first == javaExePath && !isDistrusted(entry.second);
    });
}

void distrustReleaseFile(const std::string& javaExePath) {
    for (const auto& [returned, probed] : releaseFileJudgements().accepted)
        if (returned == javaExePath && !isDistrusted(probed))
            releaseFileJudgements().distrusted.push_back(probed);
}

bool validateJavaExe(std::string& javaExePath, std::string_view min, std::string_view max,
                     bool allowPreRelease) {
    std::string version;
    return checkJavaExe(javaExePath, version, min, max, allowPreRelease);
}

bool readCachedVersion(const std::string& javaExePath, std::uint64_t lastWriteTime,
                       std::string& version) {
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, versionCacheKeyName(javaExePath).c_str(), 0, KEY_READ,
                      key.receive()) != ERROR_SUCCESS)
        return false;
    BYTE stored[8] = {}, expected[8];
    DWORD size = sizeof stored;
    toFileTimeBytes(lastWriteTime, expected);
    if (RegQueryValueExA(key.get(), "LastWriteTime", nullptr, nullptr, stored, &size) !=
            ERROR_SUCCESS ||
        size != sizeof stored || std::memcmp(stored, expected, sizeof stored) != 0)
        return false;
    std::vector<char> text(MaxTextLength + 1);
    size = static_cast<DWORD>(text.size());
    if (RegQueryValueExA(key.get(), "Version", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
        return false;
    // The value is written without its terminator; whatever came back ends the text, and so
    // does a terminator that another writer stored.
    version.assign(text.data(), size);
    if (const auto nul = version.find('\0'); nul != std::string::npos) version.resize(nul);
    return true;
}

void writeCachedVersion(const std::string& javaExePath, std::uint64_t lastWriteTime,
                        std::string_view version) {
    UniqueKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, versionCacheKeyName(javaExePath).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.receive(),
                        nullptr) != ERROR_SUCCESS)
        return;
    BYTE bytes[8];
    toFileTimeBytes(lastWriteTime, bytes);
    RegSetValueExA(key.get(), "LastWriteTime", 0, REG_BINARY, bytes, sizeof bytes);
    // The registry quietly counts a terminator that directly follows the given bytes; a
    // guard byte there keeps the stored value exactly as long as the text.
    std::string guarded(version);
    guarded.push_back('x');
    RegSetValueExA(key.get(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(guarded.data()),
                   static_cast<DWORD>(version.size()));
}

bool runJavaVersion(const std::string& javaExePath, std::uint64_t lastWriteTime,
                    std::string& version) {
    return runJavaVersion(javaExePath, lastWriteTime, version, JavaVersionTimeoutMs);
}

bool runJavaVersion(const std::string& javaExePath, std::uint64_t lastWriteTime,
                    std::string& version, unsigned long timeoutMs) {
    std::string commandLine = versionCommandLine(javaExePath);
    const std::string tempFile = createTempFileName();

    UniqueHandle output;
    {
        UniqueHandle created(CreateFileA(tempFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        HANDLE duplicate = nullptr;
        if (created &&
            DuplicateHandle(GetCurrentProcess(), created.get(), GetCurrentProcess(), &duplicate, 0,
                            TRUE, DUPLICATE_SAME_ACCESS))
            output.reset(duplicate);
    }

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = nullptr;
    startup.hStdOutput = nullptr;
    startup.hStdError = output.get();
    PROCESS_INFORMATION info{};
    // The probe gets no console at all. A console program started from the Java host (which
    // has none) would otherwise get one of its own, and even a console without a window
    // needs a console host process: under Wine that start costs more than the probe itself.
    // The banner goes to the file handle either way.
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                        NORMAL_PRIORITY_CLASS | DETACHED_PROCESS, nullptr, nullptr, &startup,
                        &info)) {
        logMessage("Could not create process %s > %s (error %d)", commandLine.c_str(),
                   tempFile.c_str(), static_cast<int>(GetLastError()));
        output.reset();
        deleteTempFile(tempFile);
        return false;
    }
    UniqueHandle process(info.hProcess), thread(info.hThread);

    WaitForSingleObject(process.get(), timeoutMs);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.get(), &exitCode)) exitCode = STILL_ACTIVE;
    logMessage("Exit Code %d", static_cast<int>(exitCode));
    if (exitCode == STILL_ACTIVE) {
        logMessage("Terminating process");
        TerminateProcess(process.get(), 1);
        // Until it has really gone it still holds the temporary file open.
        WaitForSingleObject(process.get(), 5000);
    } else if (exitCode != 0) {
        writeCachedVersion(javaExePath, lastWriteTime, FailureVersion);
    }
    process.reset();
    thread.reset();
    output.reset();

    std::optional<std::string> found;
    if (exitCode == 0) found = readBannerVersion(tempFile);
    deleteTempFile(tempFile);
    if (!found) return false;
    version = *found;
    return true;
}

}  // namespace karvo
