#include "PackValues.h"

#include <cstdint>
#include <limits>
#include <vector>

#include "PackDescription.h"
#include "TomlText.h"
#include "WindowsText.h"

namespace karvo::pack {
namespace {

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

// main_class = [1, 2] is far more likely a slip than a wish for control characters, so a
// bare array of numbers is refused and exact units have to be asked for by name.
[[noreturn]] void refuseBareRawArray(const toml::node& node, const ValueRules& rules,
                                     const std::string& sourceName) {
    refuse(node, sourceName,
           rules.label + " is an array of numbers; give a text as a string, or exact " +
               (rules.kind == KeyKind::Wide ? "UTF-16 units" : "bytes") +
               " in the raw form { raw = [...] }");
}

// The raw form { raw = [n, ...] }: the units of the text exactly, for texts no TOML string
// can express (a NUL, a lone UTF-16 surrogate, a number that is not one), so that every
// block can be rebuilt. Nothing when the value is not a table.
const toml::array* rawForm(const toml::node& node, const ValueRules& rules,
                           const std::string& sourceName) {
    const auto* table = node.as_table();
    if (!table) return nullptr;
    const auto* raw = table->get("raw");
    if (!raw || table->size() != 1) {
        refuse(node, sourceName,
               rules.label + ": a table as a value is the raw form and holds only raw = [...]");
    }
    const auto* array = raw->as_array();
    if (!array || !(array->empty() || shapeOf(*array) == ArrayShape::Integers))
        refuse(*raw, sourceName, rules.label + ": raw must be an array of integers");
    return array;
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
            case ArrayShape::Empty:
            case ArrayShape::Strings:
                if (rules.listSeparator) return joinList(*array, rules, sourceName);
                refuse(node, sourceName,
                       rules.label + " is not a list; give it as one string");
            case ArrayShape::Integers: refuseBareRawArray(node, rules, sourceName);
            case ArrayShape::Mixed: break;
        }
        refuse(node, sourceName,
               rules.label + ": an array must hold only strings (list entries)");
    }
    refuse(node, sourceName,
           rules.label + (rules.listSeparator ? " must be a string or an array of strings"
                                              : " must be a string"));
}

// The forms a flag or integer setting accepts, for the refusal of any other.
std::string acceptedNumberForms(const ValueRules& rules) {
    if (rules.unit != ValueUnit::None) {
        return "a whole number of " + std::string(unitName(rules.unit)) +
               ", or a duration with its unit: ms, s, m or h (such as \"500ms\", \"30s\", "
               "\"5m\", \"1h\"), that is a whole number of " +
               std::string(unitName(rules.unit));
    }
    return rules.kind == KeyKind::Flag
               ? "true, false, an integer or a string holding a decimal integer (such as \"1\")"
               : "an integer or a string holding a decimal integer (such as \"4\")";
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

void refuse(const toml::node& node, const std::string& sourceName, const std::string& text) {
    throw PackError(where(node, sourceName) + text);
}

const toml::table& tableOf(const toml::node& node, const std::string& label,
                           const std::string& sourceName) {
    if (!node.is_table()) refuse(node, sourceName, label + " must be a table");
    return *node.as_table();
}

ValueRules rulesFor(const ConfigKeyInfo& info, std::string label) {
    const IntegerBounds* bounds = findIntegerBounds(info.number);
    const bool duration =
        bounds && (bounds->unit == ValueUnit::Milliseconds || bounds->unit == ValueUnit::Seconds);
    return ValueRules{std::move(label), info.kind, info.maxLength, info.listSeparator,
                      duration ? bounds->unit : ValueUnit::None};
}

std::string narrowValue(const toml::node& node, const ValueRules& rules,
                        const std::string& sourceName) {
    const bool numeric = rules.kind == KeyKind::Flag || rules.kind == KeyKind::Int;
    std::string text;
    if (const auto* raw = rawForm(node, rules, sourceName)) {
        for (auto unit : rawUnits(*raw, 0xFF, rules.label, sourceName))
            text += static_cast<char>(unit);
    } else if (rules.kind == KeyKind::Flag && node.is_boolean()) {
        text = node.as_boolean()->get() ? "1" : "0";
    } else if (numeric && node.is_integer()) {
        text = numberText(node, rules, sourceName);
    } else if (numeric) {
        // The launcher reads a word such as "on" as 0: refuse it rather than store a
        // setting that silently means off.
        if (!node.is_string())
            refuse(node, sourceName, rules.label + " must be " + acceptedNumberForms(rules));
        text = convertString(node, rules.label, sourceName);
        if (const auto duration = durationIn(text, rules.unit);
            duration && *duration <= std::numeric_limits<std::int32_t>::max()) {
            text = std::to_string(*duration);
        } else if (!decimalInteger(text)) {
            refuse(node, sourceName,
                   rules.label + " = " + tomlString(node.as_string()->get()) +
                       " is not a number; it must be " + acceptedNumberForms(rules));
        }
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
    } else if (const auto* raw = rawForm(node, rules, sourceName)) {
        for (auto unit : rawUnits(*raw, 0xFFFF, rules.label, sourceName))
            text += static_cast<char16_t>(unit);
    } else if (const auto* array = node.as_array();
               array && !array->empty() && shapeOf(*array) == ArrayShape::Integers) {
        refuseBareRawArray(node, rules, sourceName);
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
