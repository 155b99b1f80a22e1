// The version a runtime's "release" file gives, as read and for judging the runtime.
#include <gtest/gtest.h>

#include "jre/ReleaseFile.h"

using namespace karvo;

// The release file may stand in for the probe only where it says what the banner would: the
// judging version is the JAVA_VERSION value only when it is a version and the runtime line,
// without its build, agrees with it.
TEST(ReleaseFile, ReleaseFileNamesTheVersion) {
    const std::string overlongVersion = "1" + std::string(100, '0');
    using Version = std::optional<std::string>;
    struct Row {
        const char* name;
        std::string text;
        Version version;  // as read
        Version judging;  // as the banner would say it
    } rows[] = {
        {"modern release file", "IMPLEMENTOR=\"Eclipse Adoptium\"\nJAVA_VERSION=\"17.0.2\"\n",
         "17.0.2", "17.0.2"},
        {"Java 8: JAVA_VERSION alone, Windows line ends",
         "JAVA_VERSION=\"1.8.0_392\"\r\nOS_NAME=\"Windows\"\r\n", "1.8.0_392", "1.8.0_392"},
        {"without quotes", "JAVA_VERSION=21\n", "21", "21"},
        {"build and vendor tail dropped",
         "JAVA_VERSION=\"17.0.2\"\nJAVA_RUNTIME_VERSION=\"17.0.2+8-LTS-86\"\n", "17.0.2", "17.0.2"},
        {"first GA release", "JAVA_VERSION=\"17\"\nJAVA_RUNTIME_VERSION=\"17+35-2724\"\n", "17",
         "17"},
        {"pre-release kept", "JAVA_RUNTIME_VERSION=\"22-ea+5-360\"\nJAVA_VERSION=\"22\"\n", "22",
         "22-ea"},
        {"runtime line without build", "JAVA_VERSION=\"11.0.2\"\nJAVA_RUNTIME_VERSION=\"11.0.2\"\n",
         "11.0.2", "11.0.2"},
        {"lines disagree", "JAVA_VERSION=\"17.0.2\"\nJAVA_RUNTIME_VERSION=\"11.0.9+1\"\n", "17.0.2",
         std::nullopt},
        {"runtime line only longer", "JAVA_VERSION=\"17\"\nJAVA_RUNTIME_VERSION=\"17.0.1+2\"\n",
         "17", std::nullopt},
        {"not a version", "JAVA_VERSION=\"seventeen\"\n", "seventeen", std::nullopt},
        {"blank inside", "JAVA_VERSION=\"17 0\"\n", "17 0", std::nullopt},
        {"longer than a version may be", "JAVA_VERSION=\"" + overlongVersion + "\"\n",
         overlongVersion, std::nullopt},
        {"runtime line without JAVA_VERSION", "JAVA_RUNTIME_VERSION=\"17.0.2+8\"\n", std::nullopt,
         std::nullopt},
        {"other names only", "JAVA_VERSION_DATE=\"2022-01-18\"\n", std::nullopt, std::nullopt},
        {"empty value", "JAVA_VERSION=\"\"\n", std::nullopt, std::nullopt},
        {"empty file", "", std::nullopt, std::nullopt},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(parseReleaseFileVersion(row.text), row.version) << row.name;
        EXPECT_EQ(releaseFileJudgingVersion(row.text), row.judging) << row.name;
    }
}
