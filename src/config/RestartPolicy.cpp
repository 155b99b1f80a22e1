#include "config/RestartPolicy.h"

#include <algorithm>

#include "config/ConfigValue.h"
#include "config/SettingBounds.h"

namespace karvo {
namespace {

std::uint32_t numberOr(const std::string& text, std::uint32_t fallback, const char* name,
                       std::string& problem) {
    if (text.empty()) return fallback;
    const int value = parseConfigInt(text);
    if (value < 0) {
        problem += std::string(name) + " " + text + " is negative, using " +
                   std::to_string(fallback) + "; ";
        return fallback;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::optional<RestartMode> parseRestartMode(std::string_view text) {
    if (text.empty() || text == "never") return RestartMode::Never;
    if (text == "on-failure") return RestartMode::OnFailure;
    if (text == "always") return RestartMode::Always;
    return std::nullopt;
}

RestartSettings readRestartSettings(const RestartTexts& texts, std::string& problem) {
    RestartSettings settings;
    problem.clear();
    if (const auto mode = parseRestartMode(texts.mode)) {
        settings.mode = *mode;
    } else {
        problem += "restart mode '" + texts.mode + "' is unknown, using never; ";
    }
    const RestartSettings defaults;
    settings.firstDelayMs = numberOr(texts.delay, defaults.firstDelayMs, "restart_delay", problem);
    settings.maxDelayMs =
        numberOr(texts.delayMax, defaults.maxDelayMs, "restart_delay_max", problem);
    settings.resetAfterMs =
        numberOr(texts.resetAfter, defaults.resetAfterMs, "restart_reset_after", problem);
    settings.limit = numberOr(texts.limit, defaults.limit, "restart_limit", problem);
    if (settings.firstDelayMs < MinRestartDelayMs) {
        problem += "restart_delay " + std::to_string(settings.firstDelayMs) + " is below " +
                   std::to_string(MinRestartDelayMs) + ", using " +
                   std::to_string(MinRestartDelayMs) + "; ";
        settings.firstDelayMs = MinRestartDelayMs;
    }
    if (restartCombinationProblem(texts)) {
        problem += "restart_reset_after 0 with restart_limit " + std::to_string(settings.limit) +
                   " would never count a restart, using " + std::to_string(defaults.resetAfterMs) +
                   "; ";
        settings.resetAfterMs = defaults.resetAfterMs;
    }
    settings.maxDelayMs = std::max(settings.maxDelayMs, settings.firstDelayMs);
    if (!problem.empty()) problem.resize(problem.size() - 2);  // the last "; "
    return settings;
}

std::optional<RestartCombinationProblem> restartCombinationProblem(const RestartTexts& texts) {
    // Every run would count as a long one, which starts the count over: the limit is
    // never reached.
    const auto limit = decimalInteger(texts.limit);
    const auto resetAfter = decimalInteger(texts.resetAfter);
    if (limit && *limit > 0 && resetAfter && *resetAfter == 0) {
        return RestartCombinationProblem{
            Key::RestartResetAfter,
            "restart_reset_after = 0 makes every run count as a long one, so restart_limit = " +
                std::to_string(*limit) +
                " is never reached; give the milliseconds a run must last to count as a "
                "success (the default is 60000), or leave restart_limit out"};
    }
    return std::nullopt;
}

RestartDecision RestartPlanner::childEnded(std::uint32_t exitCode, bool stopRequested,
                                           std::uint64_t ranForMs) {
    if (stopRequested) return {};
    switch (settings_.mode) {
        case RestartMode::Never: return {};
        case RestartMode::OnFailure:
            if (exitCode == 0) return {};
            break;
        case RestartMode::Always: break;
    }
    // A run that lasted is a success: whatever failed before it no longer counts.
    if (ranForMs >= settings_.resetAfterMs) {
        nextDelayMs_ = settings_.firstDelayMs;
        quickRestarts_ = 0;
    }
    if (settings_.limit != 0 && quickRestarts_ >= settings_.limit)
        return {RestartAction::GiveUp, 0, quickRestarts_};
    RestartDecision decision{RestartAction::Restart, nextDelayMs_, ++quickRestarts_};
    // Doubling in 64 bits: a cap near the top of the range must not wrap to a short delay.
    nextDelayMs_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(
        std::uint64_t{nextDelayMs_} * 2, settings_.maxDelayMs));
    return decision;
}

}  // namespace karvo
