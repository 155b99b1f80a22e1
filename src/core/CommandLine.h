// Reading the launcher's 8-bit command line: the tail after the program name, the command
// prefix, the command word, the "non-interactive" switch and an explicit service name.
#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace karvo {

// The command line without the program name, the way the C runtime hands it to WinMain:
// leading blanks and tabs skipped; a quoted program name ends after its closing quote,
// an unquoted one at the first blank or tab; then blanks and tabs skipped again.
std::string_view commandTail(std::string_view commandLine);

enum class Command {
    None,  // no prefix, or a word that is not in the table
    Install,
    InstallAndStart,
    InstallAuto,
    InstallDemand,
    Uninstall,
    Stop,
    Start,
    Status,
    Dump,
};

struct CommandWord {
    std::string_view word;
    Command command;
};

// The command words in the order they are matched.
std::span<const CommandWord> commandTable();

// The command of an exact, case-sensitive word; None for anything else.
Command lookupCommand(std::string_view word);

struct ParsedCommand {
    Command command = Command::None;
    // True when the tail starts with a prefix, false again after "non-interactive".
    bool interactive = false;
    // The word as it stands after the prefix, up to the first blank (or the switch).
    std::string word;
    // "password-variable=NAME": the environment variable that holds the password of the
    // service account at install; empty when not given.
    std::string passwordVariable;
    // Everything after the blank that follows the word (and its switches), unchanged:
    // blanks and quotes are part of the name.
    std::optional<std::string> serviceName;
};

// Parses a tail that starts with '/' or '-' (one or two of them); any other tail gives
// Command::None with nothing else set.
ParsedCommand parseCommandTail(std::string_view tail);

// The start type "install" and "install-and-start" use: automatic (2) for a service
// launcher (type 4), on demand (3) for every other type.
int installStartType(int launcherType);

inline constexpr int AutoStart = 2;
inline constexpr int DemandStart = 3;

}  // namespace karvo
