#include "support/PeMachine.h"

#include <algorithm>
#include <cstdio>

namespace karvo {
namespace {

constexpr std::size_t MzPeOffsetField = 60;

std::uint32_t u32At(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

}  // namespace

PeMachineInfo readPeMachine(std::span<const std::uint8_t> leadingBytes) {
    const auto bytes = leadingBytes.first(std::min(leadingBytes.size(), PeHeaderReadSize));
    PeMachineInfo info;
    if (bytes.size() < MzPeOffsetField + 4 || bytes[0] != 'M' || bytes[1] != 'Z') return info;
    const std::size_t peOffset = u32At(bytes, MzPeOffsetField);
    // The signature (4 bytes) and the machine field (2 bytes) must both be there.
    if (peOffset > bytes.size() || bytes.size() - peOffset < 6) return info;
    if (bytes[peOffset] != 'P' || bytes[peOffset + 1] != 'E' || bytes[peOffset + 2] != 0 ||
        bytes[peOffset + 3] != 0)
        return info;
    info.isPe = true;
    info.machine = static_cast<std::uint16_t>(bytes[peOffset + 4] | bytes[peOffset + 5] << 8);
    return info;
}

int peMachineBits(const PeMachineInfo& info) {
    if (!info.isPe) return 0;
    if (info.machine == PeMachineI386) return 32;
    if (info.machine == PeMachineAmd64) return 64;
    return 0;
}

std::string describePeMachine(const PeMachineInfo& info) {
    if (!info.isPe) return "not a Windows image";
    if (const int bits = peMachineBits(info)) return std::to_string(bits) + "-bit";
    if (info.machine == PeMachineArm64) return "ARM64";
    char text[24];
    std::snprintf(text, sizeof text, "machine 0x%04X", static_cast<unsigned>(info.machine));
    return text;
}

}  // namespace karvo
