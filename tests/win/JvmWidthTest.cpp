// Runtimes whose JVM library has the other width (or is no Windows library at all) count as
// not found: the search goes on to the next source, and only when no runtime of this
// build's width exists does the user see the "no runtime found" message with the width.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "config/LauncherConfig.h"
#include "config/LauncherVariables.h"
#include "config/Messages.h"
#include "config/PathOps.h"
#include "jre/JreSearch.h"
#include "win/JreTestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

enum class Library { None, OwnWidth, OtherWidth, NotAnImage };

struct Runtime {
    const char* directory;  // below the scratch directory
    Library client;         // bin\client\jvm.dll
    Library server = Library::None;  // bin\server\jvm.dll
};

void placeLibrary(Library library, const std::string& to) {
    switch (library) {
        case Library::None: return;
        case Library::OwnWidth: copyFixture("jvmvariants", "jvm.dll", to); return;
        case Library::OtherWidth:
            makeDirectories(std::string(directoryOf(to)));
            ASSERT_TRUE(CopyFileA(otherWidthFixture("jvmvariants", "jvm.dll").c_str(), to.c_str(), FALSE))
                << "the other build's fixtures are missing: run make build";
            return;
        case Library::NotAnImage:
            makeDirectories(std::string(directoryOf(to)));
            writeFile(to, "MZ but nothing a loader could use");
            return;
    }
}

TEST(JvmWidth, SearchSkipsRuntimesOfTheOtherWidth) {
    if (otherWidthFixture("jvmvariants", "jvm.dll").empty())
        GTEST_SKIP() << "built without the other width's fixtures";
    const std::string bits(LauncherBitsText);
    const std::string otherBits = LauncherBits == 64 ? "32" : "64";
    struct Row {
        const char* name;
        std::vector<Runtime> runtimes;
        const char* sequence;
        const char* variable;     // KARVO_TEST_JH, or nullptr
        const char* loadedFrom;   // runtime whose bin directory becomes the JVM home, or nullptr
        std::vector<std::string> skipped;  // libraries logged as skipped, relative, with why
    } rows[] = {
        {"other width first, own width second: the second loads",
         {{"first", Library::OtherWidth}, {"second", Library::OwnWidth}}, "B{dir}\\first;B{dir}\\second",
         nullptr, "second", {"first\\bin\\client\\jvm.dll: {other}-bit library"}},
        {"other width through a variable, own width in a directory named later",
         {{"first", Library::OtherWidth}, {"second", Library::OwnWidth}}, "EKARVO_TEST_JH;B{dir}\\second",
         "{dir}\\first", "second", {"first\\bin\\client\\jvm.dll: {other}-bit library"}},
        {"no Windows library first, own width second",
         {{"first", Library::NotAnImage}, {"second", Library::OwnWidth}}, "B{dir}\\first;B{dir}\\second",
         nullptr, "second", {"first\\bin\\client\\jvm.dll: not a Windows library"}},
        {"only the other width: nothing is found",
         {{"first", Library::OtherWidth}}, "B{dir}\\first", nullptr, nullptr,
         {"first\\bin\\client\\jvm.dll: {other}-bit library"}},
        {"a runtime with both widths loads its own library",
         {{"first", Library::OtherWidth, Library::OwnWidth}}, "B{dir}\\first", nullptr, "first",
         {"first\\bin\\client\\jvm.dll: {other}-bit library"}},
        {"the relative pass skips the other width too",
         {{"first", Library::OtherWidth}}, "R{rel}\\first", nullptr, nullptr,
         {"first\\bin\\client\\jvm.dll: {other}-bit library"}},
    };
    for (const auto& row : rows) {
        ScratchDir dir("jvmwidth");
        JreTestEnvironment environment;
        environment.forgetCacheBelow(dir.path());
        ScopedVariable path("PATH", environmentVariable("PATH").c_str());
        ScopedVariable home("KARVO_JAVA_HOME", nullptr), tessel("TESSEL_JAVA_HOME", nullptr);
        ScopedVariable variable("KARVO_TEST_JH", row.variable ? fill(row.variable, dir).c_str() : nullptr);
        for (const Runtime& runtime : row.runtimes) {
            const std::string bin = dir.file(std::string(runtime.directory) + "\\bin");
            makeJavaRuntime(dir.file(runtime.directory), bannerFor("1.8.0"));
            placeLibrary(runtime.client, bin + "\\client\\jvm.dll");
            placeLibrary(runtime.server, bin + "\\server\\jvm.dll");
        }
        installConfigForTesting(blockWith({{Key::SearchSequence, fill(row.sequence, dir)},
                                           {Key::MinJavaVersion, "1.6"},
                                           {Key::MessageNoJvmFound, "none {0}"},
                                           {Key::MessageJavaHomeVariableBroken, "var {0}"},
                                           {Key::MessageJvmDamaged, "dir {0}"}}));
        setMessageBoxMode(false);

        testing::internal::CaptureStderr();
        const bool loaded = LoadDLL(true);
        const std::string err = testing::internal::GetCapturedStderr();

        EXPECT_EQ(loaded, row.loadedFrom != nullptr) << row.name;
        if (row.loadedFrom) {
            EXPECT_EQ(err, "") << row.name;
            EXPECT_EQ(jvmHome(), normalizePath(dir.file(std::string(row.loadedFrom) + "\\bin"), false) + "\\..")
                << row.name;
        } else {
            // Never "damaged": a runtime of the other width is simply not there for this build.
            EXPECT_EQ(lines(err).empty() ? "" : lines(err).front(), "none " + bits) << row.name << ": " << err;
        }
        if (environment.hasLog()) {
            for (std::string skipped : row.skipped) {
                const auto at = skipped.find("{other}");
                if (at != std::string::npos) skipped.replace(at, 7, otherBits);
                const auto colon = skipped.find(": ");
                const std::string line = "skipping " +
                                         normalizePath(dir.file(skipped.substr(0, colon)), false) +
                                         skipped.substr(colon) + ", this launcher is " + bits + "-bit";
                EXPECT_TRUE(environment.logged(line)) << row.name << ": no log line " << line;
            }
        }
        for (const Runtime& runtime : row.runtimes) {
            for (const char* vm : {"client", "server"}) {
                const std::string library =
                    dir.file(std::string(runtime.directory) + "\\bin\\" + vm + "\\jvm.dll");
                if (HMODULE module = GetModuleHandleA(library.c_str())) FreeLibrary(module);
            }
        }
    }
}

}  // namespace

namespace {

TEST(JvmWidth, EachBuildShowsItsFormOfAWidthMessage) {
    struct Row {
        const char* name;
        const char* form64;    // message 1020 as stored in the block
        const char* expected;  // "{bits}" is the build's width
    } rows[] = {
        {"both forms given: the build's own", "dir64 {0}", "dir{bits} "},
        // A block written without the packer's defaults may lack the 64-bit form; an empty
        // box would tell the user nothing.
        {"64-bit form empty: the 32-bit form", "", "dir32 "},
    };
    for (const auto& row : rows) {
        ScratchDir dir("jvmwidthmsg");
        JreTestEnvironment environment;
        environment.forgetCacheBelow(dir.path());
        ScopedVariable path("PATH", environmentVariable("PATH").c_str());
        ScopedVariable home("KARVO_JAVA_HOME", nullptr), tessel("TESSEL_JAVA_HOME", nullptr);
        makeJavaRuntime(dir.file("rt"), bannerFor("1.8.0"));
        // Loads, but lacks the entry point: the runtime found in a directory is damaged.
        const std::string library = dir.file("rt\\bin\\client\\jvm.dll");
        copyFixture("jvmvariants", "noexports.dll", library);
        installConfigForTesting(blockWith({{Key::SearchSequence, fill("B{dir}\\rt", dir)},
                                           {Key::MessageJvmDamaged, "dir32 {0}"},
                                           {Key::MessageJvmDamaged64, row.form64}}));
        setMessageBoxMode(false);

        testing::internal::CaptureStderr();
        EXPECT_FALSE(LoadDLL(true)) << row.name;
        const std::string err = testing::internal::GetCapturedStderr();
        const std::string expected = withWidth(row.expected, "") + fill("{dir}\\rt", dir);
        EXPECT_EQ(lines(err).empty() ? "" : lines(err).front(), expected) << row.name;
        if (HMODULE module = GetModuleHandleA(library.c_str())) FreeLibrary(module);
    }
}

}  // namespace
