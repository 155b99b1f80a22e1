// Installing a service as a user account: where its password comes from, and that it goes
// to the Service Control Manager only. Wine stores the account name but runs every service
// as the same user, so the logon itself is not tested here.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <vector>

#include "config/ConfigKeys.h"
#include "support/WinHandles.h"
#include "win/ServiceHarness.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

constexpr const char* Account = ".\\karvo-user";

std::string registeredAccount(const std::string& name) {
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueService service(manager ? OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG)
                                  : nullptr);
    std::vector<std::uint64_t> buffer(2048);
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (!service || !QueryServiceConfigA(service.get(), config, 2048 * 8, &needed)) return "";
    return config->lpServiceStartName ? config->lpServiceStartName : "";
}

// Every file under `directory` that holds `text`.
std::vector<std::string> filesHolding(const std::string& directory, const std::string& text) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
        if (!entry.is_regular_file()) continue;
        if (readFile(entry.path().string()).value_or("").find(text) != std::string::npos)
            found.push_back(entry.path().string());
    }
    return found;
}

// Removes the service whatever the test did.
struct ServiceRemover {
    std::string name;
    ~ServiceRemover() {
        UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        UniqueService service(manager ? OpenServiceA(manager.get(), name.c_str(), DELETE)
                                      : nullptr);
        if (service) DeleteService(service.get());
    }
};

}  // namespace

TEST(AccountInstall, PasswordComesFromItsSourceAndGoesNowhereElse) {
    struct Row {
        const char* name;
        std::string switches;
        bool configuredVariable;
        bool variableSet;
        bool typed;  // the password comes on standard input
        DWORD exitCode;
        std::string saying;
    } rows[] = {
        {"from the variable named on the command line", " password-variable=KARVO_TEST_PW", false,
         true, false, 0, "Installed service"},
        {"from the variable the description names", "", true, true, false, 0, "Installed service"},
        {"typed at the prompt", "", false, false, true, 0, "Password of .\\karvo-user: "},
        {"non-interactive without a source is refused", " non-interactive", false, false, false, 1,
         "needs a password and non-interactive allows no prompt"},
        {"an unset variable is named", " non-interactive password-variable=KARVO_UNSET_PW", false,
         false, false, 1, "the environment variable KARVO_UNSET_PW"},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoAccount");
        const std::string password = "Pw-" + name;
        ScratchDir dir("account");
        std::map<ConfigKey, std::string> keys{{Key::ServiceName, name},
                                              {Key::ServiceAccount, Account}};
        if (row.configuredVariable) keys[Key::ServicePasswordVariable] = "KARVO_TEST_PW";
        writeConfiguredExe(dir.file("svc.exe"), blockWith(keys));
        ServiceRemover remover{name};

        RunOptions options;
        options.timeoutMs = CommandTimeoutMs;
        if (row.variableSet) options.environment["KARVO_TEST_PW"] = password;
        if (row.typed) options.input = password + "\r\n";
        const RunResult result =
            runProcess("\"" + dir.file("svc.exe") + "\" /install-demand" + row.switches, options);

        EXPECT_EQ(result.exitCode, row.exitCode) << row.name << ": " << result.out;
        EXPECT_NE(result.out.find(row.saying), std::string::npos) << row.name << ": " << result.out;
        EXPECT_EQ(registeredAccount(name), row.exitCode == 0 ? Account : "") << row.name;
        EXPECT_EQ((result.out + result.err).find(password), std::string::npos) << row.name;
        EXPECT_TRUE(filesHolding(dir.path(), password).empty()) << row.name;
    }
}
