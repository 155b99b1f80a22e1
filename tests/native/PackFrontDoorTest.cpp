// What a new user meets first: the runtime classes' jar added by build, the starter
// description of init, and inspect printing the forms people write.
#include <gtest/gtest.h>

#include "PackInspect.h"
#include "PackStarter.h"
#include "PackTestSupport.h"

using namespace karvo;
using namespace karvo::pack;
using namespace karvo::pack::test;

namespace {

struct RuntimeJarCase {
    const char* name;
    std::string toml;
    bool jarOption;        // --runtime-jar names a jar of the test's own
    bool besideThePacker;  // the packer lies where the runtime folder is found
    int exitCode;
    std::string included;  // the last included file's name; empty: none of the runtime jars
    std::string data;      // its bytes
};

class RuntimeJar : public ::testing::TestWithParam<RuntimeJarCase> {};

TEST_P(RuntimeJar, IsIncludedUnlessNamedOrTurnedOff) {
    const auto& c = GetParam();
    TempDir dir;
    writeText(dir / "c.toml", c.toml);
    writeBytes(dir / "t.exe", fakeTemplate());
    writeText(dir / "mine.jar", "my runtime classes");
    std::vector<std::string> arguments{"build",      (dir / "c.toml").string(),
                                       "--template", (dir / "t.exe").string(),
                                       "--out",      (dir / "o.exe").string()};
    if (c.jarOption)
        arguments.insert(arguments.end(), {"--runtime-jar", (dir / "mine.jar").string()});
    std::ostringstream out, err;
    const int code = runPacker(arguments, out, err,
                               c.besideThePacker ? packerDirectory() : std::filesystem::path());
    ASSERT_EQ(code, c.exitCode) << err.str();
    if (code != ExitSuccess) {
        EXPECT_NE(err.str().find("give --runtime-jar PATH"), std::string::npos) << err.str();
        return;
    }
    const auto read = readPackedExecutable(readBytes(dir / "o.exe"));
    ASSERT_EQ(read.problem, ReadProblem::None);
    const auto& files = read.configuration.files;
    const bool jarLast = !files.empty() && (files.back().name == "karvo-runtime.jar" ||
                                            files.back().name == "tslruntime.jar");
    EXPECT_EQ(jarLast ? files.back().name : "", c.included);
    if (jarLast) {
        EXPECT_EQ(std::string(files.back().data.begin(), files.back().data.end()), c.data);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Builds, RuntimeJar,
    ::testing::Values(
        RuntimeJarCase{"FoundInTheReleaseLayout", Named, false, true, ExitSuccess,
                       "karvo-runtime.jar", StandInRuntimeJar},
        RuntimeJarCase{"TesselFlavourTakesItsOwnJar", Named + "flavour = 't'\n", false, true,
                       ExitSuccess, "tslruntime.jar", StandInRuntimeJar},
        RuntimeJarCase{"GivenOnTheCommandLine", Named, true, false, ExitSuccess,
                       "karvo-runtime.jar", "my runtime classes"},
        RuntimeJarCase{"NamedOnTheClassPath", Named + "class_path = ['lib/Karvo-Runtime.jar']",
                       false, false, ExitSuccess, "", ""},
        RuntimeJarCase{"NamedBesideTheExecutable", Named + "class_path = ['karvo-runtime.jar']",
                       false, false, ExitSuccess, "", ""},
        RuntimeJarCase{"TurnedOff", Named + "add_runtime_jar = false\n", false, false, ExitSuccess,
                       "", ""},
        RuntimeJarCase{"NotAddedToAnExactBlock", "write_defaults = false\n" + Named, false, false,
                       ExitSuccess, "", ""},
        RuntimeJarCase{"NotFoundSaysWhatToDo", Named, false, false, ExitFailure, "", ""}),
    [](const auto& info) { return info.param.name; });

// inspect prints a stored block in the forms a description would give it.
struct PrintedCase {
    const char* name;
    std::string toml;                // built with the runtime jar turned off unless it says so
    std::vector<std::string> shown;  // parts of the printed description
    std::vector<std::string> notShown;
    bool all = false;
};

class InspectForms : public ::testing::TestWithParam<PrintedCase> {};

TEST_P(InspectForms, PrintWhatPeopleWrite) {
    const auto& c = GetParam();
    const auto input = readDescription(c.toml, "p.toml", ".");
    const auto read = readPackedExecutable(configuredExecutable(input.block, input.files));
    ASSERT_EQ(read.problem, ReadProblem::None);
    DescribeOptions options{"x.exe", std::nullopt};
    options.all = c.all;
    const auto printed = describeConfiguration(read.configuration, options).toml;
    for (const auto& part : c.shown)
        EXPECT_NE(printed.find(part), std::string::npos) << part << "\n" << printed;
    for (const auto& part : c.notShown)
        EXPECT_EQ(printed.find(part), std::string::npos) << part << "\n" << printed;
    // And the printed text is a description of the very same block.
    const auto again = readDescription(printed, "again.toml", ".");
    EXPECT_EQ(writeConfigBlock(again.block, {}, 1024), writeConfigBlock(input.block, {}, 1024))
        << printed;
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, InspectForms,
    ::testing::Values(
        PrintedCase{
            "ClassPathInPlainForms",
            Named +
                "class_path = ['app.jar', 'lib/*.jar', '*.jar', 'classes/', '%CP%', 'A0opt.jar', "
                "'D1a/b']",
            {"'app.jar'", "'lib\\*.jar'", "'*.jar'", "'classes\\'", "'%CP%'", "'A0opt.jar'",
             "'D1a/b'"},
            {}},
        PrintedCase{"SearchInPlainForms",
                    Named +
                        "jre_search_sequence = ['jre', 'C:\\Java', '%JAVA_HOME%', 'registry', 'S', "
                        "'B.\\jre', '%java_home%', 'Bin']",
                    {"'jre'", "'C:\\Java'", "'%JAVA_HOME%'", "'registry'", "'S'", "'.\\jre'",
                     "'%java_home%'", "'Bin'"},
                    {}},
        PrintedCase{
            "DefaultsLeftOut", Named, {"add_runtime_jar = false"}, {"launcher_type", "[messages]"}},
        PrintedCase{"DefaultsShownWithAll",
                    Named,
                    {"launcher_type = 4", "[messages]\ntitle = 'Error'"},
                    {},
                    true},
        PrintedCase{"ChangedMessageShown",
                    Named + "[messages]\ntitle = 'Oops'",
                    {"[messages]\ntitle = 'Oops'\n"},
                    {"ok_button"}},
        PrintedCase{"ExactBlockShowsEverything",
                    "write_defaults = false\nmain_class = 'm'\nlauncher_type = 4\n",
                    {"write_defaults = false", "launcher_type = 4"},
                    {"add_runtime_jar"}}),
    [](const auto& info) { return info.param.name; });

struct InitCase {
    const char* name;
    std::vector<std::string> files;
    int exitCode;
    std::string said;  // a part of the output (success) or of the error
};

class Init : public ::testing::TestWithParam<InitCase> {};

TEST_P(Init, WritesAStarterForTheProgramsJar) {
    const auto& c = GetParam();
    TempDir dir;
    for (const auto& file : c.files) writeText(dir / file, "x");
    const auto run = runPack({"init", dir.path().string()});
    ASSERT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_NE((run.out + run.err).find(c.said), std::string::npos) << run.out << run.err;
    const bool there = std::find(c.files.begin(), c.files.end(), StarterFileName) != c.files.end();
    EXPECT_EQ(std::filesystem::exists(dir / StarterFileName), c.exitCode == ExitSuccess || there);
}

INSTANTIATE_TEST_SUITE_P(
    Directories, Init,
    ::testing::Values(
        InitCase{"OneJar",
                 {"ticker-1.2.0-SNAPSHOT.jar", "notes.txt"},
                 ExitSuccess,
                 "for ticker-1.2.0-SNAPSHOT.jar: edit main_class"},
        InitCase{"OtherJarsOfABuildAreSkipped",
                 {"app.jar", "app-sources.jar", "app-javadoc.jar", "karvo-runtime.jar"},
                 ExitSuccess,
                 "for app.jar"},
        InitCase{"NoJar", {"readme.txt"}, ExitFailure, "no .jar here"},
        InitCase{"TwoJars", {"a.jar", "b.jar"}, ExitFailure, "several jars: a.jar b.jar"},
        InitCase{
            "StarterExistsAlready", {"app.jar", "service.toml"}, ExitFailure, "exists already"}),
    [](const auto& info) { return info.param.name; });

// The starter, with its main class filled in, builds a service that keeps its output in
// rolled files, stops within a time-out, restarts on failure and finds a runtime.
TEST(Init, StarterBuildsOnceTheMainClassIsGiven) {
    TempDir dir;
    writeText(dir / "ticker-1.0.jar", "x");
    ASSERT_EQ(runPack({"init", dir.path().string()}).exitCode, ExitSuccess);
    std::ifstream in(dir / StarterFileName);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto refused = descriptionError(text, "service.toml", dir.path());
    ASSERT_TRUE(refused) << "a starter without its main class packed";
    EXPECT_NE(refused->find("main_class is missing"), std::string::npos) << *refused;
    text.replace(text.find("main_class = \"\""), 15, "main_class = \"com.example.Ticker\"");
    const auto input = readDescription(text, "service.toml", dir.path());
    EXPECT_TRUE(input.warnings.empty()) << input.warnings.front();
    EXPECT_TRUE(input.wantsRuntimeJar);
    const auto tables = buildConfigTables(input.block, std::nullopt);
    const std::map<ConfigKey, std::string> expected{
        {Key::ServiceName, "ticker"},
        {Key::ClassPath, "A1ticker-1.0.jar;S0lib"},
        {Key::SearchSequence, "Bjre;EJAVA_HOME;Y"},
        {Key::StdOutFile, "logs\\ticker.out.log"},
        {Key::PassStdOutFile, "1"},
        {Key::OutputKeep, "5"},
        {Key::StopTimeout, "30"},
        {Key::Restart, "on-failure"},
        {Key::RestartDelay, "1000"},
    };
    for (const auto& [key, value] : expected) EXPECT_EQ(tables.texts.at(key), value) << key;
}

}  // namespace
