// Code page conversions between 8-bit texts and UTF-16.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace karvo {

// The code page in which the "A" file functions read 8-bit paths.
UINT fileApiCodePage();

std::u16string toWide(std::string_view text, UINT codePage);
// usedDefault (optional) reports whether a character had no equivalent and became "?".
std::string toNarrow(std::u16string_view text, UINT codePage, bool* usedDefault = nullptr);

inline const wchar_t* wideChars(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline std::u16string fromWideChars(const wchar_t* text) {
    return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

}  // namespace karvo
