// File-system path operations shared by every part of the launcher. Paths are 8-bit
// texts in the file-API code page.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace karvo {

// A relative path gets the directory of baseFile (or, without one, of the executable) in
// front; an absolute one is kept. Doubled backslashes are collapsed; "." and ".." stay.
std::string resolvePath(std::string_view path, const std::string* baseFile = nullptr);

// The full, cleaned form: resolved against the executable's directory, "." and ".."
// removed, lower-cased unless keepCase, doubled backslashes collapsed.
std::string normalizePath(std::string_view path, bool keepCase);

// True for an existing file or directory; a drive root counts without a look-up.
bool pathExists(const std::string& path);

// True when the file exists; then also its last-write time (a FILETIME as 64 bits).
bool getFileWriteTime(const std::string& path, std::uint64_t* lastWriteTime);

// The long form of an existing path, or nothing.
std::optional<std::string> getLongPathName(const std::string& path);

// The executable's directory with its trailing backslash.
const std::string& executableDirectory();

}  // namespace karvo
