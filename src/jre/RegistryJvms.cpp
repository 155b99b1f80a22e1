// The registry sources of the runtime search: earlier installations of the application,
// the JavaSoft keys and the located runtimes.
#include "jre/JreSources.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "config/ConfigKeys.h"
#include "config/LauncherConfig.h"
#include "jre/JreValidation.h"
#include "jre/VersionRules.h"
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
std::vector<std::string> subkeyNames(HKEY root, const char* keyName) {
    std::vector<std::string> names;
    UniqueKey key;
    if (RegOpenKeyExA(root, keyName, 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return names;
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
        if (compareVersionText(candidate.version, best ? best->version : "") > 0)
            best = std::move(candidate);
    }
    return best;
}

}  // namespace

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
    const bool preferJdk = compareVersionText(jdk, jre) > 0;
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
        chosen = compareVersionText(user->version, machine->version) > 0 ? &*user : &*machine;
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
    Candidate sun, located;
    const bool haveSun = findJavaSoftJvm(sun.javaExePath, sun.version, min, max);
    const bool haveLocated = findLocatedJvm(located.javaExePath, located.version, min, max);
    if (haveSun) logMessage("found sun %s %s", sun.javaExePath.c_str(), sun.version.c_str());
    if (haveLocated)
        logMessage("found located %s %s", located.javaExePath.c_str(), located.version.c_str());
    if (haveSun && haveLocated) {
        javaExePath = compareVersionText(sun.version, located.version) > 0 ? sun.javaExePath
                                                                            : located.javaExePath;
    } else if (haveSun) {
        javaExePath = sun.javaExePath;
    } else if (haveLocated) {
        javaExePath = located.javaExePath;
    } else {
        return false;
    }
    return true;
}

}  // namespace karvo
