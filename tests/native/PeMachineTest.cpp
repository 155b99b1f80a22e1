// Reading the machine of a Windows image from its leading bytes: the launcher skips JVM
// libraries of the other width with it, so a wrong answer either loads a library that
// cannot work or skips one that would.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "FakePeImage.h"
#include "support/PeMachine.h"

using namespace karvo;

namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The fake image has its PE signature at 0x80; the machine field follows it.
Bytes imageFor(std::uint16_t machine) {
    Bytes bytes = karvo::test::fakePeImage();
    put16(bytes, 0x84, machine);
    return bytes;
}

// An image whose headers sit at peOffset in a file of the given size.
Bytes imageAt(std::size_t peOffset, std::size_t size, std::uint16_t machine) {
    Bytes bytes(size, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    put32(bytes, 60, static_cast<std::uint32_t>(peOffset));
    if (peOffset + 6 <= size) {
        bytes[peOffset] = 'P';
        bytes[peOffset + 1] = 'E';
        put16(bytes, peOffset + 4, machine);
    }
    return bytes;
}

struct MachineCase {
    const char* name;
    std::function<Bytes()> bytes;
    bool isPe;
    int bits;
    const char* description;
};

void PrintTo(const MachineCase& c, std::ostream* out) { *out << c.name; }

class PeMachineTable : public testing::TestWithParam<MachineCase> {};

TEST_P(PeMachineTable, ReadsWhatTheHeadersSay) {
    const MachineCase& c = GetParam();
    const Bytes bytes = c.bytes();
    const PeMachineInfo info = readPeMachine(bytes);
    EXPECT_EQ(info.isPe, c.isPe);
    EXPECT_EQ(peMachineBits(info), c.bits);
    EXPECT_EQ(describePeMachine(info), c.description);
}

INSTANTIATE_TEST_SUITE_P(
    Images, PeMachineTable,
    testing::Values(
        MachineCase{"I386IsThirtyTwoBit", [] { return imageFor(PeMachineI386); }, true, 32, "32-bit"},
        MachineCase{"Amd64IsSixtyFourBit", [] { return imageFor(PeMachineAmd64); }, true, 64, "64-bit"},
        MachineCase{"Arm64HasNoX86Width", [] { return imageFor(PeMachineArm64); }, true, 0, "ARM64"},
        MachineCase{"OtherMachineIsNamedByNumber", [] { return imageFor(0x01C4); }, true, 0,
                    "machine 0x01C4"},
        MachineCase{"EmptyFileIsNoImage", [] { return Bytes{}; }, false, 0, "not a Windows image"},
        MachineCase{"TextFileIsNoImage",
                    [] {
                        const std::string text(200, 'x');
                        return Bytes(text.begin(), text.end());
                    },
                    false, 0, "not a Windows image"},
        MachineCase{"MzWithoutPeSignatureIsNoImage",
                    [] {
                        Bytes bytes = imageFor(PeMachineI386);
                        bytes[0x81] = 'X';
                        return bytes;
                    },
                    false, 0, "not a Windows image"},
        MachineCase{"MzHeaderCutShortIsNoImage",
                    [] {
                        Bytes bytes = imageFor(PeMachineI386);
                        bytes.resize(62);
                        return bytes;
                    },
                    false, 0, "not a Windows image"},
        MachineCase{"PeOffsetPastTheEndIsNoImage", [] { return imageAt(0xFFFFFFF0u, 512, PeMachineI386); },
                    false, 0, "not a Windows image"},
        MachineCase{"MachineFieldCutOffIsNoImage", [] { return imageAt(508, 512, PeMachineI386); },
                    false, 0, "not a Windows image"},
        MachineCase{"MachineFieldInTheLastBytesIsRead", [] { return imageAt(506, 512, PeMachineAmd64); },
                    true, 64, "64-bit"},
        MachineCase{"HeadersWithinTheReadSizeAreFound",
                    [] { return imageAt(PeHeaderReadSize - 6, PeHeaderReadSize + 100, PeMachineAmd64); },
                    true, 64, "64-bit"},
        MachineCase{"HeadersBeyondTheReadSizeAreNotLookedFor",
                    [] { return imageAt(PeHeaderReadSize - 4, PeHeaderReadSize + 100, PeMachineAmd64); },
                    false, 0, "not a Windows image"}),
    [](const testing::TestParamInfo<MachineCase>& info) { return std::string(info.param.name); });

}  // namespace
