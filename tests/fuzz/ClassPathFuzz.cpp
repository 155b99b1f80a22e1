// Class path assembly over a small file system held in memory. Fields: selector, prefix,
// replacement, suffix, launcher temporary directory, application directory, the configured
// entries (key 121), then any number of "NAME=value" variables or paths; a path that ends
// in "\" is a directory, any other one a file.
#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "FuzzFields.h"
#include "config/PathText.h"
#include "config/VariableExpansion.h"
#include "launch/ClassPath.h"
#include "support/TextLimits.h"

using namespace karvo;
using karvo::fuzz::FuzzFields;

namespace {

constexpr const char* AppDirectory = "C:\\app\\";

class MemoryView final : public ClassPathView {
public:
    MemoryView(const std::vector<std::string>& items) {
        for (const std::string& item : items) {
            const std::size_t equals = item.find('=');
            if (equals != std::string::npos && equals > 0 && item.find('\\') > equals) {
                environment_.push_back(item);
            } else if (!item.empty() && item.back() == '\\') {
                directories_.insert(item.substr(0, item.size() - 1));
            } else if (!item.empty()) {
                files_.insert(item);
                const auto slash = item.find_last_of('\\');
                if (slash != std::string::npos) directories_.insert(item.substr(0, slash));
            }
        }
    }

    bool expand(std::string& text) override {
        const LauncherVariableValues values{AppDirectory, "C:\\tmp\\k1", "C:\\jre", "C:\\tmp\\"};
        const ExpansionResult result = expandVariables(text, values, environment_, MaxTextLength);
        if (!result.ok) return false;
        text = result.text;
        return true;
    }
    std::string resolve(const std::string& path) override {
        return isAbsolutePath(path) ? path : AppDirectory + path;
    }
    bool exists(const std::string& path) override {
        return files_.count(path) > 0 || directories_.count(path) > 0;
    }
    std::vector<std::string> list(const std::string& pattern) override {
        // "<directory>\*<extension>": the names of the directory's files that end so.
        const std::size_t star = pattern.rfind("\\*");
        if (star == std::string::npos) return {};
        const std::string directory = pattern.substr(0, star);
        const std::string extension = pattern.substr(star + 2);
        std::vector<std::string> names;
        for (const std::string& file : files_) {
            if (file.size() > directory.size() + 1 && file.starts_with(directory) &&
                file[directory.size()] == '\\' && file.ends_with(extension)) {
                const std::string name = file.substr(directory.size() + 1);
                if (name.find('\\') == std::string::npos) names.push_back(name);
            }
        }
        return names;
    }
    std::optional<std::string> environment(const std::string& name) override {
        for (const std::string& entry : environment_) {
            if (entry.size() > name.size() && entry.starts_with(name) && entry[name.size()] == '=')
                return entry.substr(name.size() + 1);
        }
        return std::nullopt;
    }
    void log(const std::string&) override {}
    void logError(const std::string&) override {}

private:
    std::vector<std::string> environment_;
    std::set<std::string> files_;
    std::set<std::string> directories_;
};

std::optional<std::string> optionalField(FuzzFields& fields, bool present) {
    std::string text = fields.next();
    if (!present) return std::nullopt;
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzFields fields(data, size);
    const unsigned choice = fields.selector();
    ClassPathSettings settings;
    settings.prefix = optionalField(fields, choice & 1);
    settings.replacement = optionalField(fields, choice & 2);
    settings.suffix = optionalField(fields, choice & 4);
    settings.launcherTempDir = fields.next();
    settings.tesselApplicationDir = optionalField(fields, choice & 8);
    settings.configuredEntries = fields.next();
    const std::size_t limits[] = {MaxClassPathOptionLength, 64, 0};
    const std::size_t maxLength = limits[(choice >> 4) % std::size(limits)];
    MemoryView view(fields.rest());

    const ClassPathOutcome outcome = buildClassPathOption(settings, view, maxLength);
    KARVO_FUZZ_CHECK(outcome.option.starts_with("-Djava.class.path="));
    if (!outcome.failure) {
        KARVO_FUZZ_CHECK(outcome.option.size() <= maxLength);
    } else {
        KARVO_FUZZ_CHECK(outcome.failure->message != 0);
    }

    std::string buffer;
    const auto failure = appendConfiguredClassPath(buffer, settings.configuredEntries, view);
    if (failure) KARVO_FUZZ_CHECK(failure->message != 0);
    return 0;
}
