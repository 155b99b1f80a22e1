// Turning one TOML value into the text the block stores for a setting, with every check
// the launcher's limits call for. Throws PackError with the value's file position.
#pragma once
#include <string>
#include <string_view>

#include "TomlLibrary.h"

#include "config/ConfigKeys.h"
#include "config/SettingBounds.h"

namespace karvo::pack {

// How a value is read: the kind and limits of its key, and the name the user wrote.
struct ValueRules {
    std::string label;        // "main_class", "message 'title'", "raw text key 108", ...
    KeyKind kind = KeyKind::Text;
    std::size_t maxLength = 0;
    char listSeparator = '\0';
    ValueUnit unit = ValueUnit::None;  // a duration's unit: a string may then carry its own
};

ValueRules rulesFor(const ConfigKeyInfo& info, std::string label);

// The 8-bit text of a text, flag or int setting (Windows-1252 bytes).
std::string narrowValue(const toml::node& value, const ValueRules& rules,
                        const std::string& sourceName);
// The UTF-16 text of a wide setting.
std::u16string wideValue(const toml::node& value, const ValueRules& rules,
                         const std::string& sourceName);

// A plain string (such as a locale or an included file's name) as Windows-1252.
std::string narrowString(const toml::node& value, const std::string& label, std::size_t maxLength,
                         const std::string& sourceName);

// "file:line: " for messages about a node.
std::string where(const toml::node& node, const std::string& sourceName);
// Throws PackError with the node's position in front of the text.
[[noreturn]] void refuse(const toml::node& node, const std::string& sourceName,
                         const std::string& text);
// The node as a table, or a refusal naming what was expected ("[messages]", ...).
const toml::table& tableOf(const toml::node& node, const std::string& label,
                           const std::string& sourceName);

}  // namespace karvo::pack
