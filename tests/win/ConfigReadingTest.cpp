// The real launcher reading its own block: damaged blocks end with the reader's message
// and exit code 1, never a crash.
#include <gtest/gtest.h>

#include <algorithm>

#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

std::vector<std::uint8_t> templateBytes() {
    const auto bytes = readFile(templatePath());
    return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
}

// Runs a program by its wide path (so that its own module name is the long, wide one) with
// standard output in a file; nothing when it cannot be started or outlives the limit.
std::optional<std::string> runWide(const std::wstring& program, const std::wstring& tail,
                                   const std::string& outputFile) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return std::nullopt;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = out;
    std::wstring line = L"\"" + program + L"\" " + tail;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    CloseHandle(out);
    if (!started) return std::nullopt;
    const bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!ended) return std::nullopt;
    return readFile(outputFile);
}

}  // namespace

TEST(ConfigReading, TemplateEndsExactlyWithItsLastSection) {
    auto bytes = templateBytes();
    MemorySource source(bytes);
    const auto where = locateOverlay(source);
    ASSERT_TRUE(where.has_value());
    EXPECT_EQ(where->overlayOffset, static_cast<std::int64_t>(bytes.size()));
}

TEST(ConfigReading, DamagedBlocksEndWithTheReadersMessage) {
    const auto bytes = templateBytes();
    // Key 101 comes first: its seven bytes of text start at offset 32 of the block.
    const auto block = writeConfigBlock(blockWith({{Key::ServiceName, "service"}}), {},
                                        static_cast<std::int64_t>(bytes.size()));
    // The log names a failed fixed-size read with the system's error code, and for a 32-bit
    // field also the bytes it got; the other failures leave no "error" line.
    struct Row {
        const char* name;
        std::vector<std::uint8_t> tail;
        std::vector<std::string> errorLine;  // its words after "error"; empty: no line
        // What the error line before the box names: the step, its offset within the block
        // and the box's text.
        std::string step;
        int offset;
        std::string message;
    } rows[] = {
        {"no block", {}, {"*", "0"}, "magic", 0, "Internal Error: readInt"},
        {"cut in the magic", std::vector<std::uint8_t>(block.begin(), block.begin() + 2),
         {"*", "2"}, "magic", 0, "Internal Error: readInt"},
        {"wrong magic", {1, 2, 3, 4, 0, 0, 0, 0}, {}, "magic", 0, "Internal Error: magic"},
        {"cut in the block length", std::vector<std::uint8_t>(block.begin(), block.begin() + 14),
         {"*"}, "block length", 12, "Internal Error: readLong"},
        {"cut in the first text", std::vector<std::uint8_t>(block.begin(), block.begin() + 34),
         {}, "text entry", 32, "Internal Error: readString"},
    };
    for (const auto& row : rows) {
        ScratchDir runDir("damagedrun");
        auto exe = bytes;
        exe.insert(exe.end(), row.tail.begin(), row.tail.end());
        const std::string path = runDir.file("damaged.exe");
        ASSERT_TRUE(writeFile(path, std::string(exe.begin(), exe.end())));
        // No display: the message box cannot be shown, so the exit code tells the story;
        // the log names the failure.
        RunOptions options;
        options.environment["KARVO_LOG"] = "yes";
        options.environment["TMP"] = runDir.path();
        const auto run = runProcess("\"" + path + "\" status", options);
        EXPECT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, 1u) << row.name;
        // While the block is read, failures are message boxes, never standard-error lines.
        EXPECT_EQ(run.err, "") << row.name;
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((runDir.path() + "\\tsl_nlog_*").c_str(), &found);
        ASSERT_NE(find, INVALID_HANDLE_VALUE) << row.name;
        FindClose(find);
        const auto logLines = lines(readFile(runDir.path() + "\\" + found.cFileName).value_or(""));
        const std::string failure = "ERROR: reading the configuration block failed: " +
                                    row.step + " at offset " +
                                    std::to_string(bytes.size() + row.offset) + " (" +
                                    row.message + ")";
        EXPECT_NE(std::find(logLines.begin(), logLines.end(), failure), logLines.end())
            << row.name << ": no line " << failure;
        std::vector<std::vector<std::string>> errorLines;
        for (const auto& line : logLines) {
            if (line.rfind("error ", 0) != 0) continue;
            // The error code is whatever the system reports: only its presence counts.
            std::vector<std::string> words;
            std::size_t at = 6;
            while (at <= line.size()) {
                const std::size_t blank = std::min(line.find(' ', at), line.size());
                words.push_back(line.substr(at, blank - at));
                at = blank + 1;
            }
            if (!words.empty()) words[0] = "*";
            errorLines.push_back(words);
        }
        if (row.errorLine.empty()) {
            EXPECT_TRUE(errorLines.empty()) << row.name;
        } else {
            EXPECT_EQ(errorLines, std::vector<std::vector<std::string>>{row.errorLine}) << row.name;
        }
    }
}

// The code page cannot spell the directory: the launcher opens its own file through the
// short form of its path and reads its block (else the open would fail, and with no display
// nothing would be printed at all).
TEST(ConfigReading, PathTheCodePageCannotSpellFallsBackToTheShortForm) {
    ScratchDir scratch("widepath");
    std::wstring directory(scratch.path().begin(), scratch.path().end());
    directory += L"\\\u0416\u4E2D";
    ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr));
    const std::string staged = scratch.file("svc.exe");
    writeConfiguredExe(staged, blockWith({{Key::ServiceName, uniqueName("KarvoWidePath")}}));
    const std::wstring program = directory + L"\\svc.exe";
    ASSERT_TRUE(MoveFileW(std::wstring(staged.begin(), staged.end()).c_str(), program.c_str()));

    const auto out = runWide(program, L"/status", scratch.file("out.txt"));
    DeleteFileW(program.c_str());
    RemoveDirectoryW(directory.c_str());
    ASSERT_TRUE(out.has_value());
    ASSERT_EQ(lines(*out).size(), 1u) << *out;
    EXPECT_EQ(lines(*out)[0].rfind("Service 'KarvoWidePath", 0), 0u) << *out;
}
