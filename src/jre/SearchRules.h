// The rules of the runtime search that need no system call: the search sequence, the
// installers' registry keys and their names, and the version cache's names. Inputs come in as
// parameters so that every rule can be tested natively.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace karvo {

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
std::optional<RegistryVersionName> registryVersionName(RegistryNaming naming,
                                                       std::string_view name);

// The registry paths of the cache and of located runtimes name an executable by its path
// with every "\" written as "/".
inline constexpr std::string_view VersionCacheRoot = "SOFTWARE\\norvale-soft\\karvo\\jvms\\";
inline constexpr std::string_view LocatedJvmsRoot = "SOFTWARE\\norvale-soft\\karvo\\locatedjvms\\";
std::string versionCacheKeyName(std::string_view javaExePath);
std::string pathFromRegistryName(std::string_view name);

// The first line of a location file, without every trailing carriage return and line feed.
std::string stripLineEnd(std::string_view line);
// The non-empty ";"-separated items of a list.
std::vector<std::string> splitNonEmpty(std::string_view list, char separator);

}  // namespace karvo
