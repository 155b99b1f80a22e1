// The role a launcher process takes from its command line, its exit codes, and the
// working directory every process starts in.
#include <gtest/gtest.h>

#include <algorithm>

#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

std::string logText(const std::string& dir) {
    std::string all;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\tsl_nlog_*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return all;
    do {
        if (auto text = readFile(dir + "\\" + data.cFileName)) all += *text;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return all;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool hasLine(const std::string& text, const std::string& line) {
    const auto all = lines(text);
    return std::find(all.begin(), all.end(), line) != all.end();
}

// Runs a configured launcher with the log on, in a scratch directory of its own.
struct LoggedRun {
    RunResult run;
    std::string log;
};

LoggedRun runLogged(const std::string& dirName, std::map<ConfigKey, std::string> texts,
                    const std::string& tail, DWORD timeoutMs = 60000) {
    ScratchDir dir(dirName);
    const std::string exe = dir.file("svc.exe");
    writeConfiguredExe(exe, blockWith(std::move(texts)));
    RunOptions options;
    options.timeoutMs = timeoutMs;
    options.environment = {{"KARVO_LOG", "yes"}, {"TMP", dir.path()}};
    options.unsetEnvironment = {"TESSEL_LOG", "KARVO_JAVA_HOME", "TESSEL_JAVA_HOME", "JAVA_HOME",
                                "JDK_HOME", "JRE_HOME"};
    LoggedRun result;
    result.run = runProcess("\"" + exe + "\"" + (tail.empty() ? "" : " " + tail), options);
    result.log = logText(dir.path());
    return result;
}

}  // namespace

TEST(Entry, DispatcherRefusalFromAConsoleShowsTheUsage) {
    // Started from a console, the dispatcher refuses (1063) after Wine's own wait: only then
    // is it known that a person, not the manager, ran the program without a word.
    const auto result = runLogged("dispatch", {{Key::ServiceName, uniqueName("KarvoRole")}}, "");
    ASSERT_FALSE(result.run.timedOut);
    EXPECT_EQ(result.run.exitCode, 2u);
    EXPECT_EQ(result.run.out, "");
    EXPECT_EQ(result.run.err.rfind("Usage: svc.exe /COMMAND", 0), 0u) << result.run.err;
    EXPECT_TRUE(hasLine(result.log, "calling StartServiceCtrlDispatcher"));
    EXPECT_TRUE(hasLine(result.log, "StartServiceCtrlDispatcher failed with error 1063"));
    EXPECT_TRUE(hasLine(result.log, "StartServiceCtrlDispatcher returned"));
}

TEST(Entry, RoleFollowsTheCommandLine) {
    enum class Role { ServiceProcess, Child };
    struct Row {
        const char* name;
        const char* tail;
        Role role;
    } rows[] = {
        {"word without prefix", "status", Role::ServiceProcess},
        {"unknown command word", "/frobnicate", Role::ServiceProcess},
        {"trailing blank after the word", "/status ", Role::ServiceProcess},
        {"marker typed by hand", "__tsl_restart", Role::Child},
        {"marker after other arguments", "Name x __tsl_restart", Role::Child},
        {"quoted marker", "\"__tsl_restart\"", Role::Child},
        {"marker not last", "__tsl_restart x", Role::ServiceProcess},
        {"marker in capitals", "__TSL_RESTART", Role::ServiceProcess},
    };
    for (const auto& row : rows) {
        // The service process is recognised by its first log line; waiting for the
        // dispatcher's refusal is left to the test above.
        const DWORD limit = row.role == Role::ServiceProcess ? 4000 : 60000;
        const auto result = runLogged("role", {{Key::ServiceName, uniqueName("KarvoRole")}},
                                      row.tail, limit);
        EXPECT_TRUE(contains(result.log, "svc.exe\" " + std::string(row.tail) + "\r\n"))
            << row.name << "\n" << result.log;
        EXPECT_EQ(result.run.out, "") << row.name;
        if (row.role == Role::ServiceProcess) {
            EXPECT_TRUE(result.run.timedOut || result.run.exitCode == 2) << row.name;
            EXPECT_TRUE(hasLine(result.log, "calling StartServiceCtrlDispatcher")) << row.name;
            EXPECT_FALSE(contains(result.log, "registering ConsoleCtrlHandler")) << row.name;
        } else {
            // No Java runtime on this machine: the child ends with 1 after its message.
            ASSERT_FALSE(result.run.timedOut) << row.name;
            EXPECT_EQ(result.run.exitCode, 1u) << row.name;
            EXPECT_NE(result.run.err, "") << row.name;
            EXPECT_TRUE(hasLine(result.log, "registering ConsoleCtrlHandler")) << row.name;
            EXPECT_FALSE(contains(result.log, "StartServiceCtrlDispatcher")) << row.name;
        }
    }
}

TEST(Entry, BadCommandLinesEndWithAMessage) {
    struct Row {
        const char* name;
        std::map<ConfigKey, std::string> texts;
        std::string tail;
        const char* err;
    } rows[] = {
        {"unclosed quote",
         {{Key::LauncherType, "4"}, {Key::MessageWrongParameterUsage, "Wrong Parameter Usage"}},
         "a \"b __tsl_restart", "Wrong Parameter Usage"},
        {"service name too long for the launcher", {}, "/status " + std::string(8192, 'n'),
         "The service name on the command line is longer than 8191 characters."},
        {"included file missing from the executable",
         {{Key::IncludedFileCount, "1"},
          {Key::IncludedFileNames, "data.txt"},
          {Key::MessageInternalError, "An internal error occurred (error code: {0})"}},
         "__tsl_restart",
         "An internal error occurred (error code: 16)"},
        {"configured service name too long for the launcher",
         {{Key::ServiceName, std::string(8192, 'n')}}, "/status",
         "The configured service name is longer than 8191 characters."},
    };
    for (const auto& row : rows) {
        auto texts = row.texts;
        if (!texts.count(Key::ServiceName)) texts[Key::ServiceName] = uniqueName("KarvoBad");
        const auto result = runLogged("bad", texts, row.tail);
        ASSERT_FALSE(result.run.timedOut) << row.name;
        EXPECT_EQ(result.run.exitCode, 1u) << row.name;
        const auto errLines = lines(result.run.err);
        ASSERT_FALSE(errLines.empty()) << row.name;
        EXPECT_EQ(errLines[0], row.err) << row.name;
        EXPECT_EQ(result.run.out, "") << row.name;
    }
}

TEST(Entry, LongestServiceNameIsAccepted) {
    // 8,191 characters fit; the manager then refuses a name that long by its own rules.
    const auto result = runLogged("longname", {}, "/status " + std::string(8191, 'n'));
    EXPECT_EQ(result.run.exitCode, 1u);
    const auto out = lines(result.run.out);
    ASSERT_EQ(out.size(), 1u) << result.run.out;
    EXPECT_EQ(out[0], "Service '" + std::string(8191, 'n') + "' is not installed.");
    EXPECT_EQ(result.run.err, "");
}

TEST(Entry, WorkingDirectoryIsTakenFromTheExecutable) {
    ScratchDir dir("workdir");
    const std::string exeDir = dir.file("app");
    CreateDirectoryA(exeDir.c_str(), nullptr);
    struct Row {
        const char* name;
        const char* configured;  // nullptr: key absent
        std::string logLine;
    } rows[] = {
        {"dot is the executable's directory", ".", "change working directory to " + exeDir},
        {"dot-dot climbs to a sibling", "..\\data", "change working directory to " + dir.file("data")},
        {"absolute path is only normalised", "C:\\windows\\system32\\..",
         "change working directory to C:\\windows"},
        {"empty key keeps the inherited one", "", "working directory unchanged"},
        {"absent key keeps the inherited one", nullptr, "working directory unchanged"},
    };
    for (const auto& row : rows) {
        std::map<ConfigKey, std::string> texts{{Key::ServiceName, uniqueName("KarvoDir")}};
        if (row.configured) texts[Key::WorkingDirectory] = row.configured;
        const std::string exe = exeDir + "\\svc.exe";
        writeConfiguredExe(exe, blockWith(texts));
        const std::string logDir = dir.file(uniqueName("log"));
        CreateDirectoryA(logDir.c_str(), nullptr);
        RunOptions options;
        options.environment = {{"KARVO_LOG", "yes"}, {"TMP", logDir}};
        options.workingDirectory = dir.path();
        const auto run = runProcess("\"" + exe + "\" /status", options);
        ASSERT_FALSE(run.timedOut) << row.name;
        EXPECT_TRUE(hasLine(logText(logDir), row.logLine)) << row.name << "\n" << logText(logDir);
    }
}
