// The Java host's preparation seen from outside: the real launcher started as the child
// extracts its files, sets PATH, expands variables and hands the VM its options, and says
// so in its log.
#include <gtest/gtest.h>
#include <windows.h>

#include "config/ConfigBlock.h"
#include "config/ConfigKeys.h"
#include "win/RuntimeLayout.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

constexpr DWORD ChildTimeoutMs = 60000;
// A value longer than any configured text may grow to once expanded.
const std::string OverlongValue(9000, 'v');

std::map<ConfigKey, std::string> with(std::map<ConfigKey, std::string> extra) {
    auto keys = serviceKeys("svc");
    for (auto& [key, value] : extra) keys[key] = value;
    return keys;
}

// The child of service "svc", with its log and temporary files in tmp below the layout.
RunResult runChild(const RuntimeLayout& layout) {
    const std::string tmp = layout.directory() + "\\tmp";
    CreateDirectoryA(tmp.c_str(), nullptr);
    RunOptions options;
    options.timeoutMs = ChildTimeoutMs;
    options.environment = {
        {"KARVO_LOG", "yes"},
        {"TMP", tmp},
        {"TEMP", tmp},
        {"KV_CHILD_VAR", "fromenv"},
        {"KV_OVERLONG", OverlongValue}};
    options.unsetEnvironment = {"KARVO_FAKEJVM_SCRIPT", "KARVO_FAKEJVM_RECORD", "TESSEL_LOG"};
    return runProcess("\"" + layout.executable() + "\" svc __tsl_restart", options);
}

std::vector<std::string> entriesMatching(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

std::vector<std::string> logLines(const RuntimeLayout& layout) {
    const std::string tmp = layout.directory() + "\\tmp\\";
    const auto logs = entriesMatching(tmp + "tsl_nlog_*");
    if (logs.size() != 1) return {};
    return lines(readFile(tmp + logs[0]).value_or(""));
}

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::vector<std::uint8_t> bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

}  // namespace

TEST(ChildPreparation, ExtractsExpandsAndBuildsOptions) {
    const std::string big(9000, 'b');
    const auto keys = with({{Key::IncludedFileCount, "2"},
                            {Key::IncludedFileNames, "app.jar;user\\u.zip"},
                            {Key::VmArguments, "-Dtmp=%KARVO_TEMPDIR% -Dvar=${KV_CHILD_VAR}"},
                            {Key::NativeLibraryDirectories, "native"},
                            {Key::ClassPath, "D0conf.jar"}});
    RuntimeLayout layout("child_prep", keys, "return");
    // The layout's executable again, now carrying the included files.
    writeConfiguredExe(layout.executable(), blockWith(keys),
                       {{"app.jar", bytes("jar-bytes")}, {"user\\u.zip", bytes(big)}});
    ASSERT_TRUE(writeFile(layout.directory() + "\\svc.vmoptions", "-Xfromfile\n"));

    const RunResult run = runChild(layout);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u) << run.err;

    // The files stay where the Java side finds them.
    const auto made = entriesMatching(layout.directory() + "\\tmp\\kvo*.tmp_dir");
    ASSERT_EQ(made.size(), 1u);
    const std::string dir = layout.directory() + "\\tmp\\" + made[0];
    EXPECT_EQ(readFile(dir + "\\app.jar"), "jar-bytes");
    EXPECT_EQ(readFile(dir + "\\user\\u.zip"), big);

    const FakeJvmRecord record = layout.record();
    const auto options = record.all("option");
    EXPECT_TRUE(record.has("option", "-Dkarvo.tempDir=" + dir));
    EXPECT_TRUE(record.has("option", "-Dtmp=" + dir));
    EXPECT_TRUE(record.has("option", "-Dvar=fromenv"));
    EXPECT_TRUE(record.has("option", "-Xfromfile"));
    ASSERT_FALSE(options.empty());
    EXPECT_EQ(options.back(), "-Djava.class.path=" + dir + "\\app.jar;" + dir + "\\user\\u.zip;" +
                                  layout.directory() + "\\conf.jar;");

    const auto log = logLines(layout);
    EXPECT_TRUE(hasLine(log, "Included files: 2"));
    EXPECT_TRUE(hasLine(log, "extracting files done"));
    EXPECT_TRUE(hasLine(log, "extracting " + dir + "\\app.jar (size: 9)"));
    EXPECT_TRUE(hasLine(log, "native lib dir is native"));
    EXPECT_TRUE(hasLine(log, "expanding %KARVO_TEMPDIR% to " + dir + " in -Dtmp=" + dir +
                                 " -Dvar=${KV_CHILD_VAR}."));
    EXPECT_TRUE(hasLine(log, "classpath entry D0conf.jar"));
    EXPECT_TRUE(hasLine(log, "vmoption count " + std::to_string(options.size())));
    EXPECT_TRUE(
        hasLine(log, "vmoption " + std::to_string(options.size() - 1) + ": " + options.back()));
    bool pathSet = false;
    for (const auto& line : log)
        pathSet = pathSet || line.starts_with("Setting PATH (native libs) " + layout.directory() +
                                              "\\native;");
    EXPECT_TRUE(pathSet);
}

TEST(ChildPreparation, FailuresEndTheChildWithTheirCode) {
    // The one included file is 20,000 bytes behind its 8-byte size field; a cut row ends
    // the executable that many bytes after the start of that record.
    struct Row {
        const char* name;
        std::string names;
        std::optional<std::size_t> cut;
        const char* message;
    } rows[] = {
        {"name leaving the directory", "..\\escape.jar", std::nullopt, "INTERNAL 11"},
        {"data ending early", "a.jar", 8 + 5000, "INTERNAL 16"},
        {"size field cut short", "a.jar", 4, "Internal Error: readLong"},
    };
    // The record as stored: 20,000 little-endian, then the data, each byte combined by
    // exclusive-or with the mask.
    const std::string recordStart = std::string("\x20\x4e\0\0\0\0\0\0", 8) +
                                    std::string(16, static_cast<char>(7 ^ IncludedDataMask));
    for (const auto& row : rows) {
        RuntimeLayout layout("child_fail", with({}), "return");
        writeConfiguredExe(
            layout.executable(),
            blockWith(with({{Key::IncludedFileCount, "1"}, {Key::IncludedFileNames, row.names}})),
            {{"a.jar", std::vector<std::uint8_t>(20000, 7)}});
        if (row.cut) {
            const auto contents = readFile(layout.executable());
            const std::size_t record = contents->find(recordStart);
            ASSERT_NE(record, std::string::npos) << row.name;
            ASSERT_TRUE(writeFile(layout.executable(), contents->substr(0, record + *row.cut)));
        }
        const RunResult run = runChild(layout);
        ASSERT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, 1u) << row.name;
        EXPECT_NE(run.err.find(row.message), std::string::npos) << row.name << ": " << run.err;
        EXPECT_TRUE(entriesMatching(layout.directory() + "\\tmp\\kvo*.tmp_dir").empty())
            << row.name;
        EXPECT_FALSE(readFile(layout.directory() + "\\escape.jar")) << row.name;
        EXPECT_FALSE(layout.record().has("JNI_CreateJavaVM")) << row.name << ": no VM was created";
    }
}

TEST(ChildPreparation, TextsTooLongOnceExpandedEndTheChild) {
    struct Row {
        const char* name;
        std::map<ConfigKey, std::string> keys;
        std::string optionFile;  // the .vmoptions file beside the executable, if not empty
    } rows[] = {
        {"configured VM arguments", {{Key::VmArguments, "-Dbig=${KV_OVERLONG}"}}, ""},
        {"option file line", {}, "-Xfirst\n-Dbig=${KV_OVERLONG}\n"},
        {"native library directories", {{Key::NativeLibraryDirectories, "${KV_OVERLONG}"}}, ""},
        {"optional class path entry", {{Key::ClassPath, "D0${KV_OVERLONG}"}}, ""},
    };
    for (const auto& row : rows) {
        RuntimeLayout layout("child_long", with(row.keys), "return");
        if (!row.optionFile.empty()) {
            ASSERT_TRUE(writeFile(layout.directory() + "\\svc.vmoptions", row.optionFile));
        }
        const RunResult run = runChild(layout);
        ASSERT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, 1u) << row.name;
        EXPECT_NE(run.err.find("INTERNAL 22"), std::string::npos) << row.name << ": " << run.err;
        EXPECT_FALSE(layout.record().has("JNI_CreateJavaVM")) << row.name << ": no VM was created";
    }
}
