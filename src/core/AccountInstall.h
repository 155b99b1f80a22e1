// What installing a service as a user account takes beyond the Service Control Manager:
// its password (typed at the console or read from an environment variable, never stored
// by karvo) and its right to log on as a service.
#pragma once
#include <string>

#include "config/ServiceAccount.h"

namespace karvo {

// A password in memory, wiped when it goes.
class ServicePassword {
public:
    ServicePassword() = default;
    ~ServicePassword();
    ServicePassword(const ServicePassword&) = delete;
    ServicePassword& operator=(const ServicePassword&) = delete;
    std::u16string& text() { return text_; }
    bool empty() const { return text_.empty(); }

private:
    std::u16string text_;
};

// Fills `password` as `choice` says. False after printing why it cannot be had; what is
// printed never holds the password.
bool obtainServicePassword(const ServiceAccount& account, const PasswordChoice& choice,
                           ServicePassword& password);

// The same for the configured account and password variable, the command line's variable
// (when not empty) taking precedence. True for an account that needs no password.
bool obtainConfiguredPassword(bool interactive, const std::string& passwordVariable,
                              ServicePassword& password);
// ensureServiceLogonRight for the configured account.
void ensureConfiguredLogonRight();

// A user account needs the right to log on as a service: grants it when it is missing and
// says so, or says what to do when that fails. Does nothing for other accounts.
void ensureServiceLogonRight(const ServiceAccount& account);

// The line /start prints when the system could not log the service's account on.
void printLogonFailure(const std::string& configuredAccount);

}  // namespace karvo
