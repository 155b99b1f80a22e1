// The file version a Windows executable carries in its version resource, read from its
// bytes: inspect uses it to say which template a configured executable was built from.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace karvo::pack {

// "MAJOR.MINOR.PATCH" (with ".BUILD" when that part is not 0) from the fixed part of the
// first version resource; nothing when the bytes hold no readable one. Works for 32-bit and
// 64-bit images; never reads outside the bytes.
std::optional<std::string> peFileVersion(const std::vector<std::uint8_t>& bytes);

}  // namespace karvo::pack
