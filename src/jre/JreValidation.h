// Is this java executable usable? Maps a runtime directory to the executable to test, finds
// its version (from the per-user registry cache or by running it with -version) and applies
// the version range.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace karvo {

// javaExePath becomes directory\jre\bin\java.exe when that exists, else
// directory\bin\java.exe, which is returned as a candidate whether or not it exists. With a
// JDK required: directory\jre\bin\java.exe when directory\lib\tools.jar exists (Java 8 and
// older), directory\bin\java.exe when there is no jre subdirectory but a bin\javac.exe
// (Java 9 and later; checkJavaExe refuses it if its version turns out older), else false.
bool locateJavaExe(std::string& javaExePath, const std::string& directory);

// Normalises javaExePath in place (lower-cased), gathers what can be known of it without
// running it, and acts on judgeRuntime's verdict: runs the executable only when asked to (its
// answer goes into the cache) and, for launcher type 1, turns the path into the javaw.exe
// beside it. version receives the version found, if the executable exists.
bool checkJavaExe(std::string& javaExePath, std::string& version, std::string_view min,
                  std::string_view max, bool allowPreRelease);
bool validateJavaExe(std::string& javaExePath, std::string_view min, std::string_view max,
                     bool allowPreRelease);

// A runtime accepted on its release file has not shown that it works. When its library then
// fails to load, the search is made again with that release file distrusted, so that the
// java executable decides, as it did before release files were read: a runtime whose probe
// fails is passed over, one whose probe succeeds fails to load as before.
bool acceptedByReleaseFile(const std::string& javaExePath);  // as checkJavaExe returned it
void distrustReleaseFile(const std::string& javaExePath);

// The cache entry is believed only while the executable's last-write time is unchanged.
bool readCachedVersion(const std::string& javaExePath, std::uint64_t lastWriteTime,
                       std::string& version);
void writeCachedVersion(const std::string& javaExePath, std::uint64_t lastWriteTime,
                        std::string_view version);

// Runs "<short path> -version" with standard error in a temporary file, for at most
// JavaVersionTimeoutMs, and reads the version from the banner's first line.
bool runJavaVersion(const std::string& javaExePath, std::uint64_t lastWriteTime,
                    std::string& version);
inline constexpr unsigned long JavaVersionTimeoutMs = 60000;
// The same with another time limit, so that a hanging runtime can be shown briefly.
bool runJavaVersion(const std::string& javaExePath, std::uint64_t lastWriteTime,
                    std::string& version, unsigned long timeoutMs);

}  // namespace karvo
