#include "jre/RuntimeJudgement.h"

#include "jre/ReleaseFile.h"
#include "jre/VersionOrder.h"

namespace karvo {
namespace {

RuntimeVerdict refused(RuntimeVerdict verdict, RuntimeRefusal refusal) {
    verdict.kind = RuntimeVerdictKind::Refused;
    verdict.refusal = refusal;
    return verdict;
}

RuntimeRefusal versionRefusal(VersionVerdict verdict) {
    switch (verdict) {
        case VersionVerdict::Accepted: return RuntimeRefusal::None;
        case VersionVerdict::PreRelease: return RuntimeRefusal::PreRelease;
        case VersionVerdict::BelowMinimum: return RuntimeRefusal::BelowMinimum;
        case VersionVerdict::AboveMaximum: return RuntimeRefusal::AboveMaximum;
    }
    return RuntimeRefusal::NoVersion;
}

// The first source that gives a version, cheapest first: the cache holds what java executables
// said, the release file says it without starting one, and the probe starts one.
bool takeVersion(const RuntimeEvidence& evidence, RuntimeVerdict& verdict) {
    if (evidence.cachedVersion) {
        verdict.source = VersionSource::Cache;
        verdict.version = *evidence.cachedVersion;
        return true;
    }
    if (evidence.releaseFileText && !evidence.releaseFileDistrusted) {
        if (auto judged = releaseFileJudgingVersion(*evidence.releaseFileText)) {
            verdict.source = VersionSource::ReleaseFile;
            verdict.version = std::move(*judged);
            return true;
        }
    }
    if (evidence.probedVersion) {
        verdict.source = VersionSource::Probe;
        verdict.version = *evidence.probedVersion;
        const auto stated = evidence.releaseFileText
                                ? parseReleaseFileVersion(*evidence.releaseFileText)
                                : std::nullopt;
        if (stated && *stated != leadingVersionPart(verdict.version))
            verdict.disagreeingReleaseVersion = *stated;
        return true;
    }
    return false;
}

// A JDK of Java 9 or later has no lib\tools.jar; its bin\javac.exe marks it instead. That mark
// proves nothing for an older runtime, which must show its tools.jar as it always did.
RuntimeRefusal jdkRefusal(JdkLayout layout, std::string_view version) {
    switch (layout) {
        case JdkLayout::NoHome: return RuntimeRefusal::NoHome;
        case JdkLayout::ToolsJar:
        case JdkLayout::Neither: return RuntimeRefusal::None;
        case JdkLayout::CompilerOnly:
            return featureRelease(version) >= 9 ? RuntimeRefusal::None : RuntimeRefusal::NotJdk;
    }
    return RuntimeRefusal::NotJdk;
}

}  // namespace

RuntimeVerdict judgeRuntime(const RuntimeEvidence& evidence,
                            const RuntimeRequirements& requirements) {
    RuntimeVerdict verdict;
    if (!evidence.exists) return refused(verdict, RuntimeRefusal::Missing);
    // A runtime of the other width counts as not found, whatever its version.
    if (!evidence.fitsLauncher) return refused(verdict, RuntimeRefusal::OtherWidth);
    if (!takeVersion(evidence, verdict)) {
        if (evidence.probed) return refused(verdict, RuntimeRefusal::NoVersion);
        verdict.kind = RuntimeVerdictKind::AskProbe;
        return verdict;
    }
    const VersionVerdict range = judgeVersion(verdict.version, requirements.min, requirements.max,
                                              requirements.preReleaseAllowed);
    if (range != VersionVerdict::Accepted) return refused(verdict, versionRefusal(range));
    if (requirements.requireJdk) {
        if (const auto refusal = jdkRefusal(evidence.jdkLayout, verdict.version);
            refusal != RuntimeRefusal::None)
            return refused(verdict, refusal);
    }
    if (requirements.windowed) {
        verdict.windowedPath = true;
        if (!evidence.windowedExists) return refused(verdict, RuntimeRefusal::NoWindowedExecutable);
    }
    verdict.kind = RuntimeVerdictKind::Accepted;
    return verdict;
}

}  // namespace karvo
