// The Java host: the real launcher started as the service's child, against the stand-in
// JVM, which writes down the options, lookups and parameters it was given.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "config/ConfigKeys.h"
#include "win/RuntimeLayout.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

constexpr DWORD ChildTimeoutMs = 60000;

RunOptions childOptions(std::map<std::string, std::string> environment = {}) {
    RunOptions options;
    options.timeoutMs = ChildTimeoutMs;
    options.environment = std::move(environment);
    options.unsetEnvironment = {"MANPATH", "KARVO_FAKEJVM_SCRIPT", "KARVO_FAKEJVM_RECORD",
                                "KARVO_LOG", "TESSEL_LOG"};
    return options;
}

// Runs the layout's launcher as the child of service "svc" with extra arguments.
RunResult runChild(const RuntimeLayout& layout, const std::string& extra = {},
                   const RunOptions& options = childOptions()) {
    std::string line = "\"" + layout.executable() + "\" svc";
    if (!extra.empty()) line += " " + extra;
    line += " __tsl_restart";
    return runProcess(line, options);
}

std::map<ConfigKey, std::string> with(std::map<ConfigKey, std::string> extra) {
    auto keys = serviceKeys("svc");
    for (auto& [key, value] : extra) keys[key] = value;
    return keys;
}

std::vector<std::string> launchPropertiesOf(const FakeJvmRecord& record) {
    std::vector<std::string> properties;
    for (const auto& option : record.all("option"))
        if (option.starts_with("-Dkarvo.") || option.starts_with("-Dsun.java.command=") ||
            option.starts_with("-Djava.library.path="))
            properties.push_back(option);
    return properties;
}

}  // namespace

TEST(JavaVMLauncher, WholeLaunchInOrder) {
    RuntimeLayout layout("launch_whole", with({{Key::ProgramArguments, "-r"}}), "return");
    const RunResult run = runChild(layout);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    const FakeJvmRecord record = layout.record();

    EXPECT_EQ(record.first("version"), "0x00010002");
    EXPECT_EQ(record.first("ignoreUnrecognized"), "1");
    const auto properties = launchPropertiesOf(record);
    ASSERT_GE(properties.size(), 7u);
    EXPECT_EQ(properties[0], "-Dkarvo.isService=true");
    EXPECT_EQ(properties[1], "-Dkarvo.moduleName=" + layout.executable());
    EXPECT_EQ(properties[2], "-Dsun.java.command=" + layout.executable());
    EXPECT_EQ(properties[3], "-Dkarvo.tempDir=");
    EXPECT_EQ(properties[4], "-Dkarvo.unextractedPosition=0");
    EXPECT_TRUE(properties[5].starts_with("-Djava.library.path=")) << properties[5];
    EXPECT_TRUE(properties[6].starts_with("-Dkarvo.consoleCodepage=cp")) << properties[6];
    const auto options = record.all("option");
    EXPECT_TRUE(options.back().starts_with("-Djava.class.path=")) << options.back();

    // The order in which the VM was asked, from creation to destruction.
    std::vector<std::string> calls;
    for (const auto& [key, value] : record.entries())
        if (key == "JNI_CreateJavaVM" || key == "FindClass" || key == "GetStaticMethodID" ||
            key == "call" || key == "DestroyJavaVM" || key == "main")
            calls.push_back(key + " " + value);
    const std::vector<std::string> expectedCalls = {
        "JNI_CreateJavaVM ok",
        "FindClass com/karvo/runtime/WinLauncher",
        "GetStaticMethodID com/karvo/runtime/WinLauncher.main ([Ljava/lang/String;)V",
        "FindClass java/lang/String",
        "call com/karvo/runtime/WinLauncher.main",
        "main returned",
        "DestroyJavaVM called",
    };
    EXPECT_EQ(calls, expectedCalls);
    const std::vector<std::string> expectedParameters = {"false", "com.example.Main", "", "",
                                                         "false", "svc", "-r"};
    EXPECT_EQ(record.all("param"), expectedParameters);
}

TEST(JavaVMLauncher, RuntimeParameters) {
    struct Row {
        const char* name;
        std::map<ConfigKey, std::string> keys;
        std::string extraArguments;
        // "<dir>" stands for the layout's directory.
        std::vector<std::string> expected;
    } rows[] = {
        {"configured arguments split, quotes removed",
         {{Key::ProgramArguments, "one \"two three\""}}, "",
         {"false", "com.example.Main", "", "", "false", "svc", "one", "two three"}},
        {"configured before further command-line arguments",
         {{Key::ProgramArguments, "conf"}}, "x \"y z\"",
         {"false", "com.example.Main", "", "", "false", "svc", "conf", "x", "y z"}},
        {"redirection files made absolute beside the executable, append on",
         {{Key::PassStdErrFile, "1"}, {Key::StdErrFile, "logs\\err.txt"},
          {Key::PassStdOutFile, "1"}, {Key::StdOutFile, "out.txt"}, {Key::AppendRedirection, "1"}},
         "",
         {"false", "com.example.Main", "<dir>\\logs\\err.txt", "<dir>\\out.txt", "true", "svc"}},
        {"redirection name starting with $ passed as configured",
         {{Key::PassStdErrFile, "1"}, {Key::StdErrFile, "$NOT_SET\\err.txt"}}, "",
         {"false", "com.example.Main", "$NOT_SET\\err.txt", "", "false", "svc"}},
        {"redirection file configured but switched off",
         {{Key::StdErrFile, "err.txt"}}, "",
         {"false", "com.example.Main", "", "", "false", "svc"}},
        {"-J arguments left out when they go to the VM",
         {{Key::JArgumentsToVm, "1"}}, "-Xmark keep -Jdrop",
         {"false", "com.example.Main", "", "", "false", "svc", "-Xmark", "keep"}},
        {"GUI launcher type gives true first",
         {{Key::LauncherType, "1"}}, "",
         {"true", "com.example.Main", "", "", "false", "svc"}},
    };
    for (const auto& row : rows) {
        RuntimeLayout layout("launch_params", with(row.keys), "return");
        const RunResult run = runChild(layout, row.extraArguments);
        EXPECT_EQ(run.exitCode, 0u) << row.name << "\n" << run.err;
        std::vector<std::string> expected = row.expected;
        for (auto& value : expected)
            if (value.starts_with("<dir>")) value = layout.directory() + value.substr(5);
        EXPECT_EQ(layout.record().all("param"), expected) << row.name;
    }
}

TEST(JavaVMLauncher, LaunchPropertiesByCondition) {
    struct Row {
        const char* name;
        std::map<ConfigKey, std::string> keys;
        std::map<std::string, std::string> environment;
        std::string present;  // a property that must be there ("" for none)
        std::string absent;   // a property prefix that must not be there
        std::vector<std::string> last = {};  // the properties that must end the list
    } rows[] = {
        {"MANPATH set: no console code page", {}, {{"MANPATH", "/usr/man"}}, "",
         "-Dkarvo.consoleCodepage="},
        {"no process file unless asked", {}, {}, "", "-Dkarvo.processCommFile="},
        {"karvo flavour has no tessel property", {}, {}, "", "-Dkarvo.isTessel="},
        {"tessel flavour comes first", {{Key::Flavour, "t"}}, {}, "-Dkarvo.isTessel=true", ""},
        {"no rolling unless a size is set", {{Key::OutputKeep, "3"}}, {}, "", "-Dkarvo.output"},
        {"rolling limits come last", {{Key::OutputMaxSize, "1048576"}, {Key::OutputKeep, "3"}},
         {}, "", "", {"-Dkarvo.outputMaxSize=1048576", "-Dkarvo.outputKeep=3"}},
    };
    for (const auto& row : rows) {
        RuntimeLayout layout("launch_props", with(row.keys), "return");
        CreateDirectoryA((layout.directory() + "\\.tessel").c_str(), nullptr);
        writeFile(layout.directory() + "\\.tessel\\tslruntime.jar", "jar");
        const RunResult run = runChild(layout, {}, childOptions(row.environment));
        EXPECT_EQ(run.exitCode, 0u) << row.name << "\n" << run.err;
        const auto properties = launchPropertiesOf(layout.record());
        if (!row.present.empty()) {
            ASSERT_FALSE(properties.empty()) << row.name;
            EXPECT_EQ(properties.front(), row.present) << row.name;
        }
        if (!row.absent.empty()) {
            for (const auto& property : properties)
                EXPECT_FALSE(property.starts_with(row.absent)) << row.name << ": " << property;
        }
        if (!row.last.empty()) {
            ASSERT_GE(properties.size(), row.last.size()) << row.name;
            EXPECT_EQ(std::vector<std::string>(properties.end() - row.last.size(), properties.end()),
                      row.last)
                << row.name;
        }
    }
}

TEST(JavaVMLauncher, ProcessFileNamedAfterTheChild) {
    RuntimeLayout layout("launch_comm", with({{Key::ProcessCommFile, "1"}}), "return");
    const RunResult run = runChild(layout);
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    const FakeJvmRecord record = layout.record();
    const std::string suffix = "kvo_p" + record.first("pid").value_or("?") + ".tmp";
    bool found = false;
    for (const auto& property : launchPropertiesOf(record))
        if (property.starts_with("-Dkarvo.processCommFile=")) found = property.ends_with(suffix);
    EXPECT_TRUE(found) << suffix;
}

TEST(JavaVMLauncher, Failures) {
    struct Row {
        const char* name;
        std::string script;
        DWORD exitCode;
        std::string errorText;      // on standard error ("" for none expected)
        std::string recordHas;      // "key: value" that must be recorded
        std::string recordLacks;    // a key that must not be recorded
    } rows[] = {
        {"VM refuses an option", "refuse-option:-Dkarvo.isService=true", 1, "",
         "JNI_CreateJavaVM: refused", "FindClass"},
        {"runtime class missing", "no-class:com/karvo/runtime/WinLauncher", 1, "NO-RUNTIME-CLASS",
         "FindClass: com/karvo/runtime/WinLauncher", "call"},
        {"main method missing", "no-method:main", 1, "NO-MAIN-METHOD",
         "GetStaticMethodID: com/karvo/runtime/WinLauncher.main ([Ljava/lang/String;)V", "call"},
        {"exception out of main: described, VM not destroyed", "throw-main", 1,
         "Exception in thread \"main\"", "ExceptionDescribe: java.lang.IllegalStateException",
         "DestroyJavaVM"},
        {"program ends the process itself", "exit:7", 7, "", "exit: 7", "DestroyJavaVM"},
        {"no parameter array: orderly internal error", "null-array", 1, "INTERNAL 21",
         "NewObjectArray: 7 java/lang/String", "call"},
        {"no parameter string: orderly internal error", "null-string", 1, "INTERNAL 21",
         "NewString: refused", "call"},
    };
    for (const auto& row : rows) {
        RuntimeLayout layout("launch_fail", with({{Key::ProgramArguments, "-r"}}), row.script);
        const RunResult run = runChild(layout);
        ASSERT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, row.exitCode) << row.name << "\n" << run.err;
        if (!row.errorText.empty()) {
            EXPECT_NE(run.err.find(row.errorText), std::string::npos) << row.name << "\n"
                                                                      << run.err;
        }
        EXPECT_EQ(run.err.find("unimplemented"), std::string::npos) << row.name << "\n" << run.err;
        const auto record = FakeJvmRecord::parse(readFile(layout.recordPath()).value_or(""));
        const auto colon = row.recordHas.find(": ");
        EXPECT_TRUE(record.has(row.recordHas.substr(0, colon), row.recordHas.substr(colon + 2)))
            << row.name;
        EXPECT_FALSE(record.has(row.recordLacks)) << row.name;
    }
}

TEST(JavaVMLauncher, FirstRunCheck) {
    struct Row {
        const char* name;
        std::string flavour;
        bool marker;
        std::string script;
        DWORD exitCode;
        std::string errorText;
        bool firstRunLookedUp;
        bool mainCalled;
        std::string applicationDirectory = {};  // key 10003, relative to the executable
        std::string markerDirectory = {};       // where the marker lies, below the executable
    } rows[] = {
        {"tessel, no marker: no check, program runs", "t", false, "return", 0, "", false, true},
        {"tessel, marker, check says yes", "t", true, "return", 0, "", true, true},
        {"tessel, marker, check says no: exit 0 without main", "t", true, "firstrun-false", 0, "",
         true, false},
        {"tessel, exception in the check: described, exit 0", "t", true, "throw-firstrun", 0,
         "Exception in thread", true, false},
        {"tessel, check class missing", "t", true, "no-class:com/tessel/runtime/launcher/FirstRun",
         1, "INTERNAL 14", true, false},
        {"tessel, check method missing", "t", true, "no-method:firstRun", 1, "INTERNAL 15", true,
         false},
        {"karvo flavour ignores the marker", "", true, "firstrun-false", 0, "", false, true},
        {"marker below the configured application directory is checked", "t", true,
         "firstrun-false", 0, "", true, false, "app", "app"},
        {"marker beside the executable ignored when the application directory is elsewhere",
         "t", true, "firstrun-false", 0, "", false, true, "app", ""},
    };
    for (const auto& row : rows) {
        RuntimeLayout layout(
            "launch_firstrun",
            with({{Key::Flavour, row.flavour}, {Key::ApplicationDirectory, row.applicationDirectory}}),
            row.script);
        const std::string application = row.applicationDirectory.empty()
                                            ? layout.directory()
                                            : layout.directory() + "\\" + row.applicationDirectory;
        CreateDirectoryA(application.c_str(), nullptr);
        CreateDirectoryA((application + "\\.tessel").c_str(), nullptr);
        writeFile(application + "\\.tessel\\tslruntime.jar", "jar");
        const std::string markerBase = row.markerDirectory.empty()
                                           ? layout.directory()
                                           : layout.directory() + "\\" + row.markerDirectory;
        CreateDirectoryA((markerBase + "\\.tessel").c_str(), nullptr);
        if (row.marker) writeFile(markerBase + "\\.tessel\\firstrun", "");
        const RunResult run = runChild(layout);
        ASSERT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, row.exitCode) << row.name << "\n" << run.err;
        if (!row.errorText.empty()) {
            EXPECT_NE(run.err.find(row.errorText), std::string::npos) << row.name << "\n"
                                                                      << run.err;
        }
        const FakeJvmRecord record = layout.record();
        EXPECT_EQ(record.has("FindClass", "com/tessel/runtime/launcher/FirstRun"),
                  row.firstRunLookedUp)
            << row.name;
        const std::string runtimeClass = row.flavour == "t"
                                             ? "com/tessel/runtime/launcher/WinLauncher"
                                             : "com/karvo/runtime/WinLauncher";
        EXPECT_EQ(record.has("call", runtimeClass + ".main"), row.mainCalled) << row.name;
    }
}

// Characters outside the ANSI code page reach the program unchanged: the command line is
// UTF-16 all the way to NewString.
TEST(JavaVMLauncher, UnicodeArgumentReachesTheProgram) {
    RuntimeLayout layout("launch_unicode", with({}), "return");
    const std::u16string argument = u"\u65e5\u672c\u0436";
    std::u16string line = u"\"" +
                          std::u16string(layout.executable().begin(), layout.executable().end()) +
                          u"\" svc " + argument + u" __tsl_restart";
    // The child logs into its own directory; only its log line shows the replacement.
    ScratchDir logDirectory("launch_unicode_log");
    std::wstring environment;
    for (const wchar_t* variable : {L"KARVO_LOG=yes", L"SystemRoot=C:\\windows"})
        environment.append(variable).push_back(L'\0');
    environment += L"TMP=" + std::wstring(logDirectory.path().begin(), logDirectory.path().end());
    environment.push_back(L'\0');
    environment.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, reinterpret_cast<LPWSTR>(line.data()), nullptr, nullptr,
                               FALSE, CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT,
                               environment.data(), nullptr, &startup, &process));
    if (WaitForSingleObject(process.hProcess, ChildTimeoutMs) == WAIT_TIMEOUT)
        TerminateProcess(process.hProcess, 99);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 0u);
    const auto parameters = layout.record().all("param");
    ASSERT_FALSE(parameters.empty());
    EXPECT_EQ(parameters.back(), utf8(argument));

    std::string log;
    WIN32_FIND_DATAA found;
    const HANDLE find = FindFirstFileA(logDirectory.file("tsl_nlog*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        log = readFile(logDirectory.file(found.cFileName)).value_or("");
        FindClose(find);
    }
    EXPECT_NE(log.find("param 6: ???"), std::string::npos) << log;
}

// A configured text that would outgrow the text limit once expanded is not passed on
// half-expanded: the child ends with internal error 22 before main is called.
TEST(JavaVMLauncher, ExpansionPastTheLimitEndsTheChild) {
    const std::string big(9000, 'b');
    struct Row {
        const char* name;
        std::map<ConfigKey, std::string> keys;
    } rows[] = {
        {"program arguments", {{Key::ProgramArguments, "${KARVO_TEST_BIG}"}}},
        {"standard-error file",
         {{Key::PassStdErrFile, "1"}, {Key::StdErrFile, "${KARVO_TEST_BIG}"}}},
        {"standard-output file",
         {{Key::PassStdOutFile, "1"}, {Key::StdOutFile, "x${KARVO_TEST_BIG}"}}},
    };
    for (const auto& row : rows) {
        RuntimeLayout layout("launch_expand", with(row.keys), "return");
        const RunResult run = runChild(layout, {}, childOptions({{"KARVO_TEST_BIG", big}}));
        EXPECT_EQ(run.exitCode, 1u) << row.name << "\n" << run.err;
        EXPECT_NE(run.err.find("INTERNAL 22"), std::string::npos) << row.name << "\n" << run.err;
        EXPECT_FALSE(layout.record().has("call")) << row.name;
    }
}

// A PATH too long for the library path property keeps its leading entries, each whole.
TEST(JavaVMLauncher, LongPathKeepsWholeEntries) {
    std::vector<std::string> ours;
    std::string path = "C:\\windows\\system32;C:\\windows";
    for (int i = 0; path.size() < 12000; ++i) {
        ours.push_back("C:\\p\\dir" + std::to_string(100000 + i));
        path += ";" + ours.back();
    }
    RuntimeLayout layout("launch_longpath", with({}), "return");
    const RunResult run = runChild(layout, {}, childOptions({{"PATH", path}}));
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    std::string property;
    for (const auto& option : layout.record().all("option"))
        if (option.starts_with("-Djava.library.path=")) property = option;
    ASSERT_FALSE(property.empty());
    EXPECT_LE(property.size(), 8191u);
    const std::string value = property.substr(std::strlen("-Djava.library.path="));
    EXPECT_GT(value.size(), 8000u);
    std::size_t start = 0;
    while (start <= value.size()) {
        const auto end = std::min(value.find(';', start), value.size());
        const std::string entry = value.substr(start, end - start);
        if (entry.starts_with("C:\\p\\dir")) {
            EXPECT_NE(std::find(ours.begin(), ours.end(), entry), ours.end())
                << "cut entry " << entry;
        }
        start = end + 1;
    }
}
