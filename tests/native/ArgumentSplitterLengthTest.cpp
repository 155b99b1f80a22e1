// Splitting the longest texts the launcher meets (a 32,767-character wide command line)
// into many short arguments. Each blank and quote is looked at a bounded number of times;
// searching the rest of the text again for every argument once made such a line take
// seconds to split.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "launch/ArgumentSplitter.h"

using namespace karvo;

namespace {

constexpr std::size_t LongestCommandLine = 32767;

std::u16string repeated(std::u16string_view unit) {
    std::u16string text;
    while (text.size() + unit.size() <= LongestCommandLine) text += unit;
    return text;
}

struct LengthCase {
    const char* name;
    std::u16string unit;        // repeated to the longest command line
    std::u16string argument;    // what every repetition gives
};

TEST(ArgumentSplitterLength, ManyShortArgumentsSplitInLinearTime) {
    const LengthCase rows[] = {
        {"one-letter words between blanks", u"a ", u"a"},
        {"glued single-quoted words", u"'a'", u"a"},
        {"glued double-quoted words", u"\"a\"", u"a"},
        {"double-quoted words followed by blanks", u"\"b\" ", u"b"},
        {"unquoted prefix glued to a quote", u"x'y' ", u"xy"},
    };
    for (const auto& row : rows) {
        const std::u16string text = repeated(row.unit);
        const auto start = std::chrono::steady_clock::now();
        const auto arguments = trySplitArguments(text);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        ASSERT_TRUE(arguments) << row.name;
        EXPECT_EQ(arguments->size(), text.size() / row.unit.size()) << row.name;
        EXPECT_EQ(arguments->front(), row.argument) << row.name;
        EXPECT_EQ(arguments->back(), row.argument) << row.name;
        EXPECT_LT(elapsed, std::chrono::milliseconds(500)) << row.name;
    }
}

}  // namespace
