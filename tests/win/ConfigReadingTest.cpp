// The real launcher reading its own block: damaged blocks end with the reader's message
// and exit code 1, never a crash.
#include <gtest/gtest.h>

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
    ScratchDir dir("damaged");
    const auto bytes = templateBytes();
    auto good = bytes;
    const auto block = writeConfigBlock(blockWith({{Key::ServiceName, "x"}}), {},
                                        static_cast<std::int64_t>(bytes.size()));
    struct Row {
        const char* name;
        std::vector<std::uint8_t> tail;
        const char* message;
    } rows[] = {
        {"no block", {}, "Internal Error: readInt"},
        {"wrong magic", {1, 2, 3, 4, 0, 0, 0, 0}, "Internal Error: magic"},
        {"cut in the block length", std::vector<std::uint8_t>(block.begin(), block.begin() + 14),
         "Internal Error: readLong"},
        {"cut in the first text", std::vector<std::uint8_t>(block.begin(), block.begin() + 34),
         "Internal Error: readString"},
    };
    for (const auto& row : rows) {
        auto exe = bytes;
        exe.insert(exe.end(), row.tail.begin(), row.tail.end());
        const std::string path = dir.file("damaged.exe");
        ASSERT_TRUE(writeFile(path, std::string(exe.begin(), exe.end())));
        // No display: the message box cannot be shown, so the exit code tells the story;
        // the log names the failure.
        RunOptions options;
        options.environment["KARVO_LOG"] = "yes";
        options.environment["TMP"] = dir.path();
        const auto run = runProcess("\"" + path + "\" status", options);
        EXPECT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, 1u) << row.name;
    }
}
