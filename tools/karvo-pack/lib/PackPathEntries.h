// The entries of the class path and of the runtime search: each stored as a kind letter
// (and, on the class path, a digit for mandatory) before its argument. People write paths,
// so a description may give either form, and these rules tell them apart:
//
// Class path: an entry that begins with an upper-case letter followed by a digit is a code;
// its letter must be S, D, A or E and its digit 0 or 1. Anything else is a plain path, and
// mandatory: `%NAME%` is the variable NAME (E1), `DIR\*.jar` the archives of DIR (S1), a
// path ending in `\` or `/` a directory (D1), any other path an archive (A1).
//
// Runtime search: the word `registry` is the registry (Y) and `%NAME%` the variable NAME
// (E). An entry that is one upper-case letter, or an upper-case letter followed by anything
// but a lower-case letter or `:`, is a code; its letter must be A, B, R, E, S or Y. Anything
// else is a directory: relative to the executable (B) unless it begins with a drive, `\`,
// `/`, `%` or `$` (A).
//
// In plain paths `/` becomes `\`. No entry may hold a control character.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace karvo::pack {

enum class PathList { ClassPath, RuntimeSearch };

struct CodedEntry {
    std::string text;     // the stored entry (Windows-1252 bytes); empty when refused
    std::string problem;  // why the entry cannot be used; empty when it can
};

// The stored form of one entry as written in a description.
CodedEntry codedEntry(PathList list, std::string_view written);

// The plain form that codedEntry turns back into exactly `stored`, where one exists.
std::optional<std::string> plainEntry(PathList list, std::string_view stored);

// Why a stored list (entries joined with ';') could not be written back entry by entry:
// an entry that is neither a code nor has a plain form, or holds a control character.
std::optional<std::string> storedListProblem(PathList list, std::string_view stored);

}  // namespace karvo::pack
