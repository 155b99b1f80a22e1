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

// Versions compare piece by piece: the text up to its first quotation mark or blank is split
// at ".", "_", "-" and "+"; pieces of digits compare as numbers, other pieces as text and
// after every number, and a missing piece sorts below a present one, except a pre-release
// piece (one that begins with "ea", "beta" or "rc"), which sorts below both: 21-ea < 21 <
// 21.0.1 and 1.8.0_402-ea < 1.8.0_402, Java's own order. The legacy form "1.N"
// stands for N on both sides (Java's own convention since 9), so "8" and "1.8" are the same
// bound and 1.8 < 9 < 10 < 11 < 17 < 21 < 25.
int compareVersions(std::string_view a, std::string_view b);
// The part of a stored version that is compared: caches written before the banner was read
// between its quotation marks still hold a tail such as '" 2019-01-1'.
std::string_view leadingVersionPart(std::string_view version);
// The feature release, the first piece after the legacy "1." (8 for 1.8.0_392, 17 for
// 17.0.2); 0 when the version does not start with a number.
unsigned long featureRelease(std::string_view version);

// Why a version was accepted or not; the caller writes the log line.
enum class VersionVerdict {
    Accepted,
    PreRelease,    // a piece begins with "ea", "beta" or "rc" while pre-releases are not allowed
    BelowMinimum,  // compares below min
    AboveMaximum,  // its first pieces compare above max (max is a prefix: "17" admits 17.0.12)
};

// allowPreRelease is the caller's flag already combined with the configuration's.
VersionVerdict judgeVersion(std::string_view version, std::string_view min, std::string_view max,
                            bool allowPreRelease);
bool isVersionAcceptable(std::string_view version, std::string_view min, std::string_view max,
                         bool allowPreRelease);
// A piece that begins with "ea", "beta" or "rc" (21-ea, 1.6.0_10-rc2), not those letters
// inside a word such as "release".
bool isPreReleaseVersion(std::string_view version);

// The looser pre-filter for version names found in the registry: each comparison runs over
// the shorter of the two piece lists, so "1.6" passes the minimum "1.6.0_10", and a bare
// "1" (the whole legacy family) passes every bound.
bool isVersionNameInRange(std::string_view name, std::string_view min, std::string_view max);

// The version in what "java -version" printed on standard error: the first line, among the
// first MaxBannerLines, that holds 'version "' ("Picked up ..." lines come first whenever
// JAVA_TOOL_OPTIONS or _JAVA_OPTIONS is set); the version is the text between that quotation
// mark and the next one. Nothing when no such line is there, the closing mark is missing, or
// the version is empty, longer than MaxVersionLength or holds a blank or control character.
std::optional<std::string> parseVersionBanner(std::string_view output);
inline constexpr std::size_t MaxBannerLines = 8;
// The most of the probe's output that is read.
inline constexpr std::size_t MaxBannerOutputBytes = 65536;
inline constexpr std::size_t MaxVersionLength = 80;

// JAVA_VERSION="..." of a runtime's "release" file; nothing when there is no such line.
std::optional<std::string> parseReleaseFileVersion(std::string_view text);

// The version a "release" file gives for judging its runtime without starting the runtime's
// java executable, in the form of the -version banner: JAVA_RUNTIME_VERSION without its
// build ("22-ea+5-360" is "22-ea"; only this line tells a pre-release) where the file has
// one, else JAVA_VERSION. Nothing when the file gives no version, when the two lines
// disagree, or when the text does not look like a version: the probe decides then.
std::optional<std::string> releaseFileJudgingVersion(std::string_view text);

// The oldest Java the runtime classes are compiled for; a configured minimum below it would
// accept runtimes that cannot load them, so the packer refuses one.
inline constexpr std::string_view OldestRuntimeClassesJava = "1.7";

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

// Registry version names to try: those in range, from the newest down (compareVersions; two
// names of the same version in descending byte order).
std::vector<std::string> versionNamesToTry(std::vector<std::string> names, std::string_view min,
                                           std::string_view max);

// How the subkeys of an installer's registry key name their runtimes.
enum class RegistryNaming {
    JdkVersions,      // "17.0.2": a JDK of that version
    RuntimeVersions,  // "17.0.2": a runtime of that version
    Zulu,             // "zulu-17" a JDK, "zulu-8-jre" a runtime
    Liberica,         // "jdk-17" a JDK, "jre-8" a runtime
};

// A registry key under HKEY_LOCAL_MACHINE in which Java 9 and later installers list their
// runtimes: one subkey per version, and below it (through valuePath, if any) a value naming
// the runtime's directory.
struct RegistryJvmSource {
    std::string_view key;
    std::string_view valuePath;
    std::string_view valueName;
    RegistryNaming naming;
};

// Read after the long-standing JavaSoft keys, all together, newest version first.
inline constexpr RegistryJvmSource InstalledJvmSources[] = {
    {"SOFTWARE\\JavaSoft\\JDK", "", "JavaHome", RegistryNaming::JdkVersions},
    {"SOFTWARE\\JavaSoft\\JRE", "", "JavaHome", RegistryNaming::RuntimeVersions},
    {"SOFTWARE\\Eclipse Adoptium\\JDK", "hotspot\\MSI", "Path", RegistryNaming::JdkVersions},
    {"SOFTWARE\\Eclipse Adoptium\\JRE", "hotspot\\MSI", "Path", RegistryNaming::RuntimeVersions},
    {"SOFTWARE\\AdoptOpenJDK\\JDK", "hotspot\\MSI", "Path", RegistryNaming::JdkVersions},
    {"SOFTWARE\\AdoptOpenJDK\\JRE", "hotspot\\MSI", "Path", RegistryNaming::RuntimeVersions},
    {"SOFTWARE\\Microsoft\\JDK", "hotspot\\MSI", "Path", RegistryNaming::JdkVersions},
    {"SOFTWARE\\Azul Systems\\Zulu", "", "InstallationPath", RegistryNaming::Zulu},
    {"SOFTWARE\\BellSoft\\Liberica", "", "InstallationPath", RegistryNaming::Liberica},
};

struct RegistryVersionName {
    std::string version;
    bool jdk;
};
// The version and kind a subkey name stands for; nothing for a name outside the naming.
std::optional<RegistryVersionName> registryVersionName(RegistryNaming naming, std::string_view name);

// strcmp on texts: the sign of the first differing byte, compared unsigned.
int compareVersionText(std::string_view a, std::string_view b);
// compareVersions, and between texts of the same version their byte order, so that every
// ordering built on it is total.
int compareVersionsThenText(std::string_view a, std::string_view b);

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
