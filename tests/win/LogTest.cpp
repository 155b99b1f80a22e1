// The diagnostic log as support staff find it: switched on only by an exact "yes", one
// file per process in the TMP directory, a header, then one complete line per call.
#include <gtest/gtest.h>

#include <algorithm>

#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

std::vector<std::string> logFilesIn(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\tsl_nlog_*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(dir + "\\" + data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

}  // namespace

TEST(Log, OnlyAnExactYesSwitchesItOn) {
    struct Row {
        const char* name;
        std::map<std::string, std::string> environment;
        bool expectLog;
    } rows[] = {
        {"neither variable", {}, false},
        {"KARVO_LOG=yes", {{"KARVO_LOG", "yes"}}, true},
        {"TESSEL_LOG=yes alone", {{"TESSEL_LOG", "yes"}}, true},
        {"capitals stay off", {{"KARVO_LOG", "YES"}}, false},
        {"trailing blank stays off", {{"KARVO_LOG", "yes "}}, false},
        {"other value stays off", {{"KARVO_LOG", "1"}, {"TESSEL_LOG", "no"}}, false},
    };
    for (const auto& row : rows) {
        ScratchDir dir("log");
        const std::string exe = dir.file("logged.exe");
        writeConfiguredExe(exe, blockWith({{Key::ServiceName, uniqueName("KarvoLog")}}));
        RunOptions options;
        options.environment = row.environment;
        options.environment["TMP"] = dir.path();
        options.unsetEnvironment = {"KARVO_LOG", "TESSEL_LOG"};
        for (const auto& [name, value] : row.environment) {
            std::erase(options.unsetEnvironment, name);
        }
        const auto run = runProcess("\"" + exe + "\" -status", options);
        ASSERT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(logFilesIn(dir.path()).size(), row.expectLog ? 1u : 0u) << row.name;
    }
}

TEST(Log, StartsWithTheHeaderAndHoldsCompleteLines) {
    ScratchDir dir("loglines");
    const std::string exe = dir.file("logged.exe");
    writeConfiguredExe(exe, blockWith({{Key::ServiceName, uniqueName("KarvoLog")}}));
    RunOptions options;
    options.environment = {{"KARVO_LOG", "yes"}, {"TMP", dir.path()}};
    runProcess("\"" + exe + "\" -status", options);
    const auto files = logFilesIn(dir.path());
    ASSERT_EQ(files.size(), 1u);
    const auto text = readFile(files[0]);
    ASSERT_TRUE(text.has_value());
    const auto logLines = lines(*text);
    ASSERT_GE(logLines.size(), 3u);
    EXPECT_EQ(logLines[0].rfind("Started executable ", 0), 0u) << logLines[0];
    EXPECT_NE(logLines[0].find("logged.exe at "), std::string::npos) << logLines[0];
    EXPECT_EQ(logLines[1], "");  // the date ends with its own newline
    EXPECT_NE(text->find("number of sections: "), std::string::npos);
    EXPECT_NE(text->find("rawDataSize: "), std::string::npos);
}

TEST(Log, TwoProcessesWriteTwoFiles) {
    ScratchDir dir("logtwo");
    const std::string exe = dir.file("logged.exe");
    writeConfiguredExe(exe, blockWith({{Key::ServiceName, uniqueName("KarvoLog")}}));
    RunOptions options;
    options.environment = {{"KARVO_LOG", "yes"}, {"TMP", dir.path()}};
    runProcess("\"" + exe + "\" -status", options);
    runProcess("\"" + exe + "\" -status", options);
    EXPECT_EQ(logFilesIn(dir.path()).size(), 2u);
}

TEST(Log, WideTextsKeepEveryCharacter) {
    // The command line is logged from its wide form: a character outside Latin-1 (the euro
    // sign is 0x80 in code page 1252, U+20AC in UTF-16) must not cut the line there.
    if (GetACP() != 1252) GTEST_SKIP() << "the rows below are written for code page 1252";
    struct Row {
        const char* name;
        std::string tail;
    } rows[] = {
        {"euro sign inside an argument", "price=5\x80 rest __tsl_restart"},
        {"euro sign in a quoted argument", "\"a \x80 b\" __tsl_restart"},
        {"very long command line", std::string(15000, 'w') + " __tsl_restart"},
    };
    for (const auto& row : rows) {
        ScratchDir dir("logwide");
        const std::string exe = dir.file("logged.exe");
        writeConfiguredExe(exe, blockWith({{Key::ServiceName, uniqueName("KarvoLog")}}));
        RunOptions options;
        options.environment = {{"KARVO_LOG", "yes"}, {"TMP", dir.path()}};
        options.unsetEnvironment = {"TESSEL_LOG", "KARVO_JAVA_HOME", "TESSEL_JAVA_HOME",
                                    "JAVA_HOME", "JDK_HOME", "JRE_HOME"};
        const std::string commandLine = "\"" + exe + "\" " + row.tail;
        // The child finds no Java runtime here and ends with its message.
        const auto run = runProcess(commandLine, options);
        ASSERT_FALSE(run.timedOut) << row.name;
        const auto files = logFilesIn(dir.path());
        ASSERT_EQ(files.size(), 1u) << row.name;
        const auto logLines = lines(readFile(files[0]).value_or(""));
        EXPECT_NE(std::find(logLines.begin(), logLines.end(), "command line " + commandLine),
                  logLines.end())
            << row.name;
    }
}

TEST(Log, FileLiesInTheTmpDirectoryOrInTheDriveRoot) {
    struct Row {
        const char* name;
        enum { Existing, Missing, Unset } tmp;
        bool inTmp;
    } rows[] = {
        {"TMP names an existing directory", Row::Existing, true},
        {"TMP names no directory", Row::Missing, false},
        {"TMP unset", Row::Unset, false},
    };
    for (const auto& row : rows) {
        ScratchDir dir("logplace");
        // A name of its own, so that this run's file in c:\ is told from any other there.
        const std::string exe = dir.file(uniqueName("placed") + ".exe");
        writeConfiguredExe(exe, blockWith({{Key::ServiceName, uniqueName("KarvoLog")}}));
        RunOptions options;
        options.environment = {{"KARVO_LOG", "yes"}};
        options.unsetEnvironment = {"TESSEL_LOG"};
        if (row.tmp == Row::Existing) options.environment["TMP"] = dir.path();
        if (row.tmp == Row::Missing) options.environment["TMP"] = dir.file("missing");
        if (row.tmp == Row::Unset) options.unsetEnvironment.push_back("TMP");
        const auto run = runProcess("\"" + exe + "\" -status", options);
        ASSERT_FALSE(run.timedOut) << row.name;

        std::vector<std::string> ours;
        for (const auto& file : logFilesIn("c:")) {
            const auto text = readFile(file);
            if (text && text->find(exe + " at ") != std::string::npos) ours.push_back(file);
        }
        for (const auto& file : ours) DeleteFileA(file.c_str());
        EXPECT_EQ(logFilesIn(dir.path()).size(), row.inTmp ? 1u : 0u) << row.name;
        EXPECT_EQ(ours.size(), row.inTmp ? 0u : 1u) << row.name;
        if (!row.inTmp && !ours.empty()) {
            EXPECT_EQ(ours[0].rfind("c:\\tsl_nlog_", 0), 0u) << row.name << ": " << ours[0];
        }
    }
}

TEST(Log, LinesFromExitHandlersAreWritten) {
    ScratchDir dir("logexit");
    RunOptions options;
    options.environment = {{"KARVO_LOG", "yes"}, {"TMP", dir.path()}};
    const auto run = runProcess(
        "\"" + buildDirectory() + "fixtures\\lateexitlog\\lateexitlog.exe\"", options);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    const auto files = logFilesIn(dir.path());
    ASSERT_EQ(files.size(), 1u);
    const auto logLines = lines(readFile(files[0]).value_or(""));
    ASSERT_GE(logLines.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(logLines.end() - 2, logLines.end()),
              (std::vector<std::string>{"logged in main 1", "logged at exit 2"}));
}
