#include "launch/VmOptionSet.h"

#include <algorithm>

#include "launch/VmOptionFile.h"

namespace karvo {

void VmOptionCollector::handleLine(const std::string* baseFile, const std::string& text) {
    OptionLine line = classifyOptionLine(text);
    switch (line.kind) {
        case OptionLineKind::IncludeOptions:
            include(baseFile, line.value);
            break;
        case OptionLineKind::ClassPath:
            set_.classPathReplacement = std::move(line.value);
            break;
        case OptionLineKind::ClassPathPrefix:
            set_.classPathPrefix = std::move(line.value);
            break;
        case OptionLineKind::ClassPathSuffix:
            set_.classPathSuffix = std::move(line.value);
            break;
        case OptionLineKind::Option:
            set_.options.push_back(std::move(line.value));
            break;
    }
}

void VmOptionCollector::readFile(const std::string& contents, const std::string* path,
                                 const std::string& name) {
    const std::vector<OptionFileLine> lines = optionFileLines(contents);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].tooLong) {
            sources_.logError("vmoptions file " + name + " line " + std::to_string(i + 1) +
                              " is longer than " + std::to_string(MaxOptionLineLength) +
                              " characters; skipped");
            continue;
        }
        std::optional<std::string> text = optionLineText(lines[i].text);
        if (!text) continue;
        if (!sources_.expand(*text)) {
            sources_.logError("vmoptions line " + *text + " is too long once expanded; skipped");
            continue;
        }
        handleLine(path, *text);
    }
}

void VmOptionCollector::readDefaultFile(const std::string& contents, const std::string& path,
                                        const std::string& identity) {
    reading_.push_back(identity);
    readFile(contents, nullptr, path);
    reading_.pop_back();
}

void VmOptionCollector::include(const std::string* baseFile, const std::string& name) {
    std::string expanded = name;
    if (!sources_.expand(expanded)) {
        sources_.logError("included vmoptions file " + name +
                          " is too long once expanded; skipped");
        return;
    }
    const std::string resolved = sources_.resolve(expanded, baseFile);
    const std::string identity = sources_.identity(resolved);
    // A file that includes itself, directly or through others, would never end.
    if (std::find(reading_.begin(), reading_.end(), identity) != reading_.end()) {
        sources_.logError("vmoptions file " + resolved + " is already being read; include skipped");
        return;
    }
    if (reading_.size() >= MaxIncludeDepth) {
        sources_.logError("vmoptions includes nested deeper than " +
                          std::to_string(MaxIncludeDepth) + "; " + resolved + " skipped");
        return;
    }
    if (includes_ >= MaxIncludeCount) {
        sources_.logError("vmoptions includes exceed " + std::to_string(MaxIncludeCount) +
                          " files; " + resolved + " skipped");
        return;
    }
    ++includes_;
    const std::optional<std::string> contents = sources_.readIncluded(resolved, expanded);
    if (!contents) return;
    reading_.push_back(identity);
    readFile(*contents, &resolved, resolved);
    reading_.pop_back();
}

}  // namespace karvo
