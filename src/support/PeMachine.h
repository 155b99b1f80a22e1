// The machine a Windows executable or library is built for, read from the first bytes of
// the file. Portable: the launcher uses it before loading a JVM library, the packer to say
// which width a template or configured executable has.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace karvo {

inline constexpr std::uint16_t PeMachineI386 = 0x014C;
inline constexpr std::uint16_t PeMachineAmd64 = 0x8664;
inline constexpr std::uint16_t PeMachineArm64 = 0xAA64;

// The headers must lie within this many leading bytes; a linker puts them in the first few
// hundred, so a file whose PE header lies further on is not treated as an image.
inline constexpr std::size_t PeHeaderReadSize = 4096;

struct PeMachineInfo {
    bool isPe = false;            // MZ header and PE signature where the MZ header points
    std::uint16_t machine = 0;    // the COFF header's machine field, when isPe
};

// Reads the machine from the leading bytes of a file (up to PeHeaderReadSize are looked at).
PeMachineInfo readPeMachine(std::span<const std::uint8_t> leadingBytes);

// 32 or 64 for the x86 machines, 0 for any other or for a file that is not an image.
int peMachineBits(const PeMachineInfo& info);

// "32-bit", "64-bit", "ARM64", "machine 0x01C4" or "not a Windows image", for log lines and
// the packer's output.
std::string describePeMachine(const PeMachineInfo& info);

}  // namespace karvo
