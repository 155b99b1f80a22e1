// Message composition as the user sees it.
#include <gtest/gtest.h>

#include "config/MessageText.h"

using namespace karvo;

TEST(MessageText, PlaceholderAndLogPath) {
    struct Row {
        const char* name;
        const char* text;
        std::optional<std::string_view> argument;
        std::optional<std::string> log;
        const char* expected;
    } rows[] = {
        {"first placeholder only", "a {0} b {0}", "X", std::nullopt, "a X b {0}"},
        {"no placeholder", "plain", "X", std::nullopt, "plain"},
        {"no argument keeps placeholder", "a {0}", std::nullopt, std::nullopt, "a {0}"},
        {"log path on its own line", "text", std::nullopt, std::string("C:\\t\\log"),
         "text\n\nLog: C:\\t\\log"},
        {"empty text with log", "", std::nullopt, std::string("c:\\tsl_nlog"), "\n\nLog: c:\\tsl_nlog"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(appendLogPath(substitutePlaceholder(row.text, row.argument), row.log), row.expected)
            << row.name;
    }
}
