#include "PackValues.h"

#include <cstdint>
#include <limits>
#include <vector>

#include "PackDescription.h"
#include "WindowsText.h"

namespace karvo::pack {
namespace {

[[noreturn]] void refuse(const toml::node& node, const std::string& sourceName,
                         const std::string& text) {
    throw PackError(where(node, sourceName) + text);
}

void checkLength(const toml::node& node, const std::string& sourceName, const std::string& label,
                 std::size_t length, std::size_t maxLength, const char* unit) {
    if (length > maxLength) {
        refuse(node, sourceName,
               label + " is " + std::to_string(length) + " " + unit +
                   " long; the launcher accepts at most " + std::to_string(maxLength));
    }
}

// A NUL ends a text inside the launcher, so everything after it would be lost silently.
void checkNoNul(const toml::node& node, const std::string& sourceName, const std::string& label,
                bool hasNul) {
    if (hasNul) {
        refuse(node, sourceName,
               label + " contains a NUL character, which would cut the text short");
    }
}

std::string convertString(const toml::node& node, const std::string& label,
                          const std::string& sourceName) {
    const std::string& utf8 = node.as_string()->get();
    std::string bad;
    auto bytes = utf8ToWindows1252(utf8, &bad);
    if (!bytes) {
        refuse(node, sourceName,
               label + " contains " + bad +
                   ", which the Windows-1252 code page of 8-bit texts cannot hold");
    }
    checkNoNul(node, sourceName, label, bytes->find('\0') != std::string::npos);
    return *bytes;
}

std::int64_t integerOf(const toml::node& node) { return node.as_integer()->get(); }

// Raw code units given as an array of integers: the escape hatch for texts that no TOML
// string can express (a NUL, a lone UTF-16 surrogate), so that every block can be rebuilt.
std::vector<std::uint16_t> rawUnits(const toml::array& array, std::int64_t largest,
                                    const std::string& label, const std::string& sourceName) {
    std::vector<std::uint16_t> units;
    for (const auto& element : array) {
        const auto value = integerOf(element);
        if (value < 0 || value > largest) {
            refuse(element, sourceName,
                   label + ": raw value " + std::to_string(value) + " is out of range 0 to " +
                       std::to_string(largest));
        }
        units.push_back(static_cast<std::uint16_t>(value));
    }
    return units;
}

enum class ArrayShape { Empty, Strings, Integers, Mixed };

ArrayShape shapeOf(const toml::array& array) {
    if (array.empty()) return ArrayShape::Empty;
    if (array.is_homogeneous(toml::node_type::string)) return ArrayShape::Strings;
    if (array.is_homogeneous(toml::node_type::integer)) return ArrayShape::Integers;
    return ArrayShape::Mixed;
}

std::string joinList(const toml::array& array, const ValueRules& rules,
                     const std::string& sourceName) {
    std::string joined;
    std::size_t index = 0;
    for (const auto& element : array) {
        ++index;
        const std::string label = rules.label + " entry " + std::to_string(index);
        std::string entry = convertString(element, label, sourceName);
        if (entry.find(rules.listSeparator) != std::string::npos) {
            refuse(element, sourceName,
                   label + " contains the list separator '" + std::string(1, rules.listSeparator) +
                       "'; give each entry as its own array element");
        }
        if (index > 1) joined += rules.listSeparator;
        joined += entry;
    }
    return joined;
}

std::string textValue(const toml::node& node, const ValueRules& rules,
                      const std::string& sourceName) {
    if (node.is_string()) return convertString(node, rules.label, sourceName);
    if (const auto* array = node.as_array()) {
        switch (shapeOf(*array)) {
            case ArrayShape::Empty: return {};
            case ArrayShape::Strings:
                if (rules.listSeparator) return joinList(*array, rules, sourceName);
                refuse(node, sourceName,
                       rules.label + " is not a list; give it as one string");
            case ArrayShape::Integers: {
                std::string bytes;
                for (auto unit : rawUnits(*array, 0xFF, rules.label, sourceName))
                    bytes += static_cast<char>(unit);
                return bytes;
            }
            case ArrayShape::Mixed: break;
        }
        refuse(node, sourceName,
               rules.label + ": an array must hold only strings (list entries) or only integers "
                             "(raw bytes)");
    }
    refuse(node, sourceName,
           rules.label + (rules.listSeparator ? " must be a string or an array of strings"
                                              : " must be a string"));
}

std::string numberText(const toml::node& node, const ValueRules& rules,
                       const std::string& sourceName) {
    const auto value = integerOf(node);
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        refuse(node, sourceName,
               rules.label + " = " + std::to_string(value) +
                   " does not fit the launcher's 32-bit integers");
    }
    return std::to_string(value);
}

}  // namespace

std::string where(const toml::node& node, const std::string& sourceName) {
    const auto& begin = node.source().begin;
    if (!begin.line) return sourceName + ": ";
    return sourceName + ":" + std::to_string(begin.line) + ": ";
}

ValueRules rulesFor(const ConfigKeyInfo& info, std::string label) {
    return ValueRules{std::move(label), info.kind, info.maxLength, info.listSeparator};
}

std::string narrowValue(const toml::node& node, const ValueRules& rules,
                        const std::string& sourceName) {
    std::string text;
    if (rules.kind == KeyKind::Flag && node.is_boolean()) {
        text = node.as_boolean()->get() ? "1" : "0";
    } else if ((rules.kind == KeyKind::Flag || rules.kind == KeyKind::Int) && node.is_integer()) {
        text = numberText(node, rules, sourceName);
    } else if (rules.kind == KeyKind::Flag && !node.is_string()) {
        refuse(node, sourceName, rules.label + " must be true or false (or an integer or string)");
    } else if (rules.kind == KeyKind::Int && !node.is_string()) {
        refuse(node, sourceName, rules.label + " must be an integer (or a string)");
    } else {
        text = textValue(node, rules, sourceName);
    }
    checkLength(node, sourceName, rules.label, text.size(), rules.maxLength, "characters");
    return text;
}

std::u16string wideValue(const toml::node& node, const ValueRules& rules,
                         const std::string& sourceName) {
    std::u16string text;
    if (node.is_string()) {
        // toml++ has checked the UTF-8 already; a failure here would be a parser fault.
        auto wide = utf8ToUtf16(node.as_string()->get());
        if (!wide) refuse(node, sourceName, rules.label + " is not valid UTF-8");
        checkNoNul(node, sourceName, rules.label, wide->find(u'\0') != std::u16string::npos);
        text = std::move(*wide);
    } else if (const auto* array = node.as_array();
               array && (array->empty() || shapeOf(*array) == ArrayShape::Integers)) {
        for (auto unit : rawUnits(*array, 0xFFFF, rules.label, sourceName))
            text += static_cast<char16_t>(unit);
    } else {
        refuse(node, sourceName, rules.label + " must be a string");
    }
    checkLength(node, sourceName, rules.label, text.size(), rules.maxLength, "UTF-16 units");
    return text;
}

std::string narrowString(const toml::node& node, const std::string& label, std::size_t maxLength,
                         const std::string& sourceName) {
    if (!node.is_string()) refuse(node, sourceName, label + " must be a string");
    std::string text = convertString(node, label, sourceName);
    checkLength(node, sourceName, label, text.size(), maxLength, "characters");
    return text;
}

}  // namespace karvo::pack
