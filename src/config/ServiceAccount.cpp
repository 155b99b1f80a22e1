#include "config/ServiceAccount.h"

#include <algorithm>

namespace karvo {
namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

// Characters the system refuses in account and domain names, plus control characters.
bool isValidNamePart(std::string_view part) {
    if (part.empty() || part.size() > 256) return false;
    if (part.front() == ' ' || part.back() == ' ' || part.back() == '.') return false;
    return std::none_of(part.begin(), part.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F ||
               std::string_view("\"/\\[]:;|=,+*?<>@").find(c) != std::string_view::npos;
    });
}

std::optional<ServiceAccount> builtIn(std::string_view name) {
    static constexpr std::string_view Authority = "NT AUTHORITY\\";
    if (name.size() > Authority.size() &&
        equalsIgnoringCase(name.substr(0, Authority.size()), Authority)) {
        const auto user = name.substr(Authority.size());
        if (equalsIgnoringCase(user, "LocalService"))
            return ServiceAccount{ServiceAccountKind::LocalService, "NT AUTHORITY\\LocalService"};
        if (equalsIgnoringCase(user, "NetworkService"))
            return ServiceAccount{ServiceAccountKind::NetworkService,
                                  "NT AUTHORITY\\NetworkService"};
    }
    return std::nullopt;
}

}  // namespace

std::optional<ServiceAccount> parseServiceAccount(std::string_view configured) {
    if (configured.empty() || equalsIgnoringCase(configured, "LocalSystem") ||
        equalsIgnoringCase(configured, ".\\LocalSystem"))
        return ServiceAccount{};
    if (auto account = builtIn(configured)) return account;

    const auto slash = configured.find('\\');
    const std::string_view domain =
        slash == std::string_view::npos ? std::string_view{} : configured.substr(0, slash);
    const std::string_view user =
        slash == std::string_view::npos ? configured : configured.substr(slash + 1);
    // "." is this machine, as in ".\\LocalSystem".
    const bool thisMachine = domain == ".";
    if (slash != std::string_view::npos && !thisMachine && !isValidNamePart(domain))
        return std::nullopt;
    if (!isValidNamePart(user)) return std::nullopt;

    if (equalsIgnoringCase(domain, "NT SERVICE"))
        return ServiceAccount{ServiceAccountKind::VirtualAccount, std::string(configured)};
    // "NT AUTHORITY\SYSTEM" and the like are not service accounts of their own; anything
    // else in that domain would need the system's own password handling.
    if (equalsIgnoringCase(domain, "NT AUTHORITY")) return std::nullopt;
    if (user.size() > 1 && user.back() == '$')
        return ServiceAccount{ServiceAccountKind::ManagedAccount, std::string(configured)};
    // A user account names its domain (or "." for this machine), as the system stores it;
    // a bare name would leave the system to guess which one is meant.
    if (slash != std::string_view::npos)
        return ServiceAccount{ServiceAccountKind::UserAccount, std::string(configured)};
    return std::nullopt;
}

PasswordChoice choosePasswordSource(const ServiceAccount& account, bool interactive,
                                    std::string_view commandLineVariable,
                                    std::string_view configuredVariable) {
    if (account.kind != ServiceAccountKind::UserAccount) return {};
    if (!commandLineVariable.empty())
        return {PasswordSource::Variable, std::string(commandLineVariable), {}};
    if (!configuredVariable.empty())
        return {PasswordSource::Variable, std::string(configuredVariable), {}};
    if (interactive) return {PasswordSource::Console, {}, {}};
    return {PasswordSource::Missing,
            {},
            "the account '" + account.name +
                "' needs a password and non-interactive allows no prompt: name an environment "
                "variable that holds it (password-variable=NAME after the command word, or "
                "service_password_variable in the description), or install without "
                "non-interactive to type it"};
}

}  // namespace karvo
