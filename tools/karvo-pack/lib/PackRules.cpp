#include "PackRules.h"

#include "PackPathEntries.h"
#include "TomlText.h"
#include "WindowsText.h"
#include "config/EnvironmentEntries.h"
#include "config/RestartPolicy.h"
#include "config/ServiceAccount.h"
#include "config/SettingBounds.h"
#include "jre/VersionOrder.h"

namespace karvo::pack {
namespace {

std::string shown(const std::string& text) { return tomlString(windows1252ToUtf8(text)); }

std::optional<std::string> accountProblem(const std::string& text) {
    if (parseServiceAccount(text)) return std::nullopt;
    return "service_account '" + windows1252ToUtf8(text) +
           "' cannot be used: " + std::string(AcceptedServiceAccounts);
}

std::optional<std::string> restartModeProblem(const std::string& text) {
    if (parseRestartMode(text)) return std::nullopt;
    return "restart = " + shown(text) + " is not one of never, on-failure, always";
}

// A minimum below what the runtime classes are compiled for would let the launcher pick a
// runtime that then cannot load them ("main class not found").
std::optional<std::string> javaFloorProblem(const std::string& minimum) {
    if (minimum.empty() || compareVersions(minimum, OldestRuntimeClassesJava) >= 0)
        return std::nullopt;
    const std::string oldest(OldestRuntimeClassesJava);
    return "min_java_version \"" + windows1252ToUtf8(minimum) + "\" is below " + oldest +
           ", the oldest Java the runtime classes load on; write \"" + oldest +
           "\" or later (or leave it empty)";
}

std::optional<std::string> environmentProblem(const std::string& text) {
    std::string problem;
    if (parseEnvironmentEntries(text, problem)) return std::nullopt;
    return problem;
}

struct Rule {
    ConfigKey key;
    std::optional<std::string> (*problem)(const std::string& text);
};

constexpr Rule Rules[]{
    {Key::ServiceAccount, accountProblem},
    {Key::Restart, restartModeProblem},
    {Key::MinJavaVersion, javaFloorProblem},
    {Key::Environment, environmentProblem},
};

std::string textOf(const std::map<ConfigKey, std::string>& texts, ConfigKey key) {
    const auto found = texts.find(key);
    return found == texts.end() ? std::string() : found->second;
}

}  // namespace

std::optional<std::string> storedValueProblem(ConfigKey key, const std::string& text) {
    if (key == Key::ClassPath || key == Key::SearchSequence) {
        const auto problem = storedListProblem(
            key == Key::ClassPath ? PathList::ClassPath : PathList::RuntimeSearch, text);
        if (problem) return std::string(findConfigKey(key)->name) + " entry " + *problem;
        return std::nullopt;
    }
    for (const auto& rule : Rules) {
        if (rule.key == key) return rule.problem(text);
    }
    if (const auto problem = integerBoundsProblem(key, text)) {
        const ConfigKeyInfo* info = findConfigKey(key);
        return std::string(info ? info->name : std::to_string(key)) + " = " + text +
               " is out of range: " + *problem;
    }
    return std::nullopt;
}

std::optional<CombinationProblem> combinationProblem(
    const std::map<ConfigKey, std::string>& texts) {
    const RestartTexts restart{textOf(texts, Key::Restart), textOf(texts, Key::RestartDelay),
                               textOf(texts, Key::RestartDelayMax),
                               textOf(texts, Key::RestartResetAfter),
                               textOf(texts, Key::RestartLimit)};
    if (auto problem = restartCombinationProblem(restart))
        return CombinationProblem{problem->key, std::move(problem->text)};
    return std::nullopt;
}

}  // namespace karvo::pack

namespace karvo::pack {
namespace {

constexpr std::string_view RuntimeJarNames[]{"karvo-runtime.jar", "tslruntime.jar"};

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The last part of a path, whichever separator it uses.
std::string fileNameOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return lowerCase(slash == std::string::npos ? path : path.substr(slash + 1));
}

bool isOn(const std::map<ConfigKey, std::string>& texts, ConfigKey key) {
    const auto value = decimalInteger(textOf(texts, key));
    return value && *value != 0;
}

}  // namespace

std::optional<std::string> missingSettingProblem(const std::map<ConfigKey, std::string>& texts) {
    if (textOf(texts, Key::ServiceName).empty()) {
        return "service_name is missing: give the name the service is installed under, such "
               "as service_name = \"MyService\"";
    }
    if (textOf(texts, Key::MainClass).empty()) {
        return "main_class is missing: give the class with the program's main method, such as "
               "main_class = \"com.example.Main\" (the Main-Class line of the jar's manifest)";
    }
    return std::nullopt;
}

std::optional<std::string> discardedOutputWarning(const std::map<ConfigKey, std::string>& texts) {
    const bool keepsOut =
        !textOf(texts, Key::StdOutFile).empty() && isOn(texts, Key::PassStdOutFile);
    const bool keepsErr =
        !textOf(texts, Key::StdErrFile).empty() && isOn(texts, Key::PassStdErrFile);
    if (keepsOut || keepsErr) return std::nullopt;
    return "the program's standard output and standard error are both discarded; to keep "
           "them, set stdout_file with redirect_stdout = true and stderr_file with "
           "redirect_stderr = true";
}

bool isRuntimeJar(const std::string& path) {
    const auto name = fileNameOf(path);
    for (const auto jar : RuntimeJarNames) {
        if (name == jar) return true;
    }
    return false;
}

std::string runtimeJarName(const std::map<ConfigKey, std::string>& texts) {
    const auto flavour = textOf(texts, Key::Flavour);
    return std::string(RuntimeJarNames[!flavour.empty() && flavour[0] == 't' ? 1 : 0]);
}

bool namesRuntimeJar(const std::map<ConfigKey, std::string>& texts,
                     const std::vector<std::string>& includedNames) {
    for (const auto& name : includedNames) {
        if (isRuntimeJar(name)) return true;
    }
    // The class path is stored coded: an archive is "A", its digit, then its path.
    const auto classPath = textOf(texts, Key::ClassPath);
    std::size_t start = 0;
    for (;;) {
        const auto end = classPath.find(';', start);
        const auto entry = classPath.substr(start, end == std::string::npos ? end : end - start);
        if (entry.size() > 2 && entry[0] == 'A' && isRuntimeJar(entry.substr(2))) return true;
        if (end == std::string::npos) return false;
        start = end + 1;
    }
}

}  // namespace karvo::pack
