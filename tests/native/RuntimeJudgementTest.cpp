// The decision on one java executable, from what is known of it.
#include <gtest/gtest.h>

#include "jre/RuntimeJudgement.h"

using namespace karvo;

namespace {

constexpr auto Accepted = RuntimeVerdictKind::Accepted;
constexpr auto Refused = RuntimeVerdictKind::Refused;
constexpr auto AskProbe = RuntimeVerdictKind::AskProbe;
using R = RuntimeRefusal;
using S = VersionSource;

const std::string Modern = "JAVA_VERSION=\"17.0.9\"\nJAVA_RUNTIME_VERSION=\"17.0.9+9-LTS\"\n";
const std::string EarlyAccess = "JAVA_VERSION=\"22\"\nJAVA_RUNTIME_VERSION=\"22-ea+5-360\"\n";

// An executable of this launcher's width, with what else is known of it.
RuntimeEvidence present() {
    RuntimeEvidence evidence;
    evidence.exists = evidence.fitsLauncher = true;
    return evidence;
}
RuntimeEvidence cached(const char* version, JdkLayout layout = JdkLayout::Neither,
                       bool windowedExists = false) {
    RuntimeEvidence evidence = present();
    evidence.cachedVersion = version;
    evidence.releaseFileText = Modern;  // never asked while the cache answers
    evidence.jdkLayout = layout;
    evidence.windowedExists = windowedExists;
    return evidence;
}
RuntimeEvidence otherWidth(const char* cachedVersion) {
    RuntimeEvidence evidence = cached(cachedVersion);
    evidence.fitsLauncher = false;
    return evidence;
}
RuntimeEvidence released(const std::string& text, bool distrusted = false) {
    RuntimeEvidence evidence = present();
    evidence.releaseFileText = text;
    evidence.releaseFileDistrusted = distrusted;
    return evidence;
}
// After the probe, with the release file it was asked past (distrusted), if any.
RuntimeEvidence probed(std::optional<std::string> version,
                       std::optional<std::string> releaseText = std::nullopt) {
    RuntimeEvidence evidence = present();
    evidence.releaseFileText = std::move(releaseText);
    evidence.releaseFileDistrusted = evidence.releaseFileText.has_value();
    evidence.probed = true;
    evidence.probedVersion = std::move(version);
    return evidence;
}

RuntimeRequirements range(const char* min, const char* max = "", bool preRelease = false) {
    return {min, max, preRelease};
}
RuntimeRequirements jdk(const char* min) { return {min, "", false, true}; }
RuntimeRequirements windowed(const char* min) { return {min, "", false, false, true}; }

}  // namespace

TEST(RuntimeJudgement, VerdictFollowsTheCheapestEvidence) {
    struct Row {
        const char* name;
        RuntimeEvidence evidence;
        RuntimeRequirements requirements;
        RuntimeVerdictKind kind;
        RuntimeRefusal refusal;
        VersionSource source;
        const char* version;
        bool windowedPath = false;
        const char* disagreeing = "";
    } rows[] = {
        {"missing executable", RuntimeEvidence(), range(""), Refused, R::Missing, S::None, ""},
        {"other width, whatever its cache says", otherWidth("17.0.2"), range(""), Refused,
         R::OtherWidth, S::None, ""},
        // The cache first, then the release file, then the probe.
        {"cache judges", cached("17.0.2"), range("9"), Accepted, R::None, S::Cache, "17.0.2"},
        {"cache below the minimum", cached("1.8.0_51"), range("9"), Refused, R::BelowMinimum,
         S::Cache, "1.8.0_51"},
        {"cached failure version passes an empty minimum", cached("1.0.0"), range(""), Accepted,
         R::None, S::Cache, "1.0.0"},
        {"release file judges", released(Modern), range("9"), Accepted, R::None, S::ReleaseFile,
         "17.0.9"},
        {"release file's pre-release refused", released(EarlyAccess), range("9"), Refused,
         R::PreRelease, S::ReleaseFile, "22-ea"},
        {"release file's pre-release allowed", released(EarlyAccess), range("9", "", true),
         Accepted, R::None, S::ReleaseFile, "22-ea"},
        {"nothing known asks the probe", present(), range("9"), AskProbe, R::None, S::None, ""},
        {"unusable release file asks the probe", released("JAVA_VERSION=\"x\"\n"), range("9"),
         AskProbe, R::None, S::None, ""},
        {"distrusted release file asks the probe", released(Modern, true), range("9"), AskProbe,
         R::None, S::None, ""},
        {"probe without an answer", probed(std::nullopt), range(""), Refused, R::NoVersion, S::None,
         ""},
        // The probe's answer, judged by the range, and held against the release file.
        {"probe 11.0.21 inside 9 to 11", probed("11.0.21"), range("9", "11"), Accepted, R::None,
         S::Probe, "11.0.21"},
        {"probe inside 17 to 21", probed("21.0.1"), range("17", "21"), Accepted, R::None, S::Probe,
         "21.0.1"},
        {"probe above the maximum 21", probed("25"), range("17", "21"), Refused, R::AboveMaximum,
         S::Probe, "25"},
        {"probe below the minimum 11", probed("9.0.4"), range("11"), Refused, R::BelowMinimum,
         S::Probe, "9.0.4"},
        {"probe's early access refused", probed("21-ea"), range("17"), Refused, R::PreRelease,
         S::Probe, "21-ea"},
        {"probe disagrees with the release file", probed("17.0.2", Modern), range("9"), Accepted,
         R::None, S::Probe, "17.0.2", false, "17.0.9"},
        {"probe agrees with the release file", probed("17.0.9", Modern), range("9"), Accepted,
         R::None, S::Probe, "17.0.9"},
        // A required JDK, after the version.
        {"JDK 17 marked by its compiler", cached("17.0.2", JdkLayout::CompilerOnly), jdk("9"),
         Accepted, R::None, S::Cache, "17.0.2"},
        {"Java 8 with a compiler but no tools.jar", cached("1.8.0_392", JdkLayout::CompilerOnly),
         jdk("1.6"), Refused, R::NotJdk, S::Cache, "1.8.0_392"},
        {"Java 8 with tools.jar", cached("1.8.0_392", JdkLayout::ToolsJar), jdk("1.6"), Accepted,
         R::None, S::Cache, "1.8.0_392"},
        {"runtime found without the JDK rules", cached("1.8.0_392"), jdk("1.6"), Accepted, R::None,
         S::Cache, "1.8.0_392"},
        {"path too short for a home", cached("17", JdkLayout::NoHome), jdk("9"), Refused, R::NoHome,
         S::Cache, "17"},
        {"the range refuses before the layout", cached("1.8.0_392", JdkLayout::CompilerOnly),
         jdk("9"), Refused, R::BelowMinimum, S::Cache, "1.8.0_392"},
        // Launcher type 1 answers with javaw.exe once everything else holds.
        {"windowed executable present", cached("17", JdkLayout::Neither, true), windowed("9"),
         Accepted, R::None, S::Cache, "17", true},
        {"windowed executable missing", cached("17"), windowed("9"), Refused,
         R::NoWindowedExecutable, S::Cache, "17", true},
        {"refused by its version keeps java.exe", cached("1.8"), windowed("9"), Refused,
         R::BelowMinimum, S::Cache, "1.8"},
    };
    for (const auto& row : rows) {
        const RuntimeVerdict verdict = judgeRuntime(row.evidence, row.requirements);
        EXPECT_EQ(verdict.kind, row.kind) << row.name;
        EXPECT_EQ(verdict.refusal, row.refusal) << row.name;
        EXPECT_EQ(verdict.source, row.source) << row.name;
        EXPECT_EQ(verdict.version, row.version) << row.name;
        EXPECT_EQ(verdict.windowedPath, row.windowedPath) << row.name;
        EXPECT_EQ(verdict.disagreeingReleaseVersion, row.disagreeing) << row.name;
    }
}
