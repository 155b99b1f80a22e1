#include "core/CommandLine.h"

#include <algorithm>
#include <array>

namespace karvo {
namespace {

constexpr std::array<CommandWord, 14> Commands{{
    {"install", Command::Install},
    {"install-and-start", Command::InstallAndStart},
    {"install-auto", Command::InstallAuto},
    {"install-demand", Command::InstallDemand},
    {"uninstall", Command::Uninstall},
    {"stop", Command::Stop},
    {"start", Command::Start},
    {"status", Command::Status},
    {"update", Command::Update},
    {"run", Command::Run},
    {"help", Command::Help},
    {"h", Command::Help},
    {"?", Command::Help},
    {"dump", Command::Dump},
}};

constexpr std::string_view NonInteractiveSwitch = "non-interactive";
constexpr std::string_view NoWaitSwitch = "nowait";

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

std::size_t skipBlanksAndTabs(std::string_view text, std::size_t from) {
    while (from < text.size() && isBlankOrTab(text[from])) ++from;
    return from;
}

// A switch counts only as a whole word: "non-interactiveX" is a service name, so that no
// character of it is dropped and the service is not silently made non-interactive. A tab
// after it separates like a blank, as tabs do everywhere else on a command line; otherwise
// "non-interactive<TAB>Name" would install a service of that whole name.
bool switchAt(std::string_view tail, std::size_t blank, std::string_view name) {
    const std::size_t start = blank + 1;
    if (tail.substr(start, name.size()) != name) return false;
    const std::size_t after = start + name.size();
    return after == tail.size() || isBlankOrTab(tail[after]);
}

// A name typed in quotes because it holds blanks means the name without them. Only a pair
// around the whole name is removed: a quote inside it stays, as the manager may hold it.
std::string unquotedName(std::string_view name) {
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        name = name.substr(1, name.size() - 2);
    return std::string(name);
}

constexpr std::string_view PasswordVariableSwitch = "password-variable=";

// "password-variable=NAME" after a blank: the length of the whole switch (up to the next
// blank, tab or the end), or 0 when there is none or NAME is empty.
std::size_t passwordSwitchAt(std::string_view tail, std::size_t blank) {
    const std::size_t start = blank + 1;
    if (tail.substr(start, PasswordVariableSwitch.size()) != PasswordVariableSwitch) return 0;
    std::size_t end = start + PasswordVariableSwitch.size();
    while (end < tail.size() && !isBlankOrTab(tail[end])) ++end;
    return end - start > PasswordVariableSwitch.size() ? end - start : 0;
}

}  // namespace

std::string_view commandTail(std::string_view commandLine) {
    std::size_t at = skipBlanksAndTabs(commandLine, 0);
    if (at < commandLine.size() && commandLine[at] == '"') {
        const std::size_t close = commandLine.find('"', at + 1);
        at = close == std::string_view::npos ? commandLine.size() : close + 1;
    } else {
        while (at < commandLine.size() && !isBlankOrTab(commandLine[at])) ++at;
    }
    return commandLine.substr(skipBlanksAndTabs(commandLine, at));
}

std::span<const CommandWord> commandTable() { return Commands; }

Command lookupCommand(std::string_view word) {
    for (const auto& entry : Commands) {
        if (entry.word == word) return entry.command;
    }
    return Command::None;
}

ParsedCommand parseCommandTail(std::string_view tail) {
    ParsedCommand parsed;
    if (tail.empty() || (tail[0] != '/' && tail[0] != '-')) return parsed;

    std::size_t wordStart = 1;
    if (wordStart < tail.size() && tail[wordStart] == '-') ++wordStart;
    const std::string_view rest = tail.substr(wordStart);
    parsed.interactive = true;

    // The word runs to the first blank only when something follows that blank; a lone
    // trailing blank stays part of the word, which then matches nothing.
    std::size_t wordEnd = rest.size();
    std::size_t scan = rest.find(' ');
    while (scan != std::string_view::npos && rest.size() - scan >= 2) {
        wordEnd = std::min(wordEnd, scan);
        if (switchAt(rest, scan, NonInteractiveSwitch)) {
            parsed.interactive = false;
            scan += 1 + NonInteractiveSwitch.size();
            continue;
        }
        if (const std::size_t length = passwordSwitchAt(rest, scan)) {
            parsed.passwordVariable = std::string(rest.substr(
                scan + 1 + PasswordVariableSwitch.size(), length - PasswordVariableSwitch.size()));
            scan += 1 + length;
            continue;
        }
        if (switchAt(rest, scan, NoWaitSwitch)) {
            parsed.waitForStart = false;
            scan += 1 + NoWaitSwitch.size();
            continue;
        }
        parsed.serviceName = unquotedName(rest.substr(scan + 1));
        break;
    }
    parsed.word = std::string(rest.substr(0, wordEnd));
    parsed.command = lookupCommand(parsed.word);
    return parsed;
}

std::string usageText(std::string_view programName) {
    const std::string program(programName);
    return "Usage: " + program +
           " /COMMAND [non-interactive] [nowait] [SERVICE NAME]\n"
           "Controls the service this program is configured for; a service name given after\n"
           "the command (in quotes when it holds blanks) replaces the configured one.\n"
           "\n"
           "  /install            install the service (and start it again if it was running)\n"
           "  /install-auto       install it to start with the system\n"
           "  /install-demand     install it to start when asked\n"
           "  /install-and-start  install it, then start it\n"
           "  /update             apply this program's service settings to the installed service\n"
           "  /uninstall          stop and remove the service\n"
           "  /start              start the service and wait until it runs (nowait: do not wait)\n"
           "  /stop               stop the service\n"
           "  /status             say whether the service runs (exit code 3 when it does not)\n"
           "  /run                run the program here, in the foreground; Ctrl+C stops it\n"
           "  /help               show this text\n"
           "\n"
           "Exit codes: 0 done, 1 failed (the line before says why), 2 wrong command line.\n";
}

int installStartType(int launcherType) { return launcherType == 4 ? AutoStart : DemandStart; }

}  // namespace karvo
