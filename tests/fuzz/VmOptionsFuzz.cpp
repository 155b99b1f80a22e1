// The VM option files and the configured VM arguments: line chunks, trimming, directives and
// includes, over a handful of files held in memory. Every field after the first four is a
// file that "-include-options" can reach as C:\app\f0.vmoptions, C:\app\f1.vmoptions, ...
#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "FuzzFields.h"
#include "config/PathText.h"
#include "config/VariableExpansion.h"
#include "launch/ArgumentSplitter.h"
#include "launch/VmOptionFile.h"
#include "launch/VmOptionSet.h"
#include "support/TextLimits.h"

using namespace karvo;
using karvo::fuzz::FuzzFields;

namespace {

constexpr const char* AppDirectory = "C:\\app\\";

std::string lowerCased(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

class MemoryOptionSources final : public VmOptionSources {
public:
    explicit MemoryOptionSources(const std::vector<std::string>& files) {
        for (std::size_t i = 0; i < files.size(); ++i)
            files_[identity(std::string(AppDirectory) + "f" + std::to_string(i) + ".vmoptions")] =
                files[i];
    }

    bool expand(std::string& text) override {
        const LauncherVariableValues values{AppDirectory, "C:\\tmp\\k1\\", "C:\\jre\\bin\\..",
                                            "C:\\tmp\\"};
        const ExpansionResult result =
            expandVariables(text, values, {"F=f1.vmoptions", "Path=C:\\bin"}, MaxTextLength);
        if (!result.ok) return false;
        text = result.text;
        return true;
    }
    std::string resolve(const std::string& path, const std::string* baseFile) override {
        if (isAbsolutePath(path)) return path;
        const std::string directory =
            baseFile ? std::string(directoryOf(*baseFile)) : std::string(AppDirectory);
        return directory + path;
    }
    std::string identity(const std::string& path) override {
        return lowerCased(collapseDoubledBackslashes<char>(path));
    }
    std::optional<std::string> readIncluded(const std::string& resolvedPath,
                                            const std::string&) override {
        ++reads;
        const auto found = files_.find(identity(resolvedPath));
        if (found == files_.end()) return std::nullopt;
        return found->second;
    }
    void logError(const std::string&) override {}

    std::size_t reads = 0;

private:
    std::map<std::string, std::string> files_;
};

std::string narrowed(const std::u16string& text) {
    std::string out;
    for (char16_t unit : text) out.push_back(static_cast<char>(unit));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzFields fields(data, size);
    const std::size_t chunk = 1 + fields.selector() % 64;
    const std::string configured = fields.next();
    const std::string commandArgument = fields.next();
    const std::string defaultFile = fields.next();
    const std::vector<std::string> files = fields.rest();

    // Lines cover the text exactly (joined by their line feeds); only lines over the limit
    // are marked, and no line holds a line feed.
    for (const std::size_t length : {chunk, MaxOptionLineLength}) {
        std::string joined;
        const auto lines = optionFileLines(defaultFile, length);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const OptionFileLine& line = lines[i];
            KARVO_FUZZ_CHECK(line.tooLong == (line.text.size() > length));
            KARVO_FUZZ_CHECK(line.text.find('\n') == std::string_view::npos);
            if (i > 0) joined += '\n';
            joined += line.text;
            if (const auto text = optionLineText(line.text)) {
                KARVO_FUZZ_CHECK(!text->empty() && text->front() != ' ' && text->back() != ' ');
                KARVO_FUZZ_CHECK(text->front() != '#');
                const OptionLine option = classifyOptionLine(*text);
                KARVO_FUZZ_CHECK(text->ends_with(option.value));
            }
        }
        if (defaultFile.ends_with('\n')) joined += '\n';
        KARVO_FUZZ_CHECK(joined == defaultFile);
    }

    if (const auto option = jArgumentOption(karvo::fuzz::widened(commandArgument))) {
        KARVO_FUZZ_CHECK(option->size() + 2 == commandArgument.size());
    }

    MemoryOptionSources sources(files);
    VmOptionCollector collector(sources);
    std::string expanded = configured;
    if (sources.expand(expanded)) {
        if (const auto split = trySplitArguments(karvo::fuzz::widened(expanded))) {
            std::vector<std::string> arguments;
            for (const auto& argument : *split) arguments.push_back(narrowed(argument));
            const auto texts = joinIncludeArguments(arguments);
            KARVO_FUZZ_CHECK(texts.size() <= arguments.size());
            for (const std::string& text : texts) collector.handleLine(nullptr, text);
        }
    }
    const std::string defaultPath = std::string(AppDirectory) + "karvo.vmoptions";
    collector.readDefaultFile(defaultFile, defaultPath, sources.identity(defaultPath));
    return 0;
}
