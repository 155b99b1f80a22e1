// Maps a Windows locale identifier to the locale code that selects localized texts.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace karvo {

// Exact identifier first, then its primary language (identifier & 0x3FF); nothing when
// neither is known.
std::optional<std::string_view> localeCodeFor(std::uint16_t lcid);

}  // namespace karvo
