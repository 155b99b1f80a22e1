#include "support/TextConv.h"

#include <windows.h>

namespace karvo {

UINT fileApiCodePage() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

std::u16string toWide(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::u16string out(static_cast<std::size_t>(length), u'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, reinterpret_cast<wchar_t*>(out.data()),
                        length);
    return out;
}

std::string toNarrow(std::u16string_view text, UINT codePage, bool* usedDefault) {
    if (usedDefault) *usedDefault = false;
    if (text.empty()) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int size = static_cast<int>(text.size());
    // UTF-8 and UTF-7 accept no default character.
    const bool canReport = codePage != CP_UTF8 && codePage != CP_UTF7;
    const int length = WideCharToMultiByte(codePage, 0, wide, size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string out(static_cast<std::size_t>(length), '\0');
    BOOL defaulted = FALSE;
    WideCharToMultiByte(codePage, 0, wide, size, out.data(), length, canReport ? "?" : nullptr,
                        canReport ? &defaulted : nullptr);
    if (usedDefault) *usedDefault = defaulted != FALSE;
    return out;
}

}  // namespace karvo
