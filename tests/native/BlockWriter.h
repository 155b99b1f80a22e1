// Writes configuration block fields the way an independent writer following the layout
// would (little-endian, length-prefixed texts), so that tests check the reader and the
// packer's writer against the layout rather than against each other.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace karvo::test {

struct BlockWriter {
    std::vector<std::uint8_t> bytes;

    BlockWriter& u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    BlockWriter& u64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    BlockWriter& raw(std::initializer_list<std::uint8_t> list) {
        bytes.insert(bytes.end(), list);
        return *this;
    }
    // An 8-bit text: its length in bytes, then the bytes.
    BlockWriter& text(const std::string& s) {
        u32(static_cast<std::uint32_t>(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    // A table entry: the key, then the text.
    BlockWriter& text(std::uint32_t key, const std::string& s) { return u32(key).text(s); }
    // A UTF-16 text: its length in bytes, then the code units.
    BlockWriter& wide(const std::u16string& s) {
        u32(static_cast<std::uint32_t>(s.size() * 2));
        for (char16_t c : s) {
            bytes.push_back(static_cast<std::uint8_t>(c));
            bytes.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        return *this;
    }
};

}  // namespace karvo::test
