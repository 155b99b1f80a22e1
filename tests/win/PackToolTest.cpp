// The Windows build of the packer against the real template: it replaces an existing
// output, reads back what it wrote, and the launcher accepts the block it makes.
#include <gtest/gtest.h>

#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

std::string packTool() { return buildDirectory() + "karvo-pack.exe"; }

RunResult pack(const std::string& arguments) {
    return runProcess("\"" + packTool() + "\" " + arguments);
}

}  // namespace

TEST(PackTool, RebuildOfTheInspectedDescriptionIsIdentical) {
    ScratchDir dir("packtool");
    ASSERT_TRUE(writeFile(dir.file("helper.dll"), std::string("MZ\0\xA7 data", 9)));
    ASSERT_TRUE(writeFile(dir.file("service.toml"),
                          "service_name = 'PackTool'\nmain_class = 'a.Main'\n"
                          "description = 'Pack tool \xC3\xA4\xE2\x82\xAC'\n"
                          "class_path = ['A1lib\\app.jar', 'S0lib']\n"
                          "[[include]]\nname = 'lib\\helper.dll'\nsource = 'helper.dll'\n"));
    ASSERT_TRUE(writeFile(dir.file("first.exe"), "an older output"));

    const std::string templateArgument = " --template \"" + templatePath() + "\"";
    auto run = pack("build \"" + dir.file("service.toml") + "\"" + templateArgument + " --out \"" +
                    dir.file("first.exe") + "\"");
    ASSERT_EQ(run.exitCode, 0u) << run.err;

    run = pack("inspect \"" + dir.file("first.exe") + "\" --extract \"" + dir.file("files") + "\"");
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readFile(dir.file("files\\lib\\helper.dll")), std::string("MZ\0\xA7 data", 9));
    ASSERT_TRUE(writeFile(dir.file("second.toml"), run.out));

    run = pack("build \"" + dir.file("second.toml") + "\"" + templateArgument + " --out \"" +
               dir.file("second.exe") + "\"");
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(readFile(dir.file("first.exe")), readFile(dir.file("second.exe")));
}

TEST(PackTool, RefusalsLeaveNoOutput) {
    ScratchDir dir("packtool");
    ASSERT_TRUE(writeFile(dir.file("bad.toml"), "service_name = 's'\nmain_class = 5\n"));
    ASSERT_TRUE(writeFile(dir.file("good.toml"), "service_name = 's'\nmain_class = 'm'\n"));
    struct Row {
        const char* name;
        std::string arguments;
        std::string message;
    } rows[] = {
        {"wrong type", "build \"" + dir.file("bad.toml") + "\" --template \"" + templatePath() +
                           "\" --out \"" + dir.file("out.exe") + "\"",
         "main_class must be a string"},
        {"template is not an executable", "build \"" + dir.file("good.toml") + "\" --template \"" +
                                              dir.file("good.toml") + "\" --out \"" +
                                              dir.file("out.exe") + "\"",
         "is not a Windows executable"},
        {"template without block", "inspect \"" + templatePath() + "\"", "carries no configuration block"},
    };
    for (const auto& row : rows) {
        const auto run = pack(row.arguments);
        EXPECT_EQ(run.exitCode, 1u) << row.name;
        EXPECT_NE(run.err.find(row.message), std::string::npos) << row.name << ": " << run.err;
        EXPECT_FALSE(readFile(dir.file("out.exe")).has_value()) << row.name;
    }
}

TEST(PackTool, LauncherReadsTheBlockItMakes) {
    ScratchDir dir("packtool");
    const std::string service = uniqueName("KarvoPackTool");
    ASSERT_TRUE(writeFile(dir.file("service.toml"),
                          "service_name = '" + service + "'\nmain_class = 'a.Main'\n"));
    auto run = pack("build \"" + dir.file("service.toml") + "\" --template \"" + templatePath() +
                    "\" --out \"" + dir.file("service.exe") + "\"");
    ASSERT_EQ(run.exitCode, 0u) << run.err;

    // The name and the automatic start (launcher type 4, the packer's default) come from
    // the block; the uninstall runs whatever the checks found.
    const std::string exe = "\"" + dir.file("service.exe") + "\"";
    const auto install = runProcess(exe + " /install");
    const auto status = runProcess(exe + " /status");
    const auto uninstall = runProcess(exe + " /uninstall");
    EXPECT_EQ(install.exitCode, 0u) << install.out << install.err;
    EXPECT_NE(install.out.find("Installed service '" + service + "'."), std::string::npos) << install.out;
    EXPECT_EQ(status.exitCode, 3u) << status.out << status.err;
    EXPECT_NE(status.out.find("Auto-start."), std::string::npos) << status.out;
    EXPECT_EQ(uninstall.exitCode, 0u) << uninstall.out << uninstall.err;
}
