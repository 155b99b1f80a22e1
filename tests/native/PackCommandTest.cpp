// The packer's command line: usage, refusals that leave no output behind, and inspect of
// executables that carry no block or a damaged one.
#include <gtest/gtest.h>

#include <algorithm>

#include "PackTestSupport.h"

using namespace karvo;
using namespace karvo::pack;
using namespace karvo::pack::test;

namespace {

struct UsageCase {
    const char* name;
    std::vector<std::string> arguments;
    int exitCode;
    std::string message;
};

class PackUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(PackUsage, ExplainsTheCommandLine) {
    const auto run = runPack(GetParam().arguments);
    EXPECT_EQ(run.exitCode, GetParam().exitCode);
    EXPECT_NE((run.err + run.out).find(GetParam().message), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, PackUsage,
    ::testing::Values(
        UsageCase{"NoCommand", {}, ExitUsage, "no command given"},
        UsageCase{"UnknownCommand", {"pack"}, ExitUsage, "unknown command 'pack'"},
        UsageCase{"Help", {"--help"}, ExitSuccess, "usage: karvo-pack build"},
        UsageCase{"BuildWithoutOut", {"build", "c.toml", "--template", "t.exe"}, ExitUsage,
                  "build needs CONFIG.toml, --template and --out"},
        UsageCase{"BuildWithTwoConfigs", {"build", "a", "b", "--template", "t", "--out", "o"}, ExitUsage,
                  "build needs"},
        UsageCase{"OptionWithoutValue", {"build", "c.toml", "--out"}, ExitUsage, "--out needs a value"},
        UsageCase{"OptionTwice", {"build", "c", "--out", "a", "--out", "b"}, ExitUsage, "given twice"},
        UsageCase{"UnknownOption", {"inspect", "x.exe", "--force", "1"}, ExitUsage, "unknown option --force"},
        UsageCase{"InspectWithoutFile", {"inspect"}, ExitUsage, "inspect needs one EXECUTABLE.exe"},
        UsageCase{"KeysListsTheSettings", {"keys"}, ExitSuccess, "2003\ttext\tincluded_file_names"}),
    [](const auto& info) { return info.param.name; });

// A failed build: which files exist beforehand, what the error says, and that the output
// is neither created nor changed.
struct BuildFailureCase {
    const char* name;
    std::string toml;
    std::string templateKind;  // "fake", "missing", "text", "configured", "truncated"
    std::string message;
};

class PackBuildFailures : public ::testing::TestWithParam<BuildFailureCase> {};

TEST_P(PackBuildFailures, LeaveNoOutputBehind) {
    const auto& c = GetParam();
    TempDir dir;
    writeText(dir / "c.toml", c.toml);
    const auto templatePath = dir / "template.exe";
    auto fake = fakeTemplate();
    if (c.templateKind == "fake") writeBytes(templatePath, fake);
    if (c.templateKind == "text") writeText(templatePath, "#!/bin/sh\necho not a PE file\n");
    if (c.templateKind == "configured") {
        fake.resize(1536, 0x55);
        writeBytes(templatePath, fake);
    }
    if (c.templateKind == "truncated") {
        fake.resize(800);
        writeBytes(templatePath, fake);
    }
    writeText(dir / "existing.exe", "previous output");

    for (const std::string out : {"new.exe", "existing.exe"}) {
        const auto run = runBuild(dir / "c.toml", templatePath, dir / out);
        EXPECT_EQ(run.exitCode, ExitFailure) << out;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << "one line: " << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "new.exe"));
    const auto previous = readBytes(dir / "existing.exe");
    EXPECT_EQ(std::string(previous.begin(), previous.end()), "previous output");
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
}

INSTANTIATE_TEST_SUITE_P(
    Builds, PackBuildFailures,
    ::testing::Values(
        BuildFailureCase{"TemplateMissing", Named, "missing", "template.exe does not exist"},
        BuildFailureCase{"TemplateNotAnExecutable", Named, "text", "is not a Windows executable"},
        BuildFailureCase{"TemplateAlreadyConfigured", Named, "configured",
                         "already carries data after its last section"},
        BuildFailureCase{"TemplateTruncated", Named, "truncated", "points past its end"},
        BuildFailureCase{"DescriptionRefused", "main_class = 5\n", "fake",
                         "main_class must be a string"},
        BuildFailureCase{
            "WordInAFlag", Named + "redirect_stdout = 'on'\n", "fake",
            "c.toml:3: redirect_stdout = 'on' is not a number; it must be true, false"},
        BuildFailureCase{"WordInAnInteger", Named + "launcher_type = 'service'\n", "fake",
                         "c.toml:3: launcher_type = 'service' is not a number"},
        BuildFailureCase{"NumbersForAText", "service_name = 's'\nmain_class = [1, 2]\n", "fake",
                         "c.toml:2: main_class is an array of numbers"},
        BuildFailureCase{"DeepDottedKey", Named + dottedKey(20000) + " = 1\n", "fake",
                         "c.toml:3: nesting deeper than 64 levels"},
        BuildFailureCase{"IncludedFileMissing",
                         Named + "[[include]]\nname = 'a.jar'\nsource = 'gone.jar'\n", "fake",
                         "gone.jar does not exist"}),
    [](const auto& info) { return info.param.name; });

// Refusals that come before the output is opened leave the template as it was and write
// no output. The size is checked before anything is read: a sparse file of 16 MiB and one
// byte is refused at once.
TEST(PackBuildFailures, RefusedBeforeTheOutputIsOpened) {
    struct Row {
        const char* name;
        std::optional<std::uintmax_t> descriptionSize;  // nothing: there is no description
        const char* out;
        std::string message;
    } rows[] = {
        {"description missing", std::nullopt, "o.exe", "cannot read the description"},
        {"description over the size limit", MaxDescriptionSize + 1, "o.exe",
         "c.toml: the description has 16777217 bytes or more; karvo-pack reads descriptions of "
         "at most 16 MiB"},
        {"output over the template", Named.size(), "./t.exe", "names the template itself"},
    };
    for (const auto& row : rows) {
        TempDir dir;
        writeBytes(dir / "t.exe", fakeTemplate());
        if (row.descriptionSize) {
            writeText(dir / "c.toml", Named);
            std::filesystem::resize_file(dir / "c.toml", *row.descriptionSize);
        }
        const auto run = runBuild(dir / "c.toml", dir / "t.exe", dir / row.out);
        EXPECT_EQ(run.exitCode, ExitFailure) << row.name;
        EXPECT_NE(run.err.find(row.message), std::string::npos) << row.name << ": " << run.err;
        EXPECT_EQ(readBytes(dir / "t.exe"), fakeTemplate()) << row.name;
        EXPECT_FALSE(std::filesystem::exists(dir / "o.exe")) << row.name;
    }
}

TEST(PackBuild, ReplacesAnExistingOutputAndReportsWarnings) {
    TempDir dir;
    writeText(dir / "c.toml", Named);
    writeBytes(dir / "t.exe", fakeTemplate());
    writeText(dir / "o.exe", "old");
    const auto run = runBuild(dir / "c.toml", dir / "t.exe", dir / "o.exe");
    EXPECT_EQ(run.exitCode, ExitSuccess) << run.err;
    EXPECT_NE(run.err.find("karvo-pack: warning: the program's standard output and standard "
                           "error are both discarded"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(readPackedExecutable(readBytes(dir / "o.exe")).problem, ReadProblem::None);
}

// A configured executable with texts, a wide text and an included file; the offsets below
// follow from its layout (the block starts at 1024).
std::vector<std::uint8_t> sampleExecutable() {
    ConfigBlock block;
    block.texts = {{101, "Svc"}, {2002, "1"}, {2003, "a.bin"}};
    block.wides = {{20017, u"Desc"}};
    return configuredExecutable(block, {{"a.bin", {1, 2, 3, 4}}});
}
// 1024 magic, 1028 and 1032 reserved, 1036 length, 1044 text count, 1048 key, 1052 length,
// 1056 "Svc", then keys 2002 and 2003 (22 bytes); 1081 wide count, 1085 key, 1089 length,
// 1093 "Desc" (8 bytes), 1101 group count, 1105 the included file's size and data.
constexpr std::size_t TextValue = 1056, WideValue = 1093, IncludedData = 1105;

// A block made elsewhere whose second name would lead the extraction out of its directory.
std::vector<std::uint8_t> escapingExecutable() {
    ConfigBlock block;
    block.texts = {{2002, "2"}, {2003, "ok.txt;..\\escaped.txt"}};
    return configuredExecutable(block, {{"ok.txt", {1}}, {"..\\escaped.txt", {2}}});
}

struct DamageCase {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    std::string message;
};

class InspectDamage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(InspectDamage, IsReportedWithTheLaunchersWords) {
    TempDir dir;
    auto exe = sampleExecutable();
    GetParam().damage(exe);
    writeBytes(dir / "x.exe", exe);
    const auto run = runPack({"inspect", (dir / "x.exe").string(), "--extract", (dir / "out").string()});
    EXPECT_EQ(run.exitCode, ExitFailure);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    // Nothing is extracted, inside the directory or beside it.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path()))
        EXPECT_TRUE(entry.is_directory() || entry.path() == dir / "x.exe") << entry.path();
}

INSTANTIATE_TEST_SUITE_P(
    Executables, InspectDamage,
    ::testing::Values(
        DamageCase{"TemplateWithoutBlock", [](auto& b) { b.resize(1024); },
                   "carries no configuration block"},
        DamageCase{"NotAnExecutable", [](auto& b) { b[0] = 'X'; }, "is not a Windows executable"},
        DamageCase{"OtherDataAfterTheSections", [](auto& b) { b[1024] ^= 0xFF; },
                   "not a configuration block (the launcher stops with \"Internal Error: magic\")"},
        DamageCase{"EndsAfterTheMagic", [](auto& b) { b.resize(1026); }, "Internal Error: readInt"},
        DamageCase{"EndsInsideTheLength", [](auto& b) { b.resize(1040); },
                   "Internal Error: readLong"},
        DamageCase{"EndsInsideAText", [](auto& b) { b.resize(TextValue + 1); },
                   "Internal Error: readString"},
        DamageCase{"TextLengthBeyondTheFile", [](auto& b) { b[TextValue - 1] = 0x7F; },
                   "Internal Error: readString"},
        DamageCase{"EndsInsideAWideText", [](auto& b) { b.resize(WideValue + 3); },
                   "Internal Error: readWString"},
        DamageCase{"IncludedDataCutShort", [](auto& b) { b.resize(IncludedData + 8 + 2); },
                   "damaged included data: included file 'a.bin': its data is truncated"},
        DamageCase{"UnsafeNameRefusedBeforeWritingAnything",
                   [](auto& b) { b = escapingExecutable(); },
                   "'..\\escaped.txt' that contains a '.' or '..' step"}),
    [](const auto& info) { return info.param.name; });

TEST(InspectDamage, MissingExecutable) {
    TempDir dir;
    const auto run = runPack({"inspect", (dir / "none.exe").string()});
    EXPECT_EQ(run.exitCode, ExitFailure);
    EXPECT_NE(run.err.find("none.exe does not exist"), std::string::npos) << run.err;
}

TEST(InspectExtract, WithoutExtractListsSizes) {
    TempDir dir;
    writeBytes(dir / "x.exe", sampleExecutable());
    const auto run = runPack({"inspect", (dir / "x.exe").string()});
    EXPECT_EQ(run.exitCode, ExitSuccess) << run.err;
    EXPECT_NE(run.out.find("name = 'a.bin'\n# 4 bytes; inspect with --extract DIR"), std::string::npos)
        << run.out;
}

}  // namespace
