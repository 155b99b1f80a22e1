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
    Update,
    Run,
    Help,
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
    // False after "nowait": the start returns once the manager took the request.
    bool waitForStart = true;
    // The word as it stands after the prefix, up to the first blank (or the switch).
    std::string word;
    // "password-variable=NAME": the environment variable that holds the password of the
    // service account at install; empty when not given.
    std::string passwordVariable;
    // Everything after the blank that follows the word (and its switches), blanks kept;
    // one pair of double quotes around the whole of it is removed, as a shell user quotes
    // a name with blanks.
    std::optional<std::string> serviceName;
};

// Parses a tail that starts with '/' or '-' (one or two of them); any other tail gives
// Command::None with nothing else set.
ParsedCommand parseCommandTail(std::string_view tail);

// What a person at a console is shown for /help and for a command line without a known
// word: the program's file name, the words and what each does.
std::string usageText(std::string_view programName);

// The start type "install" and "install-and-start" use: automatic (2) for a service
// launcher (type 4), on demand (3) for every other type.
int installStartType(int launcherType);

inline constexpr int AutoStart = 2;
inline constexpr int DemandStart = 3;

}  // namespace karvo
