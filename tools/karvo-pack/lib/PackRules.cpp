#include "PackRules.h"

#include "TomlText.h"
#include "WindowsText.h"
#include "config/RestartPolicy.h"
#include "config/ServiceAccount.h"
#include "config/SettingBounds.h"
#include "jre/VersionRules.h"

namespace karvo::pack {
namespace {

std::string shown(const std::string& text) { return tomlString(windows1252ToUtf8(text)); }

std::optional<std::string> accountProblem(const std::string& text) {
    if (parseServiceAccount(text)) return std::nullopt;
    return "service_account '" + windows1252ToUtf8(text) + "' cannot be used: " + std::string(AcceptedServiceAccounts);
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

struct Rule {
    ConfigKey key;
    std::optional<std::string> (*problem)(const std::string& text);
};

constexpr Rule Rules[]{
    {Key::ServiceAccount, accountProblem},
    {Key::Restart, restartModeProblem},
    {Key::MinJavaVersion, javaFloorProblem},
};

std::string textOf(const std::map<ConfigKey, std::string>& texts, ConfigKey key) {
    const auto found = texts.find(key);
    return found == texts.end() ? std::string() : found->second;
}

}  // namespace

std::optional<std::string> storedValueProblem(ConfigKey key, const std::string& text) {
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

std::optional<CombinationProblem> combinationProblem(const std::map<ConfigKey, std::string>& texts) {
    const RestartTexts restart{textOf(texts, Key::Restart), textOf(texts, Key::RestartDelay),
                               textOf(texts, Key::RestartDelayMax),
                               textOf(texts, Key::RestartResetAfter),
                               textOf(texts, Key::RestartLimit)};
    if (auto problem = restartCombinationProblem(restart))
        return CombinationProblem{problem->key, std::move(problem->text)};
    return std::nullopt;
}

}  // namespace karvo::pack
