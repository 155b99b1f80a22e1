// A minimal PE image of 1,024 bytes whose last section ends at the end of the file, where a
// configuration block belongs. Enough for the block reader and the packer's template checks.
#pragma once
#include <cstdint>
#include <vector>

namespace karvo::test {

inline std::vector<std::uint8_t> fakePeImage() {
    std::vector<std::uint8_t> bytes(1024, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    auto put16 = [&](std::size_t at, std::uint16_t v) {
        bytes[at] = static_cast<std::uint8_t>(v);
        bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    bytes[0] = 'M';
    bytes[1] = 'Z';
    put32(60, 0x80);
    put32(0x80, 0x00004550);
    put16(0x80 + 6, 2);      // two sections
    put16(0x80 + 20, 0xE0);  // optional header size
    const std::size_t last = 0x80 + 24 + 0xE0 + 40;
    put32(last + 16, 0x200);  // raw data size
    put32(last + 20, 0x200);  // raw data offset
    return bytes;
}

}  // namespace karvo::test
