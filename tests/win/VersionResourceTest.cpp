// The version a Windows user sees in an executable's properties, read the way Explorer
// reads it, agrees with the release version for the template, a service configured from
// it and the packer, and with what karvo-pack --version prints.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "KarvoVersion.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

struct ShownVersion {
    std::string fixed;    // from the numeric file version
    std::string product;  // the ProductVersion text
};

ShownVersion shownVersion(const std::string& path) {
    ShownVersion shown;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return shown;
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return shown;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        shown.fixed = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                      std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                      std::to_string(HIWORD(fixed->dwFileVersionLS));
    }
    char* text = nullptr;
    if (VerQueryValueA(data.data(), "\\StringFileInfo\\040904b0\\ProductVersion",
                       reinterpret_cast<void**>(&text), &length) &&
        text)
        shown.product = text;
    return shown;
}

std::string packTool() { return buildDirectory() + "karvo-pack.exe"; }

}  // namespace

TEST(VersionResource, EveryExecutableShowsTheReleaseVersion) {
    ScratchDir dir("version");
    ASSERT_TRUE(writeFile(dir.file("service.toml"), "service_name = 'V'\nmain_class = 'm'\n"));
    const auto built = runProcess("\"" + packTool() + "\" build \"" + dir.file("service.toml") +
                                  "\" --template \"" + templatePath() + "\" --out \"" +
                                  dir.file("service.exe") + "\"");
    ASSERT_EQ(built.exitCode, 0u) << built.err;

    const struct {
        const char* name;
        std::string path;
    } rows[] = {
        {"the template", templatePath()},
        {"a configured service", dir.file("service.exe")},
        {"the packer", packTool()},
    };
    for (const auto& row : rows) {
        const auto shown = shownVersion(row.path);
        EXPECT_EQ(shown.fixed, KARVO_VERSION_TEXT) << row.name;
        EXPECT_EQ(shown.product, KARVO_VERSION_TEXT) << row.name;
    }

    const auto printed = runProcess("\"" + packTool() + "\" --version");
    EXPECT_EQ(printed.exitCode, 0u);
    EXPECT_EQ(lines(printed.out),
              std::vector<std::string>{"karvo-pack " + shownVersion(packTool()).fixed});
}
