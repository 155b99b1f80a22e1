// The launcher's one argument splitter: blanks separate, both quote kinds group, nothing
// escapes.
#include <gtest/gtest.h>

#include "launch/ArgumentSplitter.h"

using namespace karvo;

TEST(ArgumentSplitter, SplitsByBlanksAndQuotes) {
    using Args = std::vector<std::u16string>;
    struct Row {
        const char* name;
        std::u16string_view text;
        Args expected;
    } rows[] = {
        {"empty text", u"", {}},
        {"only blanks", u"   ", {}},
        {"one word", u"a", {u"a"}},
        {"runs of blanks give no empty argument", u"a  b", {u"a", u"b"}},
        {"leading and trailing blanks", u"  a b  ", {u"a", u"b"}},
        {"tab is no separator", u"a\tb", {u"a\tb"}},
        {"double-quoted path with blanks and backslashes", u"\"C:\\Program Files\\x\\\" y",
         {u"C:\\Program Files\\x\\", u"y"}},
        {"prefix glued to a quoted stretch", u"-Dp=\"a b\" c", {u"-Dp=a b", u"c"}},
        {"single-quoted stretch", u"'a b' c", {u"a b", u"c"}},
        {"single quotes keep a double quote", u"'say \"hi\"'", {u"say \"hi\""}},
        {"double quotes keep a single quote", u"\"it's\"", {u"it's"}},
        {"text glued after a stretch starts a new argument", u"\"a b\"c", {u"a b", u"c"}},
        {"empty quotes give an empty argument", u"a \"\" b", {u"a", u"", u"b"}},
        {"empty quotes alone", u"''", {u""}},
        {"first quote kind decides", u"'a\"b' \"c'd\"", {u"a\"b", u"c'd"}},
        {"quote after a blank-free word", u"ab\"c d\"", {u"abc d"}},
        {"marker as last argument", u"svc.exe \"My Service\" __tsl_restart",
         {u"svc.exe", u"My Service", u"__tsl_restart"}},
        {"non-ASCII text kept", u"\u00e9t\u00e9 \u65e5\u672c", {u"\u00e9t\u00e9", u"\u65e5\u672c"}},
        {"two stretches glued", u"\"a\"\"b\"", {u"a", u"b"}},
    };
    for (const auto& row : rows) {
        const auto got = trySplitArguments(row.text);
        ASSERT_TRUE(got.has_value()) << row.name;
        EXPECT_EQ(*got, row.expected) << row.name;
    }
}

TEST(ArgumentSplitter, RefusesAnUnclosedQuote) {
    struct Row {
        const char* name;
        std::u16string_view text;
    } rows[] = {
        {"lone double quote", u"\""},
        {"unclosed double quote after words", u"a b \"c d"},
        {"unclosed single quote", u"'abc"},
        {"unclosed quote after a closed one", u"\"a\" 'b"},
        {"other quote kind does not close", u"\"a'"},
        {"quote inside a word", u"ab\"c"},
    };
    for (const auto& row : rows) EXPECT_FALSE(trySplitArguments(row.text).has_value()) << row.name;
}
