// The depth measured before a description is parsed: what counts, what does not (strings,
// comments, numbers), and the line that is named.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "TomlNesting.h"

using namespace karvo::pack;

namespace {

std::string dotted(int parts) {
    std::string key = "a";
    for (int i = 1; i < parts; ++i) key += ".a";
    return key;
}

std::string repeated(const std::string& piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += piece;
    return text;
}

struct NestingCase {
    const char* name;
    std::string text;
    std::optional<std::size_t> line;  // nothing: within the limit
};

class TomlNesting : public ::testing::TestWithParam<NestingCase> {};

TEST_P(TomlNesting, FindsTheFirstLineTooDeep) {
    EXPECT_EQ(lineNestingTooDeep(GetParam().text, 64), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TomlNesting,
    ::testing::Values(
        NestingCase{"FlatDescription",
                    "service_name = 's'\n[messages]\ntitle = 'T'\n[[include]]\nname = 'a'\n", {}},
        NestingCase{"DottedKeyAtTheLimit", dotted(64) + " = 1\n", {}},
        NestingCase{"DottedKeyOverTheLimit", dotted(65) + " = 1\n", 1},
        NestingCase{"HeaderAtTheLimit", "[" + dotted(64) + "]\n", {}},
        NestingCase{"HeaderOverTheLimit", "x = 1\n[" + dotted(65) + "]\n", 2},
        NestingCase{"ArrayOfTablesHeaderOverTheLimit", "[[ " + dotted(65) + " ]]\n", 1},
        NestingCase{"HeaderAndKeyAddUp", "[a.b]\n" + dotted(62) + " = 1\n" + dotted(63) + " = 1\n", 3},
        NestingCase{"ArraysAtTheLimit", "x = " + repeated("[", 63) + repeated("]", 63) + "\n", {}},
        NestingCase{"ArraysOverTheLimit", "x = " + repeated("[", 64) + repeated("]", 64) + "\n", 1},
        NestingCase{"InlineTablesAndTheirKeysCount", "x = " + repeated("{ a = ", 32) + "1" +
                                                        repeated(" }", 32) + "\n", 1},
        NestingCase{"KeyInsideAnInlineTable", "x = { " + dotted(63) + " = 1 }\n", 1},
        NestingCase{"ClosedBracketsGiveTheDepthBack",
                    repeated("x = " + repeated("[", 40) + repeated("]", 40) + "\n", 50) +
                        repeated("y = [" + repeated("{ a = 1 }, ", 40) + "]\n", 10),
                    {}},
        NestingCase{"StringsDoNotCount",
                    "x = \"" + repeated(".[{", 100) + "\\\"" + repeated("[", 100) + "\"\n" +
                        "y = '" + repeated("a.[", 100) + "\\'\n" +
                        "z = \"\"\"\n" + repeated("[.\n", 100) + "\"\"\"\"\n" +
                        "w = '''" + repeated("{.", 100) + "''''\n" +
                        "\"" + dotted(100) + "\" = 1\n'" + dotted(100) + "'.b = 2\n",
                    {}},
        NestingCase{"CommentsDoNotCount",
                    "# " + dotted(100) + repeated("[", 100) + "\nx = [ # " + repeated("[", 100) + "\n1]\n", {}},
        NestingCase{"NumbersAndDatesDoNotCount",
                    "x = [" + repeated("1.5, ", 100) + "]\nd = 1979-05-27T07:32:00.999\n", {}},
        NestingCase{"LineCountsMultilineStrings",
                    "a = '''\n\n'''\nb = \"\"\"\\\n\n\"\"\"\n[" + dotted(65) + "]\n", 7},
        NestingCase{"UnclosedStringEndsTheScan", "x = \"" + repeated("[", 100), {}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
