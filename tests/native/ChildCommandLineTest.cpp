// The child's command line must split back into exactly the arguments it was built from.
#include <gtest/gtest.h>

#include "core/ChildCommandLine.h"
#include "support/TextLimits.h"

using namespace karvo;

TEST(ChildCommandLine, QuotingOfOneArgument) {
    struct Row {
        const char* name;
        std::u16string argument;
        std::optional<std::u16string> expected;
    } rows[] = {
        {"plain text unchanged", u"-r", u"-r"},
        {"blank gets double quotes", u"My Service", u"\"My Service\""},
        {"empty argument survives as a pair of quotes", u"", u"\"\""},
        {"tab quoted so a program path stays whole", u"a\tb", u"\"a\tb\""},
        {"single quote needs double quotes", u"it's", u"\"it's\""},
        {"double quote goes in single quotes", u"say \"hi\"", u"'say \"hi\"'"},
        {"both quote kinds cannot be written", u"it's \"x\"", std::nullopt},
        {"backslashes are ordinary", u"C:\\a b\\", u"\"C:\\a b\\\""},
        {"non-ANSI text kept", u"\u65e5\u672c", u"\u65e5\u672c"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(quoteChildArgument(row.argument), row.expected) << row.name;
}

TEST(ChildCommandLine, OrderOfThePieces) {
    struct Row {
        const char* name;
        ChildCommandLineParts parts;
        std::u16string expected;
    } rows[] = {
        {"path, name, marker",
         {{u"C:\\svc\\svc.exe"}, u"svc", {}},
         u"C:\\svc\\svc.exe svc __tsl_restart"},
        {"blanks in path and name",
         {{u"C:\\Program Files\\svc.exe"}, u"My Service", {}},
         u"\"C:\\Program Files\\svc.exe\" \"My Service\" __tsl_restart"},
        {"own arguments before start parameters",
         {{u"s.exe", u"-a", u"b c"}, u"n", {u"p1", u"p 2"}},
         u"s.exe n -a \"b c\" p1 \"p 2\" __tsl_restart"},
        {"start parameter equal to the marker still ends with the marker",
         {{u"s.exe"}, u"n", {u"__tsl_restart"}},
         u"s.exe n __tsl_restart __tsl_restart"},
        {"empty start parameter kept",
         {{u"s.exe"}, u"n", {u""}},
         u"s.exe n \"\" __tsl_restart"},
    };
    for (const auto& row : rows) {
        const auto line = buildChildCommandLine(row.parts, MaxCommandLineLength);
        EXPECT_EQ(line.error, ChildCommandLineError::None) << row.name;
        EXPECT_EQ(line.text, row.expected) << row.name;
    }
}

TEST(ChildCommandLine, RefusedLines) {
    const std::u16string path = u"s.exe";
    const std::u16string tail = u" n __tsl_restart";
    // Exactly at the limit is accepted; one character more is refused, never cut.
    const std::size_t room = MaxCommandLineLength - path.size() - tail.size() - 1;
    struct Row {
        const char* name;
        ChildCommandLineParts parts;
        ChildCommandLineError expected;
    } rows[] = {
        {"line of exactly the limit", {{path}, u"n", {std::u16string(room, u'x')}},
         ChildCommandLineError::None},
        {"one character over the limit", {{path}, u"n", {std::u16string(room + 1, u'x')}},
         ChildCommandLineError::TooLong},
        {"start parameter with both quote kinds", {{path}, u"n", {u"'\""}},
         ChildCommandLineError::Unquotable},
    };
    for (const auto& row : rows) {
        const auto line = buildChildCommandLine(row.parts, MaxCommandLineLength);
        EXPECT_EQ(line.error, row.expected) << row.name;
        if (row.expected == ChildCommandLineError::None)
            EXPECT_EQ(line.text.size(), MaxCommandLineLength) << row.name;
        else
            EXPECT_TRUE(line.text.empty()) << row.name;
    }
}

TEST(ChildCommandLine, PriorityClasses) {
    struct Row {
        const char* name;
        std::uint32_t value;
        bool accepted;
    } rows[] = {
        {"normal", 0x20, true},       {"idle", 0x40, true},
        {"high", 0x80, true},         {"realtime", 0x100, true},
        {"below normal", 0x4000, true}, {"above normal", 0x8000, true},
        {"zero", 0, false},           {"suspended start", 0x4, false},
        {"new console", 0x10, false}, {"two classes at once", 0x60, false},
        {"debug with normal", 0x21, false},
    };
    for (const auto& row : rows) EXPECT_EQ(isPriorityClass(row.value), row.accepted) << row.name;
}
