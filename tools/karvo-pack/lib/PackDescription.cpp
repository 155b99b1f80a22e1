#include "PackDescription.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "IncludedFileName.h"
#include "PackValues.h"
#include "TomlNesting.h"
#include "WindowsText.h"
#include "config/ConfigValue.h"
#include "config/RestartPolicy.h"
#include "config/ServiceAccount.h"
#include "jre/VersionRules.h"
#include "support/TextLimits.h"

namespace karvo::pack {
namespace {

using Texts = std::map<ConfigKey, std::string>;
using Wides = std::map<ConfigKey, std::u16string>;

[[noreturn]] void refuse(const toml::node& node, const std::string& sourceName,
                         const std::string& text) {
    throw PackError(where(node, sourceName) + text);
}

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "; did you mean 'x'?" for a near miss among the candidates, else nothing.
std::string suggestion(std::string_view name, const std::vector<std::string>& candidates) {
    for (const auto& candidate : candidates) {
        if (editDistance(name, candidate) <= 2) return "; did you mean '" + candidate + "'?";
    }
    return {};
}

bool isMessage(const ConfigKeyInfo& info) { return info.name.starts_with(MessagePrefix); }

std::vector<std::string> topLevelNames() {
    std::vector<std::string> names;
    for (const auto& info : configKeyTable()) {
        if (!isMessage(info)) names.emplace_back(info.name);
    }
    return names;
}

std::vector<std::string> messageNames() {
    std::vector<std::string> names;
    for (const auto& info : configKeyTable()) {
        if (isMessage(info)) names.emplace_back(info.name.substr(MessagePrefix.size()));
    }
    return names;
}

bool isDerivedFromIncludes(ConfigKey key) {
    return key == Key::IncludedFileCount || key == Key::IncludedFileNames;
}

// Key numbers of the raw tables: plain decimal, so that "108" and "0108" cannot both
// name key 108.
std::optional<ConfigKey> keyNumber(std::string_view text) {
    const bool negative = text.starts_with('-');
    const auto digits = text.substr(negative ? 1 : 0);
    if (digits.empty() || digits.size() > 10 || (digits[0] == '0' && digits.size() > 1) ||
        (negative && digits == "0"))
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (negative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<ConfigKey>(value);
}

const toml::table& tableOf(const toml::node& node, const std::string& label,
                           const std::string& sourceName) {
    if (!node.is_table()) refuse(node, sourceName, label + " must be a table");
    return *node.as_table();
}

class DescriptionReader {
public:
    DescriptionReader(const std::string& sourceName, std::filesystem::path baseDirectory)
        : source_(sourceName), base_(std::move(baseDirectory)) {}

    PackInput read(const toml::table& root) {
        bool writeDefaults = true;
        for (const auto& [key, value] : root) {
            const std::string name(key.str());
            if (name == "messages") readMessages(tableOf(value, "[messages]", source_));
            else if (name == "raw") readRaw(tableOf(value, "[raw]", source_));
            else if (name == "localized") readLocalized(value);
            else if (name == "include") readIncludes(value);
            else if (name == WriteDefaultsSetting) {
                if (!value.is_boolean()) refuse(value, source_, name + " must be true or false");
                writeDefaults = value.as_boolean()->get();
            } else readSetting(name, value);
        }
        if (writeDefaults) addDefaults();
        checkMessages();
        checkServiceSettings();
        return finish();
    }

private:
    void readSetting(const std::string& name, const toml::node& value) {
        const ConfigKeyInfo* info = findConfigKeyByName(name);
        if (info && isMessage(*info)) {
            refuse(value, source_,
                   "messages go in the [messages] table, without the prefix: write '" +
                       name.substr(MessagePrefix.size()) + "' there");
        }
        if (!info && name.find("password") != std::string::npos) {
            refuse(value, source_,
                   "'" + name + "': a password is never stored in the executable; run the "
                   "service as an account without one (service_account)");
        }
        if (!info) {
            refuse(value, source_,
                   "unknown setting '" + name + "'" + suggestion(name, topLevelNames()));
        }
        if (isDerivedFromIncludes(info->number)) {
            refuse(value, source_,
                   name + " is written by the packer from the [[include]] entries; "
                          "do not set it yourself");
        }
        storeNamed(*info, name, value);
        checkRange(*info, value);
    }

    // Settings whose wrong value the launcher could only act on in a surprising way: an
    // account that needs a password, a negative time, keeping no rolled file at all.
    void checkRange(const ConfigKeyInfo& info, const toml::node& value) {
        const auto stored = texts_.find(info.number);
        if (stored == texts_.end()) return;
        const std::string& text = stored->second;
        if (info.number == Key::ServiceAccount) {
            if (!parseServiceAccount(text)) {
                refuse(value, source_,
                       "service_account '" + text + "' cannot be used: " +
                           std::string(AcceptedServiceAccounts));
            }
            return;
        }
        struct Range {
            ConfigKey key;
            std::int64_t least;
            const char* meaning;
        };
        static constexpr Range Ranges[] = {
            {Key::FailureRestartDelay, 0, "milliseconds, 0 for no restart"},
            {Key::FailureResetPeriod, 0, "seconds, 0 for the default of one day"},
            {Key::OutputMaxSize, 0, "bytes, 0 for no limit"},
            {Key::OutputKeep, 1, "the number of rolled files to keep, at least 1"},
            {Key::WatchdogInterval, 0, "seconds, 0 for no watchdog"},
            {Key::WatchdogTimeout, 1, "seconds, at least 1"},
        };
        for (const auto& range : Ranges) {
            if (range.key != info.number) continue;
            const bool digitsOnly = !text.empty() && text.size() <= 10 &&
                                    std::all_of(text.begin(), text.end(), [](char c) {
                                        return c >= '0' && c <= '9';
                                    });
            if (!digitsOnly || std::stoll(text) < range.least || std::stoll(text) > INT32_MAX) {
                refuse(value, source_,
                       std::string(info.name) + " = " + text + " is not valid: give " +
                           range.meaning);
            }
        }
    }

    void storeNamed(const ConfigKeyInfo& info, const std::string& label, const toml::node& value) {
        if (info.kind == KeyKind::Wide) {
            wides_[info.number] = wideValue(value, rulesFor(info, label), source_);
        } else {
            texts_[info.number] = narrowValue(value, rulesFor(info, label), source_);
        }
        if (info.number == Key::MinJavaVersion) checkJavaFloor(texts_[info.number], value);
    }

    // A minimum below what the runtime classes are compiled for would let the launcher pick
    // a runtime that then cannot load them ("main class not found").
    void checkJavaFloor(const std::string& minimum, const toml::node& value) {
        if (minimum.empty() || compareVersions(minimum, OldestRuntimeClassesJava) >= 0) return;
        refuse(value, source_,
               "min_java_version \"" + minimum + "\" is below " +
                   std::string(OldestRuntimeClassesJava) +
                   ", the oldest Java the runtime classes load on; write \"" +
                   std::string(OldestRuntimeClassesJava) + "\" or later (or leave it empty)");
    }

    void readMessages(const toml::table& messages) {
        for (const auto& [key, value] : messages) {
            const std::string name(key.str());
            const ConfigKeyInfo* info = findConfigKeyByName(std::string(MessagePrefix) + name);
            if (!info) {
                refuse(value, source_,
                       "unknown message '" + name + "'" + suggestion(name, messageNames()));
            }
            storeNamed(*info, "message '" + name + "'", value);
        }
    }

    void readRaw(const toml::table& raw) {
        for (const auto& [key, value] : raw) {
            const std::string name(key.str());
            if (name != "text" && name != "wide") {
                refuse(value, source_, "[raw] holds only the tables [raw.text] and [raw.wide]");
            }
            const bool wide = name == "wide";
            for (const auto& [number, entry] : tableOf(value, "[raw." + name + "]", source_)) {
                const ConfigKey k = rawKey(std::string(number.str()), entry, wide);
                const std::string label = "raw " + name + " key " + std::to_string(k);
                const ValueRules rules{label, wide ? KeyKind::Wide : KeyKind::Text,
                                       wide ? MaxWideTextLength : MaxTextLength, '\0'};
                if (wide) wides_[k] = wideValue(entry, rules, source_);
                else texts_[k] = narrowValue(entry, rules, source_);
            }
        }
    }

    // A raw key must not be one that has a name, or the same setting could be given twice.
    ConfigKey rawKey(const std::string& text, const toml::node& entry, bool wide) {
        const auto number = keyNumber(text);
        if (!number) refuse(entry, source_, "raw key '" + text + "' is not a key number");
        const ConfigKeyInfo* info = findConfigKey(*number);
        if (info && (info->kind == KeyKind::Wide) == wide) {
            if (isDerivedFromIncludes(*number)) {
                refuse(entry, source_,
                       "key " + text + " is written by the packer from the [[include]] entries");
            }
            const std::string name(info->name);
            refuse(entry, source_,
                   "key " + text + " has a name: write " +
                       (isMessage(*info) ? "'" + name.substr(MessagePrefix.size()) +
                                               "' in [messages]"
                                         : "'" + name + "'") +
                       " instead");
        }
        return *number;
    }

    void readLocalized(const toml::node& node) {
        const auto* groups = node.as_array();
        if (!groups) refuse(node, source_, "localized texts are written as [[localized]] tables");
        for (const auto& element : *groups) {
            const auto& table = tableOf(element, "a [[localized]] entry", source_);
            LocalizedGroup group;
            const auto* locale = table.get("locale");
            if (!locale) refuse(element, source_, "a [[localized]] table needs locale = \"...\"");
            group.localePrefix =
                narrowValue(*locale, {"locale", KeyKind::Text, MaxTextLength, '\0'}, source_);
            std::map<ConfigKey, std::u16string> entries;
            for (const auto& [key, value] : table) {
                const std::string name(key.str());
                if (name == "locale") continue;
                const ConfigKey k = localizedKey(name, value);
                if (entries.count(k)) {
                    refuse(value, source_,
                           "key " + std::to_string(k) + " is given twice for locale '" +
                               group.localePrefix + "'");
                }
                const ValueRules rules{"'" + name + "' for locale '" + group.localePrefix + "'",
                                       KeyKind::Wide, MaxWideTextLength, '\0'};
                entries[k] = wideValue(value, rules, source_);
            }
            group.entries.assign(entries.begin(), entries.end());
            groups_.push_back(std::move(group));
        }
    }

    ConfigKey localizedKey(const std::string& name, const toml::node& value) {
        if (const auto number = keyNumber(name)) return *number;
        const ConfigKeyInfo* info = findConfigKeyByName(name);
        if (!info) refuse(value, source_, "unknown setting '" + name + "' in [[localized]]");
        if (info->kind != KeyKind::Wide) {
            refuse(value, source_,
                   "'" + name + "' is an 8-bit setting; only wide texts such as description "
                                "can be localized");
        }
        return info->number;
    }

    void readIncludes(const toml::node& node) {
        const auto* entries = node.as_array();
        if (!entries) refuse(node, source_, "included files are written as [[include]] tables");
        std::set<std::string> seen;
        std::string names;
        for (const auto& element : *entries) {
            const auto& table = tableOf(element, "an [[include]] entry", source_);
            for (const auto& [key, value] : table) {
                if (key.str() != "name" && key.str() != "source")
                    refuse(value, source_, "an [[include]] table holds only name and source");
            }
            const auto* nameNode = table.get("name");
            const auto* sourceNode = table.get("source");
            if (!nameNode || !sourceNode)
                refuse(element, source_, "an [[include]] table needs both name and source");
            const std::string name = narrowString(*nameNode, "included file name", MaxTextLength,
                                                  source_);
            const std::string shown = nameNode->as_string()->get();
            if (const auto problem = includedFileNameProblem(name))
                refuse(*nameNode, source_, "included file name '" + shown + "' " + *problem);
            std::string folded = name;
            for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (!seen.insert(folded).second) {
                refuse(*nameNode, source_,
                       "included file name '" + shown + "' is used twice (Windows ignores case)");
            }
            if (!sourceNode->is_string()) refuse(*sourceNode, source_, "source must be a string");
            files_.push_back({name, readSource(*sourceNode, shown)});
            names += (names.empty() ? "" : ";") + name;
        }
        if (names.size() > MaxTextLength) {
            refuse(node, source_,
                   "the included file names are " + std::to_string(names.size()) +
                       " characters long together; the launcher accepts at most " +
                       std::to_string(MaxTextLength));
        }
        if (!files_.empty()) {
            texts_[Key::IncludedFileCount] = std::to_string(files_.size());
            texts_[Key::IncludedFileNames] = names;
        }
    }

    std::vector<std::uint8_t> readSource(const toml::node& node, const std::string& name) {
        const std::filesystem::path given = pathFromUtf8(node.as_string()->get());
        const auto path = given.is_absolute() ? given : base_ / given;
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) {
            refuse(node, source_,
                   "included file '" + name + "': source " + utf8FromPath(path) +
                       (std::filesystem::exists(path, error) ? " is not a file" : " does not exist"));
        }
        const auto size = std::filesystem::file_size(path, error);
        totalIncluded_ += error ? 0 : size;
        if (totalIncluded_ > MaxOutputSize) {
            refuse(node, source_, "the included files are larger than the packer's limit of 2 GiB");
        }
        std::ifstream in(path, std::ios::binary);
        std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
        if (in.bad() || error) {
            refuse(node, source_, "included file '" + name + "': cannot read " + utf8FromPath(path));
        }
        return data;
    }

    void addDefaults() {
        for (const auto& info : configKeyTable()) {
            if (!info.packerDefault.empty() && !texts_.count(info.number))
                texts_[info.number] = std::string(info.packerDefault);
        }
    }

    // The launcher fills "{0}" in only some messages, and only the first one.
    void checkMessages() {
        for (const auto& info : configKeyTable()) {
            const auto found = texts_.find(info.number);
            if (!isMessage(info) || found == texts_.end()) continue;
            const std::string name = "message '" + std::string(info.name.substr(MessagePrefix.size())) + "'";
            const std::string& text = found->second;
            const bool takesArgument = info.packerDefault.find("{0}") != std::string_view::npos;
            const auto first = text.find("{0}");
            if (takesArgument && first == std::string::npos) {
                warnings_.push_back(name + " has no {0}, so the launcher's detail (" +
                                    std::string(info.summary) + ") will not be shown");
            } else if (!takesArgument && first != std::string::npos) {
                warnings_.push_back(name + " contains {0}, but the launcher gives it no detail; "
                                           "it is shown as written");
            } else if (first != std::string::npos &&
                       text.find("{0}", first + 3) != std::string::npos) {
                warnings_.push_back(name + " contains {0} more than once; only the first is "
                                           "replaced");
            }
        }
    }

    void checkServiceSettings() {
        const auto name = texts_.find(Key::ServiceName);
        if (name == texts_.end() || name->second.empty()) {
            warnings_.push_back("no service_name: every command then needs the service name on "
                                "its command line");
        } else if (name->second.size() > 256 ||
                   name->second.find_first_of("/\\") != std::string::npos) {
            warnings_.push_back("service_name is longer than 256 characters or contains '/' or "
                                "'\\'; the Service Control Manager will refuse it");
        }
        checkRunSettings();
        const auto mainClass = texts_.find(Key::MainClass);
        if (mainClass == texts_.end() || mainClass->second.empty())
            warnings_.push_back("no main_class: the service cannot start a Java program");
    }

    // The launcher would fall back to its defaults; better to say so before it runs.
    void checkRunSettings() {
        if (const auto mode = texts_.find(Key::Restart);
            mode != texts_.end() && !parseRestartMode(mode->second)) {
            throw PackError(source_ + ": restart = '" + mode->second +
                            "' is not one of never, on-failure, always");
        }
        for (const ConfigKey key : {Key::StopTimeout, Key::RestartDelay, Key::RestartDelayMax,
                                    Key::RestartResetAfter, Key::RestartLimit}) {
            const auto value = texts_.find(key);
            if (value != texts_.end() && parseConfigInt(value->second) < 0)
                throw PackError(source_ + ": " + std::string(findConfigKey(key)->name) +
                                " must not be negative");
        }
    }

    PackInput finish() {
        PackInput input;
        input.block.texts.assign(texts_.begin(), texts_.end());
        input.block.wides.assign(wides_.begin(), wides_.end());
        input.block.groups = std::move(groups_);
        input.files = std::move(files_);
        input.warnings = std::move(warnings_);
        return input;
    }

    std::string source_;
    std::filesystem::path base_;
    Texts texts_;
    Wides wides_;
    std::vector<LocalizedGroup> groups_;
    std::vector<IncludedFile> files_;
    std::vector<std::string> warnings_;
    std::uint64_t totalIncluded_ = 0;
};

std::string tooLarge(const std::string& sourceName, std::uint64_t size) {
    return sourceName + ": the description has " + std::to_string(size) +
           " bytes or more; karvo-pack reads descriptions of at most 16 MiB (" +
           std::to_string(MaxDescriptionSize) + " bytes)";
}

}  // namespace

PackInput readDescription(std::string_view tomlText, const std::string& sourceName,
                          const std::filesystem::path& baseDirectory) {
    if (tomlText.size() > MaxDescriptionSize)
        throw PackError(tooLarge(sourceName, tomlText.size()));
    if (const auto line = lineNestingTooDeep(tomlText, MaxDescriptionNesting)) {
        throw PackError(sourceName + ":" + std::to_string(*line) +
                        ": nesting deeper than " + std::to_string(MaxDescriptionNesting) +
                        " levels (dotted key parts, table header parts, nested arrays and "
                        "inline tables together); a description needs only a few");
    }
    toml::table root;
    try {
        root = toml::parse(tomlText, sourceName);
    } catch (const toml::parse_error& error) {
        std::ostringstream text;
        text << sourceName << ":" << error.source().begin.line << ": " << error.description();
        throw PackError(text.str());
    }
    return DescriptionReader(sourceName, baseDirectory).read(root);
}

PackInput readDescriptionFile(const std::filesystem::path& path) {
    const std::string name = utf8FromPath(path);
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (!error && size > MaxDescriptionSize) throw PackError(tooLarge(name, size));
    std::ifstream in(path, std::ios::binary);
    if (!in) throw PackError("cannot read the description " + name);
    // A pipe or a file still growing has no size to check beforehand: stop reading as soon
    // as the text is over the limit.
    std::string text;
    std::vector<char> chunk(64 * 1024);
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
        if (text.size() > MaxDescriptionSize) throw PackError(tooLarge(name, text.size()));
    }
    if (in.bad()) throw PackError("cannot read the description " + name);
    auto base = path.parent_path();
    if (base.empty()) base = ".";
    return readDescription(text, name, base);
}

}  // namespace karvo::pack
