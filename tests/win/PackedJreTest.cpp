// Packed runtimes: which directories count as packed, which jars the fake unpack200.exe
// restores, and the end of the process when the unpacker is missing.
#include <gtest/gtest.h>

#include <algorithm>

#include "config/LauncherConfig.h"
#include "config/Messages.h"
#include "jre/PackedJre.h"
#include "win/JreTestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

const std::vector<std::string> AllJars = {"lib\\rt.jar",     "lib\\charsets.jar",
                                          "lib\\plugin.jar", "lib\\deploy.jar",
                                          "lib\\ext\\localedata.jar", "lib\\jsse.jar"};

void placeFile(const ScratchDir& dir, const std::string& relative) {
    makeDirectories(std::string(directoryOf(dir.file(relative))));
    writeFile(dir.file(relative), "x");
}

}  // namespace

TEST(PackedJre, PackedJarsAreRestoredOnce) {
    using Files = std::vector<std::string>;
    struct Row {
        const char* name;
        Files present;    // besides bin\unpack200.exe
        bool packed;
        Files jarsAfter;  // jars that exist afterwards
        int unpackRuns;
        int skipped;      // "pack path doesn't exists" lines
    } rows[] = {
        {"fully packed runtime", {"lib\\rt.jar.pack", "lib\\charsets.jar.pack", "lib\\plugin.jar.pack",
          "lib\\deploy.jar.pack", "lib\\ext\\localedata.jar.pack", "lib\\jsse.jar.pack"},
         true, AllJars, 6, 0},
        {"only some packs", {"lib\\rt.jar.pack", "lib\\deploy.jar.pack"}, true,
         {"lib\\rt.jar", "lib\\deploy.jar"}, 2, 4},
        {"jsse.jar present: already prepared", {"lib\\rt.jar.pack", "lib\\jsse.jar"}, false,
         {"lib\\jsse.jar"}, 0, 0},
        {"no rt.jar.pack: not packed", {"lib\\charsets.jar.pack"}, false, {}, 0, 0},
        {"ordinary runtime", {"lib\\rt.jar", "lib\\jsse.jar"}, false, {"lib\\rt.jar", "lib\\jsse.jar"},
         0, 0},
    };
    for (const auto& row : rows) {
        JreTestEnvironment environment;
        ScratchDir dir("packed");
        copyFixture("fakejava", "unpack200.exe", dir.file("bin\\unpack200.exe"));
        for (const auto& file : row.present) placeFile(dir, file);
        installConfigForTesting(blockWith({}));

        EXPECT_EQ(isPackedJre(dir.path()), row.packed) << row.name;
        testing::internal::CaptureStdout();
        prepareJre(dir.path());
        std::string out = testing::internal::GetCapturedStdout();
        std::erase(out, '\r');
        EXPECT_EQ(out, row.packed ? "Preparing JRE ...\n" : "") << row.name;
        for (const auto& jar : AllJars) {
            const bool expected =
                std::find(row.jarsAfter.begin(), row.jarsAfter.end(), jar) != row.jarsAfter.end();
            EXPECT_EQ(pathExists(dir.file(jar)), expected) << row.name << ": " << jar;
        }
        const auto runs = readFile(dir.file("bin\\unpack200.runs"));
        EXPECT_EQ(runs ? static_cast<int>(lines(*runs).size()) : 0, row.unpackRuns) << row.name;
        EXPECT_FALSE(isPackedJre(dir.path())) << row.name << ": a second test would unpack again";
        if (environment.hasLog()) {
            int skipped = 0;
            for (const auto& line : environment.logLines()) skipped += line == "pack path doesn't exists";
            EXPECT_EQ(skipped, row.skipped) << row.name;
            if (row.packed) {
                EXPECT_TRUE(environment.logged("Unpacking JRE done")) << row.name;
            }
        }
    }
}

TEST(PackedJre, UnpackerGetsOnlyItsArguments) {
    JreTestEnvironment environment;
    ScratchDir dir("packargs");
    copyFixture("fakejava", "unpack200.exe", dir.file("bin\\unpack200.exe"));
    placeFile(dir, "lib\\rt.jar.pack");
    installConfigForTesting(blockWith({}));
    testing::internal::CaptureStdout();
    unpackJar(dir.path(), "lib\\rt.jar");
    testing::internal::GetCapturedStdout();
    const auto runs = readFile(dir.file("bin\\unpack200.runs"));
    ASSERT_TRUE(runs.has_value());
    const std::string expected = "-r \"" + dir.file("lib\\rt.jar.pack") + "\" \"" +
                                 dir.file("lib\\rt.jar") + "\"";
    EXPECT_EQ(lines(*runs), std::vector<std::string>{expected});
    if (environment.hasLog()) {
        // The program and its arguments on lines of their own, then the wait around the run.
        const std::vector<std::string> logged = environment.logLines();
        const std::vector<std::string> wanted = {dir.file("bin\\unpack200.exe"), expected,
                                                 "waiting for unpack200 to finish", "unpack done"};
        ASSERT_GE(logged.size(), wanted.size());
        EXPECT_EQ(std::vector<std::string>(logged.end() - wanted.size(), logged.end()), wanted);
    }
}

TEST(PackedJre, MissingUnpackerEndsWithInternalError20) {
    // The death test's child runs this body again up to the statement and never returns, so
    // the directory has a fixed name that both processes share and this one removes.
    const std::string path = buildDirectory() + "scratch\\packnotool";
    removeTree(path);
    makeDirectories(path + "\\lib");
    writeFile(path + "\\lib\\rt.jar.pack", "x");
    EXPECT_EXIT(
        {
            installConfigForTesting(blockWith({}));
            setMessageBoxMode(false);
            prepareJre(path);
        },
        testing::ExitedWithCode(1), "An internal error occurred \\(error code: 20\\)");
    EXPECT_FALSE(pathExists(path + "\\lib\\rt.jar"));
    removeTree(path);
}
