// The search sequence, the installers' registry names, the version cache's names and the
// location files' lines.
#include <gtest/gtest.h>

#include "jre/RuntimeLayout.h"
#include "jre/SearchRules.h"

using namespace karvo;

TEST(SearchRules, SearchSequenceSplitsIntoEntries) {
    using Entries = std::vector<std::pair<char, std::string>>;
    struct Row {
        const char* name;
        const char* sequence;
        Entries expected;
    } rows[] = {
        {"typical sequence",
         "B.\\jre;Y;EJAVA_HOME;EJDK_HOME;",
         {{'B', ".\\jre"}, {'Y', ""}, {'E', "JAVA_HOME"}, {'E', "JDK_HOME"}}},
        {"empty entries dropped", ";;Y;;;S;", {{'Y', ""}, {'S', ""}}},
        {"empty sequence", "", {}},
        {"only separators", ";;;", {}},
        {"lower-case letters kept for the caller to skip", "y;bC:\\j", {{'y', ""}, {'b', "C:\\j"}}},
        {"argument keeps spaces", "AC:\\Program Files\\Java", {{'A', "C:\\Program Files\\Java"}}},
    };
    for (const auto& row : rows) {
        Entries got;
        for (const auto& entry : splitSearchSequence(row.sequence))
            got.emplace_back(entry.kind, entry.argument);
        EXPECT_EQ(got, row.expected) << row.name;
    }
}

TEST(SearchRules, RelativePassTakesRelativeDirectories) {
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

TEST(SearchRules, InstallerKeyNamesGiveVersionAndKind) {
    struct Row {
        const char* name;
        RegistryNaming naming;
        const char* subkey;
        std::optional<std::pair<std::string, bool>> expected;  // version, is a JDK
    } rows[] = {
        {"JDK version key", RegistryNaming::JdkVersions, "17.0.2", {{"17.0.2", true}}},
        {"runtime version key", RegistryNaming::RuntimeVersions, "11.0.2", {{"11.0.2", false}}},
        {"Zulu JDK", RegistryNaming::Zulu, "zulu-17", {{"17", true}}},
        {"Zulu runtime", RegistryNaming::Zulu, "zulu-8-jre", {{"8", false}}},
        {"Zulu without a version", RegistryNaming::Zulu, "zulu-", std::nullopt},
        {"foreign name under Zulu", RegistryNaming::Zulu, "Zulu 32-bit", std::nullopt},
        {"Liberica JDK", RegistryNaming::Liberica, "jdk-17", {{"17", true}}},
        {"Liberica runtime", RegistryNaming::Liberica, "jre-8", {{"8", false}}},
        {"Liberica without a version", RegistryNaming::Liberica, "jdk-", std::nullopt},
        {"foreign name under Liberica", RegistryNaming::Liberica, "liberica-17", std::nullopt},
    };
    for (const auto& row : rows) {
        const auto got = registryVersionName(row.naming, row.subkey);
        ASSERT_EQ(got.has_value(), row.expected.has_value()) << row.name;
        if (got) {
            EXPECT_EQ(got->version, row.expected->first) << row.name;
            EXPECT_EQ(got->jdk, row.expected->second) << row.name;
        }
    }
}

TEST(SearchRules, TextRewrites) {
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
        {"windowed executable", windowedJavaExe("c:\\jre\\bin\\java.exe"),
         "c:\\jre\\bin\\javaw.exe"},
        {"unpack arguments", unpackArguments("c:\\r\\lib\\rt.jar.pack", "c:\\r\\lib\\rt.jar"),
         "-r \"c:\\r\\lib\\rt.jar.pack\" \"c:\\r\\lib\\rt.jar\""},
        {"location line loses every line end", stripLineEnd("c:\\jre\r\n\r\n"), "c:\\jre"},
        {"location line keeps inner text", stripLineEnd("a\rb\n"), "a\rb"},
        {"empty location line", stripLineEnd("\n"), ""},
    };
    for (const auto& row : rows) EXPECT_EQ(row.got, row.expected) << row.name;
}

TEST(SearchRules, ListsDropEmptyItems) {
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
