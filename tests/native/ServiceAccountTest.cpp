// Which configured account names a service may be installed with: only those that need no
// password, since the block never holds one.
#include <gtest/gtest.h>

#include "config/ServiceAccount.h"

using namespace karvo;

TEST(ServiceAccount, OnlyPasswordLessAccountsAreAccepted) {
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
        {"ordinary domain user needs a password", "CORP\\alice", std::nullopt},
        {"ordinary local user needs a password", ".\\alice", std::nullopt},
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
