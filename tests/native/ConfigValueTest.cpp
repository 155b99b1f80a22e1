// Stored numbers as the launcher reads them: the leading decimal part of the text.
#include <gtest/gtest.h>

#include <climits>

#include "config/ConfigValue.h"

using namespace karvo;

TEST(ConfigValue, ReadsTheLeadingDecimalNumber) {
    struct Row {
        const char* name;
        const char* text;
        int expected;
    } rows[] = {
        {"plain number", "4", 4},
        {"blanks, digits, then letters", "  42abc", 42},
        {"tabs and line breaks are white space", "\t\r\n7", 7},
        {"minus sign", "-1", -1},
        {"plus sign", "+15", 15},
        {"empty text", "", 0},
        {"no digits", "yes", 0},
        {"sign alone", "-", 0},
        {"blank between sign and digits", "- 5", 0},
        {"digits stop at a blank", "12 34", 12},
        {"largest value", "2147483647", INT_MAX},
        {"beyond the range is clamped", "99999999999999999999", INT_MAX},
        {"smallest value", "-2147483648", INT_MIN},
        {"below the range is clamped", "-99999999999999999999", INT_MIN},
    };
    for (const auto& row : rows) EXPECT_EQ(parseConfigInt(row.text), row.expected) << row.name;
}
