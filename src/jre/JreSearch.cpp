// The runtime search: location files, the configured search sequence, a relative second
// pass, earlier installations and the product's own variables, then loading the JVM of the
// runtime found.
#include "jre/JreSearch.h"

#include <windows.h>

#include <cstdio>
#include <optional>
#include <vector>

#include "config/ConfigKeys.h"
#include "config/LauncherConfig.h"
#include "config/LauncherVariables.h"
#include "config/Messages.h"
#include "config/PathOps.h"
#include "jre/JreSources.h"
#include "jre/JreValidation.h"
#include "jre/JvmLibrary.h"
#include "jre/PackedJre.h"
#include "jre/SearchRules.h"
#include "support/LauncherWidth.h"
#include "support/Log.h"
#include "support/TextLimits.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

constexpr std::string_view PreferredLocationFile = "\\.tessel\\pref_jre.cfg";
constexpr std::string_view InstallerLocationFile = "\\.tessel\\inst_jre.cfg";

// A directory followed by "\name" must not get a doubled backslash from a directory that
// already ends with one (a drive root keeps its meaning: "c:" + "\bin" is "c:\bin").
std::string withoutTrailingBackslash(std::string directory) {
    if (!directory.empty() && directory.back() == '\\') directory.pop_back();
    return directory;
}

// One directory location from a location file, tried with the version range.
bool tryLocationFile(std::string& javaExePath, std::string& locationText,
                     std::string_view suffix, const char* hasFormat, const char* usingLine,
                     std::string_view min, std::string_view max) {
    std::string line;
    if (!readLocationFile(line, suffix)) return false;
    logMessage(hasFormat, line.c_str());
    if (!checkLocation(javaExePath, line, min, max, false)) return false;
    logMessage("%s", usingLine);
    locationText = line;
    return true;
}

// Messages that name the runtime's width come in a 32-bit and a 64-bit form; each build
// shows its own. A block without the 64-bit form (written before there was a 64-bit
// build) still gets a text rather than an empty box.
void showWidthMessage(ConfigKey form32, ConfigKey form64, std::string_view argument) {
    ConfigKey key = LauncherBits == 64 ? form64 : form32;
    if (getConfigString(key).empty()) key = form32;
    showConfiguredMessage(key, argument);
}

}  // namespace

std::string applicationDirectory() {
    const std::string& configured = getConfigString(Key::ApplicationDirectory);
    return withoutTrailingBackslash(configured.empty() ? executableDirectory()
                                                       : normalizePath(configured, true));
}

bool readLocationFile(std::string& line, std::string_view suffix) {
    const std::string path = applicationDirectory() + std::string(suffix);
    UniqueFile file(std::fopen(path.c_str(), "rt"));
    if (!file) return false;
    std::vector<char> buffer(MaxTextLength + 1);
    if (!std::fgets(buffer.data(), static_cast<int>(buffer.size()), file.get())) return false;
    line = stripLineEnd(buffer.data());
    return true;
}

bool checkLocation(std::string& javaExePath, const std::string& directory, std::string_view min,
                   std::string_view max, bool relativePass) {
    const std::string resolved = withoutTrailingBackslash(normalizePath(directory, false));
    prepareJre(resolved);
    const bool located = locateJavaExe(javaExePath, resolved);
    if (relativePass) return true;
    return located && validateJavaExe(javaExePath, min, max, true);
}

bool checkEnvironmentVariable(std::string& javaExePath, const std::string& variableName,
                              std::string_view min, std::string_view max) {
    std::vector<char> buffer(MaxTextLength + 1);
    const DWORD length = GetEnvironmentVariableA(variableName.c_str(), buffer.data(),
                                                 static_cast<DWORD>(buffer.size()));
    if (length == 0) return false;
    if (length >= buffer.size()) {
        logMessage("%s is longer than %d characters; ignored", variableName.c_str(),
                   static_cast<int>(MaxTextLength));
        return false;
    }
    std::string directory = pathFromRegistryName(std::string_view(buffer.data(), length));
    return locateJavaExe(javaExePath, directory) && validateJavaExe(javaExePath, min, max, false);
}

bool checkSearchPath(std::string& javaExePath, std::string_view min, std::string_view max) {
    std::vector<char> buffer(MaxTextLength + 1);
    const DWORD length = SearchPathA(nullptr, "java.exe", nullptr,
                                     static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) return false;
    javaExePath.assign(buffer.data(), length);
    return validateJavaExe(javaExePath, min, max, false);
}

LocationKind searchJvm(std::string& javaExePath, std::string& locationText) {
    logMessage("Searching for a JVM");
    const std::string sequence = getConfigString(Key::SearchSequence);
    const std::string min = getConfigString(Key::MinJavaVersion);
    const std::string max = getConfigString(Key::MaxJavaVersion);

    if (tryLocationFile(javaExePath, locationText, PreferredLocationFile,
                        "Has preferred location %s", "Using preferred location", min, max))
        return LocationKind::Directory;

    const std::vector<SearchEntry> entries = splitSearchSequence(sequence);
    for (const SearchEntry& entry : entries) {
        std::string argument = entry.argument;
        expandLauncherVariables(argument);
        logMessage("Testing location %s (type %c)", argument.c_str(), entry.kind);
        switch (entry.kind) {
            case 'A':
            case 'B':
            case 'R':
                if (checkLocation(javaExePath, argument, min, max, false)) {
                    locationText = argument;
                    return LocationKind::Directory;
                }
                break;
            case 'E':
                if (checkEnvironmentVariable(javaExePath, argument, min, max)) {
                    locationText = argument;
                    return LocationKind::EnvironmentVariable;
                }
                break;
            case 'S':
                if (checkSearchPath(javaExePath, min, max)) {
                    locationText = argument;
                    return LocationKind::SearchPath;
                }
                break;
            case 'Y':
                if (checkRegistryJvms(javaExePath, min, max)) return LocationKind::Registry;
                break;
            default:
                logMessage("Unknown location type %c; entry ignored", entry.kind);
                break;
        }
    }

    if (tryLocationFile(javaExePath, locationText, InstallerLocationFile,
                        "Has installer location %s", "Using installer location", min, max))
        return LocationKind::Directory;

    // A bundled runtime outside the version range is still better than none: this pass
    // only asks whether its java executable exists.
    for (const SearchEntry& entry : entries) {
        if (!takesPartInRelativePass(entry)) continue;
        logMessage("Testing relative location %s", entry.argument.c_str());
        checkLocation(javaExePath, entry.argument, min, max, true);
        if (pathExists(javaExePath) && runtimeFitsLauncher(javaExePath)) {
            logMessage("%s exists", javaExePath.c_str());
            locationText = entry.argument;
            return LocationKind::Directory;
        }
    }

    if (checkPreviousInstallation(javaExePath, HKEY_CURRENT_USER, min, max)) {
        logMessage("found JRE from previous installation (user) %s", javaExePath.c_str());
        return LocationKind::Registry;
    }
    if (checkPreviousInstallation(javaExePath, HKEY_LOCAL_MACHINE, min, max)) {
        logMessage("found JRE from previous installation (machine) %s", javaExePath.c_str());
        return LocationKind::Registry;
    }
    logMessage("Search sequence finished");

    for (const char* variable : {"KARVO_JAVA_HOME", "TESSEL_JAVA_HOME"}) {
        if (checkEnvironmentVariable(javaExePath, variable, min, max)) {
            locationText = variable;
            return LocationKind::EnvironmentVariable;
        }
    }
    return LocationKind::None;
}

bool LoadDLL(bool showErrors) {
    logMessage("LoadDLL (%d, %s, %d)", showErrors ? 1 : 0, "(null)", 0);
    std::string javaExePath, locationText;
    LocationKind kind = LocationKind::None;
    // Each search that ends on a runtime accepted on its release file but not loading
    // distrusts that file, so this ends after at most one more search per such runtime.
    for (;;) {
        kind = searchJvm(javaExePath, locationText);
        if (kind == LocationKind::None) {
            logError("No JVM found");
            if (showErrors) showConfiguredMessage(Key::MessageNoJvmFound, LauncherBitsText);
            return false;
        }
        logMessage("Trying to load JVM-DLL from %s", javaExePath.c_str());
        const std::optional<std::string> pathBefore = processPath();
        HMODULE library = loadJvmLibrary(javaExePath);
        recordJvmHome(javaExePath);
        if (!library) logError("Could not get DLL-Handle.");
        if (resolveCreateJavaVM(library)) {
            logMessage("Loading of JVM-DLL successful");
            return true;
        }
        logError("Could not load functions");
        if (!acceptedByReleaseFile(javaExePath)) break;
        logMessage(
            "%s was judged by its release file; searching again with its java "
            "executable asked instead",
            javaExePath.c_str());
        abandonJvmLibrary(library, pathBefore);
        distrustReleaseFile(javaExePath);
    }
    if (showErrors) {
        switch (kind) {
            case LocationKind::SearchPath:
                showConfiguredMessage(Key::MessageNoJvmFound, LauncherBitsText);
                break;
            case LocationKind::EnvironmentVariable:
                showWidthMessage(Key::MessageJavaHomeVariableBroken,
                                 Key::MessageJavaHomeVariableBroken64, locationText);
                break;
            case LocationKind::Directory:
                showWidthMessage(Key::MessageJvmDamaged, Key::MessageJvmDamaged64, locationText);
                break;
            case LocationKind::Registry:
            case LocationKind::None:
                showConfiguredMessage(Key::MessageJvmStartFailed);
                break;
        }
    }
    return false;
}

}  // namespace karvo
