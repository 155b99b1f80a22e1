// Non-ASCII characters where the TOML grammar does not allow them: the packer must refuse
// the description with a parse error naming the line, as for any other syntax error. The
// TOML library's character classes once reached an "unreachable" branch for these code
// points, which made the outcome undefined (the sanitizers stop the test run there).
#include <gtest/gtest.h>

#include <string>

#include "PackDescription.h"

using namespace karvo::pack;

namespace {

struct CharacterCase {
    const char* name;
    std::string toml;
    std::string line;  // "bad.toml:<line>:" that the error must start with
};

class PackDescriptionCharacters : public ::testing::TestWithParam<CharacterCase> {};

TEST_P(PackDescriptionCharacters, RefusedAsSyntaxErrors) {
    try {
        readDescription(GetParam().toml, "bad.toml", ".");
        FAIL() << "accepted";
    } catch (const PackError& error) {
        EXPECT_EQ(std::string(error.what()).rfind(GetParam().line, 0), 0u) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    OutsideStrings, PackDescriptionCharacters,
    ::testing::Values(
        CharacterCase{"AccentedLetterInTableName", "service_name = 'x'\n[raw\xC3\xA9]\n",
                      "bad.toml:2:"},
        CharacterCase{"LetterFromLatinExtendedInTableName", "[raw\xCA\x88" "ext]\n", "bad.toml:1:"},
        CharacterCase{"CyrillicAfterValue", "service_name = 'x' \xD0\x96\n", "bad.toml:1:"},
        CharacterCase{"CjkSymbolBeforeKey", "\xE3\x80\x81key = 1\n", "bad.toml:1:"},
        CharacterCase{"PresentationFormAfterEquals", "service_name = \xEF\xB9\x90'x'\n",
                      "bad.toml:1:"},
        CharacterCase{"NoBreakSpaceBetweenKeyAndEquals", "service_name\xC2\xA0= 'x'\n",
                      "bad.toml:1:"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PackDescriptionCharacters, SameCharactersInsideStringsAreKept) {
    const auto input = readDescription(
        "service_name = 'caf\xC3\xA9'\nmain_class = 'm'\n"
        "description = 'caf\xC3\xA9 \xD0\x96 \xE3\x80\x81'\n",
        "good.toml", ".");
    bool sawDescription = false;
    for (const auto& [key, value] : input.block.wides) {
        if (key == karvo::Key::Description) {
            EXPECT_EQ(value, u"caf\u00e9 \u0416 \u3001");
            sawDescription = true;
        }
    }
    EXPECT_TRUE(sawDescription);
}

}  // namespace
