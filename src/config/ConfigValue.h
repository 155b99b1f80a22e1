// Conversions of stored configuration texts, shared by the launcher and the packer.
#pragma once
#include <string_view>

namespace karvo {

// A stored number: leading white space, an optional sign, decimal digits up to the first
// non-digit. No digits give 0; values beyond the 32-bit range are clamped.
int parseConfigInt(std::string_view text);

}  // namespace karvo
