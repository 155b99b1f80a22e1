// The runtime search's rules that need no system: version comparison as byte text, the
// "-version" banner, the search sequence and the path arithmetic around java.exe.
#include <gtest/gtest.h>

#include "jre/VersionRules.h"
#include "support/TextLimits.h"

using namespace karvo;

TEST(VersionRules, AcceptableVersionsCompareAsBytes) {
    struct Row {
        const char* name;
        const char* version;
        const char* min;
        const char* max;
        bool allowPreRelease;
        VersionVerdict expected;
    } rows[] = {
        {"above the minimum", "1.6.0_22", "1.6", "", false, VersionVerdict::Accepted},
        {"below the minimum", "1.5.0_22", "1.6", "", false, VersionVerdict::BelowMinimum},
        {"maximum matched as a prefix", "1.6.0_22", "1.6", "1.6", false, VersionVerdict::Accepted},
        {"above a prefix maximum", "1.7.0", "1.6", "1.6", false, VersionVerdict::AboveMaximum},
        {"above the maximum", "1.8.0_51", "1.6", "1.7", false, VersionVerdict::AboveMaximum},
        {"terminator sorts below a dot", "1.6", "1.6.0_10", "", false, VersionVerdict::BelowMinimum},
        {"two-digit minor sorts low", "1.10.0", "1.6", "", false, VersionVerdict::BelowMinimum},
        {"zero sorts above a dot", "10.0.1", "1.6", "", false, VersionVerdict::Accepted},
        {"nine sorts above one", "9.0.4", "1.6", "1.8", false, VersionVerdict::AboveMaximum},
        {"the failure version", "1.0.0", "1.6", "", false, VersionVerdict::BelowMinimum},
        {"early access refused", "1.7.0-ea", "1.6", "", false, VersionVerdict::PreRelease},
        {"early access allowed", "1.7.0-ea", "1.6", "", true, VersionVerdict::Accepted},
        {"release candidate refused", "1.6.0_10-rc", "1.6", "", false, VersionVerdict::PreRelease},
        {"ea inside a word counts", "1.8.0-release", "1.6", "", false, VersionVerdict::PreRelease},
        {"markers are case-sensitive", "1.8.0-BETA", "1.6", "", false, VersionVerdict::Accepted},
        {"beta anywhere", "beta1.9", "", "", false, VersionVerdict::PreRelease},
        {"no bounds accept anything", "x", "", "", false, VersionVerdict::Accepted},
        {"minimum is inclusive", "1.6", "1.6", "", false, VersionVerdict::Accepted},
        {"empty version below a minimum", "", "1.6", "", false, VersionVerdict::BelowMinimum},
        {"open banner tail still fits", "11.0.2\" 2019-01-1", "1.6", "", false,
         VersionVerdict::Accepted},
        {"high bytes sort above ascii", "1.\xe9", "1.6", "1.6", false, VersionVerdict::AboveMaximum},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(judgeVersion(row.version, row.min, row.max, row.allowPreRelease), row.expected)
            << row.name;
        EXPECT_EQ(isVersionAcceptable(row.version, row.min, row.max, row.allowPreRelease),
                  row.expected == VersionVerdict::Accepted)
            << row.name;
    }
}

TEST(VersionRules, RegistryNamesPassOnTheShorterLength) {
    struct Row {
        const char* name;
        const char* version;
        const char* min;
        const char* max;
        bool expected;
    } rows[] = {
        {"short name passes a longer minimum", "1.6", "1.6.0_10", "", true},
        {"below the minimum", "1.5", "1.6", "", false},
        {"above a longer maximum", "1.7", "1.6", "1.6.0_30", false},
        {"one character against a longer minimum", "1", "1.6", "", true},
        {"long name inside both bounds", "1.6.0_22", "1.6", "1.6", true},
        {"no pre-release test here", "1.7.0-ea", "1.6", "", true},
        {"empty name passes everything", "", "1.6", "1.7", true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(isVersionNameInRange(row.version, row.min, row.max), row.expected) << row.name;
}

TEST(VersionRules, BannerFirstLineGivesTheVersion) {
    const std::string tooLong = "java version \"" + std::string(200, '7') + "\"\n";
    struct Row {
        const char* name;
        std::string line;
        std::optional<std::string> expected;
    } rows[] = {
        {"classic banner", "java version \"1.6.0_22\"\n", "1.6.0_22"},
        {"openjdk banner", "openjdk version \"17.0.2\"\n", "17.0.2"},
        {"text after the closing quote stays in", "openjdk version \"11.0.2\" 2019-01-15\n",
         "11.0.2\" 2019-01-1"},
        {"missing line feed loses a version character", "java version \"1.8.0_51\"", "1.8.0_5"},
        {"other first line", "Picked up _JAVA_OPTIONS: -Xmx1g\n", std::nullopt},
        {"prefix must be at the start", " java version \"1.8\"\n", std::nullopt},
        {"prefix is case-sensitive", "Java version \"1.8\"\n", std::nullopt},
        {"nothing after the quote", "java version \"\n", std::nullopt},
        {"only quote and line feed", "java version \"\"\n", std::nullopt},
        {"one character left", "java version \"9\"\n", "9"},
        {"empty line", "", std::nullopt},
        {"read stops at 99 characters", tooLong, std::string(83, '7')},
    };
    for (const auto& row : rows) EXPECT_EQ(parseVersionBanner(row.line), row.expected) << row.name;
}

TEST(VersionRules, SearchSequenceSplitsIntoEntries) {
    using Entries = std::vector<std::pair<char, std::string>>;
    struct Row {
        const char* name;
        const char* sequence;
        Entries expected;
    } rows[] = {
        {"typical sequence", "B.\\jre;Y;EJAVA_HOME;EJDK_HOME;",
         {{'B', ".\\jre"}, {'Y', ""}, {'E', "JAVA_HOME"}, {'E', "JDK_HOME"}}},
        {"empty entries dropped", ";;Y;;;S;", {{'Y', ""}, {'S', ""}}},
        {"empty sequence", "", {}},
        {"only separators", ";;;", {}},
        {"lower-case letters kept for the caller to skip", "y;bC:\\j", {{'y', ""}, {'b', "C:\\j"}}},
        {"argument keeps spaces", "AC:\\Program Files\\Java", {{'A', "C:\\Program Files\\Java"}}},
    };
    for (const auto& row : rows) {
        Entries got;
        for (const auto& entry : splitSearchSequence(row.sequence)) got.emplace_back(entry.kind, entry.argument);
        EXPECT_EQ(got, row.expected) << row.name;
    }
}

TEST(VersionRules, RelativePassTakesRelativeDirectories) {
    struct Row {
        const char* name;
        SearchEntry entry;
        bool expected;
    } rows[] = {
        {"B always", {'B', "C:\\jre"}, true},
        {"B empty", {'B', ""}, true},
        {"A relative", {'A', ".\\jre"}, true},
        {"A drive path", {'A', "C:\\jre"}, false},
        {"A drive-relative still counts as absolute", {'A', "C:jre"}, false},
        {"R UNC path", {'R', "\\\\server\\jre"}, false},
        {"R one backslash is relative", {'R', "\\jre"}, true},
        {"A single character", {'A', "j"}, true},
        {"A empty", {'A', ""}, true},
        {"environment entries never", {'E', "JAVA_HOME"}, false},
        {"registry entries never", {'Y', ""}, false},
        {"lower-case b never", {'b', "jre"}, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(takesPartInRelativePass(row.entry), row.expected) << row.name;
}

TEST(VersionRules, RegistryVersionsTriedFromTheGreatest) {
    using Names = std::vector<std::string>;
    struct Row {
        const char* name;
        Names names;
        const char* min;
        const char* max;
        Names expected;
    } rows[] = {
        {"example order", {"1.5.0_22", "1.6", "1.6.0_22", "1.7"}, "1.6", "", {"1.7", "1.6.0_22", "1.6"}},
        {"prefix sorts first", {"1.6.0", "1.6"}, "", "", {"1.6.0", "1.6"}},
        {"bytes not numbers", {"1.10", "1.9", "10"}, "", "", {"10", "1.9", "1.10"}},
        {"maximum filters", {"1.6.0_22", "1.7.0", "1.8"}, "1.6", "1.7", {"1.7.0", "1.6.0_22"}},
        {"nothing in range", {"1.4", "1.5"}, "1.6", "", {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(versionNamesToTry(row.names, row.min, row.max), row.expected) << row.name;
}

TEST(VersionRules, StrcmpOrderDecidesBetweenRegistrySources) {
    struct Row {
        const char* name;
        const char* a;
        const char* b;
        int sign;
    } rows[] = {
        {"equal", "1.6.0_22", "1.6.0_22", 0},
        {"underscore three beats underscore twenty-two", "1.6.0_3", "1.6.0_22", 1},
        {"prefix is smaller", "1.6", "1.6.0", -1},
        {"empty is smallest", "", "1", -1},
        {"bytes compare unsigned", "\xe9", "a", 1},
    };
    for (const auto& row : rows) {
        const int got = compareVersionText(row.a, row.b);
        EXPECT_EQ((got > 0) - (got < 0), row.sign) << row.name;
    }
}

TEST(VersionRules, PathsAroundTheJavaExecutable) {
    struct Row {
        const char* name;
        const char* exe;
        std::optional<std::string> directory;
        std::optional<std::string> bin;
        std::optional<std::string> embedded;
    } rows[] = {
        {"java.exe", "c:\\jre6\\bin\\java.exe", "c:\\jre6\\bin\\", "c:\\jre6\\bin",
         "c:\\jre6\\bin\\..\\jre\\bin\\java.exe"},
        {"javaw.exe gives the same directory", "c:\\jre6\\bin\\javaw.exe", "c:\\jre6\\bin\\",
         "c:\\jre6\\bin", "c:\\jre6\\bin\\..\\jre\\bin\\java.exe"},
        {"JAVAW.EXE is not recognised", "c:\\jre6\\bin\\JAVAW.EXE", "c:\\jre6\\bin\\J",
         "c:\\jre6\\bin\\", "c:\\jre6\\bin\\J..\\jre\\bin\\java.exe"},
        {"too short for a file name", "java", std::nullopt, std::nullopt, std::nullopt},
        {"nothing but the name", "java.exe", "", std::nullopt, "..\\jre\\bin\\java.exe"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(javaExeDirectory(row.exe), row.directory) << row.name;
        EXPECT_EQ(javaBinDirectory(row.exe), row.bin) << row.name;
        EXPECT_EQ(embeddedJreJavaExe(row.exe), row.embedded) << row.name;
    }
}

TEST(VersionRules, TextRewrites) {
    struct Row {
        const char* name;
        std::string got;
        std::string expected;
    } rows[] = {
        {"cache key writes slashes",
         versionCacheKeyName("c:\\program files\\java\\jre6\\bin\\java.exe"),
         "SOFTWARE\\norvale-soft\\karvo\\jvms\\c:/program files/java/jre6/bin/java.exe"},
        {"located name back to a path", pathFromRegistryName("c:/jre/bin/java.exe"),
         "c:\\jre\\bin\\java.exe"},
        {"windowed executable", windowedJavaExe("c:\\jre\\bin\\java.exe"), "c:\\jre\\bin\\javaw.exe"},
        {"unpack arguments", unpackArguments("c:\\r\\lib\\rt.jar.pack", "c:\\r\\lib\\rt.jar"),
         "-r \"c:\\r\\lib\\rt.jar.pack\" \"c:\\r\\lib\\rt.jar\""},
        {"location line loses every line end", stripLineEnd("c:\\jre\r\n\r\n"), "c:\\jre"},
        {"location line keeps inner text", stripLineEnd("a\rb\n"), "a\rb"},
        {"empty location line", stripLineEnd("\n"), ""},
    };
    for (const auto& row : rows) EXPECT_EQ(row.got, row.expected) << row.name;
}

TEST(VersionRules, PathListGrowsOnlyWithinItsLimit) {
    struct Row {
        const char* name;
        std::string path;
        std::string directory;
        std::optional<std::string> expected;
    } rows[] = {
        {"appended at the end", "C:\\windows", "c:\\jre\\bin", "C:\\windows;c:\\jre\\bin"},
        {"unset PATH still gets the separator", "", "c:\\jre\\bin", ";c:\\jre\\bin"},
        {"exactly at the limit", std::string(MaxPathListLength - 4, 'p'), "abc",
         std::string(MaxPathListLength - 4, 'p') + ";abc"},
        {"one past the limit", std::string(MaxPathListLength - 3, 'p'), "abc", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(appendToPathList(row.path, row.directory, MaxPathListLength), row.expected) << row.name;
}

TEST(VersionRules, ListsDropEmptyItems) {
    using Items = std::vector<std::string>;
    struct Row {
        const char* name;
        const char* list;
        Items expected;
    } rows[] = {
        {"two installations", "c:\\a;c:\\b", {"c:\\a", "c:\\b"}},
        {"empty items", ";c:\\a;;c:\\b;", {"c:\\a", "c:\\b"}},
        {"empty list", "", {}},
    };
    for (const auto& row : rows) EXPECT_EQ(splitNonEmpty(row.list, ';'), row.expected) << row.name;
}
