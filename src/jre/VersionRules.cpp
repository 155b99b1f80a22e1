#include "jre/VersionRules.h"

#include <algorithm>

namespace karvo {
namespace {

// The byte at position i of a C text: its terminator and everything after read as 0.
unsigned char byteAt(std::string_view text, std::size_t i) {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
}

// strncmp over texts that end at their first NUL, as the registry and files deliver them.
int compareBounded(std::string_view a, std::string_view b, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char x = byteAt(a, i), y = byteAt(b, i);
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
    return 0;
}

std::string_view untilNul(std::string_view text) {
    const auto nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

std::string replaceAll(std::string_view text, char from, char to) {
    std::string out(text);
    std::replace(out.begin(), out.end(), from, to);
    return out;
}

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

bool isPreReleaseVersion(std::string_view version) {
    version = untilNul(version);
    for (std::string_view marker : {"beta", "ea", "rc"}) {
        if (version.find(marker) != std::string_view::npos) return true;
    }
    return false;
}

VersionVerdict judgeVersion(std::string_view version, std::string_view min, std::string_view max,
                            bool allowPreRelease) {
    version = untilNul(version);
    min = untilNul(min);
    max = untilNul(max);
    if (!allowPreRelease && isPreReleaseVersion(version)) return VersionVerdict::PreRelease;
    if (compareBounded(version, min, min.size()) < 0) return VersionVerdict::BelowMinimum;
    if (compareBounded(version, max, max.size()) > 0) return VersionVerdict::AboveMaximum;
    return VersionVerdict::Accepted;
}

bool isVersionAcceptable(std::string_view version, std::string_view min, std::string_view max,
                         bool allowPreRelease) {
    return judgeVersion(version, min, max, allowPreRelease) == VersionVerdict::Accepted;
}

bool isVersionNameInRange(std::string_view name, std::string_view min, std::string_view max) {
    name = untilNul(name);
    min = untilNul(min);
    max = untilNul(max);
    if (compareBounded(name, min, std::min(name.size(), min.size())) < 0) return false;
    if (compareBounded(name, max, std::min(name.size(), max.size())) > 0) return false;
    return true;
}

std::optional<std::string> parseVersionBanner(std::string_view firstLine) {
    firstLine = untilNul(firstLine.substr(0, std::min(firstLine.size(), MaxBannerLineLength)));
    std::string_view rest;
    for (std::string_view prefix : {"java version \"", "openjdk version \""}) {
        if (firstLine.substr(0, prefix.size()) == prefix) {
            rest = firstLine.substr(prefix.size());
            // Dropping two characters from a shorter rest would leave no version (or, done
            // blindly, run before the start of the text).
            if (rest.size() <= 2) return std::nullopt;
            return std::string(rest.substr(0, rest.size() - 2));
        }
    }
    return std::nullopt;
}

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

int compareVersionText(std::string_view a, std::string_view b) {
    return compareBounded(untilNul(a), untilNul(b), std::max(a.size(), b.size()) + 1);
}

std::vector<std::string> versionNamesToTry(std::vector<std::string> names, std::string_view min,
                                           std::string_view max) {
    std::erase_if(names, [&](const std::string& name) { return !isVersionNameInRange(name, min, max); });
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return compareVersionText(a, b) > 0;
    });
    return names;
}

std::string versionCacheKeyName(std::string_view javaExePath) {
    return std::string(VersionCacheRoot) + replaceAll(javaExePath, '\\', '/');
}

std::string pathFromRegistryName(std::string_view name) { return replaceAll(name, '/', '\\'); }

std::optional<std::string> javaExeDirectory(std::string_view javaExePath) {
    const std::size_t drop = endsWith(javaExePath, "javaw.exe") ? 9 : 8;
    if (javaExePath.size() < drop) return std::nullopt;
    return std::string(javaExePath.substr(0, javaExePath.size() - drop));
}

std::optional<std::string> javaBinDirectory(std::string_view javaExePath) {
    auto directory = javaExeDirectory(javaExePath);
    if (!directory || directory->empty()) return std::nullopt;
    directory->pop_back();
    return directory;
}

std::optional<std::string> embeddedJreJavaExe(std::string_view javaExePath) {
    auto directory = javaExeDirectory(javaExePath);
    if (!directory) return std::nullopt;
    return *directory + "..\\jre\\bin\\java.exe";
}

std::string windowedJavaExe(std::string_view javaExePath) {
    if (javaExePath.size() < 4) return std::string(javaExePath) + "w.exe";
    return std::string(javaExePath.substr(0, javaExePath.size() - 4)) + "w.exe";
}

std::optional<std::string> appendToPathList(std::string_view path, std::string_view directory,
                                            std::size_t maxLength) {
    if (path.size() + 1 + directory.size() > maxLength) return std::nullopt;
    std::string out(path);
    out += ';';
    out += directory;
    return out;
}

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

std::string unpackArguments(std::string_view packFile, std::string_view jarFile) {
    std::string out = "-r \"";
    out += packFile;
    out += "\" \"";
    out += jarFile;
    out += '"';
    return out;
}

}  // namespace karvo
