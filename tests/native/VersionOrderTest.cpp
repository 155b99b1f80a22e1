// The order of Java versions, their judgement against the bounds, and the version in the
// "-version" banner.
#include <gtest/gtest.h>

#include "jre/VersionOrder.h"
#include "support/TextLimits.h"

using namespace karvo;

TEST(VersionOrder, AcceptableVersionsCompareByNumbers) {
    struct Row {
        const char* name;
        const char* version;
        const char* min;
        const char* max;
        bool allowPreRelease;
        VersionVerdict expected;
    } rows[] = {
        // The long-standing examples of the 1.x era keep their outcome...
        {"above the minimum", "1.6.0_22", "1.6", "", false, VersionVerdict::Accepted},
        {"below the minimum", "1.5.0_22", "1.6", "", false, VersionVerdict::BelowMinimum},
        {"maximum matched as a prefix", "1.6.0_22", "1.6", "1.6", false, VersionVerdict::Accepted},
        {"above a prefix maximum", "1.7.0", "1.6", "1.6", false, VersionVerdict::AboveMaximum},
        {"above the maximum", "1.8.0_51", "1.6", "1.7", false, VersionVerdict::AboveMaximum},
        {"a missing piece sorts below", "1.6", "1.6.0_10", "", false, VersionVerdict::BelowMinimum},
        {"ten above six", "10.0.1", "1.6", "", false, VersionVerdict::Accepted},
        {"nine above the maximum 1.8", "9.0.4", "1.6", "1.8", false, VersionVerdict::AboveMaximum},
        {"the failure version", "1.0.0", "1.6", "", false, VersionVerdict::BelowMinimum},
        {"early access refused", "1.7.0-ea", "1.6", "", false, VersionVerdict::PreRelease},
        {"early access allowed", "1.7.0-ea", "1.6", "", true, VersionVerdict::Accepted},
        {"release candidate refused", "1.6.0_10-rc", "1.6", "", false, VersionVerdict::PreRelease},
        // ...except 1.10.0, which no Java ever was: it now reads as ten.
        {"1.10.0 reads as ten", "1.10.0", "1.6", "", false, VersionVerdict::Accepted},
        // Today's runtimes.
        {"minimum 9 admits 17", "17.0.2", "9", "", false, VersionVerdict::Accepted},
        {"minimum 9 admits 25", "25", "9", "", false, VersionVerdict::Accepted},
        {"minimum 9 admits 10", "10.0.2", "9", "", false, VersionVerdict::Accepted},
        {"minimum 11 refuses 9.0.4", "9.0.4", "11", "", false, VersionVerdict::BelowMinimum},
        {"minimum 17 refuses 9.0.4", "9.0.4", "17", "", false, VersionVerdict::BelowMinimum},
        {"minimum 17 refuses 11", "11.0.21", "17", "", false, VersionVerdict::BelowMinimum},
        {"maximum 11 admits 9", "9.0.4", "1.8", "11", false, VersionVerdict::Accepted},
        {"maximum 17 admits 17.0.12", "17.0.12", "", "17", false, VersionVerdict::Accepted},
        {"maximum 17 refuses 21", "21.0.1", "", "17", false, VersionVerdict::AboveMaximum},
        {"maximum 21 refuses 25", "25", "", "21", false, VersionVerdict::AboveMaximum},
        {"build number after the version", "17.0.2+8", "17.0.2", "17", false,
         VersionVerdict::Accepted},
        {"a missing build number sorts below", "17.0.2", "17.0.2+8", "", false,
         VersionVerdict::BelowMinimum},
        {"early access of 21 refused", "21-ea", "17", "", false, VersionVerdict::PreRelease},
        {"early access of 21 allowed", "21-ea", "20", "21", true, VersionVerdict::Accepted},
        {"early access of 21 below the minimum 21", "21-ea", "21", "", true,
         VersionVerdict::BelowMinimum},
        {"early access of 21 below the minimum 21.0.1", "21-ea", "21.0.1", "", true,
         VersionVerdict::BelowMinimum},
        {"early access of 22 above the maximum 21", "22-ea", "", "21", true,
         VersionVerdict::AboveMaximum},
        {"early access inside a longer maximum", "21-ea", "", "21.0.1", true,
         VersionVerdict::Accepted},
        // A minimum without pieces is no bound, even for a marker in front.
        {"marker first, no minimum", "ea1.8.0", "", "", true, VersionVerdict::Accepted},
        {"marker first, the bare legacy minimum 1", "ea", "1", "", true, VersionVerdict::Accepted},
        {"8 and 1.8 are the same minimum", "1.8.0_392-b08", "8", "", false,
         VersionVerdict::Accepted},
        {"8 and 1.8 are the same maximum", "1.8.0_392-b08", "", "8", false,
         VersionVerdict::Accepted},
        {"1.8 prefix admits an update", "1.8.0_392", "1.8", "1.8", false, VersionVerdict::Accepted},
        {"8 below 9", "1.8.0_392", "9", "", false, VersionVerdict::BelowMinimum},
        {"legacy minimum against a modern runtime", "11.0.2", "1.8", "", false,
         VersionVerdict::Accepted},
        {"updates compare as numbers", "1.6.0_22", "1.6.0_3", "", false, VersionVerdict::Accepted},
        {"leading zeros do not count", "1.8.0_05", "1.8.0_5", "1.8.0_5", false,
         VersionVerdict::Accepted},
        {"maximum 1 is the legacy family", "1.8.0_51", "", "1", false, VersionVerdict::Accepted},
        {"maximum 1 refuses 9", "9.0.4", "", "1", false, VersionVerdict::AboveMaximum},
        {"minimum 1 admits the failure version", "1.0.0", "1", "", false, VersionVerdict::Accepted},
        // Pre-release markers begin a piece.
        {"release is no pre-release", "1.8.0-release", "1.6", "", false, VersionVerdict::Accepted},
        {"numbered release candidate", "1.6.0_10-rc2", "", "", false, VersionVerdict::PreRelease},
        {"early access of 1.9", "1.9.0-ea", "", "", false, VersionVerdict::PreRelease},
        {"markers are case-sensitive", "1.8.0-BETA", "1.6", "", false, VersionVerdict::Accepted},
        {"beta at the start", "beta1.9", "", "", false, VersionVerdict::PreRelease},
        // Odd texts.
        {"no bounds accept anything", "x", "", "", false, VersionVerdict::Accepted},
        {"minimum is inclusive", "1.6", "1.6", "", false, VersionVerdict::Accepted},
        {"empty version below a minimum", "", "1.6", "", false, VersionVerdict::BelowMinimum},
        {"old cache entry with the banner's tail", "11.0.2\" 2019-01-1", "11", "11", false,
         VersionVerdict::Accepted},
        {"text pieces sort after numbers", "1.\xe9", "1.6", "1.6", false,
         VersionVerdict::AboveMaximum},
        {"huge numbers do not overflow", "99999999999999999999999", "1.6", "", false,
         VersionVerdict::Accepted},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(judgeVersion(row.version, row.min, row.max, row.allowPreRelease), row.expected)
            << row.name;
        EXPECT_EQ(isVersionAcceptable(row.version, row.min, row.max, row.allowPreRelease),
                  row.expected == VersionVerdict::Accepted)
            << row.name;
    }
}

TEST(VersionOrder, VersionsOrderByNumbers) {
    struct Row {
        const char* name;
        const char* a;
        const char* b;
        int sign;
    } rows[] = {
        {"8 below 9", "1.8.0_392", "9", -1},
        {"9 below 10", "9.0.4", "10", -1},
        {"10 below 11", "10.0.2", "11.0.1", -1},
        {"11 below 17", "11.0.21", "17", -1},
        {"17 below 21", "17.0.9", "21.0.1", -1},
        {"21 below 25", "21.0.5+11", "25", -1},
        {"legacy form equals the plain one", "1.8", "8", 0},
        {"update 22 above update 3", "1.6.0_22", "1.6.0_3", 1},
        {"build suffix above none", "17.0.2+8", "17.0.2", 1},
        {"text after numbers", "1.8.0_392-b08", "1.8.0_392", 1},
        {"old cache tail ignored", "17.0.2\" 2022-01-1", "17.0.2", 0},
        {"empty is lowest", "", "1.0.0", -1},
        // Pre-releases sort below their release and above the one before it.
        {"early access below its release", "21-ea", "21", -1},
        {"legacy early access below its update", "1.8.0_402-ea", "1.8.0_402", -1},
        {"early access below the first update", "21-ea", "21.0.1", -1},
        {"early access above the release before", "21-ea", "20.0.2", 1},
        {"legacy early access above the update before", "1.8.0_402-ea", "1.8.0_401", 1},
        {"numbered candidate below its release", "1.6.0_10-rc2", "1.6.0_10", -1},
        {"beta with a build below its release", "17.0.2-beta+5", "17.0.2", -1},
        {"early access below a candidate", "21-ea", "21-rc", -1},
        {"candidates by their text", "1.6.0_10-rc1", "1.6.0_10-rc2", -1},
        {"same early access", "21-ea", "21-ea", 0},
        {"a build is no pre-release", "1.8.0_392-b08", "1.8.0_392", 1},
        {"markers are case-sensitive", "1.8.0-BETA", "1.8.0", 1},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(compareVersions(row.a, row.b), row.sign) << row.name;
        EXPECT_EQ(compareVersions(row.b, row.a), -row.sign) << row.name;
    }
}

TEST(VersionOrder, FeatureReleaseOfAVersion) {
    struct Row {
        const char* name;
        const char* version;
        unsigned long expected;
    } rows[] = {
        {"legacy form", "1.8.0_392-b08", 8},
        {"modern form", "17.0.2", 17},
        {"bare feature", "25", 25},
        {"early access", "21-ea", 21},
        {"no number", "x", 0},
        {"empty", "", 0},
    };
    for (const auto& row : rows) EXPECT_EQ(featureRelease(row.version), row.expected) << row.name;
}

TEST(VersionOrder, RegistryNamesPassOnTheShorterLength) {
    struct Row {
        const char* name;
        const char* version;
        const char* min;
        const char* max;
        bool expected;
    } rows[] = {
        {"short name passes a longer minimum", "1.6", "1.6.0_10", "", true},
        {"below the minimum", "1.5", "1.6", "", false},
        {"above a longer maximum", "1.7", "1.6", "1.6.0_30", false},
        {"one character against a longer minimum", "1", "1.6", "", true},
        {"long name inside both bounds", "1.6.0_22", "1.6", "1.6", true},
        {"no pre-release test here", "1.7.0-ea", "1.6", "", true},
        {"early access below a longer minimum", "21-ea", "21.0.1", "", false},
        {"empty name passes everything", "", "1.6", "1.7", true},
        {"17.0.2 passes the minimum 9", "17.0.2", "9", "", true},
        {"9.0.4 fails the minimum 11", "9.0.4", "11", "", false},
        {"vendor name with a build piece", "21.0.1.12", "17", "21", true},
        {"11 fails the maximum 1.8", "11", "1.6", "1.8", false},
        {"legacy name against a modern minimum", "1.8.0_392", "8", "8", true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(isVersionNameInRange(row.version, row.min, row.max), row.expected) << row.name;
}

TEST(VersionOrder, BannerGivesTheVersionBetweenItsQuotes) {
    const std::string tooLong = "java version \"" + std::string(MaxVersionLength + 1, '7') + "\"\n";
    const std::string longest = "java version \"" + std::string(MaxVersionLength, '7') + "\"\n";
    std::string manyLines;
    for (std::size_t i = 0; i < MaxBannerLines; ++i) manyLines += "noise\n";
    struct Row {
        const char* name;
        std::string output;
        std::optional<std::string> expected;
    } rows[] = {
        {"Java 8", "java version \"1.8.0_392\"\nJava(TM) SE Runtime Environment\n", "1.8.0_392"},
        {"Java 11 with its date", "openjdk version \"11.0.21\" 2023-10-17\n", "11.0.21"},
        {"Java 17 with its date", "openjdk version \"17.0.2\" 2022-01-18\n", "17.0.2"},
        {"Java 21 long-term", "openjdk version \"21.0.1\" 2023-10-17 LTS\n", "21.0.1"},
        {"Java 25 bare", "openjdk version \"25\" 2025-09-16\n", "25"},
        {"early access", "openjdk version \"21-ea\" 2023-09-19\n", "21-ea"},
        {"build after a plus", "openjdk version \"17.0.2+8\"\n", "17.0.2+8"},
        {"classic banner", "java version \"1.6.0_22\"\n", "1.6.0_22"},
        {"Windows line ends", "java version \"1.8.0_51\"\r\n", "1.8.0_51"},
        {"no line feed at all", "java version \"1.8.0_51\"", "1.8.0_51"},
        {"picked up first", "Picked up JAVA_TOOL_OPTIONS: -Xmx1g\nopenjdk version \"17.0.2\"\n",
         "17.0.2"},
        {"picked up twice",
         "Picked up JAVA_TOOL_OPTIONS: -Dv=\"version \"1\"\n"
         "Picked up _JAVA_OPTIONS: -Xss1m\njava version \"1.8.0_51\"\n",
         "1.8.0_51"},
        {"any leading line", "warning: something\nopenjdk version \"11.0.2\"\n", "11.0.2"},
        {"vendor words around it", "IBM J9 version \"1.8.0_51\" (build)\n", "1.8.0_51"},
        {"only the picked-up line", "Picked up _JAVA_OPTIONS: -Xmx1g\n", std::nullopt},
        {"nothing after the quote", "java version \"\n", std::nullopt},
        {"empty version", "java version \"\"\n", std::nullopt},
        {"blank inside the version", "java version \"1.8 0\"\n", std::nullopt},
        {"control character inside", std::string("java version \"1.8\0x\"\n", 22), std::nullopt},
        {"longest version taken", longest, std::string(MaxVersionLength, '7')},
        {"overlong version refused", tooLong, std::nullopt},
        {"only the first lines are read", manyLines + "java version \"1.8\"\n", std::nullopt},
        {"error output", "Error: could not open jvm.cfg\n", std::nullopt},
        {"empty output", "", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(parseVersionBanner(row.output), row.expected) << row.name;
}

TEST(VersionOrder, RegistryVersionsTriedFromTheGreatest) {
    using Names = std::vector<std::string>;
    struct Row {
        const char* name;
        Names names;
        const char* min;
        const char* max;
        Names expected;
    } rows[] = {
        {"example order",
         {"1.5.0_22", "1.6", "1.6.0_22", "1.7"},
         "1.6",
         "",
         {"1.7", "1.6.0_22", "1.6"}},
        {"prefix sorts first", {"1.6.0", "1.6"}, "", "", {"1.6.0", "1.6"}},
        {"numbers not bytes", {"1.10", "1.9", "10"}, "", "", {"10", "1.10", "1.9"}},
        {"today's runtimes newest first",
         {"9.0.4", "11.0.2", "17", "1.8.0_392", "21-ea"},
         "1.8",
         "",
         {"21-ea", "17", "11.0.2", "9.0.4", "1.8.0_392"}},
        {"updates as numbers", {"1.6.0_3", "1.6.0_22"}, "", "", {"1.6.0_22", "1.6.0_3"}},
        {"early access after its release",
         {"21-ea", "21", "21.0.2", "1.8.0_402-ea", "1.8.0_402"},
         "",
         "",
         {"21.0.2", "21", "21-ea", "1.8.0_402", "1.8.0_402-ea"}},
        {"an update written after a dot",
         {"1.8.0_202", "1.8.0.212"},
         "",
         "",
         {"1.8.0.212", "1.8.0_202"}},
        {"maximum filters", {"1.6.0_22", "1.7.0", "1.8"}, "1.6", "1.7", {"1.7.0", "1.6.0_22"}},
        {"nothing in range", {"1.4", "1.5"}, "1.6", "", {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(versionNamesToTry(row.names, row.min, row.max), row.expected) << row.name;
}

TEST(VersionOrder, StrcmpOrderDecidesBetweenRegistrySources) {
    struct Row {
        const char* name;
        const char* a;
        const char* b;
        int sign;
    } rows[] = {
        {"equal", "1.6.0_22", "1.6.0_22", 0},
        {"underscore three beats underscore twenty-two", "1.6.0_3", "1.6.0_22", 1},
        {"prefix is smaller", "1.6", "1.6.0", -1},
        {"empty is smallest", "", "1", -1},
        {"bytes compare unsigned", "\xe9", "a", 1},
    };
    for (const auto& row : rows) {
        const int got = compareVersionText(row.a, row.b);
        EXPECT_EQ((got > 0) - (got < 0), row.sign) << row.name;
    }
}
