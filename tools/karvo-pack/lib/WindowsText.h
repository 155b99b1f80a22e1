// Text conversions of the packer: TOML is UTF-8, the block holds 8-bit texts in the
// Windows-1252 code page and wide texts in UTF-16. Every conversion is exact or refused,
// so that nothing turns into "?" on the way into an executable.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace karvo::pack {

// UTF-8 to Windows-1252. Returns nothing when a character has no Windows-1252 byte; then
// badCharacter (if given) names the first such character, for instance "U+0101".
std::optional<std::string> utf8ToWindows1252(std::string_view utf8,
                                             std::string* badCharacter = nullptr);

// Windows-1252 to UTF-8. Total: the five bytes that Windows-1252 leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same number, as Windows
// itself converts them, and are converted back the same way.
std::string windows1252ToUtf8(std::string_view bytes);

// UTF-8 to UTF-16 (characters beyond the basic plane become surrogate pairs).
// Returns nothing for text that is not valid UTF-8.
std::optional<std::u16string> utf8ToUtf16(std::string_view utf8);

// UTF-16 to UTF-8; nothing when the text holds a surrogate without its partner.
std::optional<std::string> utf16ToUtf8(std::u16string_view text);

}  // namespace karvo::pack

#include <filesystem>

namespace karvo::pack {

// Paths from and to UTF-8 texts, whatever the system's own narrow encoding is.
inline std::filesystem::path pathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string utf8FromPath(const std::filesystem::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace karvo::pack
