// The range every integer setting may take, and the unit a plain number is read in. One
// table serves the packer's refusals, `karvo-pack keys` and the launcher's floors, so that
// a bound is written once.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/ConfigKeys.h"

namespace karvo {

// What a plain number of a setting counts.
enum class ValueUnit {
    None,          // a code or a count
    Milliseconds,  // a duration
    Seconds,       // a duration
    Bytes,
};

struct IntegerBounds {
    ConfigKey key;
    std::int32_t least;
    std::int32_t most;
    ValueUnit unit;
    std::string_view meaning;  // what the number is, for a refusal: "give <meaning>, ..."
};

// The shortest delay before a restart. Without a floor a delay of 0 doubles to 0 for ever
// and a program that fails at once is started again as fast as the machine allows.
inline constexpr std::int32_t MinRestartDelayMs = 100;
// The most rolled output files kept; the runtime classes stop at the same number, so that
// one roll never has to look at millions of names.
inline constexpr std::int32_t MaxOutputKeep = 10000;
// The watchdog's settings in seconds: about 46 days, so that the milliseconds still fit 32 bits.
inline constexpr std::int32_t MaxWatchdogSeconds = 4000000;

std::span<const IntegerBounds> integerBoundsTable();
const IntegerBounds* findIntegerBounds(ConfigKey key);

// A text the launcher reads as a number: an optional sign and decimal digits within 32
// bits. Anything else is nothing.
std::optional<std::int32_t> decimalInteger(std::string_view text);

// Why a stored integer text is outside its setting's range ("give milliseconds, 100 to
// 2147483647"), or nothing when it is inside or the setting has no bounds.
std::optional<std::string> integerBoundsProblem(ConfigKey key, std::string_view text);

std::string_view unitName(ValueUnit unit);

// A duration written with its unit ("500ms", "30s", "5m", "1h") in the unit a setting
// counts in; nothing when the text is not such a duration or is no whole number of that
// unit ("1500ms" in seconds).
std::optional<std::int64_t> durationIn(std::string_view text, ValueUnit unit);

}  // namespace karvo
