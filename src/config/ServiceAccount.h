// Which accounts a service may be installed to run as, and where the password of a user
// account comes from. The block never holds a password: the accounts the system manages
// need none (the local system account, the two built-in service accounts, a service's own
// virtual account, managed service accounts); a user account (".\user", "DOMAIN\user")
// gets its password at install, typed at the console or read from an environment
// variable, and the password goes to the system's service configuration only. The packer
// refuses any other name before it reaches a block; the launcher checks again at install,
// since a block can be edited by hand.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace karvo {

enum class ServiceAccountKind {
    LocalSystem,     // empty or "LocalSystem": registered without an account name
    LocalService,    // NT AUTHORITY\LocalService
    NetworkService,  // NT AUTHORITY\NetworkService
    VirtualAccount,  // NT SERVICE\<service name>
    ManagedAccount,  // [DOMAIN\]name$ (the system keeps its password)
    UserAccount,     // .\user or DOMAIN\user: needs its password at install
};

struct ServiceAccount {
    ServiceAccountKind kind = ServiceAccountKind::LocalSystem;
    std::string name;  // as registered; empty for the local system account
};

// The account for a configured name, or nothing when the name would need a password or
// is not a valid account name. Built-in names are matched without regard to case.
std::optional<ServiceAccount> parseServiceAccount(std::string_view configured);

// One sentence for an error message that says which names are accepted.
inline constexpr std::string_view AcceptedServiceAccounts =
    "accepted are LocalSystem, NT AUTHORITY\\LocalService, NT AUTHORITY\\NetworkService, "
    "NT SERVICE\\<service name>, managed service accounts ending in $, and user accounts "
    "written .\\user or DOMAIN\\user";

enum class PasswordSource {
    None,      // the account needs no password
    Console,   // typed at the console, without echo
    Variable,  // read from the environment variable `variable`
    Missing,   // needed but there is no way to get it: `problem` says what to do
};

struct PasswordChoice {
    PasswordSource source = PasswordSource::None;
    std::string variable;
    std::string problem;
};

// Where the password of `account` comes from at install: a variable named on the command
// line comes first, then one named in the configuration; otherwise the console, unless the
// command is non-interactive.
PasswordChoice choosePasswordSource(const ServiceAccount& account, bool interactive,
                                    std::string_view commandLineVariable,
                                    std::string_view configuredVariable);

}  // namespace karvo
