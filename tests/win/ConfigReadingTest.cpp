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
    } rows[] = {
        {"no block", {}, {"*", "0"}},
        {"cut in the magic", std::vector<std::uint8_t>(block.begin(), block.begin() + 2),
         {"*", "2"}},
        {"wrong magic", {1, 2, 3, 4, 0, 0, 0, 0}, {}},
        {"cut in the block length", std::vector<std::uint8_t>(block.begin(), block.begin() + 14),
         {"*"}},
        {"cut in the first text", std::vector<std::uint8_t>(block.begin(), block.begin() + 34),
         {}},
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
