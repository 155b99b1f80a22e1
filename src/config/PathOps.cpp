#include "config/PathOps.h"

#include <windows.h>
// The shell header needs the Windows types first.
#include <shlobj.h>

#include <vector>

#include "config/ExecutablePath.h"
#include "config/LauncherConfig.h"
#include "config/PathText.h"
#include "support/TextConv.h"
#include "support/SystemLibrary.h"
#include "support/TextLimits.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

std::string collapse(const std::string& path) {
    const UINT codePage = fileApiCodePage();
    bool usedDefault = false;
    std::string out = toNarrow(collapseDoubledBackslashes<char16_t>(toWide(path, codePage)),
                               codePage, &usedDefault);
    return usedDefault ? path : out;
}

std::string fullPathName(const std::string& path) {
    std::vector<char> buffer(MaxTextLength + 1);
    const DWORD length =
        GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) return path;
    return std::string(buffer.data(), length);
}

std::string lowerCase(const std::string& path) {
    const UINT codePage = fileApiCodePage();
    std::u16string wide = toWide(path, codePage);
    if (wide.empty()) return path;
    // What the window library's CharLowerBuffW does, without loading that library: the
    // user's language decides the lower case.
    const int length = static_cast<int>(wide.size());
    LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_LOWERCASE, reinterpret_cast<wchar_t*>(wide.data()),
                 length, reinterpret_cast<wchar_t*>(wide.data()), length);
    bool usedDefault = false;
    std::string out = toNarrow(wide, codePage, &usedDefault);
    return usedDefault ? path : out;
}

// The shell's equivalent of GetLongPathNameA, for systems that do not implement it.
std::optional<std::string> shellLongPathName(const std::string& path) {
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) {
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return std::nullopt;
    }
    using GetDesktopFolderFn = HRESULT(WINAPI*)(IShellFolder**);
    using GetPathFromIDListFn = BOOL(WINAPI*)(PCIDLIST_ABSOLUTE, LPSTR);
    using GetMallocFn = HRESULT(WINAPI*)(IMalloc**);
    static const auto getDesktopFolder =
        systemFunction<GetDesktopFolderFn>("shell32.dll", "SHGetDesktopFolder");
    static const auto getPathFromIDList =
        systemFunction<GetPathFromIDListFn>("shell32.dll", "SHGetPathFromIDListA");
    static const auto getMalloc = systemFunction<GetMallocFn>("shell32.dll", "SHGetMalloc");
    if (!getDesktopFolder || !getPathFromIDList || !getMalloc) return std::nullopt;
    IShellFolder* desktop = nullptr;
    if (FAILED(getDesktopFolder(&desktop))) return std::nullopt;
    std::u16string wide = toWide(full, fileApiCodePage());
    LPITEMIDLIST item = nullptr;
    std::optional<std::string> result;
    if (SUCCEEDED(desktop->ParseDisplayName(
            nullptr, nullptr, reinterpret_cast<wchar_t*>(wide.data()), nullptr, &item, nullptr))) {
        char longPath[MAX_PATH];
        if (getPathFromIDList(item, longPath)) result = longPath;
        IMalloc* allocator = nullptr;
        if (SUCCEEDED(getMalloc(&allocator))) {
            allocator->Free(item);
            allocator->Release();
        }
    }
    desktop->Release();
    return result;
}

using GetLongPathNameAFn = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);

}  // namespace

const std::string& executableDirectory() {
    static const std::string directory(directoryOf(getExecutablePath()));
    return directory;
}

std::string resolvePath(std::string_view path, const std::string* baseFile) {
    if (isAbsolutePath(path)) return collapse(std::string(path));
    std::string prefix;
    if (baseFile) {
        prefix = std::string(directoryOf(fullPathName(*baseFile)));
    } else {
        prefix = executableDirectory();
    }
    return collapse(prefix + std::string(path));
}

std::string normalizePath(std::string_view path, bool keepCase) {
    std::string full = fullPathName(resolvePath(path));
    if (!keepCase) full = lowerCase(full);
    return collapse(full);
}

bool pathExists(const std::string& path) {
    if (path.size() >= 2) {
        const std::string_view rest = std::string_view(path).substr(1);
        if (rest == ":\\" || rest == ":\\." || rest == ":\\.\\.") return true;
    }
    return getFileWriteTime(path, nullptr);
}

bool getFileWriteTime(const std::string& path, std::uint64_t* lastWriteTime) {
    // The system finds no directory spelled with a trailing backslash ("C:\\lib\\"), though
    // users write them that way; the look-up goes without it. A drive root keeps it.
    std::string lookup = path;
    if (lookup.size() > 3 && lookup.back() == '\\' && lookup[lookup.size() - 2] != ':' &&
        lookup[lookup.size() - 2] != '\\') {
        lookup.pop_back();
    }
    WIN32_FIND_DATAA data;
    UniqueFind find(FindFirstFileA(lookup.c_str(), &data));
    if (!find) return false;
    if (lastWriteTime) {
        *lastWriteTime = std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32 |
                         data.ftLastWriteTime.dwLowDateTime;
    }
    return true;
}

std::optional<std::string> getLongPathName(const std::string& path) {
    // Looked up once; a system that has the function but does not implement it (error 120)
    // gets the shell's equivalent from then on.
    static GetLongPathNameAFn getLong = reinterpret_cast<GetLongPathNameAFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("KERNEL32"), "GetLongPathNameA")));
    if (getLong) {
        std::vector<char> buffer(MaxTextLength + 1);
        const DWORD length =
            getLong(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0 && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
            getLong = nullptr;
        } else {
            if (length == 0 || length >= buffer.size()) return std::nullopt;
            return std::string(buffer.data(), length);
        }
    }
    return shellLongPathName(path);
}

}  // namespace karvo
