// The path arithmetic around a java executable and the PATH that reaches its libraries.
#include <gtest/gtest.h>

#include "jre/RuntimeLayout.h"
#include "support/TextLimits.h"

using namespace karvo;

TEST(RuntimeLayout, PathsAroundTheJavaExecutable) {
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

TEST(RuntimeLayout, PathListGrowsOnlyWithinItsLimit) {
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
        EXPECT_EQ(appendToPathList(row.path, row.directory, MaxPathListLength), row.expected)
            << row.name;
}
