// The template's version as inspect reads it from the version resource, for both widths of
// image, and nothing (never a crash or a read past the end) from images that lack one.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "KarvoVersion.h"
#include "PackTestSupport.h"
#include "PeVersion.h"

namespace {

using namespace karvo::pack;
using namespace karvo::pack::test;

constexpr std::size_t Optional = 0x98;    // the optional header, after "PE\0\0" and the file header
constexpr std::size_t Resources = 0x200;  // file offset of the one section, the resources
constexpr std::uint32_t SectionRva = 0x1000;
constexpr std::size_t FixedInfo = Resources + 0x60 + 40;  // the version data's fixed part

// A 1,024-byte image whose one section holds a version resource of the given file version,
// laid out as the resource compiler lays it out: type, name and language directories, a data
// entry, then the version data.
std::vector<std::uint8_t> versionedImage(bool wide, std::uint32_t high, std::uint32_t low) {
    std::vector<std::uint8_t> b(1024, 0);
    auto put16 = [&](std::size_t at, std::uint32_t v) {
        b[at] = static_cast<std::uint8_t>(v);
        b[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    b[0] = 'M';
    b[1] = 'Z';
    put32(60, 0x80);
    put32(0x80, 0x00004550);
    put16(0x86, 1);                   // one section
    put16(0x94, wide ? 0xF0 : 0xE0);  // optional header size
    put16(Optional, wide ? 0x20B : 0x10B);
    const std::size_t count = Optional + (wide ? 108 : 92);
    put32(count, 16);
    put32(count + 4 + 2 * 8, SectionRva);  // the resource directory
    put32(count + 4 + 2 * 8 + 4, 0x100);
    const std::size_t section = Optional + (wide ? 0xF0 : 0xE0);
    put32(section + 8, 0x200);
    put32(section + 12, SectionRva);
    put32(section + 16, 0x200);
    put32(section + 20, Resources);

    put16(Resources + 14, 1);   // type directory: one numbered entry
    put32(Resources + 16, 16);  // RT_VERSION
    put32(Resources + 20, 0x80000000 | 0x18);
    put16(Resources + 0x18 + 14, 1);  // name directory
    put32(Resources + 0x18 + 16, 1);
    put32(Resources + 0x18 + 20, 0x80000000 | 0x30);
    put16(Resources + 0x30 + 14, 1);  // language directory
    put32(Resources + 0x30 + 16, 0x409);
    put32(Resources + 0x30 + 20, 0x48);  // a data entry
    put32(Resources + 0x48, SectionRva + 0x60);
    put32(Resources + 0x48 + 4, 0x5C);
    const std::u16string key = u"VS_VERSION_INFO";
    put16(Resources + 0x60, 0x5C);
    put16(Resources + 0x62, 52);
    for (std::size_t i = 0; i < key.size(); ++i) put16(Resources + 0x66 + 2 * i, key[i]);
    put32(FixedInfo, 0xFEEF04BD);
    put32(FixedInfo + 4, 0x00010000);
    put32(FixedInfo + 8, high);
    put32(FixedInfo + 12, low);
    return b;
}

struct VersionCase {
    const char* name;
    std::function<std::vector<std::uint8_t>()> image;
    std::optional<std::string> expected;
};

class TemplateVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(TemplateVersion, IsReadFromTheVersionResource) {
    EXPECT_EQ(peFileVersion(GetParam().image()), GetParam().expected);
}

std::vector<std::uint8_t> changed(std::vector<std::uint8_t> image,
                                  const std::function<void(std::vector<std::uint8_t>&)>& change) {
    change(image);
    return image;
}

INSTANTIATE_TEST_SUITE_P(
    Images, TemplateVersion,
    ::testing::Values(
        VersionCase{"ThirtyTwoBitImage",
                    [] { return versionedImage(false, 0x00010002, 0x00030000); }, "1.2.3"},
        VersionCase{"SixtyFourBitImage",
                    [] { return versionedImage(true, 0x0004000A, 0x00060000); }, "4.10.6"},
        VersionCase{"BuildNumberIsShownWhenSet",
                    [] { return versionedImage(false, 0x00010000, 0x00000007); }, "1.0.0.7"},
        VersionCase{"ImageWithoutResources", [] { return fakeTemplate(); }, std::nullopt},
        VersionCase{"ResourcesWithoutAVersion",
                    [] {
                        return changed(versionedImage(false, 1, 0),
                                       [](auto& b) { b[Resources + 16] = 3; });
                    },
                    std::nullopt},
        VersionCase{"ResourceAddressOutsideEverySection",
                    [] {
                        return changed(versionedImage(false, 1, 0),
                                       [](auto& b) { b[Optional + 96 + 17] = 0x90; });
                    },
                    std::nullopt},
        VersionCase{"DirectoryOffsetPastTheEnd",
                    [] {
                        return changed(versionedImage(false, 1, 0),
                                       [](auto& b) { b[Resources + 22] = 0x7F; });
                    },
                    std::nullopt},
        VersionCase{"FileEndsInsideTheVersionData",
                    [] {
                        return changed(versionedImage(false, 1, 0),
                                       [](auto& b) { b.resize(FixedInfo + 6); });
                    },
                    std::nullopt},
        VersionCase{
            "VersionDataWithoutItsSignature",
            [] { return changed(versionedImage(false, 1, 0), [](auto& b) { b[FixedInfo] = 0; }); },
            std::nullopt}),
    [](const auto& info) { return info.param.name; });

TEST(PackerVersion, IsTheReleaseVersion) {
    const auto run = runPack({"--version"});
    EXPECT_EQ(run.exitCode, ExitSuccess);
    EXPECT_EQ(run.out, std::string("karvo-pack ") + KARVO_VERSION_TEXT + "\n");
}

// inspect names the template's version right under its heading, or says there is none.
TEST(PackerVersion, InspectNamesTheTemplatesVersion) {
    TempDir dir;
    writeText(dir / "c.toml", "service_name = 's'\nmain_class = 'm'\n");
    for (const auto& [image, line] :
         {std::pair{versionedImage(false, 0x00020001, 0x00050000),
                    "# Built from the karvo 2.1.5 launcher template.\n"},
          std::pair{fakeTemplate(),
                    "# Built from a launcher template without a version resource.\n"}}) {
        writeBytes(dir / "t.exe", image);
        ASSERT_EQ(runPack({"build", (dir / "c.toml").string(), "--template",
                           (dir / "t.exe").string(), "--out", (dir / "x.exe").string()})
                      .exitCode,
                  ExitSuccess);
        const auto run = runPack({"inspect", (dir / "x.exe").string()});
        EXPECT_EQ(run.exitCode, ExitSuccess) << run.err;
        EXPECT_NE(run.out.find(".\n" + std::string(line)), std::string::npos) << run.out;
    }
}

}  // namespace
