#include "PackDescription.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "NameSuggestion.h"
#include "PackIncludes.h"
#include "PackPathEntries.h"
#include "PackRules.h"
#include "PackValues.h"
#include "TomlNesting.h"
#include "WindowsText.h"
#include "config/EnvironmentEntries.h"
#include "support/TextLimits.h"

namespace karvo::pack {
namespace {

using Texts = std::map<ConfigKey, std::string>;
using Wides = std::map<ConfigKey, std::u16string>;

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

// environment = { raw = [...] }, as inspect prints a stored value it cannot show plainly; a
// variable's value is a string, never a list.
bool isRawForm(const toml::table& table) {
    return table.size() == 1 && table.get("raw") && table.get("raw")->is_array();
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

class DescriptionReader {
public:
    DescriptionReader(const std::string& sourceName, std::filesystem::path baseDirectory)
        : source_(sourceName), base_(std::move(baseDirectory)) {}

    PackInput read(const toml::table& root) {
        bool writeDefaults = true;
        bool addRuntimeJar = true;
        for (const auto& [key, value] : root) {
            const std::string name(key.str());
            if (name == "messages") readMessages(tableOf(value, "[messages]", source_));
            else if (name == "raw") readRaw(tableOf(value, "[raw]", source_));
            else if (name == "localized") readLocalized(value);
            else if (name == "include") readIncludes(value);
            else if (name == "environment" && value.is_table() && !isRawForm(*value.as_table()))
                readEnvironment(*value.as_table());
            else if (name == WriteDefaultsSetting)
                writeDefaults = switchValue(name, value);
            else if (name == AddRuntimeJarSetting)
                addRuntimeJar = switchValue(name, value);
            else
                readSetting(name, value);
        }
        if (writeDefaults) addDefaults();
        checkMessages();
        checkServiceSettings(writeDefaults);
        std::vector<std::string> includedNames;
        for (const auto& file : files_) includedNames.push_back(file.name);
        auto input = finish();
        // Without the defaults the block is exactly the description: nothing is added.
        input.runtimeJarName = runtimeJarName(texts_);
        input.wantsRuntimeJar =
            writeDefaults && addRuntimeJar && !namesRuntimeJar(texts_, includedNames);
        return input;
    }

private:
    bool switchValue(const std::string& name, const toml::node& value) {
        if (!value.is_boolean()) refuse(value, source_, name + " must be true or false");
        return value.as_boolean()->get();
    }

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
        nodes_[info->number] = &value;
        // The raw form is the exact stored text, taken as it is (see PackRules.h).
        if (value.is_table()) {
            rawNamed_.insert(info->number);
            return;
        }
        if (info->number == Key::ClassPath) codeEntries(PathList::ClassPath, name, value);
        if (info->number == Key::SearchSequence) codeEntries(PathList::RuntimeSearch, name, value);
        if (const auto found = texts_.find(info->number); found != texts_.end()) {
            if (const auto problem = storedValueProblem(info->number, found->second))
                refuse(value, source_, *problem);
        }
    }

    // Each entry as written becomes its stored code; a refusal names the entry's own line.
    void codeEntries(PathList list, const std::string& name, const toml::node& value) {
        const auto* array = value.as_array();
        std::string& text =
            texts_[list == PathList::ClassPath ? Key::ClassPath : Key::SearchSequence];
        std::string coded;
        std::size_t start = 0, index = 0;
        for (;;) {
            const auto end = text.find(';', start);
            const auto entry = text.substr(start, end == std::string::npos ? end : end - start);
            const toml::node& node = array && index < array->size() ? *array->get(index) : value;
            const auto result = codedEntry(list, entry);
            if (!result.problem.empty()) {
                refuse(node, source_,
                       name + " entry " + std::to_string(index + 1) + " " + result.problem);
            }
            if (index) coded += ';';
            coded += result.text;
            ++index;
            if (end == std::string::npos) break;
            start = end + 1;
        }
        if (coded.size() > MaxTextLength) {
            refuse(value, source_,
                   name + " is " + std::to_string(coded.size()) +
                       " characters long with its kind letters; the launcher accepts at most " +
                       std::to_string(MaxTextLength));
        }
        text = coded;
    }

    void storeNamed(const ConfigKeyInfo& info, const std::string& label, const toml::node& value) {
        if (info.kind == KeyKind::Wide) {
            wides_[info.number] = wideValue(value, rulesFor(info, label), source_);
        } else {
            texts_[info.number] = narrowValue(value, rulesFor(info, label), source_);
        }
    }

    // [environment]: NAME = "value" pairs, kept in the order written, which is the order the
    // launcher sets them in. The list form (environment = ["NAME=value", ...]) is what
    // inspect prints; both become the same key.
    void readEnvironment(const toml::table& table) {
        // The table keeps its keys sorted; the file's order is where each value stands.
        std::vector<std::pair<std::string, const toml::node*>> written;
        for (const auto& [key, value] : table) written.emplace_back(std::string(key.str()), &value);
        std::stable_sort(written.begin(), written.end(), [](const auto& a, const auto& b) {
            const auto& x = a.second->source().begin;
            const auto& y = b.second->source().begin;
            return x.line != y.line ? x.line < y.line : x.column < y.column;
        });
        std::string joined;
        for (const auto& [written_name, node] : written) {
            const toml::node& value = *node;
            const std::string label = "environment." + written_name;
            std::string bad;
            const auto name = utf8ToWindows1252(written_name, &bad);
            if (!name)
                refuse(value, source_,
                       label + ": the name holds " + bad + ", which has no Windows-1252 character");
            if (name->empty() || name->find('=') != std::string::npos)
                refuse(value, source_, label + ": a variable's name holds no '=' and is not empty");
            if (!value.is_string())
                refuse(value, source_, label + " must be a string (the variable's value)");
            const std::string text = narrowString(value, label, MaxTextLength, source_);
            if ((*name + text).find_first_of("\r\n") != std::string::npos)
                refuse(value, source_, label + " holds a line break; a variable cannot");
            if (!joined.empty()) joined += '\n';
            joined += *name + "=" + text;
        }
        // Together they are one setting, with the list form's limit and rules.
        const std::size_t limit = findConfigKey(Key::Environment)->maxLength;
        if (joined.size() > limit)
            refuse(table, source_,
                   "[environment] is " + std::to_string(joined.size()) +
                       " characters long together; the launcher accepts at most " +
                       std::to_string(limit));
        if (const auto problem = storedValueProblem(Key::Environment, joined))
            refuse(table, source_, *problem);
        texts_[Key::Environment] = joined;
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
        files_ = readIncludeTables(node, source_, base_);
        if (files_.empty()) return;
        texts_[Key::IncludedFileCount] = std::to_string(files_.size());
        texts_[Key::IncludedFileNames] = includedFileNames(files_);
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

    void checkServiceSettings(bool complete) {
        checkCombinations();
        // A description that asks for the block exactly as given (write_defaults = false) may
        // leave them out: such a block takes the name from the command line.
        if (const auto missing = missingSettingProblem(texts_)) {
            if (complete) throw PackError(source_ + ": " + *missing);
            warnings_.push_back(*missing);
        }
        if (const auto discarded = discardedOutputWarning(texts_)) warnings_.push_back(*discarded);
        const auto name = texts_.find(Key::ServiceName);
        if (name != texts_.end() &&
            (name->second.size() > 256 || name->second.find_first_of("/\\") != std::string::npos)) {
            warnings_.push_back("service_name is longer than 256 characters or contains '/' or "
                                "'\\'; the Service Control Manager will refuse it");
        }
    }

    void checkCombinations() {
        const auto problem = combinationProblem(texts_);
        if (!problem || rawNamed_.count(problem->key)) return;
        const auto node = nodes_.find(problem->key);
        if (node == nodes_.end()) throw PackError(source_ + ": " + problem->text);
        refuse(*node->second, source_, problem->text);
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
    // Where each named setting was given, for refusals that concern several settings.
    std::map<ConfigKey, const toml::node*> nodes_;
    std::set<ConfigKey> rawNamed_;
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
