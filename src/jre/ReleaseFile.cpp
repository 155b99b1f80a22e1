#include "jre/ReleaseFile.h"

#include <algorithm>

#include "jre/VersionOrder.h"

namespace karvo {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The value of the first NAME=... line of a "release" file, without its quotes; nothing
// when there is no such line or its value is empty.
std::optional<std::string_view> releaseFileValue(std::string_view text, std::string_view name) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.starts_with(name) || line.size() == name.size() || line[name.size()] != '=')
            continue;
        line.remove_prefix(name.size() + 1);
        while (!line.empty() && (line.back() == '\r' || isBlank(line.back())))
            line.remove_suffix(1);
        if (line.size() >= 2 && line.front() == '"' && line.back() == '"')
            line = line.substr(1, line.size() - 2);
        if (line.empty()) return std::nullopt;
        return line;
    }
    return std::nullopt;
}

bool looksLikeVersion(std::string_view text) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    auto allowed = [&](char c) {
        return digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
               c == '_' || c == '-';
    };
    return !text.empty() && text.size() <= MaxVersionLength && digit(text.front()) &&
           std::all_of(text.begin(), text.end(), allowed);
}

}  // namespace

std::optional<std::string> parseReleaseFileVersion(std::string_view text) {
    const auto value = releaseFileValue(text, "JAVA_VERSION");
    if (!value) return std::nullopt;
    return std::string(*value);
}

std::optional<std::string> releaseFileJudgingVersion(std::string_view text) {
    const auto version = releaseFileValue(text, "JAVA_VERSION");
    if (!version) return std::nullopt;
    std::string_view judged = *version;
    if (const auto runtime = releaseFileValue(text, "JAVA_RUNTIME_VERSION")) {
        const std::string_view withoutBuild = runtime->substr(0, runtime->find('+'));
        if (withoutBuild != *version &&
            !(withoutBuild.starts_with(*version) && withoutBuild[version->size()] == '-'))
            return std::nullopt;
        judged = withoutBuild;
    }
    if (!looksLikeVersion(judged)) return std::nullopt;
    return std::string(judged);
}

}  // namespace karvo
