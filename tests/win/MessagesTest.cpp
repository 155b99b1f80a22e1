// How a failure reaches the user: a message box for launcher types 1 and 5, standard error
// for every other type, with the log file's path added when the log is on.
#include <gtest/gtest.h>

#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

std::optional<std::string> onlyLogFile(const std::string& dir) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\tsl_nlog_*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return std::nullopt;
    const bool more = FindNextFileA(find, &data);
    FindClose(find);
    if (more) return std::nullopt;
    return dir + "\\" + data.cFileName;
}

}  // namespace

TEST(Messages, StandardErrorOrBoxWithTheLogPath) {
    // The child fails at once when an included file is missing from the executable: the
    // internal error 16, shown the way the configuration asks.
    struct Row {
        const char* name;
        const char* launcherType;  // nullptr: key absent
        const char* messageText;   // nullptr: the typical text
        bool log;
        std::vector<std::string> err;  // "LOG" stands for "Log: " and the log file's path
    } rows[] = {
        {"service type, log off", "4", nullptr, false,
         {"An internal error occurred (error code: 16)"}},
        {"service type, log on", "4", nullptr, true,
         {"An internal error occurred (error code: 16)", "", "LOG"}},
        {"type absent means standard error", nullptr, nullptr, false,
         {"An internal error occurred (error code: 16)"}},
        {"other type means standard error", "2", nullptr, false,
         {"An internal error occurred (error code: 16)"}},
        {"type 1 keeps the box", "1", nullptr, true, {}},
        {"type 5 keeps the box", "5", nullptr, false, {}},
        {"empty message text, log on", "4", "", true, {"", "", "LOG"}},
        {"placeholder replaced once", "4", "code {0}, again {0}", false,
         {"code 16, again {0}"}},
    };
    for (const auto& row : rows) {
        ScratchDir dir("messages");
        std::map<ConfigKey, std::string> texts{{Key::ServiceName, uniqueName("KarvoMsg")},
                                               {Key::IncludedFileCount, "1"},
                                               {Key::IncludedFileNames, "data.txt"}};
        if (row.launcherType) texts[Key::LauncherType] = row.launcherType;
        texts[Key::MessageInternalError] =
            row.messageText ? row.messageText : "An internal error occurred (error code: {0})";
        const std::string exe = dir.file("svc.exe");
        writeConfiguredExe(exe, blockWith(texts));
        RunOptions options;
        options.environment["TMP"] = dir.path();
        options.unsetEnvironment = {"TESSEL_LOG"};
        if (row.log) options.environment["KARVO_LOG"] = "yes";
        else options.unsetEnvironment.push_back("KARVO_LOG");
        const auto run = runProcess("\"" + exe + "\" __tsl_restart", options);
        ASSERT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, 1u) << row.name;
        std::vector<std::string> expected = row.err;
        const auto logFile = onlyLogFile(dir.path());
        EXPECT_EQ(logFile.has_value(), row.log) << row.name;
        for (auto& line : expected) {
            if (line == "LOG") line = "Log: " + logFile.value_or("?");
        }
        EXPECT_EQ(lines(run.err), expected) << row.name;
    }
}
