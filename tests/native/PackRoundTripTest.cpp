// build -> inspect -> build gives the same block, included files come back byte for byte,
// and inspect says what a rebuild would not reproduce.
#include <gtest/gtest.h>

#include <random>

#include "PackInspect.h"
#include "PackTestSupport.h"

using namespace karvo;
using namespace karvo::pack;
using namespace karvo::pack::test;

namespace {

struct RoundTripCase {
    const char* name;
    std::string toml;
};

// "1, 0, 0, ...": long enough that inspect breaks a raw form over several lines.
std::string manyUnits(int count) {
    std::string units = "1";
    for (int i = 1; i < count; ++i) units += ", 0";
    return units;
}

class PackRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(PackRoundTrip, RebuildGivesTheSameBlock) {
    TempDir dir;
    writeBytes(dir / "template.exe", fakeTemplate());
    writeText(dir / "first.toml", GetParam().toml);
    writeText(dir / "a.jar", "jar bytes");
    writeBytes(dir / "empty.dll", {});

    const std::string first = (dir / "first.exe").string();
    auto run = runPack({"build", (dir / "first.toml").string(), "--template",
                        (dir / "template.exe").string(), "--out", first});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    run = runPack({"inspect", first, "--extract", (dir / "files").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "") << "a block the packer made needs no warning";
    writeText(dir / "second.toml", run.out);

    const std::string second = (dir / "second.exe").string();
    const auto rebuild = runPack({"build", (dir / "second.toml").string(), "--template",
                                  (dir / "template.exe").string(), "--out", second});
    ASSERT_EQ(rebuild.exitCode, 0) << rebuild.err << "\n" << run.out;
    EXPECT_EQ(readBytes(first), readBytes(second)) << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, PackRoundTrip,
    ::testing::Values(
        RoundTripCase{"Minimal", "service_name = 'S'\nmain_class = 'a.Main'\n"},
        RoundTripCase{"EveryNamedSetting", R"(
service_name = "Every"
redirect_stderr = true
stderr_file = "logs\\err.txt"
redirect_stdout = false
stdout_file = "${KARVO_EXEDIR}out.txt"
append_output = true
launcher_type = 1
class_path = ["A1lib\\a.jar", "S0lib", "E0CLASSPATH"]
main_class = "com.example.Main"
vm_arguments = "-Xmx1g \"-Dx=a b\""
arguments = "one 'two three'"
j_arguments_to_vm = true
min_java_version = "1.8"
max_java_version = "17"
jre_search_sequence = ["B.\\jre", "Y", "EJAVA_HOME"]
allow_prerelease_java = false
require_jdk = true
working_directory = ".."
dependencies = ["Tcpip", "Afd"]
vm_type = "server"
application_id = "1234-5678"
flavour = "t"
application_directory = "."
native_library_path = ["bin", "%KARVO_TEMPDIR%"]
process_comm_file = true
delayed_auto_start = true
service_account = "NT SERVICE\\Every"
failure_restart_delay = 60000
failure_reset_period = 3600
output_max_size = 10485760
output_keep = 5
description = "Every setting, \u00e4\u20ac\U0001F600"
[messages]
title = "Fehler"
internal_error = "Interner Fehler {0}"
)"},
        RoundTripCase{"ValuesInNonCanonicalForms",
                      "service_name = 's'\nmain_class = 'm'\nlauncher_type = '04'\nrequire_jdk = 7\n"
                      "redirect_stdout = '+1'\nappend_output = -1\nallow_prerelease_java = '-0'\n"},
        RoundTripCase{"ListsWithEmptyEntries",
                      "service_name = 's'\nmain_class = 'm'\nclass_path = ['a', '', 'b', '']\n"
                      "native_library_path = ''\njre_search_sequence = ['Y']\ndependencies = ';'\n"},
        RoundTripCase{"CharactersThatNeedCare",
                      "service_name = \"it's\"\nmain_class = \"a\\tb\\nc\\\"d\\\\\"\n"
                      "application_id = \"\\u0081\\u008D\\u20ac\\u00ff\"\nvm_type = '\\\\server'\n"},
        RoundTripCase{"RawUnitsThatNoStringCanHold",
                      "service_name = 's'\nmain_class = { raw = [97, 0, 98] }\n"
                      "description = { raw = [55296, 65] }\nredirect_stdout = { raw = [49, 0] }\n"
                      "launcher_type = { raw = [121, 101, 115] }\nclass_path = { raw = [0, 59] }\n"
                      "[messages]\ntitle = { raw = [" + manyUnits(41) + "] }\n"
                      "[raw.wide]\n\"7\" = { raw = [0] }\n[raw.text]\n\"8\" = { raw = [0, 0, 0] }\n"
                      "[[localized]]\nlocale = { raw = [100, 0, 101] }\ndescription = { raw = [56320] }\n"},
        RoundTripCase{"RawKeys",
                      "service_name = 's'\nmain_class = 'm'\n[raw.text]\n\"108\" = 'x'\n\"-2\" = ''\n"
                      "\"20017\" = 'text, not wide'\n\"10109\" = '255,0,0'\n[raw.wide]\n\"101\" = 'wide'\n"
                      "\"2147483647\" = 'z'\n"},
        RoundTripCase{"WithoutDefaults",
                      "write_defaults = false\nservice_name = 's'\nmain_class = 'm'\n[messages]\ntitle = 'T'\n"},
        RoundTripCase{"LocalizedGroups",
                      "service_name = 's'\nmain_class = 'm'\ndescription = 'en'\n"
                      "[[localized]]\nlocale = 'de'\ndescription = 'de'\n\"1009\" = 'x'\n"
                      "[[localized]]\nlocale = 'de_CH'\ndescription = 'ch'\n"
                      "[[localized]]\nlocale = ''\n"},
        RoundTripCase{"IncludedFiles",
                      "service_name = 's'\nmain_class = 'm'\n"
                      "[[include]]\nname = 'app.jar'\nsource = 'a.jar'\n"
                      "[[include]]\nname = 'lib\\native.dll'\nsource = 'empty.dll'\n"
                      "[[include]]\nname = 'd\u00e9j\u00e0.txt'\nsource = 'a.jar'\n"}),
    [](const auto& info) { return info.param.name; });

class IncludedFileSizes : public ::testing::TestWithParam<std::size_t> {};

TEST_P(IncludedFileSizes, ComeBackByteForByte) {
    const std::size_t size = GetParam();
    std::vector<std::uint8_t> data(size);
    std::mt19937 random(static_cast<unsigned>(size));
    for (auto& byte : data) byte = static_cast<std::uint8_t>(random());
    if (size > 2) data[1] = IncludedDataMask;  // a byte that is stored as 0

    TempDir dir;
    writeBytes(dir / "template.exe", fakeTemplate());
    writeBytes(dir / "data.bin", data);
    writeBytes(dir / "small.bin", {1, 2, 3});
    writeText(dir / "c.toml",
              "service_name = 's'\nmain_class = 'm'\nadd_runtime_jar = false\n"
              "[[include]]\nname = 'lib\\data.bin'\n"
              "source = 'data.bin'\n[[include]]\nname = 'after.bin'\nsource = 'small.bin'\n");
    const auto exe = (dir / "c.exe").string();
    auto run = runPack({"build", (dir / "c.toml").string(), "--template",
                        (dir / "template.exe").string(), "--out", exe});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const auto bytes = readBytes(exe);
    EXPECT_EQ(bytes.size() % 512, 0u);
    const auto read = readPackedExecutable(bytes);
    ASSERT_EQ(read.problem, ReadProblem::None) << read.message;
    ASSERT_EQ(read.configuration.files.size(), 2u);
    EXPECT_TRUE(read.configuration.files[0].data == data);
    EXPECT_EQ(read.configuration.files[1].data, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(read.configuration.trailingDataSize, 0);

    run = runPack({"inspect", exe, "--extract", (dir / "out").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(readBytes(dir / "out" / "lib" / "data.bin") == data);
    EXPECT_EQ(readBytes(dir / "out" / "after.bin"), (std::vector<std::uint8_t>{1, 2, 3}));
}

INSTANTIATE_TEST_SUITE_P(Sizes, IncludedFileSizes,
                         ::testing::Values(0, 1, 8191, 8192, 8193, 3 * 1024 * 1024 + 7),
                         [](const auto& info) { return "Bytes" + std::to_string(info.param); });

// Blocks that other tools may write: inspect shows what the launcher reads and warns.
struct ForeignCase {
    const char* name;
    ConfigBlock block;
    std::vector<IncludedFile> files;
    std::string warning;   // a part of the expected warning
    std::string printed;   // a part of the expected description
};

class InspectForeignBlocks : public ::testing::TestWithParam<ForeignCase> {};

TEST_P(InspectForeignBlocks, ShowWhatTheLauncherReads) {
    const auto& c = GetParam();
    auto exe = fakeTemplate();
    const auto block = writeConfigBlock(c.block, c.files, 1024);
    exe.insert(exe.end(), block.begin(), block.end());
    const auto read = readPackedExecutable(exe);
    ASSERT_EQ(read.problem, ReadProblem::None) << read.message;
    const auto description = describeConfiguration(read.configuration, {"x.exe", std::nullopt});
    std::string warnings;
    for (const auto& warning : description.warnings) warnings += warning + "\n";
    EXPECT_NE(warnings.find(c.warning), std::string::npos) << warnings;
    EXPECT_NE(description.toml.find(c.printed), std::string::npos) << description.toml;
}

ConfigBlock texts(std::vector<std::pair<ConfigKey, std::string>> entries) {
    ConfigBlock block;
    block.texts = std::move(entries);
    return block;
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, InspectForeignBlocks,
    ::testing::Values(
        ForeignCase{"RepeatedKeyShowsTheLaterValue",
                    texts({{101, "first"}, {101, "second"}}),
                    {},
                    "repeats keys",
                    "service_name = 'second'"},
        ForeignCase{"KeysOutOfOrder",
                    texts({{122, "m"}, {101, "s"}}),
                    {},
                    "ascending order",
                    "service_name = 's'"},
        ForeignCase{
            "MissingDefaultsAreKeptMissing", texts({{101, "s"}}), {}, "", "write_defaults = false"},
        ForeignCase{"CountLargerThanTheNames",
                    texts({{2002, "3"}, {2003, "a.jar"}}),
                    {{"a.jar", {1}}},
                    "do not list exactly the included files",
                    "name = 'a.jar'"},
        ForeignCase{"ValueBeyondTheLaunchersLimit",
                    texts({{2001, "tk"}}),
                    {},
                    "key 2001 holds 2 characters, more than the launcher accepts (1)",
                    "flavour = 'tk'"},
        ForeignCase{"EmptyNameEndsTheList",
                    texts({{2002, "2"}, {2003, ";b.jar"}}),
                    {},
                    "do not list exactly",
                    "write_defaults = false"},
        ForeignCase{"MinimumBelowTheRuntimeClasses",
                    texts({{126, "1.6"}}),
                    {},
                    "min_java_version is below 1.7, the oldest Java the runtime classes load on",
                    "min_java_version = { raw = [49, 46, 54] }"}),
    [](const auto& info) { return info.param.name; });

}  // namespace

namespace {

// Blocks another tool could write, in key order without repeats: whatever the launcher
// reads from them, inspect prints a description that builds the very same block.
struct HandMadeCase {
    const char* name;
    ConfigBlock block;
};

class HandMadeBlocks : public ::testing::TestWithParam<HandMadeCase> {};

TEST_P(HandMadeBlocks, InspectThenBuildGivesTheSameBlock) {
    const auto& block = GetParam().block;
    auto exe = fakeTemplate();
    const auto written = writeConfigBlock(block, {}, 1024);
    exe.insert(exe.end(), written.begin(), written.end());
    const auto read = readPackedExecutable(exe);
    ASSERT_EQ(read.problem, ReadProblem::None) << read.message;
    const auto description = describeConfiguration(read.configuration, {"x.exe", std::nullopt});
    EXPECT_TRUE(description.warnings.empty()) << description.warnings.front();
    PackInput again;
    try {
        again = readDescription(description.toml, "inspected.toml", ".");
    } catch (const PackError& error) {
        FAIL() << error.what() << "\n" << description.toml;
    }
    EXPECT_EQ(writeConfigBlock(again.block, {}, 1024), written) << description.toml;
}

ConfigBlock oneText(ConfigKey key, std::string value) {
    ConfigBlock block;
    block.texts = {{key, std::move(value)}};
    return block;
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Blocks, HandMadeBlocks,
    ::testing::Values(
        HandMadeCase{"FlagHoldingANul", oneText(Key::PassStdOutFile, "1\0"s)},
        HandMadeCase{"FlagHoldingAWord", oneText(Key::RequireJdk, "yes")},
        HandMadeCase{"FlagHoldingABlankAndDigits", oneText(Key::AppendRedirection, " 1")},
        HandMadeCase{"FlagEmpty", oneText(Key::JArgumentsToVm, "")},
        HandMadeCase{"IntegerBeyond32Bits", oneText(Key::LauncherType, "99999999999")},
        HandMadeCase{"IntegerWithLeadingZeroAndSign", oneText(Key::LauncherType, "+04")},
        HandMadeCase{"ListHoldingANul", oneText(Key::ClassPath, "A1a.jar;\0b"s)},
        HandMadeCase{"MessageHoldingANul", oneText(Key::MessageTitle, "Err\0or"s)},
        HandMadeCase{"MessageOfControlCharacters", oneText(Key::MessageOkButton, "\x01\x7f\x81")},
        HandMadeCase{"RawTextHoldingANul", oneText(108, "\0"s)},
        // Values the launcher reads (falling back or applying a floor) but build refuses in
        // their plain form.
        HandMadeCase{"RestartHoldingAnUnknownWord", oneText(Key::Restart, "sometimes")},
        HandMadeCase{"RestartDelayOfZero", oneText(Key::RestartDelay, "0")},
        HandMadeCase{"NegativeStopTimeout", oneText(Key::StopTimeout, "-1")},
        HandMadeCase{"KeepingMoreFilesThanTheBound", oneText(Key::OutputKeep, "2147483647")},
        HandMadeCase{"AccountThatNeedsAPassword", oneText(Key::ServiceAccount, "CORP\\alice\n")},
        HandMadeCase{"LimitWithAResetOfZero",
                     [] {
                         ConfigBlock block;
                         block.texts = {{Key::RestartResetAfter, "0"}, {Key::RestartLimit, "3"}};
                         return block;
                     }()},
        HandMadeCase{"WideLoneSurrogate",
                     [] {
                         ConfigBlock block;
                         block.wides = {{5000, std::u16string(u"a\0b", 3)},
                                        {Key::Description, std::u16string(1, char16_t(0xDC00))}};
                         return block;
                     }()},
        HandMadeCase{"LocalePrefixHoldingANul",
                     [] {
                         ConfigBlock block;
                         block.groups = {{"de\0"s, {{Key::Description, u"x"}}}, {"", {}}};
                         return block;
                     }()}),
    [](const auto& info) { return info.param.name; });

}  // namespace
