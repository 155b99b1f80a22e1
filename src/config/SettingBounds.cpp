#include "config/SettingBounds.h"

#include <limits>

namespace karvo {
namespace {

constexpr std::int32_t Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t Min = std::numeric_limits<std::int32_t>::min();

constexpr IntegerBounds BoundsTable[]{
    {Key::LauncherType, Min, Max, ValueUnit::None, "a launcher type (4: a service)"},
    {Key::StopTimeout, 0, Max, ValueUnit::Seconds, "seconds (0: wait for ever)"},
    {Key::RestartDelay, MinRestartDelayMs, Max, ValueUnit::Milliseconds, "milliseconds"},
    {Key::RestartDelayMax, 0, Max, ValueUnit::Milliseconds, "milliseconds"},
    {Key::RestartResetAfter, 0, Max, ValueUnit::Milliseconds, "milliseconds"},
    {Key::RestartLimit, 0, Max, ValueUnit::None, "a number of restarts (0: unlimited)"},
    {Key::FailureRestartDelay, 0, Max, ValueUnit::Milliseconds, "milliseconds (0: no restart)"},
    {Key::FailureResetPeriod, 0, Max, ValueUnit::Seconds, "seconds (0: the default of one day)"},
    {Key::OutputMaxSize, 0, Max, ValueUnit::Bytes, "bytes (0: no limit)"},
    {Key::OutputKeep, 1, MaxOutputKeep, ValueUnit::None, "the number of rolled files to keep"},
    {Key::WatchdogInterval, 0, MaxWatchdogSeconds, ValueUnit::Seconds, "seconds (0: no watchdog)"},
    {Key::WatchdogTimeout, 1, MaxWatchdogSeconds, ValueUnit::Seconds, "seconds"},
};

}  // namespace

std::span<const IntegerBounds> integerBoundsTable() { return BoundsTable; }

const IntegerBounds* findIntegerBounds(ConfigKey key) {
    for (const auto& bounds : BoundsTable) {
        if (bounds.key == key) return &bounds;
    }
    return nullptr;
}

std::optional<std::int32_t> decimalInteger(std::string_view text) {
    const bool negative = !text.empty() && text[0] == '-';
    const auto digits = text.substr(!text.empty() && (text[0] == '+' || negative) ? 1 : 0);
    if (digits.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > std::int64_t{1} << 31) return std::nullopt;
    }
    if (negative) value = -value;
    if (value < Min || value > Max) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<std::string> integerBoundsProblem(ConfigKey key, std::string_view text) {
    const IntegerBounds* bounds = findIntegerBounds(key);
    if (!bounds) return std::nullopt;
    const auto value = decimalInteger(text);
    if (value && *value >= bounds->least && *value <= bounds->most) return std::nullopt;
    return "give " + std::string(bounds->meaning) + ", " + std::to_string(bounds->least) + " to " +
           std::to_string(bounds->most);
}

std::string_view unitName(ValueUnit unit) {
    switch (unit) {
        case ValueUnit::None: return "";
        case ValueUnit::Milliseconds: return "milliseconds";
        case ValueUnit::Seconds: return "seconds";
        case ValueUnit::Bytes: return "bytes";
    }
    return "";
}

std::optional<std::int64_t> durationIn(std::string_view text, ValueUnit unit) {
    struct Suffix {
        std::string_view text;
        std::int64_t milliseconds;
    };
    // "ms" before "m" and "s", which it ends in too.
    static constexpr Suffix Suffixes[]{{"ms", 1}, {"s", 1000}, {"m", 60000}, {"h", 3600000}};
    const std::int64_t perUnit = unit == ValueUnit::Milliseconds ? 1
                                 : unit == ValueUnit::Seconds    ? 1000
                                                                 : 0;
    if (perUnit == 0) return std::nullopt;
    for (const auto& suffix : Suffixes) {
        if (!text.ends_with(suffix.text)) continue;
        const auto digits = text.substr(0, text.size() - suffix.text.size());
        if (digits.empty() || digits.size() > 10) return std::nullopt;
        std::int64_t value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + (c - '0');
        }
        const std::int64_t milliseconds = value * suffix.milliseconds;
        if (milliseconds % perUnit != 0) return std::nullopt;
        return milliseconds / perUnit;
    }
    return std::nullopt;
}

}  // namespace karvo
