#include "PackInspect.h"

#include <map>

#include "PackDescription.h"
#include "PackPathEntries.h"
#include "PackRules.h"
#include "PackValues.h"
#include "TomlText.h"
#include "WindowsText.h"
#include "jre/VersionOrder.h"
#include "support/TextLimits.h"

namespace karvo::pack {
namespace {

// The raw form { raw = [...] } that build reads back unit for unit.
template <typename Units>
std::string rawArray(const Units& units) {
    std::string out = "{ raw = [";
    std::size_t index = 0;
    for (auto unit : units) {
        if (index) out += index % 16 == 0 ? ",\n    " : ", ";
        out += std::to_string(static_cast<unsigned>(static_cast<std::make_unsigned_t<decltype(unit)>>(unit)));
        ++index;
    }
    return out + "] }";
}

std::string narrowText(const std::string& bytes) {
    if (bytes.find('\0') != std::string::npos) return rawArray(bytes);
    return tomlString(windows1252ToUtf8(bytes));
}

std::string wideText(const std::u16string& text) {
    const auto utf8 = utf16ToUtf8(text);
    if (!utf8 || text.find(u'\0') != std::u16string::npos) return rawArray(text);
    return tomlString(*utf8);
}

bool isCanonicalInteger(const std::string& text) {
    if (text.empty() || text.size() > 11) return false;
    try {
        std::size_t used = 0;
        const long long value = std::stoll(text, &used);
        return used == text.size() && value >= INT32_MIN && value <= INT32_MAX &&
               std::to_string(value) == text;
    } catch (const std::exception&) {
        return false;
    }
}

// A class path or search entry in the plain form people write, where one means the same.
std::string entryText(const std::string& entry, std::optional<PathList> list) {
    if (list) {
        if (const auto plain = plainEntry(*list, entry))
            return tomlString(windows1252ToUtf8(*plain));
    }
    return narrowText(entry);
}

std::string listValue(const std::string& bytes, char separator, std::optional<PathList> list) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    for (;;) {
        const auto end = bytes.find(separator, start);
        entries.push_back(bytes.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (entries.size() == 1) return "[" + entryText(entries[0], list) + "]";
    std::string out = "[\n";
    for (const auto& entry : entries) out += "    " + entryText(entry, list) + ",\n";
    return out + "]";
}

// The canonical form of a named 8-bit setting.
std::string namedValue(const ConfigKeyInfo& info, const std::string& bytes) {
    if (bytes.find('\0') != std::string::npos) return rawArray(bytes);
    if (info.kind == KeyKind::Flag && (bytes == "0" || bytes == "1"))
        return bytes == "1" ? "true" : "false";
    if (info.kind == KeyKind::Int && isCanonicalInteger(bytes)) return bytes;
    // build takes only numbers for these; any other text the block holds comes back raw.
    if (info.kind == KeyKind::Flag || info.kind == KeyKind::Int)
        return decimalInteger(bytes) ? narrowText(bytes) : rawArray(bytes);
    if (info.listSeparator && !bytes.empty()) {
        std::optional<PathList> list;
        if (info.number == Key::ClassPath) list = PathList::ClassPath;
        if (info.number == Key::SearchSequence) list = PathList::RuntimeSearch;
        return listValue(bytes, info.listSeparator, list);
    }
    return narrowText(bytes);
}

template <typename Entries>
bool strictlyAscending(const Entries& entries) {
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (entries[i - 1].first >= entries[i].first) return false;
    }
    return true;
}

bool isMessage(const ConfigKeyInfo& info) { return info.name.starts_with(MessagePrefix); }

std::string wideKeyLabel(ConfigKey key) {
    const auto* info = findConfigKey(key);
    if (info && info->kind == KeyKind::Wide) return std::string(info->name);
    return tomlKey(std::to_string(key));
}

class Printer {
public:
    Printer(const PackedConfiguration& config, const DescribeOptions& options)
        : config_(config),
          options_(options),
          tables_(buildConfigTables(config.block, std::nullopt)),
          combination_(combinationProblem(tables_.texts)) {}

    Description print() {
        checkLayout();
        out_ += "# Configuration of " + options_.executableName + ", as karvo-pack inspect reads it.\n";
        if (!options_.templateVersion.empty()) out_ += "# " + options_.templateVersion + "\n";
        if (options_.machine) out_ += "# " + launcherWidthLine(*options_.machine) + "\n";
        printTopLevel();
        printMessages();
        printRaw();
        printGroups();
        printIncludes();
        return {std::move(out_), std::move(warnings_)};
    }

private:
    void checkLayout() {
        bool ordered = strictlyAscending(config_.block.texts) &&
                       strictlyAscending(config_.block.wides);
        for (const auto& group : config_.block.groups)
            ordered = ordered && strictlyAscending(group.entries);
        if (!ordered) {
            warnings_.push_back("the block repeats keys or does not keep them in ascending order; "
                                "shown is what the launcher reads (a repeated key's last value), "
                                "and a rebuild stores the keys in order");
        }
        for (const auto& [key, value] : tables_.texts) {
            const auto* info = findConfigKey(key);
            const bool named = info && info->kind != KeyKind::Wide;
            if (value.size() > (named ? info->maxLength : MaxTextLength))
                tooLong(key, value.size(), named ? info->maxLength : MaxTextLength);
        }
        for (const auto& [key, value] : tables_.wides) {
            if (value.size() > MaxWideTextLength) tooLong(key, value.size(), MaxWideTextLength);
        }
        // Built by an older packer or another tool: the launcher still honours it, but a
        // rebuild would refuse it, as build refuses it from a description.
        if (const auto minimum = tables_.texts.find(Key::MinJavaVersion);
            minimum != tables_.texts.end() && !minimum->second.empty() &&
            compareVersions(minimum->second, OldestRuntimeClassesJava) < 0) {
            warnings_.push_back(
                "min_java_version is below " + std::string(OldestRuntimeClassesJava) +
                ", the oldest Java the runtime classes load on; it is printed in the raw "
                "form, which a rebuild takes as it is");
        }
        if (!config_.includedKeysCanonical) {
            warnings_.push_back("keys 2002 and 2003 do not list exactly the included files; "
                                "shown are the files the launcher extracts");
        }
        if (!config_.endMarkerFound) {
            warnings_.push_back("the block's length field does not lead to its end marker");
        } else if (config_.trailingDataSize > 0) {
            warnings_.push_back(std::to_string(config_.trailingDataSize) +
                                " bytes of further data follow the included files; a rebuild "
                                "leaves them out");
        }
    }

    void tooLong(ConfigKey key, std::size_t length, std::size_t limit) {
        warnings_.push_back("key " + std::to_string(key) + " holds " + std::to_string(length) +
                            " characters, more than the launcher accepts (" +
                            std::to_string(limit) + "); a rebuild refuses it");
    }

    // Whether the rebuild must take the block exactly as printed: it lacks a key build adds
    // by itself, or a setting build otherwise requires.
    bool needsExactBlock() const {
        for (const auto& info : configKeyTable()) {
            if (!info.packerDefault.empty() && !tables_.texts.count(info.number)) return true;
        }
        return missingSettingProblem(tables_.texts).has_value();
    }

    // A value build writes by itself when the description is silent: left out unless asked.
    bool isLeftOut(const ConfigKeyInfo& info, const std::string& value) const {
        return !options_.all && !exact_ && !info.packerDefault.empty() &&
               value == info.packerDefault;
    }

    void printTopLevel() {
        exact_ = needsExactBlock();
        std::vector<std::string> included;
        for (const auto& file : config_.files) included.push_back(file.name);
        if (exact_)
            out_ += std::string(WriteDefaultsSetting) + " = false\n";
        else if (!namesRuntimeJar(tables_.texts, included))
            out_ += std::string(AddRuntimeJarSetting) + " = false\n";
        for (const auto& info : configKeyTable()) {
            if (isMessage(info) || info.number == Key::IncludedFileCount ||
                info.number == Key::IncludedFileNames)
                continue;
            if (info.kind == KeyKind::Wide) {
                const auto found = tables_.wides.find(info.number);
                if (found != tables_.wides.end())
                    out_ += std::string(info.name) + " = " + wideText(found->second) + "\n";
            } else {
                const auto found = tables_.texts.find(info.number);
                if (found != tables_.texts.end() && !isLeftOut(info, found->second))
                    out_ +=
                        std::string(info.name) + " = " + checkedValue(info, found->second) + "\n";
            }
        }
    }

    // A value build would refuse in its plain form comes back in the raw form, which build
    // takes as it is, with the reason beside it.
    std::string checkedValue(const ConfigKeyInfo& info, const std::string& bytes) {
        auto problem = storedValueProblem(info.number, bytes);
        if (!problem && combination_ && combination_->key == info.number)
            problem = combination_->text;
        if (!problem) return namedValue(info, bytes);
        // A comment ends at a line end and may hold no other control character.
        for (char& c : *problem) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
        }
        return rawArray(bytes) + "  # as stored; " + *problem;
    }

    void printMessages() {
        std::string section;
        for (const auto& info : configKeyTable()) {
            const auto found = tables_.texts.find(info.number);
            if (!isMessage(info) || found == tables_.texts.end() || isLeftOut(info, found->second))
                continue;
            section += std::string(info.name.substr(MessagePrefix.size())) + " = " +
                       narrowText(found->second) + "\n";
        }
        if (!section.empty()) out_ += "\n[messages]\n" + section;
    }

    void printRaw() {
        std::string texts;
        for (const auto& [key, value] : tables_.texts) {
            const auto* info = findConfigKey(key);
            if (!info || info->kind == KeyKind::Wide)
                texts += tomlKey(std::to_string(key)) + " = " + narrowText(value) + "\n";
        }
        if (!texts.empty()) out_ += "\n[raw.text]\n" + texts;
        std::string wides;
        for (const auto& [key, value] : tables_.wides) {
            const auto* info = findConfigKey(key);
            if (!info || info->kind != KeyKind::Wide)
                wides += tomlKey(std::to_string(key)) + " = " + wideText(value) + "\n";
        }
        if (!wides.empty()) out_ += "\n[raw.wide]\n" + wides;
    }

    void printGroups() {
        for (const auto& group : config_.block.groups) {
            out_ += "\n[[localized]]\nlocale = " + narrowText(group.localePrefix) + "\n";
            std::map<ConfigKey, std::u16string> entries;
            for (const auto& [key, value] : group.entries) entries[key] = value;
            for (const auto& [key, value] : entries)
                out_ += wideKeyLabel(key) + " = " + wideText(value) + "\n";
        }
    }

    void printIncludes() {
        for (const auto& file : config_.files) {
            out_ += "\n[[include]]\nname = " + tomlString(windows1252ToUtf8(file.name)) + "\n";
            if (options_.extractDirectory) {
                out_ += "source = " +
                        tomlString(utf8FromPath(extractedPath(*options_.extractDirectory, file.name))) + "\n";
            } else {
                out_ += "# " + std::to_string(file.data.size()) +
                        " bytes; inspect with --extract DIR to write the file and name its source\n";
            }
        }
    }

    const PackedConfiguration& config_;
    const DescribeOptions& options_;
    ConfigTables tables_;
    std::optional<CombinationProblem> combination_;
    bool exact_ = false;
    std::string out_;
    std::vector<std::string> warnings_;
};

}  // namespace

std::string launcherWidthLine(const PeMachineInfo& machine) {
    if (const int bits = peMachineBits(machine)) {
        const std::string width = std::to_string(bits) + "-bit";
        return width + " launcher: it loads " + width + " Java runtimes only";
    }
    return "not a launcher of karvo's widths (" + describePeMachine(machine) + ")";
}

Description describeConfiguration(const PackedConfiguration& config,
                                  const DescribeOptions& options) {
    return Printer(config, options).print();
}

std::filesystem::path extractedPath(const std::filesystem::path& directory,
                                    const std::string& name) {
    std::filesystem::path path = directory;
    std::size_t start = 0;
    for (;;) {
        const auto end = name.find('\\', start);
        path /= pathFromUtf8(windows1252ToUtf8(name.substr(start, end == std::string::npos ? end : end - start)));
        if (end == std::string::npos) return path;
        start = end + 1;
    }
}

}  // namespace karvo::pack
