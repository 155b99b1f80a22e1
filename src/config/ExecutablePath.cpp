#include "config/ExecutablePath.h"

#include <windows.h>

#include <vector>

#include "config/PathText.h"
#include "support/TextConv.h"
#include "support/TextLimits.h"

namespace karvo {
namespace {

using GetLongPathNameWFn = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);

bool endsWithExe(const std::string& path) {
    if (path.size() <= 3) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return tail == ".exe";
}

// A path the 8-bit file functions can open: no character may have become "?".
bool usable(const std::wstring& wide, std::string& out) {
    bool usedDefault = false;
    std::u16string text(wide.begin(), wide.end());
    std::string narrow = toNarrow(text, fileApiCodePage(), &usedDefault);
    if (usedDefault || narrow.size() > MaxTextLength || !endsWithExe(narrow)) return false;
    out = std::move(narrow);
    return true;
}

std::string computeExecutablePath() {
    std::string result;
    HMODULE kernel = LoadLibraryA("Kernel32.DLL");
    auto getLong = kernel ? reinterpret_cast<GetLongPathNameWFn>(
                                reinterpret_cast<void*>(GetProcAddress(kernel, "GetLongPathNameW")))
                          : nullptr;
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);

    std::vector<char> narrow(MaxTextLength + 1);
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT && getLong) {
        std::vector<wchar_t> module(MaxTextLength + 1), longForm(MaxTextLength + 1),
            shortForm(MaxTextLength + 1);
        GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
        getLong(module.data(), longForm.data(), static_cast<DWORD>(longForm.size()));
        if (!usable(longForm.data(), result)) {
            GetShortPathNameW(longForm.data(), shortForm.data(), static_cast<DWORD>(shortForm.size()));
            if (!usable(shortForm.data(), result)) {
                GetModuleFileNameA(nullptr, narrow.data(), static_cast<DWORD>(narrow.size()));
                std::vector<char> shortNarrow(MaxTextLength + 1);
                GetShortPathNameA(narrow.data(), shortNarrow.data(),
                                  static_cast<DWORD>(shortNarrow.size()));
                result = shortNarrow.data();
            }
        }
    } else {
        GetModuleFileNameA(nullptr, narrow.data(), static_cast<DWORD>(narrow.size()));
        result = narrow.data();
    }

    // Doubled backslashes are collapsed in UTF-16, where a backslash byte can never be the
    // second half of a double-byte character; the result is kept only if it converts back.
    const UINT codePage = fileApiCodePage();
    const std::u16string wide = toWide(result, codePage);
    bool usedDefault = false;
    std::string collapsed =
        toNarrow(collapseDoubledBackslashes<char16_t>(wide), codePage, &usedDefault);
    if (!usedDefault) result = std::move(collapsed);
    return result;
}

}  // namespace

const std::string& getExecutablePath() {
    static const std::string path = computeExecutablePath();
    return path;
}

}  // namespace karvo
