// The version a runtime's "release" file gives for judging it.
#include <gtest/gtest.h>

#include "jre/ReleaseFile.h"

using namespace karvo;

TEST(ReleaseFile, ReleaseFileNamesTheVersion) {
    struct Row {
        const char* name;
        const char* text;
        std::optional<std::string> expected;
    } rows[] = {
        {"modern release file", "IMPLEMENTOR=\"Eclipse Adoptium\"\nJAVA_VERSION=\"17.0.2\"\n",
         "17.0.2"},
        {"Windows line ends", "JAVA_VERSION=\"1.8.0_392\"\r\nOS_NAME=\"Windows\"\r\n", "1.8.0_392"},
        {"without quotes", "JAVA_VERSION=21\n", "21"},
        {"other names only", "JAVA_VERSION_DATE=\"2022-01-18\"\n", std::nullopt},
        {"empty value", "JAVA_VERSION=\"\"\n", std::nullopt},
        {"empty file", "", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(parseReleaseFileVersion(row.text), row.expected) << row.name;
}

// The release file may stand in for the probe only where it says what the banner would.
TEST(ReleaseFile, ReleaseFileJudgingVersionIsTheBannersVersion) {
    const std::string overlong = "JAVA_VERSION=\"1" + std::string(100, '0') + "\"\n";
    struct Row {
        const char* name;
        std::string text;
        std::optional<std::string> expected;
    } rows[] = {
        {"Java 8: JAVA_VERSION alone", "JAVA_VERSION=\"1.8.0_392\"\r\nOS_NAME=\"Windows\"\r\n",
         "1.8.0_392"},
        {"build and vendor tail dropped",
         "JAVA_VERSION=\"17.0.2\"\nJAVA_RUNTIME_VERSION=\"17.0.2+8-LTS-86\"\n", "17.0.2"},
        {"first GA release", "JAVA_VERSION=\"17\"\nJAVA_RUNTIME_VERSION=\"17+35-2724\"\n", "17"},
        {"pre-release kept", "JAVA_RUNTIME_VERSION=\"22-ea+5-360\"\nJAVA_VERSION=\"22\"\n",
         "22-ea"},
        {"runtime line without build", "JAVA_VERSION=\"11.0.2\"\nJAVA_RUNTIME_VERSION=\"11.0.2\"\n",
         "11.0.2"},
        {"lines disagree", "JAVA_VERSION=\"17.0.2\"\nJAVA_RUNTIME_VERSION=\"11.0.9+1\"\n",
         std::nullopt},
        {"runtime line only longer", "JAVA_VERSION=\"17\"\nJAVA_RUNTIME_VERSION=\"17.0.1+2\"\n",
         std::nullopt},
        {"runtime line without JAVA_VERSION", "JAVA_RUNTIME_VERSION=\"17.0.2+8\"\n", std::nullopt},
        {"not a version", "JAVA_VERSION=\"seventeen\"\n", std::nullopt},
        {"blank inside", "JAVA_VERSION=\"17 0\"\n", std::nullopt},
        {"longer than a version may be", overlong, std::nullopt},
        {"empty file", "", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(releaseFileJudgingVersion(row.text), row.expected) << row.name;
}
