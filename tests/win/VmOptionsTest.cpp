// The JavaVMInitArgs built from real configuration, option files, environment and
// directories.
#include <gtest/gtest.h>
#include <windows.h>

#include "config/ExecutablePath.h"
#include "config/LauncherConfig.h"
#include "config/PathOps.h"
#include "config/ProductFlavour.h"
#include "config/TempDirectory.h"
#include "launch/VmOptions.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

std::string exeBase() {
    const std::string& exe = getExecutablePath();
    return exe.substr(0, exe.size() - 4);
}

// The option files beside the test executable exist only for one test.
class DefaultOptionFiles {
public:
    ~DefaultOptionFiles() {
        DeleteFileA((exeBase() + ".vmoptions").c_str());
        DeleteFileA((exeBase() + ".exe.vmoptions").c_str());
    }
};

struct LaunchSetup {
    std::map<ConfigKey, std::string> keys;
    char flavour = '\0';
    std::string tempDir;
};

std::vector<std::string> build(const LaunchSetup& setup, const std::vector<std::string>& properties,
                               const std::vector<std::u16string>& arguments,
                               JavaVMInitArgs* out = nullptr) {
    installConfigForTesting(blockWith(setup.keys));
    setProductFlavour(std::string(1, setup.flavour));
    setLauncherTempDir(setup.tempDir);
    JavaVMInitArgs args;
    buildVmInitArgs(args, properties, arguments);
    std::vector<std::string> options;
    for (jint i = 0; i < args.nOptions; ++i) {
        options.emplace_back(args.options[i].optionString);
        EXPECT_EQ(args.options[i].extraInfo, nullptr);
    }
    if (out) *out = args;
    setLauncherTempDir("");
    setProductFlavour("");
    return options;
}

}  // namespace

TEST(VmOptions, MinimalConfiguration) {
    DefaultOptionFiles files;
    JavaVMInitArgs args;
    const auto options = build({}, {"-Dkarvo.a=1", "-Dkarvo.b=2"}, {u"svc"}, &args);
    EXPECT_EQ(options,
              (std::vector<std::string>{"-Dkarvo.a=1", "-Dkarvo.b=2", "-Djava.class.path="}));
    EXPECT_EQ(args.version, 0x00010002);
    EXPECT_EQ(args.ignoreUnrecognized, JNI_TRUE);
}

TEST(VmOptions, AllSourcesInOrder) {
    DefaultOptionFiles files;
    ScratchDir scratch("vmopts");
    CreateDirectoryA(scratch.file("sub").c_str(), nullptr);
    CreateDirectoryA(scratch.file("jar").c_str(), nullptr);
    CreateDirectoryA(scratch.file("lt").c_str(), nullptr);
    CreateDirectoryA(scratch.file("lt\\user").c_str(), nullptr);
    ASSERT_TRUE(writeFile(scratch.file("jar\\one.jar"), "j"));
    ASSERT_TRUE(writeFile(scratch.file("jar\\two.zip"), "z"));
    ASSERT_TRUE(writeFile(scratch.file("jar\\three.txt"), "t"));
    ASSERT_TRUE(writeFile(scratch.file("lt\\a.jar"), "a"));
    ASSERT_TRUE(writeFile(scratch.file("lt\\user\\b.zip"), "b"));
    // The configured include names a file whose own include is relative to it.
    ASSERT_TRUE(
        writeFile(scratch.file("conf.vmo"), "-Xfromconf\r\n-include-options sub\\inner.vmo\n"));
    ASSERT_TRUE(writeFile(scratch.file("sub\\inner.vmo"), "-Xinner\n"));
    ASSERT_TRUE(writeFile(scratch.file("file.vmo"), "-Xfromfile\n"));
    ASSERT_TRUE(writeFile(exeBase() + ".vmoptions",
                          "   # comment\n\n-Xmx64m   \n-Dprop=a value\n-Dexe=%KARVO_EXEDIR%\n"
                          "-include-options " +
                              scratch.file("file.vmo") +
                              "\n"
                              "-classpath/a first\n-classpath/a " +
                              scratch.file("suffix.jar") +
                              "\n"
                              "-classpath/p " +
                              scratch.file("prefix.jar") + "\n"));
    SetEnvironmentVariableA("KV_VMOPT_CP", ("\"" + scratch.file("env.jar") + "\"").c_str());

    LaunchSetup setup;
    setup.keys = {{Key::VmArguments, "-Xconf \"-Dspace=a b\" -include-options " +
                                         scratch.file("conf.vmo") + " -Xafter"},
                  {Key::JArgumentsToVm, "1"},
                  {Key::ClassPath, "S1" + scratch.file("jar") + ";E1KV_VMOPT_CP;A0rel.jar"},
                  {Key::ApplicationDirectory, scratch.path()}};
    setup.flavour = 't';
    setup.tempDir = scratch.file("lt");
    const auto options =
        build(setup, {"-Dprop.first=1"}, {u"svc", u"-J-Xfromj", u"plain", u"-J-Dj=2"});
    SetEnvironmentVariableA("KV_VMOPT_CP", nullptr);

    const std::string exeDir = executableDirectory();
    const std::vector<std::string> expected = {
        "-Dprop.first=1",
        "-Xconf",
        "-Dspace=a b",
        "-Xfromconf",
        "-Xinner",
        "-Xafter",
        "-Xfromj",
        "-Dj=2",
        "-Xmx64m",
        "-Dprop=a value",
        "-Dexe=" + exeDir,
        "-Xfromfile",
        "-Djava.class.path=" + scratch.file("prefix.jar") + ";" + scratch.file("lt\\a.jar") + ";" +
            scratch.file("lt\\user\\b.zip") + ";" + scratch.path() + "\\.tessel\\tslruntime.jar;" +
            scratch.file("jar\\one.jar") + ";" + scratch.file("jar\\two.zip") + ";" +
            scratch.file("env.jar") + ";" + exeDir + "rel.jar;" + scratch.file("suffix.jar"),
    };
    EXPECT_EQ(options, expected);
}

// Neither a NUL inside a configured text nor an option line too long to read whole lets
// a second option reach the VM.
TEST(VmOptions, NoHiddenSecondOption) {
    DefaultOptionFiles files;
    ASSERT_TRUE(writeFile(exeBase() + ".vmoptions",
                          "-Dlong=" + std::string(8184, 'x') + "-Dinjected=1\n-Xafter\n"));
    LaunchSetup setup;
    setup.keys = {{Key::VmArguments, std::string("-Da=1\0 -Db=2", 12)}};
    EXPECT_EQ(build(setup, {}, {u"svc"}),
              (std::vector<std::string>{"-Da=1", "-Xafter", "-Djava.class.path="}));
}

TEST(VmOptions, DefaultFileNames) {
    struct Row {
        const char* name;
        std::vector<std::string> files;  // suffixes after the executable's base name
        std::string expected;
    } rows[] = {
        {"extension replaced", {".vmoptions"}, "-Xfrom.vmoptions"},
        {"extension kept", {".exe.vmoptions"}, "-Xfrom.exe.vmoptions"},
        {"replaced name wins", {".vmoptions", ".exe.vmoptions"}, "-Xfrom.vmoptions"},
    };
    for (const auto& row : rows) {
        DefaultOptionFiles files;
        for (const std::string& suffix : row.files)
            ASSERT_TRUE(writeFile(exeBase() + suffix, "-Xfrom" + suffix + "\n"));
        const auto options = build({}, {}, {});
        EXPECT_EQ(options, (std::vector<std::string>{row.expected, "-Djava.class.path="}))
            << row.name;
    }
}

TEST(VmOptions, JArgumentsNeedTheirKey) {
    DefaultOptionFiles files;
    const auto options = build({}, {}, {u"-J-Xignored"});
    EXPECT_EQ(options, (std::vector<std::string>{"-Djava.class.path="}));
}

TEST(VmOptions, SelfIncludingFileEnds) {
    DefaultOptionFiles files;
    ASSERT_TRUE(writeFile(exeBase() + ".vmoptions",
                          "-Xonce\n-include-options " + exeBase() + ".vmoptions\n"));
    const auto options = build({}, {}, {});
    EXPECT_EQ(options, (std::vector<std::string>{"-Xonce", "-Djava.class.path="}));
}

TEST(VmOptions, FailuresEndTheProcess) {
    const std::string longPath = "C:\\" + std::string(8000, 'x');
    struct Row {
        const char* name;
        std::map<ConfigKey, std::string> keys;
    } rows[] = {
        {"mandatory directory missing", {{Key::ClassPath, "S1.\\no-such-jar-dir"}}},
        {"mandatory variable undefined", {{Key::ClassPath, "E1KV_VMOPT_UNDEFINED"}}},
        {"class path option too long",
         {{Key::ClassPath, "D0" + longPath + ";D0" + longPath + ";D0" + longPath + ";D0" +
                               longPath + ";D0" + longPath + ";D0" + longPath}}},
    };
    for (const auto& row : rows) {
        DefaultOptionFiles files;
        LaunchSetup setup;
        setup.keys = row.keys;
        EXPECT_EXIT(build(setup, {}, {}), testing::ExitedWithCode(1), "") << row.name;
    }
}
