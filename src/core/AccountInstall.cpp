#include <windows.h>

#include <ntsecapi.h>

#include "core/AccountInstall.h"

#include <cstdio>
#include <vector>

#include "config/LauncherConfig.h"
#include "support/TextConv.h"

namespace karvo {
namespace {

constexpr DWORD MaxPasswordLength = 256;

void wipe(std::u16string& text) {
    if (!text.empty()) SecureZeroMemory(text.data(), text.size() * sizeof(char16_t));
    text.clear();
}

bool readFromVariable(const std::string& variable, std::u16string& out) {
    const std::u16string name = toWide(variable, CP_ACP);
    const DWORD needed = GetEnvironmentVariableW(wideChars(name), nullptr, 0);
    if (needed <= 1) return false;
    out.assign(needed, u'\0');
    const DWORD got =
        GetEnvironmentVariableW(wideChars(name), reinterpret_cast<LPWSTR>(out.data()), needed);
    out.resize(got < needed ? got : 0);
    return !out.empty();
}

// One line from standard input: at a console with the echo off, otherwise (input from a
// pipe or file) as it comes.
bool readFromConsole(const ServiceAccount& account, std::u16string& out) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(input, &mode) != FALSE;
    std::printf("Password of %s: ", account.name.c_str());
    std::fflush(stdout);
    if (console) {
        SetConsoleMode(input, (mode & ~ENABLE_ECHO_INPUT) | ENABLE_LINE_INPUT);
        wchar_t c = 0;
        DWORD got = 0;
        while (out.size() < MaxPasswordLength && ReadConsoleW(input, &c, 1, &got, nullptr) &&
               got == 1 && c != L'\r' && c != L'\n')
            out += static_cast<char16_t>(c);
        SecureZeroMemory(&c, sizeof c);
        SetConsoleMode(input, mode);
    } else {
        std::string line;
        char c = 0;
        DWORD got = 0;
        while (line.size() < MaxPasswordLength && ReadFile(input, &c, 1, &got, nullptr) &&
               got == 1 && c != '\r' && c != '\n')
            line += c;
        out = toWide(line, GetConsoleCP() ? GetConsoleCP() : CP_ACP);
        SecureZeroMemory(line.data(), line.size());
        SecureZeroMemory(&c, sizeof c);
    }
    std::printf("\n");
    return !out.empty();
}

// ".\user" is looked up under this machine's name.
std::u16string lookupName(const std::string& name) {
    if (name.rfind(".\\", 0) != 0) return toWide(name, CP_ACP);
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(computer, &length)) return toWide(name, CP_ACP);
    return fromWideChars(computer) + toWide(name.substr(1), CP_ACP);
}

LSA_UNICODE_STRING lsaText(std::u16string& text) {
    LSA_UNICODE_STRING out;
    out.Buffer = reinterpret_cast<PWSTR>(text.data());
    out.Length = static_cast<USHORT>(text.size() * sizeof(wchar_t));
    out.MaximumLength = out.Length;
    return out;
}

// The system's error code for a failed step, 0 when the right is there (granted now when
// `granted` is set).
DWORD grantLogonRight(const std::string& accountName, bool& granted) {
    granted = false;
    const std::u16string name = lookupName(accountName);
    DWORD sidSize = 0, domainSize = 0;
    SID_NAME_USE use;
    LookupAccountNameW(nullptr, wideChars(name), nullptr, &sidSize, nullptr, &domainSize, &use);
    if (sidSize == 0) return GetLastError();
    std::vector<BYTE> sid(sidSize);
    std::vector<wchar_t> domain(domainSize + 1);
    if (!LookupAccountNameW(nullptr, wideChars(name), sid.data(), &sidSize, domain.data(),
                            &domainSize, &use))
        return GetLastError();

    LSA_OBJECT_ATTRIBUTES attributes{};
    LSA_HANDLE policy = nullptr;
    NTSTATUS status =
        LsaOpenPolicy(nullptr, &attributes, POLICY_LOOKUP_NAMES | POLICY_CREATE_ACCOUNT, &policy);
    if (status != 0) return LsaNtStatusToWinError(status);
    std::u16string right = u"SeServiceLogonRight";
    PLSA_UNICODE_STRING rights = nullptr;
    ULONG count = 0;
    bool present = false;
    if (LsaEnumerateAccountRights(policy, sid.data(), &rights, &count) == 0) {
        for (ULONG i = 0; i < count; ++i)
            present |= std::u16string(reinterpret_cast<const char16_t*>(rights[i].Buffer),
                                      rights[i].Length / sizeof(wchar_t)) == right;
        LsaFreeMemory(rights);
    }
    DWORD error = 0;
    if (!present) {
        LSA_UNICODE_STRING add = lsaText(right);
        status = LsaAddAccountRights(policy, sid.data(), &add, 1);
        if (status != 0) error = LsaNtStatusToWinError(status);
        granted = status == 0;
    }
    LsaClose(policy);
    return error;
}

}  // namespace

ServicePassword::~ServicePassword() { wipe(text_); }

bool obtainServicePassword(const ServiceAccount& account, const PasswordChoice& choice,
                           ServicePassword& password) {
    switch (choice.source) {
        case PasswordSource::None: return true;
        case PasswordSource::Missing:
            std::printf("Could not create service: %s.\n", choice.problem.c_str());
            return false;
        case PasswordSource::Variable:
            if (readFromVariable(choice.variable, password.text())) return true;
            std::printf(
                "Could not create service: the environment variable %s, which should "
                "hold the password of '%s', is not set or empty.\n",
                choice.variable.c_str(), account.name.c_str());
            return false;
        case PasswordSource::Console:
            if (readFromConsole(account, password.text())) return true;
            std::printf("Could not create service: no password was given for '%s'.\n",
                        account.name.c_str());
            return false;
    }
    return false;
}

void ensureServiceLogonRight(const ServiceAccount& account) {
    if (account.kind != ServiceAccountKind::UserAccount) return;
    bool granted = false;
    const DWORD error = grantLogonRight(account.name, granted);
    if (error == 0) {
        if (granted)
            std::printf("Granted '%s' the right to log on as a service.\n", account.name.c_str());
        return;
    }
    std::printf(
        "Could not make sure that '%s' may log on as a service (error %d): grant it "
        "\"Log on as a service\" (Local Security Policy, User Rights Assignment), or "
        "the service will not start.\n",
        account.name.c_str(), static_cast<int>(error));
}

void printLogonFailure(const std::string& configuredAccount) {
    std::printf(
        "Could not start service: the system could not log on as '%s' (a wrong or "
        "changed password, an expired, disabled or locked account, or no right to log "
        "on as a service). Install again with the current password. Error code: %d\n",
        configuredAccount.c_str(), static_cast<int>(ERROR_SERVICE_LOGON_FAILED));
}

bool obtainConfiguredPassword(bool interactive, const std::string& passwordVariable,
                              ServicePassword& password) {
    const auto account = parseServiceAccount(getConfigString(Key::ServiceAccount));
    if (!account) return false;
    return obtainServicePassword(
        *account,
        choosePasswordSource(*account, interactive, passwordVariable,
                             getConfigString(Key::ServicePasswordVariable)),
        password);
}

void ensureConfiguredLogonRight() {
    if (const auto account = parseServiceAccount(getConfigString(Key::ServiceAccount)))
        ensureServiceLogonRight(*account);
}

}  // namespace karvo
