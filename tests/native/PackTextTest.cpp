// The packer's text rules: Windows-1252 for 8-bit texts, UTF-16 for wide ones, TOML quoting,
// and the names under which included files are extracted.
#include <gtest/gtest.h>

#include "IncludedFileName.h"
#include "TomlText.h"
#include "WindowsText.h"

using namespace karvo::pack;

namespace {

struct NarrowCase {
    const char* name;
    std::string utf8;
    std::optional<std::string> bytes;  // nothing: refused
    std::string bad;                   // the character named when refused
};

class Windows1252Conversion : public ::testing::TestWithParam<NarrowCase> {};

TEST_P(Windows1252Conversion, ConvertsExactlyOrRefuses) {
    const auto& c = GetParam();
    std::string bad;
    const auto bytes = utf8ToWindows1252(c.utf8, &bad);
    ASSERT_EQ(bytes.has_value(), c.bytes.has_value());
    if (bytes) {
        EXPECT_EQ(*bytes, *c.bytes);
        EXPECT_EQ(windows1252ToUtf8(*bytes), c.utf8) << "the way back must give the same text";
    } else {
        EXPECT_EQ(bad, c.bad);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Windows1252Conversion,
    ::testing::Values(
        NarrowCase{"Ascii", "C:\\Program Files\\App", "C:\\Program Files\\App", ""},
        NarrowCase{"LatinOne", "Gr\xC3\xBC\xC3\x9F" "e \xC3\xA9", "Gr\xFC\xDF" "e \xE9", ""},
        NarrowCase{"EuroAndQuotesFromTheC1Block", "\xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D",
                   "\x80 \x93x\x94", ""},
        NarrowCase{"UndefinedBytesAsTheirControlCharacters", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D",
                   "\x81\x8D\x8F\x90\x9D", ""},
        NarrowCase{"OtherControlCharacterOfTheC1BlockIsRefused", "a\xC2\x80", std::nullopt, "U+0080"},
        NarrowCase{"LatinExtendedIsRefused", "\xC4\x81", std::nullopt, "U+0101"},
        NarrowCase{"BeyondTheBasicPlaneIsRefused", "\xF0\x9F\x98\x80", std::nullopt, "U+1F600"},
        NarrowCase{"BrokenUtf8IsRefused", "a\xC3", std::nullopt, "an invalid UTF-8 sequence"},
        NarrowCase{"OverlongUtf8IsRefused", "\xC0\xAF", std::nullopt, "an invalid UTF-8 sequence"}),
    [](const auto& info) { return info.param.name; });

TEST(Windows1252Conversion, EveryByteSurvivesTheWayThroughUtf8) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) all += static_cast<char>(byte);
    const auto back = utf8ToWindows1252(windows1252ToUtf8(all));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, all);
}

struct WideCase {
    const char* name;
    std::u16string wide;
    std::optional<std::string> utf8;  // nothing: not valid UTF-16
};

class Utf16Conversion : public ::testing::TestWithParam<WideCase> {};

TEST_P(Utf16Conversion, ConvertsBothWays) {
    const auto& c = GetParam();
    const auto utf8 = utf16ToUtf8(c.wide);
    ASSERT_EQ(utf8.has_value(), c.utf8.has_value());
    if (utf8) {
        EXPECT_EQ(*utf8, *c.utf8);
        EXPECT_EQ(utf8ToUtf16(*utf8), c.wide);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf16Conversion,
    ::testing::Values(WideCase{"Ascii", u"abc", "abc"},
                      WideCase{"BasicPlane", u"\u00e4\u20ac\uffff", "\xC3\xA4\xE2\x82\xAC\xEF\xBF\xBF"},
                      WideCase{"SurrogatePair", u"x\U0001F600", "x\xF0\x9F\x98\x80"},
                      WideCase{"LoneHighSurrogate", std::u16string(1, char16_t(0xD800)), std::nullopt},
                      WideCase{"LoneLowSurrogate", std::u16string(u"a") + char16_t(0xDC00), std::nullopt},
                      WideCase{"SwappedPair", std::u16string{char16_t(0xDC00), char16_t(0xD800)},
                               std::nullopt}),
    [](const auto& info) { return info.param.name; });

struct QuoteCase {
    const char* name;
    std::string text;
    std::string toml;
};

class TomlQuoting : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(TomlQuoting, ChoosesTheQuotes) { EXPECT_EQ(tomlString(GetParam().text), GetParam().toml); }

INSTANTIATE_TEST_SUITE_P(
    Texts, TomlQuoting,
    ::testing::Values(QuoteCase{"PathKeepsSingleBackslashes", "lib\\a.jar", "'lib\\a.jar'"},
                      QuoteCase{"Empty", "", "''"},
                      QuoteCase{"ApostropheNeedsABasicString", "it's \"x\" \\", "\"it's \\\"x\\\" \\\\\""},
                      QuoteCase{"LineBreaksAreEscaped", "a\nb\tc\r", "\"a\\nb\\tc\\r\""},
                      QuoteCase{"OtherControlsAsUnicodeEscapes", std::string("a\x01\x7F", 3),
                                "\"a\\u0001\\u007F\""},
                      QuoteCase{"C1ControlsAreEscaped", "\xC2\x81", "\"\\u0081\""},
                      QuoteCase{"NonAsciiStaysLiteral", "\xC3\xA9\xE2\x82\xAC", "'\xC3\xA9\xE2\x82\xAC'"}),
    [](const auto& info) { return info.param.name; });

TEST(TomlQuoting, KeysAreQuotedOnlyWhenNumeric) {
    EXPECT_EQ(tomlKey("service_name"), "service_name");
    EXPECT_EQ(tomlKey("108"), "\"108\"");
    EXPECT_EQ(tomlKey("-5"), "\"-5\"");
}

struct NameCase {
    const char* name;
    std::string fileName;
    std::string problem;  // a part of the reason; empty when the name is fine
};

class IncludedFileNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(IncludedFileNames, AcceptsOnlyWhatTheLauncherCanExtract) {
    const auto problem = includedFileNameProblem(GetParam().fileName);
    if (GetParam().problem.empty()) {
        EXPECT_FALSE(problem) << *problem;
    } else {
        ASSERT_TRUE(problem);
        EXPECT_NE(problem->find(GetParam().problem), std::string::npos) << *problem;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, IncludedFileNames,
    ::testing::Values(NameCase{"PlainFile", "app.jar", ""},
                      NameCase{"OneDirectoryLevel", "lib\\a.jar", ""},
                      NameCase{"NonAscii", "d\xE9j\xE0.txt", ""},
                      NameCase{"DotInsideAName", "a..b.txt", ""},
                      NameCase{"Empty", "", "is empty"},
                      NameCase{"TwoDirectoryLevels", "a\\b\\c.jar", "more than one directory level"},
                      NameCase{"LeadingBackslash", "\\a.jar", "is absolute"},
                      NameCase{"UncPath", "\\\\server\\a.jar", "is absolute"},
                      NameCase{"DriveLetter", "C:\\a.jar", "drive"},
                      NameCase{"DriveRelative", "C:a.jar", "drive"},
                      NameCase{"ParentStep", "..\\a.jar", "'..' step"},
                      NameCase{"ParentStepInside", "lib\\..", "'..' step"},
                      NameCase{"CurrentStep", ".\\a.jar", "'.' or '..' step"},
                      NameCase{"Separator", "a.jar;b.jar", "contains ';'"},
                      NameCase{"ForwardSlash", "lib/a.jar", "use '\\'"},
                      NameCase{"TrailingBackslash", "lib\\", "empty directory or file name"},
                      NameCase{"Wildcard", "a*.jar", "does not allow"},
                      NameCase{"ControlCharacter", "a\tb", "does not allow"},
                      NameCase{"TrailingDot", "lib.\\a", "ends with '.'"},
                      NameCase{"TrailingBlank", "a.jar ", "ends with '.' or a blank"},
                      NameCase{"DeviceName", "nul.txt", "reserved device name"},
                      NameCase{"DeviceNameAsDirectory", "COM1\\x", "reserved device name"},
                      NameCase{"DeviceLikeButLonger", "console.txt", ""}),
    [](const auto& info) { return info.param.name; });

}  // namespace
