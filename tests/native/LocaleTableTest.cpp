// The user's locale identifier to the code that picks localized texts: the exact row
// first, then the primary language, else none.
#include <gtest/gtest.h>

#include "config/LocaleTable.h"

using namespace karvo;

TEST(LocaleTable, ExactRowThenPrimaryLanguage) {
    struct Row {
        const char* name;
        std::uint16_t lcid;
        std::optional<std::string_view> expected;
    } rows[] = {
        {"exact full identifier", 0x0c09, "en_AU"},
        {"exact bare language", 0x0007, "de"},
        {"unknown country falls back to the language", 0x4409, "en"},
        {"identifier listed later than its language", 0x1407, "de_LI"},
        {"Java's code for Hebrew", 0x040d, "iw_IL"},
        {"Java's code for Indonesian", 0x0421, "in_ID"},
        {"three-part code", 0x0814, "no_NO_NY"},
        {"row without a country", 0x0431, "ts"},
        {"identifier whose row names only the language", 0x2409, "en"},
        {"last row", 0x500a, "es_PR"},
        {"primary language not in the table", 0x0028, std::nullopt},
        {"unknown identifier of an unknown language", 0x0c28, std::nullopt},
        {"zero", 0x0000, std::nullopt},
        {"primary language 0x56 through its bits", 0x0856, "gl"},
    };
    for (const auto& row : rows) EXPECT_EQ(localeCodeFor(row.lcid), row.expected) << row.name;
}
