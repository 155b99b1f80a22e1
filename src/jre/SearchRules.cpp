#include "jre/SearchRules.h"

#include <algorithm>

namespace karvo {
namespace {

std::string_view untilNul(std::string_view text) {
    const auto nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

std::string replaceAll(std::string_view text, char from, char to) {
    std::string out(text);
    std::replace(out.begin(), out.end(), from, to);
    return out;
}

}  // namespace

std::vector<SearchEntry> splitSearchSequence(std::string_view sequence) {
    std::vector<SearchEntry> entries;
    for (const std::string& item : splitNonEmpty(sequence, ';'))
        entries.push_back({item[0], item.substr(1)});
    return entries;
}

bool isAbsoluteSearchArgument(std::string_view argument) {
    return argument.size() > 1 && (argument[1] == ':' || argument.substr(0, 2) == "\\\\");
}

bool takesPartInRelativePass(const SearchEntry& entry) {
    if (entry.kind == 'B') return true;
    if (entry.kind == 'A' || entry.kind == 'R') return !isAbsoluteSearchArgument(entry.argument);
    return false;
}

std::optional<RegistryVersionName> registryVersionName(RegistryNaming naming,
                                                       std::string_view name) {
    name = untilNul(name);
    switch (naming) {
        case RegistryNaming::JdkVersions: return RegistryVersionName{std::string(name), true};
        case RegistryNaming::RuntimeVersions: return RegistryVersionName{std::string(name), false};
        case RegistryNaming::Zulu: {
            if (!name.starts_with("zulu-") || name.size() == 5) return std::nullopt;
            name.remove_prefix(5);
            const bool runtime = name.ends_with("-jre");
            if (runtime) name.remove_suffix(4);
            return RegistryVersionName{std::string(name), !runtime};
        }
        case RegistryNaming::Liberica: {
            const bool jdk = name.starts_with("jdk-");
            if ((!jdk && !name.starts_with("jre-")) || name.size() == 4) return std::nullopt;
            return RegistryVersionName{std::string(name.substr(4)), jdk};
        }
    }
    return std::nullopt;
}

std::string versionCacheKeyName(std::string_view javaExePath) {
    return std::string(VersionCacheRoot) + replaceAll(javaExePath, '\\', '/');
}

std::string pathFromRegistryName(std::string_view name) { return replaceAll(name, '/', '\\'); }

std::string stripLineEnd(std::string_view line) {
    line = untilNul(line);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    return std::string(line);
}

std::vector<std::string> splitNonEmpty(std::string_view list, char separator) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= list.size()) {
        auto end = list.find(separator, start);
        if (end == std::string_view::npos) end = list.size();
        if (end > start) items.emplace_back(list.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

}  // namespace karvo
