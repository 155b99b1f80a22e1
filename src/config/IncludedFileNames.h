// The names under which included files are extracted, checked before anything is written.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace karvo {

// The names of the list, in order, up to the first empty one and at most count of them.
std::vector<std::string> includedFileNames(std::string_view list, int count);

// A name stays inside the extraction directory: not absolute, no drive letter, no leading
// separator and no ".." step (either slash counts as a separator, as it does for the system).
bool isSafeIncludedName(std::string_view name);

// A path step that Windows opens as a device whatever directory it stands in: CON, PRN,
// AUX, NUL, COM1 to COM9 and LPT1 to LPT9, in any case, alone or with an extension (and
// with blanks before the extension, which the system drops).
bool isReservedDeviceName(std::string_view step);

// Some step of the name (either slash separates) is a device name: writing there would
// hand the data to the device and count it as extracted.
bool namesDevice(std::string_view name);

// The index of the first name that is the same file as an earlier one for the system:
// ASCII letters in either case, either slash, trailing dots and blanks of a step dropped.
// The caller upper-cases letters beyond ASCII the way its code page does.
std::optional<std::size_t> firstRepeatedIncludedName(const std::vector<std::string>& names);

// The directory to create before a name's file: its part before the first backslash, or
// nothing when the name has no backslash.
std::string includedNameDirectory(std::string_view name);

}  // namespace karvo
