// Reading the launcher's command line: where the tail starts, which command it names, the
// switch and an explicit service name.
#include <gtest/gtest.h>

#include "core/CommandLine.h"

using namespace karvo;

TEST(CommandLine, TailAfterTheProgramName) {
    struct Row {
        const char* name;
        const char* line;
        const char* tail;
    } rows[] = {
        {"unquoted name", "svc.exe /status", "/status"},
        {"quoted name with blanks", "\"C:\\Program Files\\svc.exe\" /stop", "/stop"},
        {"quoted name glued to the tail", "\"C:\\a b\\svc.exe\"/stop", "/stop"},
        {"leading blanks and tabs", " \t svc.exe \t /install", "/install"},
        {"tab ends an unquoted name", "svc.exe\t-start", "-start"},
        {"no tail", "svc.exe", ""},
        {"only blanks after the name", "svc.exe   ", ""},
        {"unclosed quote swallows the line", "\"C:\\svc.exe /status", ""},
        {"empty line", "", ""},
        {"trailing blank of the tail kept", "svc.exe /install ", "/install "},
        {"blanks inside the tail kept", "svc.exe /stop My  Service", "/stop My  Service"},
    };
    for (const auto& row : rows) EXPECT_EQ(commandTail(row.line), row.tail) << row.name;
}

// Every row checks the whole reading of the tail; nowait and password-variable= keep their
// defaults (wait, no variable) unless a row gives them.
TEST(CommandLine, CommandWordSwitchesAndServiceName) {
    struct Row {
        const char* name;
        const char* tail;
        Command command;
        bool interactive;
        std::optional<std::string> serviceName;
        bool waitForStart = true;
        std::string passwordVariable = "";
    } rows[] = {
        {"slash prefix", "/status", Command::Status, true, std::nullopt},
        {"dash prefix", "-status", Command::Status, true, std::nullopt},
        {"double dash prefix", "--status", Command::Status, true, std::nullopt},
        {"triple dash is no word", "---status", Command::None, true, std::nullopt},
        {"slash then dash", "/-status", Command::Status, true, std::nullopt},
        {"lone prefix", "/", Command::None, true, std::nullopt},
        {"no prefix is no command", "status", Command::None, false, std::nullopt},
        {"empty tail", "", Command::None, false, std::nullopt},
        {"every word: install", "/install", Command::Install, true, std::nullopt},
        {"every word: install-and-start", "/install-and-start", Command::InstallAndStart, true,
         std::nullopt},
        {"every word: install-auto", "/install-auto", Command::InstallAuto, true, std::nullopt},
        {"every word: install-demand", "/install-demand", Command::InstallDemand, true,
         std::nullopt},
        {"every word: uninstall", "/uninstall", Command::Uninstall, true, std::nullopt},
        {"every word: start", "/start", Command::Start, true, std::nullopt},
        {"every word: stop", "/stop", Command::Stop, true, std::nullopt},
        {"every word: dump", "/dump", Command::Dump, true, std::nullopt},
        {"match is case-sensitive", "/Install", Command::None, true, std::nullopt},
        {"a prefix of a word is no match", "/install-au", Command::None, true, std::nullopt},
        {"a longer word is no match", "/installx", Command::None, true, std::nullopt},
        {"one trailing blank spoils the word", "/install ", Command::None, true, std::nullopt},
        {"switch", "/install non-interactive", Command::Install, false, std::nullopt},
        {"switch then trailing blank", "/install non-interactive ", Command::Install, false,
         std::nullopt},
        {"switch then name", "/install non-interactive My Service", Command::Install, false,
         "My Service"},
        {"repeated switch then name", "/install non-interactive non-interactive X",
         Command::Install, false, "X"},
        {"switch after the name is part of it", "/install My Service non-interactive",
         Command::Install, true, "My Service non-interactive"},
        {"quotes around the name are removed, inner blanks kept", "/stop \"My  Service\"",
         Command::Stop, true, "My  Service"},
        {"a quote inside the name stays", "/stop My \"Service\"", Command::Stop, true,
         "My \"Service\""},
        {"a lone quote stays", "/stop \"", Command::Stop, true, "\""},
        {"help words", "/?", Command::Help, true, std::nullopt},
        {"help after two dashes", "--help", Command::Help, true, std::nullopt},
        {"help in one letter", "-h", Command::Help, true, std::nullopt},
        {"run", "/run", Command::Run, true, std::nullopt},
        {"update with a quoted name", "/update \"A B\"", Command::Update, true, "A B"},
        {"second blank starts the name", "/stop  X", Command::Stop, true, " X"},
        {"switch glued to text is a name", "/install non-interactiveX", Command::Install, true,
         "non-interactiveX"},
        {"switch is case-sensitive", "/install Non-interactive", Command::Install, true,
         "Non-interactive"},
        {"unknown word still takes the name", "/frobnicate Y", Command::None, true, "Y"},
        {"tab does not end the word", "/status\tX", Command::None, true, std::nullopt},
        {"tab after the switch separates", "/status non-interactive\tName", Command::Status, false,
         "Name"},
        {"tab between repeated switches", "/install non-interactive\tnon-interactive X",
         Command::Install, false, "X"},
        {"start waits by default", "/start", Command::Start, true, std::nullopt},
        {"nowait", "/start nowait", Command::Start, true, std::nullopt, false},
        {"nowait then a name", "/start nowait My Service", Command::Start, true, "My Service",
         false},
        {"nowait and non-interactive in either order", "/install nowait non-interactive X",
         Command::Install, false, "X", false},
        {"nowait after the name is part of it", "/start X nowait", Command::Start, true,
         "X nowait"},
        {"nowait glued to text is a name", "/start nowaitX", Command::Start, true, "nowaitX"},
        {"password variable alone", "/install password-variable=SVC_PW", Command::Install, true,
         std::nullopt, true, "SVC_PW"},
        {"password variable with non-interactive and a name",
         "/install non-interactive password-variable=PW My Svc", Command::Install, false, "My Svc",
         true, "PW"},
        {"password variable before non-interactive",
         "/install password-variable=PW non-interactive", Command::Install, false, std::nullopt,
         true, "PW"},
        {"password variable without a name is a service name",
         "/install password-variable=", Command::Install, true, "password-variable="},
        {"password variable after the name is part of the name", "/install X password-variable=PW",
         Command::Install, true, "X password-variable=PW"},
    };
    for (const auto& row : rows) {
        const ParsedCommand parsed = parseCommandTail(row.tail);
        EXPECT_EQ(parsed.command, row.command) << row.name;
        EXPECT_EQ(parsed.interactive, row.interactive) << row.name;
        EXPECT_EQ(parsed.serviceName, row.serviceName) << row.name;
        EXPECT_EQ(parsed.waitForStart, row.waitForStart) << row.name;
        EXPECT_EQ(parsed.passwordVariable, row.passwordVariable) << row.name;
    }
}
