// The real launcher, started as the Java host, against the banners of today's runtimes: it
// takes the version from between the quotation marks (after any "Picked up" lines),
// compares it by numbers with the configured minimum, and caches only the version.
#include <gtest/gtest.h>
#include <windows.h>

#include "config/ConfigKeys.h"
#include "config/PathOps.h"
#include "jre/SearchRules.h"
#include "win/JreTestSupport.h"
#include "win/RuntimeLayout.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

std::optional<std::string> cachedVersion(const std::string& javaExe) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, versionCacheKeyName(javaExe).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return std::nullopt;
    char buffer[512];
    DWORD size = sizeof buffer;
    const LONG status = RegQueryValueExA(key, "Version", nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return std::string(buffer, size);
}

}  // namespace

TEST(TodaysRuntimes, ConfiguredLauncherJudgesTheBannerByNumbers) {
    struct Row {
        const char* name;
        std::string banner;
        const char* min;
        bool started;  // the VM was created
        const char* cached;
    } rows[] = {
        {"minimum 9 accepts Java 17 and caches only its version",
         "openjdk version \"17.0.2\" 2022-01-18", "9", true, "17.0.2"},
        {"minimum 11 refuses Java 9.0.4", "java version \"9.0.4\"", "11", false, "9.0.4"},
        {"options picked up before the banner",
         "Picked up JAVA_TOOL_OPTIONS: -Dfile.encoding=UTF-8\nopenjdk version \"21.0.1\" 2023-10-17 LTS",
         "1.8", true, "21.0.1"},
    };
    for (const auto& row : rows) {
        auto keys = serviceKeys("svc");
        keys[Key::MinJavaVersion] = row.min;
        RuntimeLayout layout("todays_jre", keys, "return");
        // An absolute directory entry: the relative pass, which tests no version, skips it.
        keys[Key::SearchSequence] = "A" + layout.directory() + "\\jre";
        writeConfiguredExe(layout.executable(), blockWith(keys));
        ASSERT_TRUE(writeFile(layout.directory() + "\\jre\\bin\\fakejava.ini",
                              fakeJavaSettings(row.banner)));
        const std::string javaExe = normalizePath(layout.directory() + "\\jre\\bin\\java.exe", false);

        const std::string tmp = layout.directory() + "\\tmp";
        CreateDirectoryA(tmp.c_str(), nullptr);
        RunOptions options;
        options.timeoutMs = 60000;
        options.environment = {{"TMP", tmp}, {"TEMP", tmp}};
        options.unsetEnvironment = {"KARVO_FAKEJVM_SCRIPT", "KARVO_FAKEJVM_RECORD", "KARVO_LOG",
                                    "TESSEL_LOG"};
        const RunResult run = runProcess("\"" + layout.executable() + "\" svc __tsl_restart", options);
        ASSERT_FALSE(run.timedOut) << row.name;

        EXPECT_EQ(layout.record().has("JNI_CreateJavaVM"), row.started) << row.name;
        if (!row.started) {
            EXPECT_EQ(run.exitCode, 1u) << row.name;
        }
        EXPECT_EQ(cachedVersion(javaExe), std::optional<std::string>(row.cached)) << row.name;
        RegDeleteKeyA(HKEY_CURRENT_USER, versionCacheKeyName(javaExe).c_str());
        deleteEmptyKeys(HKEY_CURRENT_USER, "SOFTWARE\\norvale-soft\\karvo\\jvms");
    }
}
