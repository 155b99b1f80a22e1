// The order of Java versions and the judgement of one version against the configured
// bounds, and the version in what "java -version" printed. Inputs come in as parameters so
// that every rule can be tested natively.
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

// The oldest Java the runtime classes are compiled for; a configured minimum below it would
// accept runtimes that cannot load them, so the packer refuses one.
inline constexpr std::string_view OldestRuntimeClassesJava = "1.7";

// Registry version names to try: those in range, from the newest down (compareVersions; two
// names of the same version in descending byte order).
std::vector<std::string> versionNamesToTry(std::vector<std::string> names, std::string_view min,
                                           std::string_view max);

// strcmp on texts: the sign of the first differing byte, compared unsigned.
int compareVersionText(std::string_view a, std::string_view b);
// compareVersions, and between texts of the same version their byte order, so that every
// ordering built on it is total.
int compareVersionsThenText(std::string_view a, std::string_view b);

}  // namespace karvo
