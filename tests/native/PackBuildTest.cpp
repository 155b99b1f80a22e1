// Building a block from a description: the exact bytes, the forms a value may take, the
// refusals and the warnings.
#include <gtest/gtest.h>

#include "BlockWriter.h"
#include "PackTestSupport.h"

using namespace karvo;
using namespace karvo::pack;
using namespace karvo::pack::test;

namespace {

using Writer = karvo::test::BlockWriter;

TEST(PackBlockBytes, SmallDescriptionGivesTheExpectedBytes) {
    TempDir dir;
    writeText(dir / "a.txt", "hi");
    const auto input = readDescription(R"(
write_defaults = false
service_name = "Svc"
main_class = "a.B"
redirect_stdout = true
description = "Dé"
[raw.text]
"108" = "x"
[[localized]]
locale = "de"
description = "Ü"
[[include]]
name = "a.txt"
source = "a.txt"
)",
                                       "small.toml", dir.path());
    std::vector<std::uint8_t> exe;
    std::string error;
    ASSERT_TRUE(appendBlock(fakeTemplate(), input.block, input.files, exe, error)) << error;

    Writer w;
    w.raw({0xD5, 0x13, 0xE4, 0xE8}).u32(0).u32(0).u64(0);  // length patched below
    w.u32(6).text(101, "Svc").text(104, "1").text(108, "x").text(122, "a.B");
    w.text(2002, "1").text(2003, "a.txt");
    w.u32(1).u32(20017).u32(4).raw({'D', 0, 0xE9, 0});
    w.u32(1).u32(2).raw({'d', 'e'}).u32(1).u32(20017).u32(2).raw({0xDC, 0});
    w.u64(2).raw({'h' ^ 0xA7, 'i' ^ 0xA7});
    const std::uint64_t length = w.bytes.size() - 12;
    for (int i = 0; i < 8; ++i) w.bytes[12 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    w.raw({0xE8, 0xE4, 0x13, 0xD5});
    w.bytes.resize(512, 0);  // the template's 1024 bytes and the block fill 1536

    EXPECT_EQ(blockBytes(exe), w.bytes);
    EXPECT_EQ(exe.size() % 512, 0u);
}

struct FormCase {
    const char* name;
    std::string toml;
    ConfigKey key;
    std::optional<std::string> text;  // nothing: the key is absent
};

class PackValueForms : public ::testing::TestWithParam<FormCase> {};

TEST_P(PackValueForms, StoreTheExpectedText) {
    const auto& c = GetParam();
    const auto input = readDescription("service_name = 's'\nmain_class = 'm'\n" + c.toml, "forms.toml", ".");
    const auto tables = buildConfigTables(input.block, std::nullopt);
    const auto found = tables.texts.find(c.key);
    ASSERT_EQ(found != tables.texts.end(), c.text.has_value());
    if (c.text) {
        EXPECT_EQ(found->second, *c.text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, PackValueForms,
    ::testing::Values(
        FormCase{"FlagTrue", "redirect_stdout = true", Key::PassStdOutFile, "1"},
        FormCase{"FlagFalse", "redirect_stdout = false", Key::PassStdOutFile, "0"},
        FormCase{"FlagAsInteger", "require_jdk = 7", Key::RequireJdk, "7"},
        FormCase{"FlagAsStringIsVerbatim", "require_jdk = '+1'", Key::RequireJdk, "+1"},
        FormCase{"IntAsInteger", "launcher_type = 1", Key::LauncherType, "1"},
        FormCase{"NegativeInt", "launcher_type = -2147483648", Key::LauncherType, "-2147483648"},
        FormCase{"IntAsStringIsVerbatim", "launcher_type = '01'", Key::LauncherType, "01"},
        FormCase{"LauncherTypeDefaultsToService", "", Key::LauncherType, "4"},
        FormCase{"MessageDefault", "", Key::MessageTitle, "Error"},
        FormCase{"MessageOverride", "[messages]\ntitle = 'Fehler'", Key::MessageTitle, "Fehler"},
        FormCase{"NoDefaultsWhenTurnedOff", "write_defaults = false", Key::MessageInternalError,
                 std::nullopt},
        FormCase{"LauncherTypeNotDefaultedWhenOff", "write_defaults = false", Key::LauncherType,
                 std::nullopt},
        FormCase{"ListJoinedWithSemicolons", "class_path = ['A1a.jar', 'S0lib']", Key::ClassPath,
                 "A1a.jar;S0lib"},
        FormCase{"DependenciesJoinedWithCommas", "dependencies = ['Tcpip', 'Dhcp']",
                 Key::Dependencies, "Tcpip,Dhcp"},
        FormCase{"ListAsOneStringIsVerbatim", "jre_search_sequence = 'B.\\jre;Y;'",
                 Key::SearchSequence, "B.\\jre;Y;"},
        FormCase{"EmptyListIsEmptyText", "native_library_path = []", Key::NativeLibraryDirectories,
                 ""},
        FormCase{"PlainFileIsAMandatoryArchive", "class_path = ['lib/ticker.jar']", Key::ClassPath,
                 "A1lib\\ticker.jar"},
        FormCase{"PlainWildcardIsTheArchivesOfADirectory", "class_path = ['lib/*.jar', '*.jar']",
                 Key::ClassPath, "S1lib;S1."},
        FormCase{"PlainPathEndingInASeparatorIsADirectory", "class_path = ['classes\\']",
                 Key::ClassPath, "D1classes"},
        FormCase{"PlainVariableOnTheClassPath", "class_path = ['%CP%']", Key::ClassPath, "E1CP"},
        FormCase{"PathBeginningWithALetterAndAWordIsPlain", "class_path = ['Lib/a.jar']",
                 Key::ClassPath, "A1Lib\\a.jar"},
        FormCase{"SearchPlainDirectoryIsRelativeToTheExecutable", "jre_search_sequence = ['jre/']",
                 Key::SearchSequence, "Bjre"},
        FormCase{"SearchAbsoluteDirectory",
                 "jre_search_sequence = ['C:/Java/jdk', '%KARVO_EXEDIR%\\j']", Key::SearchSequence,
                 "AC:\\Java\\jdk;A%KARVO_EXEDIR%\\j"},
        FormCase{"SearchVariableAndRegistryWords",
                 "jre_search_sequence = ['%JAVA_HOME%', 'Registry']", Key::SearchSequence,
                 "EJAVA_HOME;Y"},
        FormCase{"DurationInSecondsForASecondsSetting", "stop_timeout = '2m'", Key::StopTimeout,
                 "120"},
        FormCase{"DurationInMillisecondsSetting", "restart_delay = '2s'", Key::RestartDelay,
                 "2000"},
        FormCase{"DurationOfHours", "restart_reset_after = '1h'", Key::RestartResetAfter,
                 "3600000"},
        FormCase{"DurationOfMilliseconds", "failure_restart_delay = '500ms'",
                 Key::FailureRestartDelay, "500"},
        FormCase{"PlainNumberKeepsItsUnit", "failure_reset_period = 90", Key::FailureResetPeriod,
                 "90"},
        FormCase{"ListKeepsEmptyEntries", "class_path = ['A1a', '', 'A1b']", Key::ClassPath,
                 "A1a;;A1b"},
        FormCase{"Windows1252Bytes", "application_id = 'é€'", Key::ApplicationId, "\xE9\x80"},
        FormCase{"RawBytes", "application_id = { raw = [0, 65, 255] }", Key::ApplicationId,
                 std::string("\0A\xFF", 3)},
        FormCase{"RawFlagHoldingANul", "redirect_stdout = { raw = [49, 0] }", Key::PassStdOutFile,
                 std::string("1\0", 2)},
        FormCase{"RawIntegerThatIsNoNumber", "launcher_type = { raw = [32, 52] }",
                 Key::LauncherType, " 4"},
        FormCase{"RawEmpty", "[messages]\ntitle = { raw = [] }", Key::MessageTitle, ""},
        FormCase{"NewMessageDefault", "", Key::MessageJvmDamaged64,
                 "The Java runtime found at {0} is damaged.\nPlease reinstall it or set "
                 "KARVO_JAVA_HOME\nto an installed 64-bit JDK or JRE."},
        FormCase{"NewMessageByName", "[messages]\nok_button = 'OK'", Key::MessageOkButton, "OK"},
        FormCase{"RawTextKey", "[raw.text]\n\"108\" = 'x'", 108, "x"},
        FormCase{"RawNegativeKey", "[raw.text]\n\"-7\" = 'y'", -7, "y"},
        FormCase{"RawTextKeyOfAWideName", "[raw.text]\n\"20017\" = 'z'", Key::Description, "z"},
        FormCase{"FlavourOneCharacter", "flavour = 't'", Key::Flavour, "t"},
        FormCase{"ServiceAccountAsWritten", "service_account = 'NT SERVICE\\s'",
                 Key::ServiceAccount, "NT SERVICE\\s"},
        FormCase{"NoAccountNoKey", "", Key::ServiceAccount, std::nullopt},
        FormCase{"OutputKeepAtLeastOne", "output_keep = 1", Key::OutputKeep, "1"},
        FormCase{"ResetPeriodZeroMeansDefault", "failure_reset_period = 0", Key::FailureResetPeriod,
                 "0"},
        FormCase{"EnvironmentTableInWrittenOrder",
                 "[environment]\nZED = '1'\nALPHA = '%KARVO_EXEDIR%x'\nMID = ''", Key::Environment,
                 "ZED=1\nALPHA=%KARVO_EXEDIR%x\nMID="},
        FormCase{"EnvironmentListAsInspectPrintsIt", "environment = ['A=1', 'B=x=y']",
                 Key::Environment, "A=1\nB=x=y"},
        FormCase{"EnvironmentNameOutsideAscii", "[environment]\n'CAF\xC3\x89' = 'caf\xC3\xA9'",
                 Key::Environment, "CAF\xC9=caf\xE9"},
        FormCase{"EnvironmentRawFormAsInspectPrintsIt", "environment = { raw = [65, 61, 49] }",
                 Key::Environment, "A=1"},
        FormCase{"NoEnvironmentNoKey", "", Key::Environment, std::nullopt},
        FormCase{"ServiceNameArgumentOff", "service_name_argument = false",
                 Key::ServiceNameArgument, "0"},
        FormCase{"OwnDiagnosticLog", "log = true", Key::DiagnosticLog, "1"}),
    [](const auto& info) { return info.param.name; });

TEST(PackValueForms, WideTextsBecomeUtf16) {
    const auto input = readDescription(
        "service_name = 's'\nmain_class = 'm'\ndescription = 'x\U0001F600'\n[raw.wide]\n\"5\" = { "
        "raw = [55296] }\n"
        "\"6\" = { raw = [0, 65] }\n",
        "w.toml", ".");
    const auto tables = buildConfigTables(input.block, std::nullopt);
    EXPECT_EQ(tables.wides.at(Key::Description), u"x\U0001F600");
    EXPECT_EQ(tables.wides.at(5), std::u16string(1, char16_t(0xD800)));
    EXPECT_EQ(tables.wides.at(6), std::u16string(u"\0A", 2));
}

TEST(PackValueForms, EntriesAreStoredInKeyOrder) {
    const auto input = readDescription(
        "main_class = 'm'\nservice_name = 's'\n[raw.text]\n\"99999\" = 'a'\n\"-1\" = 'b'\n"
        "[[localized]]\nlocale = 'de'\n\"900\" = 'x'\ndescription = 'y'\n\"5\" = 'z'\n",
        "o.toml", ".");
    for (std::size_t i = 1; i < input.block.texts.size(); ++i)
        EXPECT_LT(input.block.texts[i - 1].first, input.block.texts[i].first);
    ASSERT_EQ(input.block.groups.size(), 1u);
    const auto& entries = input.block.groups[0].entries;
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].first, 5);
    EXPECT_EQ(entries[1].first, 900);
    EXPECT_EQ(entries[2].first, Key::Description);
}

struct RefusalCase {
    const char* name;
    std::string toml;
    std::string message;  // a part of the error text
};

class PackRefusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(PackRefusals, NameTheProblem) {
    TempDir dir;
    writeText(dir / "a.jar", "jar");
    const auto refused = descriptionError(GetParam().toml, "bad.toml", dir.path());
    ASSERT_TRUE(refused) << "accepted";
    EXPECT_NE(refused->find(GetParam().message), std::string::npos) << *refused;
}

const std::string Long8192(8192, 'x');

INSTANTIATE_TEST_SUITE_P(
    Descriptions, PackRefusals,
    ::testing::Values(
        RefusalCase{"TomlSyntaxWithLine", "a = 1\nb = = 2\n", "bad.toml:2:"},
        RefusalCase{"UnknownSettingWithSuggestion", "servce_name = 'x'",
                    "unknown setting 'servce_name'; did you mean 'service_name'?"},
        RefusalCase{"MessageAtTopLevel", "message_title = 'x'", "in the [messages] table"},
        RefusalCase{"UnknownMessage", "[messages]\ntitel = 'x'",
                    "unknown message 'titel'; did you mean 'title'?"},
        RefusalCase{"MessagesNotATable", "messages = 5", "[messages] must be a table"},
        RefusalCase{"IncludedCountByName", "included_file_count = 1", "written by the packer"},
        RefusalCase{"IncludedNamesRaw", "[raw.text]\n\"2003\" = 'a'", "written by the packer"},
        RefusalCase{"RawKeyThatHasAName", "[raw.text]\n\"101\" = 'a'",
                    "write 'service_name' instead"},
        RefusalCase{"RawKeyOfAMessage", "[raw.text]\n\"1009\" = 'a'",
                    "'internal_error' in [messages]"},
        RefusalCase{"RawWideKeyThatHasAName", "[raw.wide]\n\"20017\" = 'a'", "write 'description'"},
        RefusalCase{"RawKeyNotANumber", "[raw.text]\nabc = 'a'", "'abc' is not a key number"},
        RefusalCase{"RawKeyWithLeadingZero", "[raw.text]\n\"0108\" = 'a'", "not a key number"},
        RefusalCase{"RawKeyBeyond32Bits", "[raw.text]\n\"2147483648\" = 'a'", "not a key number"},
        RefusalCase{"OtherRawTable", "[raw.other]\n\"1\" = 'a'",
                    "only the tables [raw.text] and [raw.wide]"},
        RefusalCase{"TextAsInteger", "main_class = 5", "main_class must be a string"},
        RefusalCase{"ListAsInteger", "class_path = 5", "must be a string or an array of strings"},
        RefusalCase{"FlagAsFloat", "redirect_stdout = 1.5",
                    "redirect_stdout must be true, false, an integer or a string holding a decimal "
                    "integer"},
        RefusalCase{
            "FlagAsWord", "redirect_stdout = 'on'",
            "bad.toml:1: redirect_stdout = 'on' is not a number; it must be true, false, an "
            "integer or a string holding a decimal integer"},
        RefusalCase{
            "IntAsWord", "\nlauncher_type = \"service\"",
            "bad.toml:2: launcher_type = 'service' is not a number; it must be an integer or "
            "a string holding a decimal integer"},
        RefusalCase{"IntStringWithBlank", "launcher_type = ' 4'", "' 4' is not a number"},
        RefusalCase{"IntStringWithTrailingWord", "launcher_type = '4x'", "'4x' is not a number"},
        RefusalCase{"IntStringBeyond32Bits", "launcher_type = '2147483648'", "is not a number"},
        RefusalCase{"FlagEmptyString", "require_jdk = ''", "'' is not a number"},
        RefusalCase{"FlagAsArray", "require_jdk = [1]", "must be true, false, an integer"},
        RefusalCase{"IntAsBoolean", "launcher_type = true",
                    "must be an integer or a string holding a decimal integer"},
        RefusalCase{"IntBeyond32Bits", "launcher_type = 5000000000",
                    "does not fit the launcher's 32-bit"},
        RefusalCase{"ArrayForAPlainText", "main_class = ['a', 'b']", "is not a list"},
        RefusalCase{"MinimumBelowTheRuntimeClasses", "min_java_version = '1.6'",
                    "\"1.6\" is below 1.7, the oldest Java the runtime classes load on"},
        RefusalCase{"MinimumSixWithoutTheLegacyPrefix", "min_java_version = '6'", "is below 1.7"},
        RefusalCase{"SeparatorInsideAListEntry", "class_path = ['a;b']",
                    "contains the list separator ';'"},
        RefusalCase{"MixedArray", "class_path = ['a', 1]", "only strings"},
        RefusalCase{"NumbersForAText", "main_class = [1, 2]",
                    "main_class is an array of numbers; give a text as a string, or exact bytes in "
                    "the raw form { raw = [...] }"},
        RefusalCase{"NumbersForAMessage", "[messages]\ntitle = [7]", "in the raw form"},
        RefusalCase{"NumbersForAWideText", "description = [65]",
                    "exact UTF-16 units in the raw form"},
        RefusalCase{"NumbersForARawKey", "[raw.text]\n\"108\" = [0]", "in the raw form"},
        RefusalCase{"EmptyArrayForAPlainText", "main_class = []", "is not a list"},
        RefusalCase{"RawFormWithAnotherKey", "main_class = { raw = [65], x = 1 }",
                    "holds only raw"},
        RefusalCase{"TableWithoutRaw", "main_class = { bytes = [65] }", "holds only raw"},
        RefusalCase{"RawOfStrings", "main_class = { raw = ['A'] }",
                    "raw must be an array of integers"},
        RefusalCase{"RawByteOutOfRange", "main_class = { raw = [256] }", "out of range 0 to 255"},
        RefusalCase{"RawUnitOutOfRange", "description = { raw = [65536] }",
                    "out of range 0 to 65535"},
        RefusalCase{"DeepDottedKey", dottedKey(20000) + " = 1",
                    "bad.toml:1: nesting deeper than 64 levels"},
        RefusalCase{"DeepTableHeader", "service_name = 's'\n[" + dottedKey(20000) + "]\n",
                    "bad.toml:2: nesting deeper than 64 levels"},
        RefusalCase{"DeepArrays", "x = " + std::string(5000, '[') + std::string(5000, ']'),
                    "nesting deeper than 64 levels"},

        RefusalCase{"TextTooLong", "main_class = '" + Long8192 + "'",
                    "is 8192 characters long; the launcher accepts at most 8191"},
        RefusalCase{"RestartModeUnknownWithItsLine", "\nrestart = 'sometimes'",
                    "bad.toml:2: restart = 'sometimes' is not one of never, on-failure, always"},
        RefusalCase{"RestartDelayNegativeWithItsLine", "\nrestart_delay = -1",
                    "bad.toml:2: restart_delay = -1 is out of range: give milliseconds, 100 to "
                    "2147483647"},
        RefusalCase{"RestartDelayZeroWouldRestartInATightLoop",
                    "restart = 'always'\nrestart_delay = 0",
                    "bad.toml:2: restart_delay = 0 is out of range"},
        RefusalCase{"LimitThatAResetOfZeroNeverLetsCount",
                    "restart = 'always'\nrestart_reset_after = 0\nrestart_limit = 3",
                    "bad.toml:2: restart_reset_after = 0 makes every run count as a long one, so "
                    "restart_limit = 3 is never reached"},
        RefusalCase{
            "StopTimeoutNegativeAsString", "stop_timeout = '-5'",
            "bad.toml:1: stop_timeout = -5 is out of range: give seconds (0: wait for ever)"},
        RefusalCase{
            "KeepingMoreThanTheRuntimeClassesRoll", "output_keep = 10001",
            "output_keep = 10001 is out of range: give the number of rolled files to keep, 1 "
            "to 10000"},
        RefusalCase{"FlavourTooLong", "flavour = 'tk'", "at most 1"},
        RefusalCase{"VmTypeTooLong", "vm_type = '" + std::string(200, 'v') + "'", "at most 199"},
        RefusalCase{"WideTooLong", "description = '" + Long8192 + "'", "8192 UTF-16 units"},
        RefusalCase{"WideTooLongThroughSurrogatePairs",
                    "description = '" +
                        [] {
                            std::string s;
                            for (int i = 0; i < 4096; ++i) s += "\xF0\x9F\x98\x80";
                            return s;
                        }() +
                        "'",
                    "8192 UTF-16 units"},
        RefusalCase{"MessageTooLong", "[messages]\ntitle = '" + Long8192 + "'",
                    "message 'title' is 8192"},
        RefusalCase{"CharacterOutsideWindows1252", "main_class = 'a\xC4\x81'", "contains U+0101"},
        RefusalCase{"NulInsideAText", "main_class = \"a\\u0000b\"", "NUL character"},
        RefusalCase{"NulInsideAWideText", "description = \"a\\u0000b\"", "NUL character"},
        RefusalCase{"WriteDefaultsNotBoolean", "write_defaults = 'no'", "must be true or false"},
        RefusalCase{"LocalizedWithoutLocale", "[[localized]]\ndescription = 'x'", "needs locale"},
        RefusalCase{"LocalizedEightBitSetting", "[[localized]]\nlocale = 'de'\nmain_class = 'x'",
                    "'main_class' is an 8-bit setting"},
        RefusalCase{"LocalizedKeyTwice",
                    "[[localized]]\nlocale = 'de'\ndescription = 'x'\n\"20017\" = 'y'",
                    "given twice for locale 'de'"},
        RefusalCase{"LocalizedAsPlainTable", "[localized]\nlocale = 'de'", "[[localized]] tables"},
        RefusalCase{"IncludeAbsoluteName", "[[include]]\nname = '\\a.jar'\nsource = 'a.jar'",
                    "is absolute"},
        RefusalCase{"IncludeDrive", "[[include]]\nname = 'C:\\a.jar'\nsource = 'a.jar'",
                    "has a drive"},
        RefusalCase{"IncludeParentStep", "[[include]]\nname = '..\\a.jar'\nsource = 'a.jar'",
                    "'..' step"},
        RefusalCase{"IncludeTwoLevels", "[[include]]\nname = 'a\\b\\c.jar'\nsource = 'a.jar'",
                    "more than one directory level"},
        RefusalCase{"IncludeSeparator", "[[include]]\nname = 'a;b'\nsource = 'a.jar'",
                    "contains ';'"},
        RefusalCase{"IncludeMissingSource", "[[include]]\nname = 'a.jar'\nsource = 'missing.jar'",
                    "missing.jar does not exist"},
        RefusalCase{"IncludeSourceIsADirectory", "[[include]]\nname = 'a.jar'\nsource = '.'",
                    "is not a file"},
        RefusalCase{"IncludeWithoutSource", "[[include]]\nname = 'a.jar'",
                    "needs both name and source"},
        RefusalCase{"IncludeExtraKey", "[[include]]\nname = 'a.jar'\nsource = 'a.jar'\nsize = 3",
                    "holds only name and source"},
        RefusalCase{"IncludeSameNameTwice",
                    "[[include]]\nname = 'A.jar'\nsource = 'a.jar'\n[[include]]\nname = "
                    "'a.JAR'\nsource = 'a.jar'",
                    "is used twice"},
        RefusalCase{"IncludeNamesTooLongTogether",
                    [] {
                        std::string s;
                        for (int i = 0; i < 90; ++i)
                            s += "[[include]]\nname = '" + std::to_string(i) + std::string(90, 'n') +
                                 "'\nsource = 'a.jar'\n";
                        return s;
                    }(),
                    "the included file names are"},
        RefusalCase{"UserWithoutDomain", "service_account = 'alice'",
                    "service_account 'alice' cannot be used: accepted are LocalSystem"},
        RefusalCase{"AccountOfTheSystemDomain", "service_account = 'NT AUTHORITY\\SYSTEM'",
                    "cannot be used"},
        RefusalCase{"PasswordSetting", "service_password = 'secret'",
                    "a password is never stored in the executable"},
        RefusalCase{
            "NegativeRestartDelay", "failure_restart_delay = -1",
            "failure_restart_delay = -1 is out of range: give milliseconds (0: no restart)"},
        RefusalCase{"OutputSizeAsWord", "output_max_size = 'big'",
                    "output_max_size = 'big' is not a number"},
        RefusalCase{"KeepingNoRolledFile", "output_keep = 0", "output_keep = 0 is out of range"},
        RefusalCase{"ErrorNamesItsLine", "service_name = 's'\n\nmain_class = 7", "bad.toml:3:"},
        RefusalCase{
            "ServiceNameMissing", "main_class = 'm'",
            "bad.toml: service_name is missing: give the name the service is installed under"},
        RefusalCase{"MainClassMissing", "service_name = 's'", "main_class is missing"},
        RefusalCase{"MainClassEmpty", "service_name = 's'\nmain_class = ''",
                    "main_class is missing"},
        RefusalCase{"TabFromAnEscapeInAClassPathEntry", "class_path = [\"A1lib\\ticker.jar\"]",
                    "bad.toml:1: class_path entry 1 'A1lib\ticker.jar' contains the control "
                    "character U+0009"},
        RefusalCase{
            "UnknownKindLetterWithTheEntrysLine", "class_path = [\n  'a.jar',\n  'X1b.jar',\n]",
            "bad.toml:3: class_path entry 2 'X1b.jar' is written as a code, but 'X' is not a kind "
            "letter of the class path (S, D, A or E)"},
        RefusalCase{"ClassPathDigitNeitherZeroNorOne", "class_path = ['A2a.jar']",
                    "the digit after the kind letter is 1 (mandatory) or 0 (optional), not 2"},
        RefusalCase{"ClassPathCodeWithoutArgument", "class_path = ['A1']",
                    "names nothing after its kind letter"},
        RefusalCase{"WildcardOtherThanTheArchivesOfADirectory", "class_path = ['lib/*.zip']",
                    "a wildcard is only understood as DIR\\*.jar"},
        RefusalCase{"SearchEntryWithUnknownKindLetter", "jre_search_sequence = ['JRE']",
                    "'J' is not a kind letter of the runtime search (A, B, R, E, S or Y)"},
        RefusalCase{"SearchRegistryWithAnArgument", "jre_search_sequence = ['YX']",
                    "takes nothing after it"},
        RefusalCase{"SearchEntryWithALineFeed", "jre_search_sequence = \"B.\\njre\"",
                    "jre_search_sequence entry 1 'B.\njre' contains the control character U+000A"},
        RefusalCase{
            "DurationThatIsNoWholeNumberOfItsUnit", "stop_timeout = '1500ms'",
            "stop_timeout = '1500ms' is not a number; it must be a whole number of seconds, or a "
            "duration with its unit: ms, s, m or h"},
        RefusalCase{"UnitOnASettingThatIsNoDuration", "output_max_size = '1m'", "is not a number"},
        RefusalCase{"WatchdogTimeoutOfZero", "watchdog_timeout = 0",
                    "watchdog_timeout = 0 is out of range: give seconds, 1 to 4000000"},
        RefusalCase{"NegativeWatchdogInterval", "watchdog_interval = -1", "give seconds"},
        RefusalCase{"EnvironmentNameWithEquals", "[environment]\n'A=B' = 'x'",
                    "environment.A=B: a variable's name holds no '='"},
        RefusalCase{"EnvironmentValueNotText", "[environment]\nA = 1", "bad.toml:2:"},
        RefusalCase{"EnvironmentValueWithLineBreak", "[environment]\nA = \"x\\ny\"",
                    "environment.A holds a line break"},
        RefusalCase{"EnvironmentNameWithLineBreak", "[environment]\n\"A\\nB\" = 'x'",
                    "holds a line break"},
        RefusalCase{"EnvironmentTooLongTogether",
                    "[environment]\nA = '" + std::string(6000, 'a') + "'\nB = '" +
                        std::string(6000, 'b') + "'\nC = '" + std::string(6000, 'c') + "'",
                    "bad.toml:1: [environment] is 18008 characters long together"},
        RefusalCase{"EnvironmentListEntryWithoutName", "environment = ['=x']",
                    "environment entry '=x' needs the form NAME=value"}),
    [](const auto& info) { return info.param.name; });

struct WarningCase {
    const char* name;
    std::string toml;
    std::string warning;  // a part of the single expected warning; empty: none
};

class PackWarnings : public ::testing::TestWithParam<WarningCase> {};

const std::string Kept = "stdout_file = 'o'\nredirect_stdout = true\n";

TEST_P(PackWarnings, PointOutLikelyMistakes) {
    const auto input = readDescription(GetParam().toml, "w.toml", ".");
    if (GetParam().warning.empty()) {
        EXPECT_TRUE(input.warnings.empty()) << input.warnings.front();
        return;
    }
    ASSERT_EQ(input.warnings.size(), 1u);
    EXPECT_NE(input.warnings[0].find(GetParam().warning), std::string::npos) << input.warnings[0];
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, PackWarnings,
    ::testing::Values(
        WarningCase{"CompleteDescription", Named + Kept, ""},
        WarningCase{"BothStreamsDiscarded", Named,
                    "standard output and standard error are both discarded"},
        WarningCase{"FilesWithoutTheirFlagsAreDiscarded",
                    Named + "stdout_file = 'o'\nstderr_file = 'e'\n", "both discarded"},
        WarningCase{"OneStreamKeptIsEnough", Named + "stderr_file = 'e'\nredirect_stderr = 1\n",
                    ""},
        WarningCase{"NoServiceNameInAnExactBlock",
                    "write_defaults = false\nmain_class = 'm'\n" + Kept, "service_name is missing"},
        WarningCase{"NoMainClassInAnExactBlock",
                    "write_defaults = false\nservice_name = 's'\n" + Kept, "main_class is missing"},
        WarningCase{"ServiceNameWithBackslash", "service_name = 'a\\b'\nmain_class = 'm'\n" + Kept,
                    "Service Control Manager will refuse"},
        WarningCase{"MessageLosesItsDetail", Named + Kept + "[messages]\ninternal_error = 'Oops'",
                    "message 'internal_error' has no {0}"},
        WarningCase{"MessageWithoutDetailHasPlaceholder",
                    Named + Kept + "[messages]\ntitle = 'Error {0}'",
                    "message 'title' contains {0}, but"},
        WarningCase{"PlaceholderTwice", Named + Kept + "[messages]\ninternal_error = '{0} {0}'",
                    "more than once"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
