// The real launcher choosing localized texts by the user's locale: the service description
// it registers comes from the groups whose prefix starts the user's locale code, the later
// group winning.
#include <gtest/gtest.h>

#include <vector>

#include "config/LocaleTable.h"
#include "support/TextConv.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

std::optional<std::u16string> registeredDescription(const std::string& name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return std::nullopt;
    std::optional<std::u16string> result;
    if (SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_QUERY_CONFIG)) {
        std::vector<std::uint64_t> buffer(2048);
        DWORD needed = 0;
        if (QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION,
                                 reinterpret_cast<BYTE*>(buffer.data()), 2048 * 8, &needed)) {
            auto* text = reinterpret_cast<SERVICE_DESCRIPTIONW*>(buffer.data());
            result = fromWideChars(text->lpDescription);
        }
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return result;
}

void removeService(const std::string& name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return;
    if (SC_HANDLE service = OpenServiceA(manager, name.c_str(), DELETE)) {
        DeleteService(service);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
}

}  // namespace

TEST(LocalizedDescription, GroupsFollowTheUsersLocale) {
    const auto code = localeCodeFor(static_cast<std::uint16_t>(GetUserDefaultLCID() & 0xFFFF));
    ASSERT_TRUE(code.has_value()) << "the test prefix's user locale has no code";
    const std::string language(code->substr(0, 2));

    struct Row {
        const char* name;
        std::vector<LocalizedGroup> groups;
        std::u16string expected;
    } rows[] = {
        {"no group keeps the base text", {}, u"base"},
        {"another language does not apply", {{"zz", {{Key::Description, u"zz"}}}}, u"base"},
        {"the user's language applies", {{language, {{Key::Description, u"language"}}}}, u"language"},
        {"an empty prefix applies to everyone", {{"", {{Key::Description, u"everyone"}}}}, u"everyone"},
        {"the later, more specific group wins",
         {{language, {{Key::Description, u"language"}}},
          {std::string(*code), {{Key::Description, u"country \u00e9\u20ac"}}},
          {"zz", {{Key::Description, u"zz"}}}},
         u"country \u00e9\u20ac"},
        {"an earlier group is overridden by a later general one",
         {{std::string(*code), {{Key::Description, u"country"}}}, {"", {{Key::Description, u"all"}}}},
         u"all"},
    };
    for (const auto& row : rows) {
        ScratchDir dir("localized");
        const std::string name = uniqueName("KarvoLocale");
        ConfigBlock block = blockWith({{Key::ServiceName, name}}, {{Key::Description, u"base"}});
        block.groups = row.groups;
        const std::string exe = dir.file("localized.exe");
        writeConfiguredExe(exe, block);
        const auto run = runProcess("\"" + exe + "\" /install-demand");
        EXPECT_EQ(run.exitCode, 0u) << row.name << ": " << run.out << run.err;
        EXPECT_EQ(registeredDescription(name), row.expected) << row.name;
        removeService(name);
    }
}
