#include "config/VariableExpansion.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace karvo {
namespace {

enum class Source { ExeDir, TempDir, Separator, JvmHome, SystemTemp };

struct FixedToken {
    const char* token;
    Source source;
};

// The order matters: a value inserted for one token is searched for the tokens after it.
constexpr FixedToken FixedTokens[] = {
    {"%KARVO_EXEDIR%", Source::ExeDir},
    {"%TESSEL_EXEDIR%", Source::ExeDir},
    {"%KARVO_TEMPDIR%", Source::TempDir},
    {"%TESSEL_TEMPDIR%", Source::TempDir},
    {"%KARVO_PATHLIST_SEPARATOR%", Source::Separator},
    {"%TESSEL_PATHLIST_SEPARATOR%", Source::Separator},
    {"%KARVO_JVM_HOME%", Source::JvmHome},
    {"%TESSEL_JVM_HOME%", Source::JvmHome},
    {"${KARVO_EXEDIR}", Source::ExeDir},
    {"${TESSEL_EXEDIR}", Source::ExeDir},
    {"${KARVO_TEMPDIR}", Source::TempDir},
    {"${TESSEL_TEMPDIR}", Source::TempDir},
    {"${KARVO_PATHLIST_SEPARATOR}", Source::Separator},
    {"${TESSEL_PATHLIST_SEPARATOR}", Source::Separator},
    {"${KARVO_JVM_HOME}", Source::JvmHome},
    {"${TESSEL_JVM_HOME}", Source::JvmHome},
    {"${launcher:sys.launcherDirectory}", Source::ExeDir},
    {"${launcher:sys.launcherTempDirectory}", Source::TempDir},
    {"${launcher:sys.pathlistSeparator}", Source::Separator},
    {"${launcher:sys.jvmHome}", Source::JvmHome},
    {"${launcher:sys.tempDir}", Source::SystemTemp},
};

std::string_view valueOf(Source source, const LauncherVariableValues& values) {
    switch (source) {
        case Source::ExeDir: return values.executableDirectory;
        case Source::TempDir: return values.launcherTempDir;
        case Source::Separator: return ";";
        case Source::JvmHome: return values.jvmHome;
        case Source::SystemTemp: return values.systemTempDir;
    }
    return {};
}

// Only the ASCII letters change, as the C runtime does in its default locale.
std::string upperCased(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

}  // namespace

bool replaceAllOccurrences(std::string& text, std::string_view token, std::string_view value,
                           std::size_t maxLength, const ReplacementSink& sink) {
    if (token.empty()) return true;
    std::size_t from = 0;
    while ((from = text.find(token, from)) != std::string::npos) {
        if (text.size() - token.size() + value.size() > maxLength) return false;
        text.replace(from, token.size(), value);
        sink(Replacement{std::string(token), std::string(value), text});
        from += value.size();
    }
    return true;
}

bool replaceAllOccurrences(std::string& text, std::string_view token, std::string_view value,
                           std::size_t maxLength, std::vector<Replacement>& replacements) {
    return replaceAllOccurrences(
        text, token, value, maxLength,
        [&replacements](const Replacement& record) { replacements.push_back(record); });
}

namespace {

using SystemTempDirSource = std::function<std::string_view()>;
using EnvironmentSource = std::function<const std::vector<std::string>&()>;

// Every token begins with "%" or "${", and a value is only ever inserted for a token found:
// a text holding neither cannot change, and once no "${" is left no environment reference
// can match. Values are fetched only for tokens present.
bool expandWith(std::string& text, const LauncherVariableValues& values,
                const SystemTempDirSource& systemTempDir, const EnvironmentSource& environment,
                std::size_t maxLength, const ReplacementSink& sink) {
    if (text.find('%') == std::string::npos && text.find("${") == std::string::npos) return true;
    std::string expanded = text;
    for (const FixedToken& fixed : FixedTokens) {
        if (expanded.find(fixed.token) == std::string::npos) continue;
        const std::string_view value =
            fixed.source == Source::SystemTemp ? systemTempDir() : valueOf(fixed.source, values);
        if (!replaceAllOccurrences(expanded, fixed.token, value, maxLength, sink)) return false;
    }
    if (expanded.find("${") != std::string::npos) {
        for (const std::string& entry : environment()) {
            const std::size_t equals = entry.find('=');
            // Entries without "=" are not variables; those with an empty name are the
            // system's per-drive directories ("=C:=C:\\..."), which no configured text can
            // mean.
            if (equals == std::string::npos || equals == 0) continue;
            const std::string_view name(entry.data(), equals);
            const std::string_view value(entry.data() + equals + 1, entry.size() - equals - 1);
            std::string token = "${" + std::string(name) + "}";
            if (!replaceAllOccurrences(expanded, token, value, maxLength, sink)) return false;
            if (!replaceAllOccurrences(expanded, upperCased(std::move(token)), value, maxLength,
                                       sink)) {
                return false;
            }
        }
    }
    text = std::move(expanded);
    return true;
}

}  // namespace

bool expandVariables(std::string& text, const LauncherVariableValues& values,
                     const std::vector<std::string>& environment, std::size_t maxLength,
                     const ReplacementSink& sink) {
    return expandWith(
        text, values, [&values]() -> std::string_view { return values.systemTempDir; },
        [&environment]() -> const std::vector<std::string>& { return environment; }, maxLength,
        sink);
}

bool expandVariables(std::string& text, const LauncherVariableValues& values,
                     const LauncherVariableLookups& lookups, std::size_t maxLength,
                     const ReplacementSink& sink) {
    std::optional<std::string> systemTempDir;
    std::optional<std::vector<std::string>> environment;
    return expandWith(
        text, values,
        [&]() -> std::string_view {
            if (!systemTempDir) systemTempDir = lookups.systemTempDir();
            return *systemTempDir;
        },
        [&]() -> const std::vector<std::string>& {
            if (!environment) environment = lookups.environment();
            return *environment;
        },
        maxLength, sink);
}

ExpansionResult expandVariables(std::string_view text, const LauncherVariableValues& values,
                                const std::vector<std::string>& environment,
                                std::size_t maxLength) {
    ExpansionResult result;
    result.text = std::string(text);
    result.ok = expandVariables(
        result.text, values, environment, maxLength,
        [&result](const Replacement& record) { result.replacements.push_back(record); });
    if (!result.ok) result.replacements.clear();
    return result;
}

std::string jvmHomeFor(std::string_view javaExePath) {
    constexpr std::string_view Javaw = "javaw.exe";
    constexpr std::string_view Java = "java.exe";
    std::string_view directory = javaExePath;
    if (directory.ends_with(Javaw)) {
        directory.remove_suffix(Javaw.size());
    } else {
        directory.remove_suffix(std::min(Java.size(), directory.size()));
    }
    return std::string(directory) + "..";
}

}  // namespace karvo
