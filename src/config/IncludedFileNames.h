// The names under which included files are extracted, checked before anything is written.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace karvo {

// The names of the list, in order, up to the first empty one and at most count of them.
std::vector<std::string> includedFileNames(std::string_view list, int count);

// A name stays inside the extraction directory: not absolute, no drive letter, no leading
// separator and no ".." step (either slash counts as a separator, as it does for the system).
bool isSafeIncludedName(std::string_view name);

// The directory to create before a name's file: its part before the first backslash, or
// nothing when the name has no backslash.
std::string includedNameDirectory(std::string_view name);

}  // namespace karvo
