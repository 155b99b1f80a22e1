// The block reader against blocks written independently of the writer, and against damage.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "BlockWriter.h"
#include "FakePeImage.h"
#include "config/ConfigBlock.h"

using namespace karvo;

namespace {

std::vector<std::uint8_t> fakeExecutable() { return karvo::test::fakePeImage(); }

using Writer = karvo::test::BlockWriter;

std::vector<std::uint8_t> independentBlock() {
    Writer w;
    w.u32(0xE8E413D5).u32(7).u32(9).u64(1234);
    w.u32(3).u32(101).text("MyService").u32(122).text("com.example.Main").u32(101).text("Later");
    w.u32(1).u32(20017).wide(u"Beschreibung \u00e4\u20ac");
    w.u32(3);
    w.text("de").u32(1).u32(20017).wide(u"de text");
    w.text("de_CH").u32(1).u32(20017).wide(u"de_CH text");
    w.text("fr").u32(1).u32(20017).wide(u"fr text");
    return w.bytes;
}

BlockReadResult readWith(const std::vector<std::uint8_t>& block) {
    auto exe = fakeExecutable();
    exe.insert(exe.end(), block.begin(), block.end());
    MemorySource source(exe);
    return readConfigBlock(source);
}

}  // namespace

TEST(ConfigBlock, ReadsAnIndependentlyWrittenBlock) {
    const auto result = readWith(independentBlock());
    ASSERT_EQ(result.error, BlockError::None);
    EXPECT_EQ(result.location.overlayOffset, 1024);
    EXPECT_EQ(result.includedDataOffset, 1024 + static_cast<std::int64_t>(independentBlock().size()));
    const auto tables = buildConfigTables(result.block, std::string("de_CH"));
    EXPECT_EQ(tables.texts.at(101), "Later");  // the later duplicate wins
    EXPECT_EQ(tables.texts.at(122), "com.example.Main");
    EXPECT_EQ(tables.wides.at(20017), u"de_CH text");
}

TEST(ConfigBlock, LocalizedGroupsFollowTheLocaleCode) {
    const auto result = readWith(independentBlock());
    ASSERT_EQ(result.error, BlockError::None);
    struct Row {
        const char* name;
        std::optional<std::string> locale;
        std::u16string expected;
    } rows[] = {
        {"no locale keeps the base text", std::nullopt, u"Beschreibung \u00e4\u20ac"},
        {"language group applies to a country", "de_AT", u"de text"},
        {"bare language", "de", u"de text"},
        {"more specific group later wins", "de_CH", u"de_CH text"},
        {"other language", "fr_FR", u"fr text"},
        {"unrelated locale", "en_US", u"Beschreibung \u00e4\u20ac"},
    };
    for (const auto& row : rows) {
        const auto tables = buildConfigTables(result.block, row.locale);
        EXPECT_EQ(tables.wides.at(20017), row.expected) << row.name;
    }
}

TEST(ConfigBlock, LauncherTextsEndAtNul) {
    ConfigBlock block;
    block.texts = {{123, std::string("-Da=1\0 -Db=2", 12)}, {124, std::string("\0x", 2)},
                   {101, "Svc"}};
    block.wides = {{20017, std::u16string(u"ab\0cd", 5)}};
    ConfigTables tables = buildConfigTables(block, std::nullopt);
    EXPECT_EQ(tables.texts.at(123).size(), 12u) << "the stored bytes stay for the packer";
    endTextsAtNul(tables);
    EXPECT_EQ(tables.texts.at(123), "-Da=1");
    EXPECT_EQ(tables.texts.at(124), "");
    EXPECT_EQ(tables.texts.at(101), "Svc");
    EXPECT_EQ(tables.wides.at(20017), u"ab");
}

TEST(ConfigBlock, WriterAndReaderAgree) {
    ConfigBlock block;
    block.texts = {{101, "Svc"}, {2002, "2"}, {2003, "a.txt;lib\\b.bin"}};
    block.wides = {{20017, u"desc"}};
    block.groups = {{"de", {{20017, u"Beschr."}}}};
    std::vector<IncludedFile> files = {{"a.txt", {1, 2, 3}}, {"lib\\b.bin", {}}};
    auto exe = fakeExecutable();
    const auto bytes = writeConfigBlock(block, files, static_cast<std::int64_t>(exe.size()));
    exe.insert(exe.end(), bytes.begin(), bytes.end());
    EXPECT_EQ(exe.size() % 512, 0u);

    MemorySource source(exe);
    const auto result = readConfigBlock(source);
    ASSERT_EQ(result.error, BlockError::None);
    EXPECT_EQ(result.block.texts, block.texts);
    EXPECT_EQ(result.block.wides, block.wides);
    ASSERT_EQ(result.block.groups.size(), 1u);
    EXPECT_EQ(result.block.groups[0].entries, block.groups[0].entries);

    std::vector<IncludedFile> back;
    std::string error;
    ASSERT_TRUE(readIncludedFiles(source, result.includedDataOffset, {"a.txt", "lib\\b.bin"}, back, error))
        << error;
    EXPECT_EQ(back[0].data, files[0].data);
    EXPECT_TRUE(back[1].data.empty());
    // The end marker follows the last record.
    const auto end = static_cast<std::size_t>(source.position());
    EXPECT_EQ(exe[end], 0xE8);
    EXPECT_EQ(exe[end + 3], 0xD5);
}

TEST(ConfigBlock, EmptyBlockReadsAsNoKeys) {
    Writer w;
    w.u32(0xE8E413D5).u32(0).u32(0).u64(0).u32(0).u32(0).u32(0);
    const auto result = readWith(w.bytes);
    ASSERT_EQ(result.error, BlockError::None);
    EXPECT_TRUE(result.block.texts.empty());
}

TEST(ConfigBlock, NegativeCountsMeanNoItems) {
    Writer w;
    w.u32(0xE8E413D5).u32(0).u32(0).u64(0).u32(0xFFFFFFFF).u32(0x80000000).u32(0xFFFFFFF0);
    const auto result = readWith(w.bytes);
    EXPECT_EQ(result.error, BlockError::None);
}

TEST(ConfigBlock, TruncationAtEveryByteFailsWithTheFieldsMessage) {
    const auto full = independentBlock();
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        std::vector<std::uint8_t> block(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
        const auto result = readWith(block);
        EXPECT_NE(result.error, BlockError::None) << "cut at " << cut;
    }
    // Cutting inside the fields of each kind names that kind.
    struct Row {
        std::size_t cut;
        BlockError expected;
    } rows[] = {{0, BlockError::ReadInt},   {2, BlockError::ReadInt},   {12, BlockError::ReadLong},
                {19, BlockError::ReadLong}, {20, BlockError::ReadInt},  {36, BlockError::ReadString},
                {full.size() - 1, BlockError::ReadWString}};
    for (const auto& row : rows) {
        std::vector<std::uint8_t> block(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(row.cut));
        EXPECT_EQ(readWith(block).error, row.expected) << "cut at " << row.cut;
    }
}

TEST(ConfigBlock, DamagedHeadersAndLengthsAreRefusedWithoutHugeAllocations) {
    struct Row {
        const char* name;
        std::vector<std::uint8_t> block;
        BlockError expected;
    };
    Writer wrongMagic;
    wrongMagic.u32(0x12345678).u32(0).u32(0).u64(0).u32(0).u32(0).u32(0);
    Writer hugeText;
    hugeText.u32(0xE8E413D5).u32(0).u32(0).u64(0).u32(1).u32(101).u32(0x7FFFFFFF);
    Writer negativeText;
    negativeText.u32(0xE8E413D5).u32(0).u32(0).u64(0).u32(1).u32(101).u32(0xFFFFFFFE);
    Writer hugeWide;
    hugeWide.u32(0xE8E413D5).u32(0).u32(0).u64(0).u32(0).u32(1).u32(20017).u32(0x7FFFFFFE);
    Writer hugeCount;
    hugeCount.u32(0xE8E413D5).u32(0).u32(0).u64(0).u32(0x7FFFFFFF).u32(101).text("x");
    Row rows[] = {
        {"no block at all", {}, BlockError::ReadInt},
        {"wrong magic", wrongMagic.bytes, BlockError::Magic},
        {"huge text length", hugeText.bytes, BlockError::ReadString},
        {"negative text length", negativeText.bytes, BlockError::ReadString},
        {"huge wide length", hugeWide.bytes, BlockError::ReadWString},
        {"huge count runs out of data", hugeCount.bytes, BlockError::ReadInt},
    };
    for (const auto& row : rows) EXPECT_EQ(readWith(row.block).error, row.expected) << row.name;
}

TEST(ConfigBlock, DamagedPeHeadersNeverReadOutsideTheFile) {
    auto exe = fakeExecutable();
    for (std::uint32_t peOffset : {0u, 0x7FFFFFF0u, 0xFFFFFFFFu, 1020u}) {
        auto bytes = exe;
        for (int i = 0; i < 4; ++i) bytes[60 + i] = static_cast<std::uint8_t>(peOffset >> (8 * i));
        MemorySource source(bytes);
        EXPECT_NE(readConfigBlock(source).error, BlockError::None) << peOffset;
    }
}

TEST(ConfigBlock, WideTextWithAnOddByteCount) {
    // UTF-16 has no half units: the stray last byte is dropped, and the next field is still
    // read from right after it.
    Writer w;
    w.u32(0xE8E413D5).u32(0).u32(0).u64(0).u32(0);  // no texts
    w.u32(3);                                        // three wide entries
    w.u32(1).u32(3);                                 // "a" and half of "b"
    w.bytes.insert(w.bytes.end(), {'a', 0, 'b'});
    w.u32(2).wide(u"c");
    w.u32(3).u32(1);  // a single stray byte
    w.bytes.push_back(0xFF);
    w.u32(0);  // no groups
    const auto result = readWith(w.bytes);
    ASSERT_EQ(result.error, BlockError::None);
    using Wides = std::vector<std::pair<ConfigKey, std::u16string>>;
    EXPECT_EQ(result.block.wides, (Wides{{1, u"a"}, {2, u"c"}, {3, u""}}));
    EXPECT_TRUE(result.block.groups.empty());
}
