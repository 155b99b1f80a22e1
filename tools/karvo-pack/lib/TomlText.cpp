#include "TomlText.h"

#include <cstdint>
#include <cstdio>

namespace karvo::pack {
namespace {

// Control characters, including the C1 range that the undefined Windows-1252 bytes turn
// into: U+0080 to U+009F are the UTF-8 sequences C2 80 to C2 9F.
bool isControlAt(std::string_view text, std::size_t at) {
    const auto byte = static_cast<std::uint8_t>(text[at]);
    if (byte < 0x20 || byte == 0x7F) return true;
    return byte == 0xC2 && at + 1 < text.size() &&
           static_cast<std::uint8_t>(text[at + 1]) >= 0x80 &&
           static_cast<std::uint8_t>(text[at + 1]) <= 0x9F;
}

}  // namespace

std::string tomlString(std::string_view utf8) {
    bool literal = utf8.find('\'') == std::string_view::npos;
    for (std::size_t i = 0; literal && i < utf8.size(); ++i) literal = !isControlAt(utf8, i);
    if (literal) return "'" + std::string(utf8) + "'";

    std::string out = "\"";
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        switch (c) {
            case '"': out += "\\\""; continue;
            case '\\': out += "\\\\"; continue;
            case '\b': out += "\\b"; continue;
            case '\t': out += "\\t"; continue;
            case '\n': out += "\\n"; continue;
            case '\f': out += "\\f"; continue;
            case '\r': out += "\\r"; continue;
            default: break;
        }
        if (isControlAt(utf8, i)) {
            unsigned code = static_cast<std::uint8_t>(c);
            if (code == 0xC2) code = static_cast<std::uint8_t>(utf8[++i]);
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", code);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string tomlKey(std::string_view key) {
    bool bare = !key.empty();
    bool numeric = !key.empty();
    for (char c : key) {
        const bool digit = c >= '0' && c <= '9';
        bare = bare && (digit || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
                        c == '-');
        numeric = numeric && (digit || c == '-');
    }
    if (bare && !numeric) return std::string(key);
    return "\"" + std::string(key) + "\"";
}

}  // namespace karvo::pack
