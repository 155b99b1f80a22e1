// Splitting a fuzz input into the several texts a target needs. Fields are separated by the
// record separator byte (0x1E), so seed files stay readable text that anyone can write by
// hand, and every other byte (NUL included) can still reach the code under test.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace karvo::fuzz {

inline constexpr char FieldSeparator = '\x1e';

class FuzzFields {
public:
    FuzzFields(const std::uint8_t* data, std::size_t size) {
        const std::string_view all(reinterpret_cast<const char*>(data), size);
        std::size_t from = 0;
        for (;;) {
            const std::size_t end = all.find(FieldSeparator, from);
            if (end == std::string_view::npos) {
                fields_.emplace_back(all.substr(from));
                break;
            }
            fields_.emplace_back(all.substr(from, end - from));
            from = end + 1;
        }
    }

    // The next field, or "" once they are used up.
    std::string next() { return at_ < fields_.size() ? fields_[at_++] : std::string(); }

    // The first byte of the next field, as a small selector (0 when the field is empty).
    unsigned selector() {
        const std::string field = next();
        return field.empty() ? 0u : static_cast<unsigned char>(field[0]);
    }

    std::vector<std::string> rest() {
        std::vector<std::string> out;
        while (at_ < fields_.size()) out.push_back(fields_[at_++]);
        return out;
    }

private:
    std::vector<std::string> fields_;
    std::size_t at_ = 0;
};

// Little-endian pairs of bytes as UTF-16 code units; an odd last byte is dropped.
inline std::u16string utf16FromBytes(std::string_view bytes) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    return text;
}

// Each byte as the code unit of the same value (the Latin-1 reading).
inline std::u16string widened(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (char c : bytes) text.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return text;
}

// A broken property is a finding like a crash: say which one and abort, so libFuzzer keeps
// the input that shows it.
[[noreturn]] inline void propertyBroken(const char* what) {
    std::fprintf(stderr, "fuzz property broken: %s\n", what);
    std::abort();
}

#define KARVO_FUZZ_CHECK(condition)                                                   \
    do {                                                                              \
        if (!(condition)) ::karvo::fuzz::propertyBroken(#condition);                 \
    } while (false)

}  // namespace karvo::fuzz
