// Which configured account names a service may be installed with, and where the password of
// one that needs it comes from.
#include <gtest/gtest.h>

#include "config/ServiceAccount.h"

using namespace karvo;

TEST(ServiceAccount, AccountNamesAreReadOrRefused) {
    struct Row {
        const char* name;
        const char* configured;
        std::optional<ServiceAccountKind> kind;  // nothing: refused
        const char* registered = "";
    } rows[] = {
        {"empty is the local system", "", ServiceAccountKind::LocalSystem, ""},
        {"LocalSystem in any case", "localsystem", ServiceAccountKind::LocalSystem, ""},
        {"dot-prefixed LocalSystem", ".\\LocalSystem", ServiceAccountKind::LocalSystem, ""},
        {"local service spelled canonically", "nt authority\\localservice",
         ServiceAccountKind::LocalService, "NT AUTHORITY\\LocalService"},
        {"network service", "NT AUTHORITY\\NetworkService", ServiceAccountKind::NetworkService,
         "NT AUTHORITY\\NetworkService"},
        {"virtual account of a service", "NT SERVICE\\My Service",
         ServiceAccountKind::VirtualAccount, "NT SERVICE\\My Service"},
        {"managed account with domain", "CORP\\svc-reports$", ServiceAccountKind::ManagedAccount,
         "CORP\\svc-reports$"},
        {"managed account without domain", "svc-reports$", ServiceAccountKind::ManagedAccount,
         "svc-reports$"},
        {"domain user", "CORP\\alice", ServiceAccountKind::UserAccount, "CORP\\alice"},
        {"local user of this machine", ".\\alice", ServiceAccountKind::UserAccount, ".\\alice"},
        {"user without a domain is ambiguous", "alice", std::nullopt},
        {"user principal name", "alice@corp.example", std::nullopt},
        {"system domain's other names", "NT AUTHORITY\\SYSTEM", std::nullopt},
        {"virtual account without a name", "NT SERVICE\\", std::nullopt},
        {"dollar alone is no account", "$", std::nullopt},
        {"empty domain", "\\svc$", std::nullopt},
        {"two separators", "A\\B\\svc$", std::nullopt},
        {"character the system refuses", "CORP\\svc*$", std::nullopt},
        {"control character", "CORP\\svc\t$", std::nullopt},
        {"built-in name with trailing text", "NT AUTHORITY\\LocalServiceX", std::nullopt},
    };
    for (const auto& row : rows) {
        const auto account = parseServiceAccount(row.configured);
        ASSERT_EQ(account.has_value(), row.kind.has_value()) << row.name;
        if (!account) continue;
        EXPECT_EQ(account->kind, *row.kind) << row.name;
        EXPECT_EQ(account->name, row.registered) << row.name;
    }
}

TEST(ServiceAccount, PasswordComesFromVariableConsoleOrNowhere) {
    const ServiceAccount user{ServiceAccountKind::UserAccount, "CORP\\alice"};
    const ServiceAccount managed{ServiceAccountKind::ManagedAccount, "CORP\\svc$"};
    struct Row {
        const char* name;
        ServiceAccount account;
        bool interactive;
        const char* commandLine;
        const char* configured;
        PasswordSource source;
        const char* variable;
    } rows[] = {
        {"an account the system manages needs none", managed, false, "", "", PasswordSource::None,
         ""},
        {"the command line's variable comes first", user, true, "CLI_PW", "CFG_PW",
         PasswordSource::Variable, "CLI_PW"},
        {"then the configured variable", user, false, "", "CFG_PW", PasswordSource::Variable,
         "CFG_PW"},
        {"otherwise typed at the console", user, true, "", "", PasswordSource::Console, ""},
        {"non-interactive without a variable is an error", user, false, "", "",
         PasswordSource::Missing, ""},
    };
    for (const auto& row : rows) {
        const PasswordChoice choice =
            choosePasswordSource(row.account, row.interactive, row.commandLine, row.configured);
        EXPECT_EQ(choice.source, row.source) << row.name;
        EXPECT_EQ(choice.variable, row.variable) << row.name;
        EXPECT_EQ(choice.problem.empty(), row.source != PasswordSource::Missing) << row.name;
    }
}
