// The width this launcher is built for, 32 or 64 bits. Both builds come from the same
// sources; every text and check that depends on the width takes it from here, so the two
// builds cannot drift apart.
#pragma once
#include <cstdint>
#include <string_view>

#include "support/PeMachine.h"

namespace karvo {

inline constexpr int LauncherBits = static_cast<int>(sizeof(void*) * 8);
static_assert(LauncherBits == 32 || LauncherBits == 64, "the launcher is built for x86 or x86_64");

// The bit width as message placeholders take it.
inline constexpr std::string_view LauncherBitsText = LauncherBits == 64 ? "64" : "32";

// The only machine whose libraries this process can load.
inline constexpr std::uint16_t LauncherMachine = LauncherBits == 64 ? PeMachineAmd64 : PeMachineI386;

}  // namespace karvo
