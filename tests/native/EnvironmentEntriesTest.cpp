// The configured environment list as the launcher and the packer both read it.
#include <gtest/gtest.h>

#include "config/EnvironmentEntries.h"

using namespace karvo;

TEST(EnvironmentEntries, ReadInOrder) {
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    struct Row {
        const char* name;
        const char* text;
        std::optional<Pairs> entries;  // nothing: refused
    } rows[] = {
        {"order kept, not sorted", "B=2\nA=1", Pairs{{"B", "2"}, {"A", "1"}}},
        {"only the first = splits", "A=x=y", Pairs{{"A", "x=y"}}},
        {"empty value kept (it removes the variable)", "A=", Pairs{{"A", ""}}},
        {"blanks are part of name and value", " A = 1 ", Pairs{{" A ", " 1 "}}},
        {"no name", "=C:=C:\\", std::nullopt},
        {"a bad entry after good ones", "A=1\nB", std::nullopt},
    };
    for (const auto& row : rows) {
        std::string problem;
        const auto entries = parseEnvironmentEntries(row.text, problem);
        ASSERT_EQ(entries.has_value(), row.entries.has_value()) << row.name;
        if (!entries) {
            EXPECT_NE(problem.find("NAME=value"), std::string::npos) << row.name;
            continue;
        }
        Pairs got;
        for (const auto& entry : *entries) got.emplace_back(entry.name, entry.value);
        EXPECT_EQ(got, *row.entries) << row.name;
    }
}
