// The registry sources of the runtime search: earlier installations of the application,
// the JavaSoft keys, the keys of today's installers and the located runtimes. Every key is
// read in the registry view of the launcher's own width (the default for each build), which
// is the view whose runtimes it can load.
#include "jre/JreSources.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "config/ConfigKeys.h"
#include "config/LauncherConfig.h"
#include "jre/JreValidation.h"
#include "jre/SearchRules.h"
#include "jre/VersionOrder.h"
#include "support/Log.h"
#include "support/TextLimits.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

// "CurrentVersion" is read into 100 bytes.
constexpr DWORD CurrentVersionCapacity = 100;

// A text value read into a buffer of the given capacity; nothing when it is missing, does
// not fit, or is empty when allowEmpty is false. The text ends at the first terminator.
std::optional<std::string> readTextValue(HKEY key, const char* name, DWORD capacity,
                                         bool allowEmpty = true) {
    std::vector<char> buffer(capacity);
    DWORD size = capacity;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                         &size) != ERROR_SUCCESS)
        return std::nullopt;
    if (size == 0 && !allowEmpty) return std::nullopt;
    std::string text(buffer.data(), size);
    if (const auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
    return text;
}

std::optional<std::string> readTextValue(HKEY root, const std::string& keyName, const char* name,
                                         DWORD capacity) {
    UniqueKey key;
    if (RegOpenKeyExA(root, keyName.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
        return std::nullopt;
    return readTextValue(key.get(), name, capacity);
}

// The names of a key's subkeys, in the registry's order; none when the key is missing.
std::vector<std::string> subkeyNames(HKEY root, std::string_view keyName) {
    std::vector<std::string> names;
    UniqueKey key;
    if (RegOpenKeyExA(root, std::string(keyName).c_str(), 0, KEY_READ, key.receive()) !=
        ERROR_SUCCESS)
        return names;
    std::vector<char> name(MaxTextLength + 1);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG status =
            RegEnumKeyExA(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) break;
        names.emplace_back(name.data(), length);
    }
    return names;
}

// A JavaSoft version key's runtime, judged like every registry candidate.
bool checkJavaHome(const std::string& versionKey, std::string& javaExePath, std::string& version,
                   std::string_view min, std::string_view max) {
    const auto home = readTextValue(HKEY_LOCAL_MACHINE, versionKey, "JavaHome",
                                    static_cast<DWORD>(MaxTextLength + 1));
    if (!home) return false;
    return locateJavaExe(javaExePath, *home) &&
           checkJavaExe(javaExePath, version, min, max, false);
}

// A current version in range, or the empty text.
std::string currentVersionInRange(const char* keyName, std::string_view min, std::string_view max) {
    auto version = readTextValue(HKEY_LOCAL_MACHINE, keyName, "CurrentVersion",
                                 CurrentVersionCapacity);
    if (!version || !isVersionNameInRange(*version, min, max)) return std::string();
    return *version;
}

bool tryVersionsOf(const char* keyName, std::string& javaExePath, std::string& version,
                   std::string_view min, std::string_view max) {
    for (const std::string& name :
         versionNamesToTry(subkeyNames(HKEY_LOCAL_MACHINE, keyName), min, max)) {
        if (checkJavaHome(std::string(keyName) + "\\" + name, javaExePath, version, min, max))
            return true;
    }
    return false;
}

struct Candidate {
    std::string javaExePath;
    std::string version;
};

// The best located runtime under one root; among equal versions the first enumerated.
std::optional<Candidate> bestLocatedJvm(HKEY root, std::string_view min, std::string_view max) {
    std::string keyName(LocatedJvmsRoot);
    keyName.pop_back();
    std::optional<Candidate> best;
    for (const std::string& name : subkeyNames(root, keyName.c_str())) {
        Candidate candidate{pathFromRegistryName(name), {}};
        if (!checkJavaExe(candidate.javaExePath, candidate.version, min, max, true)) continue;
        if (!best || compareVersions(candidate.version, best->version) > 0)
            best = std::move(candidate);
    }
    return best;
}

// One runtime listed by an installer's key, before its directory has been read.
struct Listed {
    RegistryVersionName name;
    std::string versionKey;
    const RegistryJvmSource* source;
};

// Every listed runtime in range (runtimes only when no JDK is required), newest first.
std::vector<Listed> listedJvms(std::string_view min, std::string_view max, bool runtimesAllowed) {
    std::vector<Listed> listed;
    for (const RegistryJvmSource& source : InstalledJvmSources) {
        const std::vector<std::string> names = subkeyNames(HKEY_LOCAL_MACHINE, source.key);
        if (names.empty()) continue;
        logMessage("found registry key %s with %d subkeys", std::string(source.key).c_str(),
                   static_cast<int>(names.size()));
        for (const std::string& name : names) {
            auto parsed = registryVersionName(source.naming, name);
            if (!parsed || (!parsed->jdk && !runtimesAllowed) ||
                !isVersionNameInRange(parsed->version, min, max))
                continue;
            listed.push_back({std::move(*parsed), std::string(source.key) + "\\" + name, &source});
        }
    }
    std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
        return compareVersionsThenText(a.name.version, b.name.version) > 0;
    });
    return listed;
}

}  // namespace

bool findInstalledJvm(std::string& javaExePath, std::string& version, std::string_view min,
                      std::string_view max) {
    for (const Listed& entry : listedJvms(min, max, getConfigInt(Key::RequireJdk) == 0)) {
        std::string keyName = entry.versionKey;
        if (!entry.source->valuePath.empty()) keyName += "\\" + std::string(entry.source->valuePath);
        const std::string valueName(entry.source->valueName);
        const auto home = readTextValue(HKEY_LOCAL_MACHINE, keyName, valueName.c_str(),
                                        static_cast<DWORD>(MaxTextLength + 1));
        logMessage("registry candidate %s %s: %s", entry.name.version.c_str(), keyName.c_str(),
                   home ? home->c_str() : "(no directory)");
        if (!home || home->empty()) continue;
        // Installers write the directory with or without a trailing backslash.
        std::string directory = *home;
        while (directory.size() > 1 && directory.back() == '\\') directory.pop_back();
        if (locateJavaExe(javaExePath, directory) &&
            checkJavaExe(javaExePath, version, min, max, false))
            return true;
    }
    return false;
}

bool checkPreviousInstallation(std::string& javaExePath, HKEY root, std::string_view min,
                               std::string_view max) {
    const std::string& applicationId = getConfigString(Key::ApplicationId);
    if (applicationId.empty()) return false;
    UniqueKey key;
    if (RegOpenKeyExA(root, InstallationsKey, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
        return false;
    const auto installations = readTextValue(key.get(), applicationId.c_str(),
                                             static_cast<DWORD>(MaxTextLength + 1), false);
    if (!installations) return false;
    logMessage("found installations: %s", installations->c_str());
    for (const std::string& directory : splitNonEmpty(*installations, ';')) {
        if (locateJavaExe(javaExePath, directory + "\\jre") &&
            validateJavaExe(javaExePath, min, max, false))
            return true;
    }
    return false;
}

bool findJavaSoftJvm(std::string& javaExePath, std::string& version, std::string_view min,
                     std::string_view max) {
    const bool runtimesAllowed = getConfigInt(Key::RequireJdk) == 0;
    const std::string jdk = currentVersionInRange(JavaSoftJdkKey, min, max);
    const std::string jre =
        runtimesAllowed ? currentVersionInRange(JavaSoftRuntimeKey, min, max) : std::string();
    const bool preferJdk = compareVersions(jdk, jre) > 0;
    const std::string& current = preferJdk ? jdk : jre;
    // With no current version in range the runtime key itself is read (a tie of two empty
    // texts picks it), except when only a JDK will do: then the runtime key stays unread.
    if (!current.empty() || runtimesAllowed) {
        const std::string keyName =
            std::string(preferJdk ? JavaSoftJdkKey : JavaSoftRuntimeKey) + "\\" + current;
        if (checkJavaHome(keyName, javaExePath, version, min, max)) return true;
    }
    if (runtimesAllowed && tryVersionsOf(JavaSoftRuntimeKey, javaExePath, version, min, max))
        return true;
    return tryVersionsOf(JavaSoftJdkKey, javaExePath, version, min, max);
}

bool findLocatedJvm(std::string& javaExePath, std::string& version, std::string_view min,
                    std::string_view max) {
    const auto user = bestLocatedJvm(HKEY_CURRENT_USER, min, max);
    const auto machine = bestLocatedJvm(HKEY_LOCAL_MACHINE, min, max);
    const Candidate* chosen = nullptr;
    if (user && machine) {
        chosen = compareVersions(user->version, machine->version) > 0 ? &*user : &*machine;
    } else if (user) {
        chosen = &*user;
    } else if (machine) {
        chosen = &*machine;
    }
    if (!chosen) return false;
    javaExePath = chosen->javaExePath;
    version = chosen->version;
    return true;
}

bool checkRegistryJvms(std::string& javaExePath, std::string_view min, std::string_view max) {
    Candidate sun, installed, located;
    const bool haveSun = findJavaSoftJvm(sun.javaExePath, sun.version, min, max);
    const bool haveInstalled = findInstalledJvm(installed.javaExePath, installed.version, min, max);
    const bool haveLocated = findLocatedJvm(located.javaExePath, located.version, min, max);
    if (haveSun) logMessage("found sun %s %s", sun.javaExePath.c_str(), sun.version.c_str());
    if (haveInstalled)
        logMessage("found installed %s %s", installed.javaExePath.c_str(), installed.version.c_str());
    if (haveLocated)
        logMessage("found located %s %s", located.javaExePath.c_str(), located.version.c_str());
    // The newest wins; on a tie the JavaSoft key beats the installers' keys, and the located
    // runtime beats both.
    const Candidate* chosen = haveSun ? &sun : nullptr;
    if (haveInstalled && (!chosen || compareVersions(installed.version, chosen->version) > 0))
        chosen = &installed;
    if (haveLocated && (!chosen || compareVersions(chosen->version, located.version) <= 0))
        chosen = &located;
    if (!chosen) return false;
    javaExePath = chosen->javaExePath;
    return true;
}

}  // namespace karvo
