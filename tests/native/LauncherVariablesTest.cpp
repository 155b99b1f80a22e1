// Launcher variable expansion over given values and a given environment block.
#include <gtest/gtest.h>

#include "config/VariableExpansion.h"

using namespace karvo;

namespace {

const LauncherVariableValues Values{"C:\\App\\", "C:\\T\\kvo1.tmp_dir", "C:\\jre\\bin\\..",
                                    "C:\\Temp\\"};

}  // namespace

TEST(LauncherVariables, Expansion) {
    struct Row {
        const char* name;
        const char* text;
        std::vector<std::string> environment;
        const char* expected;
        std::size_t replacements;
    } rows[] = {
        {"exe dir joins a relative name", "%KARVO_EXEDIR%lib", {}, "C:\\App\\lib", 1},
        {"tessel spelling", "${TESSEL_EXEDIR}", {}, "C:\\App\\", 1},
        {"temp dir", "%KARVO_TEMPDIR%\\a.jar", {}, "C:\\T\\kvo1.tmp_dir\\a.jar", 1},
        {"separator", "a${launcher:sys.pathlistSeparator}b", {}, "a;b", 1},
        {"jvm home", "${launcher:sys.jvmHome}", {}, "C:\\jre\\bin\\..", 1},
        {"system temp", "${launcher:sys.tempDir}x", {}, "C:\\Temp\\x", 1},
        {"every occurrence", "%KARVO_EXEDIR%;%KARVO_EXEDIR%", {}, "C:\\App\\;C:\\App\\", 2},
        {"no tokens, nothing logged", "plain text", {"A=1"}, "plain text", 0},
        {"tokens are case-sensitive", "%karvo_exedir%", {}, "%karvo_exedir%", 0},
        {"environment reference", "${HOME}\\x", {"HOME=C:\\h"}, "C:\\h\\x", 1},
        {"mixed-case name as spelled", "${Path}", {"Path=P"}, "P", 1},
        {"mixed-case name upper-cased", "${PATH}", {"Path=P"}, "P", 1},
        {"mixed-case name not lower-cased", "${path}", {"Path=P"}, "${path}", 0},
        {"later variable expands an earlier value", "${A}", {"A=${B}", "B=x"}, "x", 2},
        {"earlier variable does not expand a later value", "${B}", {"A=x", "B=${A}"}, "${A}", 1},
        {"value may hold an equals sign", "${A}", {"A=b=c"}, "b=c", 1},
        {"entry without equals skipped", "${A}", {"A"}, "${A}", 0},
        {"per-drive entry skipped", "${}", {"=C:=C:\\"}, "${}", 0},
        {"inserted value not searched for its own token", "%KARVO_PATHLIST_SEPARATOR%", {}, ";", 1},
        {"fixed value searched for later tokens",
         "${X}",
         {"X=%KARVO_EXEDIR%"},
         "%KARVO_EXEDIR%",
         1},
    };
    for (const auto& row : rows) {
        const ExpansionResult result = expandVariables(row.text, Values, row.environment, 8191);
        EXPECT_TRUE(result.ok) << row.name;
        EXPECT_EQ(result.text, row.expected) << row.name;
        EXPECT_EQ(result.replacements.size(), row.replacements) << row.name;
    }
}

TEST(LauncherVariables, ReplacementRecordsForTheLog) {
    const ExpansionResult result =
        expandVariables("%KARVO_EXEDIR%a;%KARVO_EXEDIR%b", Values, {}, 8191);
    ASSERT_EQ(result.replacements.size(), 2u);
    EXPECT_EQ(result.replacements[0].token, "%KARVO_EXEDIR%");
    EXPECT_EQ(result.replacements[0].value, "C:\\App\\");
    EXPECT_EQ(result.replacements[0].text, "C:\\App\\a;%KARVO_EXEDIR%b");
    EXPECT_EQ(result.replacements[1].text, "C:\\App\\a;C:\\App\\b");
}

TEST(LauncherVariables, ValueHoldingItsOwnTokenEnds) {
    std::vector<Replacement> records;
    std::string text = "${A}${A}";
    ASSERT_TRUE(replaceAllOccurrences(text, "${A}", "${A}", 8191, records));
    EXPECT_EQ(text, "${A}${A}");
    EXPECT_EQ(records.size(), 2u);
}

TEST(LauncherVariables, LengthLimit) {
    const std::string value(8000, 'v');
    struct Row {
        const char* name;
        std::string text;
        bool ok;
    } rows[] = {
        {"result of exactly the limit", "${V}" + std::string(191, 'x'), true},
        {"one past the limit refused", "${V}" + std::string(192, 'x'), false},
        {"second occurrence passes the limit", "${V}${V}", false},
    };
    for (const auto& row : rows) {
        const ExpansionResult result = expandVariables(row.text, Values, {"V=" + value}, 8191);
        EXPECT_EQ(result.ok, row.ok) << row.name;
        if (row.ok) {
            EXPECT_EQ(result.text.size(), 8191u) << row.name;
        } else {
            EXPECT_EQ(result.text, row.text) << row.name << ": refused text stays unchanged";
            EXPECT_TRUE(result.replacements.empty()) << row.name;
        }
    }
}

TEST(LauncherVariables, JvmHome) {
    struct Row {
        const char* name;
        const char* path;
        const char* expected;
    } rows[] = {
        {"java.exe", "C:\\jre\\bin\\java.exe", "C:\\jre\\bin\\.."},
        {"javaw.exe", "C:\\jre\\bin\\javaw.exe", "C:\\jre\\bin\\.."},
        {"upper case counts as java.exe length", "C:\\jre\\bin\\JAVAW.EXE", "C:\\jre\\bin\\J.."},
        {"shorter than java.exe", "abc", ".."},
    };
    for (const auto& row : rows) EXPECT_EQ(jvmHomeFor(row.path), row.expected) << row.name;
}

TEST(LauncherVariables, RecordsHandedOverAsTheyHappen) {
    // A reference chain: every occurrence of ${V0} leads through all the variables in turn,
    // so each one is replaced as often as the text holds references.
    std::vector<std::string> chain;
    for (int i = 0; i < 60; ++i)
        chain.push_back("V" + std::to_string(i) + "=${V" + std::to_string(i + 1) + "}");
    chain.push_back("V60=end");
    std::string chained;
    std::string chainEnds;
    for (int i = 0; i < 1000; ++i) {
        chained += "${V0}";
        chainEnds += "end";
    }
    struct Row {
        const char* name;
        std::string text;
        std::vector<std::string> environment;
        bool ok;
        std::string expected;
        std::size_t records;
    } rows[] = {
        {"plain text", "plain", {}, true, "plain", 0},
        {"tokens and variables in order", "%KARVO_EXEDIR%${A}", {"A=a"}, true, "C:\\App\\a", 2},
        {"long chain of references", chained, chain, true, chainEnds, 61 * 1000},
        {"refused text stays unchanged", "${V}${V}", {"V=" + std::string(5000, 'v')}, false,
         "${V}${V}", 1},
    };
    for (const auto& row : rows) {
        std::string text = row.text;
        std::size_t records = 0;
        std::string lastText;
        const bool ok = expandVariables(text, Values, row.environment, 8191,
                                        [&](const Replacement& record) {
                                            ++records;
                                            lastText = record.text;
                                        });
        EXPECT_EQ(ok, row.ok) << row.name;
        EXPECT_EQ(text, row.expected) << row.name;
        EXPECT_EQ(records, row.records) << row.name;
        if (ok && records > 0) {
            EXPECT_EQ(lastText, text) << row.name << ": the last record shows the result";
        }
        // Kept records of the long chain would be hundreds of megabytes: the short rows
        // show that both forms agree.
        if (ok && records < 100) {
            const ExpansionResult kept = expandVariables(row.text, Values, row.environment, 8191);
            EXPECT_EQ(kept.text, text) << row.name << ": both forms agree";
            EXPECT_EQ(kept.replacements.size(), records) << row.name;
        }
    }
}

// The temporary directory and the environment are asked for only by a text that refers to
// them, at most once per text, and the result is what the given values would give.
TEST(LauncherVariables, LookupsAskedOnlyWhenReferenced) {
    struct Row {
        const char* name;
        const char* text;
        const char* expected;
        int tempDirAsks;
        int environmentAsks;
    } rows[] = {
        {"plain option asks for nothing", "-Xmx512m", "-Xmx512m", 0, 0},
        {"a lone dollar or brace asks for nothing", "a$b{c}", "a$b{c}", 0, 0},
        {"fixed token alone asks for nothing", "%KARVO_EXEDIR%x", "C:\\App\\x", 0, 0},
        {"percent sign without a token asks for nothing", "100%", "100%", 0, 0},
        {"system temp asked once for two references", "${launcher:sys.tempDir};${launcher:sys.tempDir}",
         "C:\\Temp\\;C:\\Temp\\", 1, 0},
        {"environment reference asks the environment once", "${A}${A}", "aa", 0, 1},
        {"unknown reference still asks the environment", "${NOPE}", "${NOPE}", 0, 1},
        {"reference made by an earlier value is found", "${B}", "C:\\Temp\\", 0, 1},
        {"exe dir value holding a reference", "%TESSEL_EXEDIR%", "C:\\App\\", 0, 0},
    };
    for (const auto& row : rows) {
        int tempDirAsks = 0, environmentAsks = 0;
        const std::vector<std::string> environment{"A=a", "B=${C}", "C=C:\\Temp\\"};
        const LauncherVariableLookups lookups{
            [&] {
                ++tempDirAsks;
                return std::string("C:\\Temp\\");
            },
            [&] {
                ++environmentAsks;
                return environment;
            }};
        LauncherVariableValues values = Values;
        values.systemTempDir = "not used";
        std::string text = row.text;
        std::vector<Replacement> lazyRecords;
        ASSERT_TRUE(expandVariables(text, values, lookups, 8191,
                                    [&](const Replacement& r) { lazyRecords.push_back(r); }))
            << row.name;
        EXPECT_EQ(text, row.expected) << row.name;
        EXPECT_EQ(tempDirAsks, row.tempDirAsks) << row.name;
        EXPECT_EQ(environmentAsks, row.environmentAsks) << row.name;
        // Asking lazily changes nothing in the outcome or in what the log is told.
        const ExpansionResult eager = expandVariables(row.text, Values, environment, 8191);
        EXPECT_EQ(text, eager.text) << row.name;
        ASSERT_EQ(lazyRecords.size(), eager.replacements.size()) << row.name;
        for (std::size_t i = 0; i < lazyRecords.size(); ++i)
            EXPECT_EQ(lazyRecords[i].text, eager.replacements[i].text) << row.name;
    }
}
