// Functions of system libraries that an ordinary run never calls (the message box, the
// shell's path look-up), found when first needed. Importing them would load those
// libraries, and everything they initialise, into every process: under Wine that alone
// costs more than the rest of the Java host's start.
#pragma once
#include <windows.h>

#include <string>

namespace karvo {

// The function, or null when the library or the function is missing. The library is taken
// from the system directory only and stays loaded.
template <typename Function>
Function systemFunction(const char* library, const char* name) {
    char directory[MAX_PATH + 1];
    const UINT length = GetSystemDirectoryA(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory) return nullptr;
    const std::string path = std::string(directory, length) + "\\" + library;
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace karvo
