// Writing TOML by hand: the packer's inspect output has one canonical form, so it chooses
// every quote and escape itself instead of leaving them to a serializer.
#pragma once
#include <string>
#include <string_view>

namespace karvo::pack {

// A UTF-8 text as a TOML string: a literal string ('...') when the text has no quote and
// no control character, so Windows paths keep single backslashes; else a basic string
// with escapes.
std::string tomlString(std::string_view utf8);

// A key: bare when it is made of letters, digits, '_' and '-' and is not a number; numbers
// are quoted so that they read as raw key numbers.
std::string tomlKey(std::string_view key);

}  // namespace karvo::pack
