// Which accounts a service may be installed to run as. The block never holds a password,
// so only accounts that need none are accepted: the local system account, the two
// built-in service accounts, a service's own virtual account and managed service accounts.
// The packer refuses any other name before it reaches a block; the launcher checks again
// at install, since a block can be edited by hand.
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
    "NT SERVICE\\<service name> and managed service accounts ending in $; accounts that "
    "need a password are not supported";

}  // namespace karvo
