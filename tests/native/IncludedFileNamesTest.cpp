// Names of included files: the list and the rule that keeps them inside their directory.
#include <gtest/gtest.h>

#include "config/IncludedFileNames.h"
#include "launch/PathList.h"

using namespace karvo;

TEST(IncludedFileNames, List) {
    struct Row {
        const char* name;
        const char* list;
        int count;
        std::vector<std::string> expected;
    } rows[] = {
        {"all names", "a.jar;lib\\b.dll", 2, {"a.jar", "lib\\b.dll"}},
        {"count limits", "a;b;c", 2, {"a", "b"}},
        {"count larger than the list", "a;b", 5, {"a", "b"}},
        {"empty name ends the list", "a;;b", 3, {"a"}},
        {"trailing separator", "a;", 3, {"a"}},
        {"empty list", "", 2, {}},
        {"zero count", "a", 0, {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(includedFileNames(row.list, row.count), row.expected) << row.name;
}

// Each name is judged twice: does it stay inside the extraction directory, and does one of
// its steps open a device instead of a file.
TEST(IncludedFileNames, SafetyAndDeviceNames) {
    struct Row {
        const char* name;
        const char* fileName;
        bool safe;
        bool device;
    } rows[] = {
        {"plain name", "a.jar", true, false},
        {"one directory level", "lib\\a.dll", true, false},
        {"dots inside a name", "a..b.jar", true, false},
        {"dotted directory", "...x\\a", true, false},
        {"parent step", "..\\a.jar", false, false},
        {"parent step later", "lib\\..\\..\\a.jar", false, false},
        {"parent step with slash", "lib/../../a", false, false},
        {"parent as the whole name", "..", false, false},
        {"parent with trailing blank", ".. \\a", false, false},
        {"three dots climb as well", "...\\a", false, false},
        {"absolute drive path", "C:\\Windows\\a.dll", false, false},
        {"drive-relative", "C:a.dll", false, false},
        {"stream syntax", "a.jar:evil", false, false},
        {"leading backslash", "\\a.jar", false, false},
        {"UNC", "\\\\host\\share\\a", false, false},
        {"leading slash", "/a.jar", false, false},
        {"empty", "", false, false},
        {"device NUL alone", "NUL", true, true},
        {"device in lower case", "nul", true, true},
        {"device with an extension", "con.txt", true, true},
        {"device with two extensions", "AUX.tar.gz", true, true},
        {"device with a blank before the extension", "PRN .txt", true, true},
        {"device in the file step", "lib\\COM1.txt", true, true},
        {"device in the directory step", "LPT9\\a.txt", true, true},
        {"device after a slash", "lib/nul", true, true},
        {"COM0 is no device", "COM0", true, false},
        {"COM10 is no device", "COM10.txt", true, false},
        {"longer word than a device", "CONSOLE.txt", true, false},
        {"device word inside a name", "a.NUL", true, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(isSafeIncludedName(row.fileName), row.safe) << row.name;
        EXPECT_EQ(namesDevice(row.fileName), row.device) << row.name;
    }
}

TEST(IncludedFileNames, RepeatedNames) {
    struct Row {
        const char* name;
        std::vector<std::string> names;
        std::optional<std::size_t> repeated;
    } rows[] = {
        {"distinct names", {"a.txt", "b.txt", "lib\\a.txt"}, std::nullopt},
        {"same name in other case", {"a.txt", "b.txt", "A.TXT"}, 2},
        {"directory in other case", {"lib\\x.jar", "LIB\\X.jar"}, 1},
        {"either slash", {"lib\\x.jar", "lib/x.jar"}, 1},
        {"trailing dot and blank dropped", {"a.txt", "a.txt. "}, 1},
        {"first repeat counts", {"x", "y", "Y", "X"}, 2},
        {"letters beyond ASCII are left to the caller", {"\xe9.txt", "\xc9.txt"}, std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(firstRepeatedIncludedName(row.names), row.repeated) << row.name;
}

TEST(IncludedFileNames, Directory) {
    EXPECT_EQ(includedNameDirectory("lib\\x.jar"), "lib");
    EXPECT_EQ(includedNameDirectory("a\\b\\c.jar"), "a");
    EXPECT_EQ(includedNameDirectory("x.jar"), "");
}

TEST(NativeLibraryPath, Building) {
    struct Row {
        const char* name;
        std::vector<std::string> directories;
        std::optional<std::string> inherited;
        std::size_t max;
        std::string expected;
        std::size_t dropped;
    } rows[] = {
        {"directories then inherited", {"D\\lib", "D\\bin"}, "X;Y", 100, "D\\lib;D\\bin;X;Y", 0},
        {"none keeps inherited alone", {}, "X", 100, "X", 0},
        {"no inherited", {"D"}, std::nullopt, 100, "D;", 0},
        {"directory ending in separator gets no second", {"D;"}, "X", 100, "D;X", 0},
        {"inherited exactly fits", {"D"}, std::string(8, 'x'), 10, "D;xxxxxxxx", 0},
        {"inherited one too long is dropped", {"D"}, std::string(9, 'x'), 10, "D;", 0},
        {"directory that cannot fit is dropped",
         {"AAAA", "BBBBBBBB"},
         std::nullopt,
         10,
         "AAAA;",
         1},
    };
    for (const auto& row : rows) {
        const NativePathResult result =
            buildNativeLibraryPath(row.directories, row.inherited, row.max);
        EXPECT_EQ(result.path, row.expected) << row.name;
        EXPECT_EQ(result.dropped.size(), row.dropped) << row.name;
        EXPECT_LE(result.path.size(), row.max) << row.name;
    }
}

TEST(NativeLibraryPath, SplitSkipsEmptyPieces) {
    EXPECT_EQ(splitPathList(";a;;b;"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(splitPathList("").empty());
}
