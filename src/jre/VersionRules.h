// The rules of the Java runtime search that need no system call: version comparison, the
// version banner of "java -version", the search sequence, registry names and the path
// arithmetic around a java executable. Inputs come in as parameters so that every rule can
// be tested natively.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace karvo {

// Why a version was accepted or not; the caller writes the log line.
enum class VersionVerdict {
    Accepted,
    PreRelease,    // "beta", "ea" or "rc" in the text while pre-releases are not allowed
    BelowMinimum,  // the first strlen(min) bytes compare below min
    AboveMaximum,  // the first strlen(max) bytes compare above max (max is a prefix)
};

// allowPreRelease is the caller's flag already combined with the configuration's.
VersionVerdict judgeVersion(std::string_view version, std::string_view min, std::string_view max,
                            bool allowPreRelease);
bool isVersionAcceptable(std::string_view version, std::string_view min, std::string_view max,
                         bool allowPreRelease);
bool isPreReleaseVersion(std::string_view version);

// The looser pre-filter for version names found in the registry: each comparison runs over
// the shorter of the two lengths, so "1.6" passes the minimum "1.6.0_10".
bool isVersionNameInRange(std::string_view name, std::string_view min, std::string_view max);

// The version in the first line that "java -version" prints, as read into a 100-byte
// buffer: 'java version "' or 'openjdk version "', then the rest of the line without its
// last two characters (the closing quote and the line feed). Nothing for any other line,
// and nothing when no character would be left.
std::optional<std::string> parseVersionBanner(std::string_view firstLine);
// The longest first line that the launcher reads (the rest of a longer line is ignored).
inline constexpr std::size_t MaxBannerLineLength = 99;

// The version cached for an executable that ran but failed.
inline constexpr std::string_view FailureVersion = "1.0.0";

// One entry of the search sequence: its kind letter and the rest as argument.
struct SearchEntry {
    char kind;
    std::string argument;
};
// Entries are separated by ";"; empty entries are dropped.
std::vector<SearchEntry> splitSearchSequence(std::string_view sequence);
// A directory entry's argument counts as absolute for the relative pass when it is longer
// than one character and has ":" second or starts with two backslashes.
bool isAbsoluteSearchArgument(std::string_view argument);
// B entries always take part in the relative pass; A and R entries only when relative.
bool takesPartInRelativePass(const SearchEntry& entry);

// Registry version names to try: those in range, from the greatest down (plain byte order,
// a name sorting before every longer name that begins with it).
std::vector<std::string> versionNamesToTry(std::vector<std::string> names, std::string_view min,
                                           std::string_view max);

// strcmp on texts: the sign of the first differing byte, compared unsigned.
int compareVersionText(std::string_view a, std::string_view b);

// The registry paths of the cache and of located runtimes name an executable by its path
// with every "\" written as "/".
inline constexpr std::string_view VersionCacheRoot = "SOFTWARE\\norvale-soft\\karvo\\jvms\\";
inline constexpr std::string_view LocatedJvmsRoot = "SOFTWARE\\norvale-soft\\karvo\\locatedjvms\\";
std::string versionCacheKeyName(std::string_view javaExePath);
std::string pathFromRegistryName(std::string_view name);

// A java executable's directory with its trailing backslash: "javaw.exe" (compared
// case-sensitively) loses 9 characters, any other path its last 8. Nothing for a path too
// short to hold the file name.
std::optional<std::string> javaExeDirectory(std::string_view javaExePath);
// The same directory without its backslash, the runtime's bin directory.
std::optional<std::string> javaBinDirectory(std::string_view javaExePath);
// The runtime embedded in a JDK, reached from the JDK's bin directory.
std::optional<std::string> embeddedJreJavaExe(std::string_view javaExePath);
// "...\java.exe" becomes "...\javaw.exe" (the last four characters become "w.exe").
std::string windowedJavaExe(std::string_view javaExePath);

// The PATH with the bin directory appended after a ";", or nothing when it would not fit.
std::optional<std::string> appendToPathList(std::string_view path, std::string_view directory,
                                            std::size_t maxLength);

// The first line of a location file, without every trailing carriage return and line feed.
std::string stripLineEnd(std::string_view line);
// The non-empty ";"-separated items of a list.
std::vector<std::string> splitNonEmpty(std::string_view list, char separator);

// The jars of a packed runtime, restored in this order; the last one marks completion.
inline constexpr std::string_view PackedJars[] = {
    "lib\\rt.jar",     "lib\\charsets.jar",          "lib\\plugin.jar",
    "lib\\deploy.jar", "lib\\ext\\localedata.jar", "lib\\jsse.jar",
};
// The unpacker's argument text: -r "<packFile>" "<jarFile>".
std::string unpackArguments(std::string_view packFile, std::string_view jarFile);

}  // namespace karvo
