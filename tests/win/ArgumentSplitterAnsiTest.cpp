// Configured argument lists (ANSI text) split by the same rules and given back unchanged.
#include <windows.h>

#include <gtest/gtest.h>

#include "launch/ArgumentSplitter.h"

using namespace karvo;

TEST(ArgumentSplitterAnsi, PiecesComeBackInTheAnsiCodePage) {
    using Args = std::vector<std::string>;
    // Characters of the ANSI code page that are not ASCII must survive the trip through
    // UTF-16 (1252 in the test prefix: "\xe9" is e with an acute accent, "\x80" the euro
    // sign, which is U+20AC in UTF-16).
    if (GetACP() != 1252) GTEST_SKIP() << "the rows below are written for code page 1252";
    struct Row {
        const char* name;
        std::string text;
        Args expected;
    } rows[] = {
        {"plain words", "-Xmx64m -Dx=1", {"-Xmx64m", "-Dx=1"}},
        {"quoted value", "-Dname=\"a b\" x", {"-Dname=a b", "x"}},
        {"accented letters kept", "-Dcity=Gen\xe8ve '\xe9t\xe9 2'", {"-Dcity=Gen\xe8ve", "\xe9t\xe9 2"}},
        {"euro sign, beyond Latin-1 in Unicode", "-Dprice=\x80" "5 x", {"-Dprice=\x80" "5", "x"}},
        {"empty text", "", {}},
    };
    for (const auto& row : rows) EXPECT_EQ(splitArgumentsAnsi(row.text), row.expected) << row.name;
}
