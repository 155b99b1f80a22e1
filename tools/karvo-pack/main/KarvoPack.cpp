// karvo-pack: makes configured executables from the launcher template and reads them back.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "PackCommands.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

// The packer works in UTF-8 throughout; on Windows the narrow argv is in the ANSI code page,
// which would mangle any other character of a path, so the arguments come from the wide
// command line.
static std::vector<std::string> commandArguments(int, char**) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide && i < count; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(size > 0 ? static_cast<std::size_t>(size - 1) : 0, '\0');
        if (size > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), size, nullptr, nullptr);
        arguments.push_back(std::move(text));
    }
    LocalFree(wide);
    return arguments;
}

static std::filesystem::path packerDirectory() {
    std::vector<wchar_t> buffer(32768);
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) return {};
    return std::filesystem::path(std::wstring(buffer.data(), length)).parent_path();
}
#else
static std::filesystem::path packerDirectory() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
}

static std::vector<std::string> commandArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}
#endif

int main(int argc, char** argv) {
    return karvo::pack::runPacker(commandArguments(argc, argv), std::cout, std::cerr,
                                  packerDirectory());
}
