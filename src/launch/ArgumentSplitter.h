// The launcher's argument splitting: only blanks separate; double and single quotes group
// and are removed; there is no escape character.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace karvo {

// Nothing when a quote has no closing partner.
std::optional<std::vector<std::u16string>> trySplitArguments(std::u16string_view text);

// The launcher's entry points (Win32): an unclosed quote ends the process with message 1007.
std::vector<std::u16string> splitArguments(std::u16string_view text);
std::vector<std::string> splitArgumentsAnsi(const std::string& text);

}  // namespace karvo
