// Path resolution, normalisation and existence on the real file system.
#include <gtest/gtest.h>
#include <windows.h>

#include "config/PathOps.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

TEST(PathOps, Resolution) {
    const std::string exeDir = executableDirectory();
    const std::string base = "C:\\base\\dir\\file.vmo";
    struct Row {
        const char* name;
        std::string path;
        const std::string* baseFile;
        std::string expected;
    } rows[] = {
        {"relative gets the executable's directory", "lib\\a.jar", nullptr, exeDir + "lib\\a.jar"},
        {"relative against a base file", "sub\\b.vmo", &base, "C:\\base\\dir\\sub\\b.vmo"},
        {"absolute kept", "D:\\x\\y", &base, "D:\\x\\y"},
        {"doubled backslashes collapse", "D:\\x\\\\y\\\\\\z", nullptr, "D:\\x\\y\\z"},
        {"UNC pair survives", "\\\\host\\\\share", nullptr, "\\\\host\\share"},
        {"dot steps stay", "D:\\x\\..\\y\\.", nullptr, "D:\\x\\..\\y\\."},
        {"quoted absolute kept", "\"D:\\q\"", nullptr, "\"D:\\q\""},
        {"two characters are relative", "C:", nullptr, exeDir + "C:"},
        {"forward slashes are not absolute", "C:/x", nullptr, exeDir + "C:/x"},
        {"empty path is the directory itself", "", nullptr, exeDir},
    };
    for (const auto& row : rows)
        EXPECT_EQ(resolvePath(row.path, row.baseFile), row.expected) << row.name;
}

TEST(PathOps, Normalisation) {
    const std::string exeDir = executableDirectory();
    struct Row {
        const char* name;
        std::string path;
        bool keepCase;
        std::string expected;
    } rows[] = {
        {"dot-dot removed and lower-cased", "jre\\bin\\..\\bin\\JAVA.EXE", false,
         lower(exeDir) + "jre\\bin\\java.exe"},
        {"case kept on request", "Data\\.\\X", true, exeDir + "Data\\X"},
        {"sibling of the executable's directory", "..\\data", true,
         exeDir.substr(0, exeDir.find_last_of('\\', exeDir.size() - 2) + 1) + "data"},
        {"absolute only cleaned", "D:\\A\\\\B\\..\\C", true, "D:\\A\\C"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(normalizePath(row.path, row.keepCase), row.expected) << row.name;
}

TEST(PathOps, Existence) {
    ScratchDir scratch("exists");
    ASSERT_TRUE(writeFile(scratch.file("f.txt"), "x"));
    struct Row {
        const char* name;
        std::string path;
        bool exists;
    } rows[] = {
        {"drive root without a look-up", "Q:\\", true},
        {"drive root with dot", "Q:\\.", true},
        {"drive root with two dots", "Q:\\.\\.", true},
        {"file", scratch.file("f.txt"), true},
        {"directory", scratch.path(), true},
        {"directory with trailing backslash", scratch.path() + "\\", true},
        {"absent file", scratch.file("none.txt"), false},
        {"absent directory with trailing backslash", scratch.file("none") + "\\", false},
        {"empty", "", false},
    };
    for (const auto& row : rows) EXPECT_EQ(pathExists(row.path), row.exists) << row.name;

    std::uint64_t written = 0;
    EXPECT_TRUE(getFileWriteTime(scratch.file("f.txt"), &written));
    EXPECT_NE(written, 0u);
    EXPECT_FALSE(getFileWriteTime(scratch.file("none.txt"), &written));
}

TEST(PathOps, LongForm) {
    ScratchDir scratch("longform");
    const std::string longName = scratch.file("a rather long directory name");
    ASSERT_TRUE(CreateDirectoryA(longName.c_str(), nullptr));
    char shortName[MAX_PATH];
    ASSERT_GT(GetShortPathNameA(longName.c_str(), shortName, MAX_PATH), 0u);
    EXPECT_EQ(getLongPathName(shortName), longName);
    EXPECT_FALSE(getLongPathName(scratch.file("missing")));
}
