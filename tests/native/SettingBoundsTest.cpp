// The one table of integer bounds: every integer setting has a row, and the packer applies
// each row at both of its ends.
#include <gtest/gtest.h>

#include <limits>

#include "PackTestSupport.h"
#include "config/SettingBounds.h"

using namespace karvo;
using namespace karvo::pack;

namespace {

TEST(SettingBounds, EveryIntegerSettingHasARow) {
    for (const auto& info : configKeyTable()) {
        const bool derived = info.number == Key::IncludedFileCount;
        if (info.kind == KeyKind::Int && !derived) {
            EXPECT_NE(findIntegerBounds(info.number), nullptr) << info.name;
        }
    }
    for (const auto& bounds : integerBoundsTable()) {
        const ConfigKeyInfo* info = findConfigKey(bounds.key);
        ASSERT_NE(info, nullptr) << bounds.key;
        EXPECT_EQ(info->kind, KeyKind::Int) << info->name;
        EXPECT_LE(bounds.least, bounds.most) << info->name;
    }
}

// Reads one setting (with the restart mode that makes the restart settings matter) and says
// whether the packer took it.
bool packs(std::string_view name, std::int64_t value) {
    try {
        readDescription("service_name = 's'\nmain_class = 'm'\nrestart = 'always'\n" +
                            std::string(name) + " = " + std::to_string(value) + "\n",
                        "b.toml", ".");
        return true;
    } catch (const PackError&) {
        return false;
    }
}

TEST(SettingBounds, PackerAcceptsBothEndsAndRefusesBeyondThem) {
    constexpr std::int64_t Min = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t Max = std::numeric_limits<std::int32_t>::max();
    for (const auto& bounds : integerBoundsTable()) {
        const auto name = findConfigKey(bounds.key)->name;
        EXPECT_TRUE(packs(name, bounds.least)) << name << " = " << bounds.least;
        EXPECT_TRUE(packs(name, bounds.most)) << name << " = " << bounds.most;
        if (bounds.least > Min) {
            EXPECT_FALSE(packs(name, bounds.least - 1)) << name;
        }
        if (bounds.most < Max) {
            EXPECT_FALSE(packs(name, std::int64_t{bounds.most} + 1)) << name;
        }
    }
}

TEST(SettingBounds, DecimalIntegerTexts) {
    struct Row {
        const char* name;
        const char* text;
        std::optional<std::int32_t> value;
    } rows[] = {
        {"plain", "250", 250},
        {"leading zero and plus", "+007", 7},
        {"lowest 32-bit number", "-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"beyond 32 bits", "2147483648", std::nullopt},
        {"many digits do not wrap", "99999999999999999999", std::nullopt},
        {"blank before the digits", " 5", std::nullopt},
        {"sign alone", "-", std::nullopt},
        {"empty", "", std::nullopt},
        {"unit after the number", "5s", std::nullopt},
    };
    for (const auto& row : rows) EXPECT_EQ(decimalInteger(row.text), row.value) << row.name;
}

}  // namespace
