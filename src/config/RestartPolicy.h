// When the service process starts the Java host again after it ended on its own, and how
// long it waits first. The supervisor only acts on these decisions, so the whole policy
// (mode, delay doubling, reset after a long run, the limit) is decided here.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/ConfigKeys.h"

namespace karvo {

enum class RestartMode { Never, OnFailure, Always };

// "never", "on-failure", "always"; the empty text is "never". Anything else is nothing.
std::optional<RestartMode> parseRestartMode(std::string_view text);

struct RestartSettings {
    RestartMode mode = RestartMode::Never;
    std::uint32_t firstDelayMs = 1000;
    std::uint32_t maxDelayMs = 60000;
    // A run at least this long counts as a success: the delay and the count start over.
    std::uint32_t resetAfterMs = 60000;
    std::uint32_t limit = 0;  // restarts between two long runs; 0 is unlimited
};

// The stored texts of the restart settings; an empty text takes the default.
struct RestartTexts {
    std::string mode, delay, delayMax, resetAfter, limit;
};

// The settings the texts describe. A mode the launcher does not know, or a negative number,
// is described in `problem` (for the log) and replaced by the default; a cap below the first
// delay is raised to it. A first delay below MinRestartDelayMs is raised to it, and a limit
// with a reset time of 0 gets the default reset time, as the packer refuses both.
RestartSettings readRestartSettings(const RestartTexts& texts, std::string& problem);

// Restart settings that each look fine but together cannot mean what they say, with the
// setting the fix belongs to. Texts that are not plain numbers are left to other checks.
struct RestartCombinationProblem {
    ConfigKey key;
    std::string text;
};
std::optional<RestartCombinationProblem> restartCombinationProblem(const RestartTexts& texts);

enum class RestartAction {
    Finish,   // nothing to restart: the service ends as it always has
    Restart,  // start the program again after delayMs
    GiveUp,   // the limit is reached: the service stops with its error code
};

struct RestartDecision {
    RestartAction action = RestartAction::Finish;
    std::uint32_t delayMs = 0;
    std::uint32_t restartNumber = 0;  // 1 for the first restart since the last long run
};

class RestartPlanner {
public:
    explicit RestartPlanner(const RestartSettings& settings) : settings_(settings) {
        nextDelayMs_ = settings.firstDelayMs;
    }

    // The program ended with exitCode after running ranForMs; stopRequested when a stop or
    // shutdown request came first (then nothing is ever restarted).
    RestartDecision childEnded(std::uint32_t exitCode, bool stopRequested, std::uint64_t ranForMs);

private:
    RestartSettings settings_;
    std::uint32_t nextDelayMs_;
    std::uint32_t quickRestarts_ = 0;
};

}  // namespace karvo
