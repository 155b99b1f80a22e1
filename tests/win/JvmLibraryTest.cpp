// Loading a runtime's JVM library in this process: the VM type directories in order, the
// JDK's embedded runtime, PATH in both environment copies, and the JNI entry point.
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

#include "config/LauncherConfig.h"
#include "jre/JvmLibrary.h"
#include "support/TextLimits.h"
#include "win/JreTestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

std::string crtPath() {
    const char* value = std::getenv("PATH");
    return value ? value : "";
}

std::vector<std::string> tryingLines(const JreTestEnvironment& environment) {
    std::vector<std::string> out;
    for (const auto& line : environment.logLines())
        if (line.rfind("Trying ", 0) == 0) out.push_back(line);
    return out;
}

int countLines(const JreTestEnvironment& environment, const std::string& prefix) {
    int count = 0;
    for (const auto& line : environment.logLines()) count += line.rfind(prefix, 0) == 0;
    return count;
}

}  // namespace

TEST(JvmLibrary, VmDirectoriesAreTriedInOrder) {
    using Placed = std::vector<std::pair<const char*, const char*>>;  // directory, fixture
    using Attempts = std::vector<std::pair<const char*, int>>;        // directory, exists
    struct Row {
        const char* name;
        const char* exe;
        Placed vms;
        const char* vmType;
        bool loads;
        Attempts attempts;
        int failures;
        const char* pathTail;  // appended to PATH after the load; nullptr: PATH unchanged
    } rows[] = {
        {"client only", "bin\\java.exe", {{"bin\\client", "jvm.dll"}}, "", true,
         {{"bin\\hotspot", 0}, {"bin\\client", 1}}, 0, "bin"},
        {"configured server with only a client", "bin\\java.exe", {{"bin\\client", "jvm.dll"}},
         "server", true, {{"bin\\server", 0}, {"bin\\hotspot", 0}, {"bin\\client", 1}}, 0, "bin"},
        {"configured directory tried first", "bin\\java.exe",
         {{"bin\\hotspot", "jvm.dll"}, {"bin\\server", "jvm.dll"}}, "server", true,
         {{"bin\\server", 1}}, 0, "bin"},
        {"broken library logged, next one loads", "bin\\java.exe",
         {{"bin\\hotspot", "failload.dll"}, {"bin\\client", "jvm.dll"}}, "", true,
         {{"bin\\hotspot", 1}, {"bin\\client", 1}}, 1, "bin"},
        {"jrockit comes last", "bin\\java.exe", {{"bin\\jrockit", "jvm.dll"}}, "", true,
         {{"bin\\hotspot", 0}, {"bin\\client", 0}, {"bin\\server", 0}, {"bin\\classic", 0},
          {"bin\\jrockit", 1}},
         0, "bin"},
        {"javaw.exe gives the same bin directory", "bin\\javaw.exe", {{"bin\\client", "jvm.dll"}},
         "", true, {{"bin\\hotspot", 0}, {"bin\\client", 1}}, 0, "bin"},
        {"JDK falls back to its embedded runtime", "bin\\java.exe",
         {{"jre\\bin\\client", "jvm.dll"}}, "", true,
         {{"bin\\hotspot", 0}, {"bin\\client", 0}, {"bin\\server", 0}, {"bin\\classic", 0},
          {"bin\\jrockit", 0}, {"bin\\..\\jre\\bin\\hotspot", 0}, {"bin\\..\\jre\\bin\\client", 1}},
         0, "bin\\..\\jre\\bin"},
        {"nothing loads anywhere", "bin\\java.exe", {}, "", false,
         {{"bin\\hotspot", 0}, {"bin\\client", 0}, {"bin\\server", 0}, {"bin\\classic", 0},
          {"bin\\jrockit", 0}, {"bin\\..\\jre\\bin\\hotspot", 0}, {"bin\\..\\jre\\bin\\client", 0},
          {"bin\\..\\jre\\bin\\server", 0}, {"bin\\..\\jre\\bin\\classic", 0},
          {"bin\\..\\jre\\bin\\jrockit", 0}},
         0, nullptr},
    };
    for (const auto& row : rows) {
        JreTestEnvironment environment;
        ScopedVariable path("PATH", environmentVariable("PATH").c_str());
        const std::string before = environmentVariable("PATH");
        ScratchDir dir("jvmload");
        for (const auto& [directory, variant] : row.vms)
            copyFixture("jvmvariants", variant, dir.file(std::string(directory) + "\\jvm.dll"));
        installConfigForTesting(blockWith({{Key::VmType, row.vmType}}));

        // The order of the attempts is only visible in the log.
        ASSERT_TRUE(environment.hasLog()) << "run this test in a process of its own";
        HMODULE library = loadJvmLibrary(dir.file(row.exe));
        EXPECT_EQ(library != nullptr, row.loads) << row.name;
        const std::string expectedPath =
            row.pathTail ? before + ";" + dir.file(row.pathTail) : before;
        EXPECT_EQ(environmentVariable("PATH"), expectedPath) << row.name;
        EXPECT_EQ(crtPath(), expectedPath) << row.name << ": C runtime copy";
        if (environment.hasLog()) {
            std::vector<std::string> expected;
            for (const auto& [directory, exists] : row.attempts)
                expected.push_back("Trying " + dir.file(directory) + "\\jvm.dll (exists " +
                                   std::to_string(exists) + ")");
            EXPECT_EQ(tryingLines(environment), expected) << row.name;
            EXPECT_EQ(countLines(environment, "Failed with error code "), row.failures) << row.name;
        }
        if (library) FreeLibrary(library);
    }
}

TEST(JvmLibrary, EntryPointIsResolvedByItsPlainName) {
    struct Row {
        const char* name;
        const char* variant;  // nullptr: no library at all
        bool resolves;
    } rows[] = {
        {"minimal JVM library", "jvm.dll", true},
        {"library without exports", "noexports.dll", false},
        {"no library", nullptr, false},
    };
    for (const auto& row : rows) {
        ScratchDir dir("jvmentry");
        HMODULE library = nullptr;
        if (row.variant) {
            copyFixture("jvmvariants", row.variant, dir.file("jvm.dll"));
            library = LoadLibraryA(dir.file("jvm.dll").c_str());
            ASSERT_NE(library, nullptr) << row.name;
        }
        EXPECT_EQ(resolveCreateJavaVM(library), row.resolves) << row.name;
        if (row.resolves) {
            ASSERT_NE(createJavaVMEntry(), nullptr) << row.name;
            JavaVM* vm = reinterpret_cast<JavaVM*>(1);
            void* env = reinterpret_cast<void*>(1);
            // The stand-in refuses every VM; the call itself must come back cleanly.
            EXPECT_EQ(createJavaVMEntry()(&vm, &env, nullptr), -1) << row.name;
            EXPECT_EQ(vm, nullptr) << row.name;
        }
        if (library) FreeLibrary(library);
    }
}

TEST(JvmLibrary, OverlongDirectoriesAndPathsAreRefused) {
    struct Row {
        const char* name;
        std::string javaExe;
        std::size_t pathLength;  // PATH set to this many characters first
        bool attempts;           // whether any library load is tried
    } rows[] = {
        {"bin directory of 1999 characters is tried",
         "c:\\" + std::string(MaxBinDirectoryLength - 7, 'x') + "\\bin\\java.exe", 100, true},
        {"bin directory of 2000 characters is refused",
         "c:\\" + std::string(MaxBinDirectoryLength - 6, 'x') + "\\bin\\java.exe", 100, false},
        {"PATH that would just fit", "c:\\j\\bin\\java.exe", MaxPathListLength - 9, true},
        {"PATH that would overflow", "c:\\j\\bin\\java.exe", MaxPathListLength - 8, false},
    };
    for (const auto& row : rows) {
        JreTestEnvironment environment;
        const std::string longPath(row.pathLength, 'p');
        ScopedVariable path("PATH", longPath.c_str());
        installConfigForTesting(blockWith({}));
        EXPECT_EQ(loadJvmForJavaExe(row.javaExe), nullptr) << row.name;
        EXPECT_EQ(environmentVariable("PATH"), longPath) << row.name << ": PATH restored or untouched";
        EXPECT_EQ(crtPath(), longPath) << row.name;
        if (environment.hasLog()) {
            EXPECT_EQ(tryingLines(environment).size(), row.attempts ? 5u : 0u) << row.name;
        }
    }
}
