// The runtime search's text rules: version ranges, the "-version" banner, the search
// sequence, registry names, the paths around a java executable and the judgement of one
// runtime from them. Fields: selector,
// version, minimum, maximum, banner line, search sequence, path, then registry names.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzFields.h"
#include "jre/ReleaseFile.h"
#include "jre/RuntimeJudgement.h"
#include "jre/RuntimeLayout.h"
#include "jre/SearchRules.h"
#include "jre/VersionOrder.h"
#include "support/TextLimits.h"

using namespace karvo;
using karvo::fuzz::FuzzFields;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzFields fields(data, size);
    const unsigned selector = fields.selector();
    const bool allowPreRelease = selector & 1;
    const std::string version = fields.next();
    const std::string min = fields.next();
    const std::string max = fields.next();
    const std::string banner = fields.next();
    const std::string sequence = fields.next();
    const std::string path = fields.next();
    const std::vector<std::string> names = fields.rest();

    const VersionVerdict verdict = judgeVersion(version, min, max, allowPreRelease);
    KARVO_FUZZ_CHECK(isVersionAcceptable(version, min, max, allowPreRelease) ==
                     (verdict == VersionVerdict::Accepted));
    if (verdict == VersionVerdict::PreRelease)
        KARVO_FUZZ_CHECK(!allowPreRelease && isPreReleaseVersion(version));
    // Without bounds only the pre-release rule can refuse.
    KARVO_FUZZ_CHECK(judgeVersion(version, "", "", true) == VersionVerdict::Accepted);

    if (const auto parsed = parseVersionBanner(banner)) {
        KARVO_FUZZ_CHECK(!parsed->empty() && parsed->size() <= MaxVersionLength);
        KARVO_FUZZ_CHECK(parsed->find_first_of(std::string(" \"\n\0", 4)) == std::string::npos);
    }

    KARVO_FUZZ_CHECK(compareVersionText(version, min) == -compareVersionText(min, version));
    KARVO_FUZZ_CHECK(compareVersions(version, min) == -compareVersions(min, version));
    KARVO_FUZZ_CHECK(compareVersions(version, version) == 0);
    parseReleaseFileVersion(banner);
    const auto ordered = versionNamesToTry(names, min, max);
    KARVO_FUZZ_CHECK(ordered.size() <= names.size());
    for (std::size_t i = 1; i < ordered.size(); ++i)
        KARVO_FUZZ_CHECK(compareVersionsThenText(ordered[i - 1], ordered[i]) >= 0);
    for (const auto& name : ordered) KARVO_FUZZ_CHECK(isVersionNameInRange(name, min, max));

    for (const SearchEntry& entry : splitSearchSequence(sequence)) {
        KARVO_FUZZ_CHECK(entry.kind != ';');
        takesPartInRelativePass(entry);
    }
    for (const std::string& item : splitNonEmpty(sequence, ';'))
        KARVO_FUZZ_CHECK(!item.empty() && item.find(';') == std::string::npos);

    KARVO_FUZZ_CHECK(
        pathFromRegistryName(versionCacheKeyName(path).substr(VersionCacheRoot.size())) == [&] {
            std::string slashes = path;
            std::replace(slashes.begin(), slashes.end(), '/', '\\');
            return slashes;
        }());
    if (const auto directory = javaExeDirectory(path)) {
        KARVO_FUZZ_CHECK(path.starts_with(*directory) && directory->size() + 8 <= path.size());
        const auto bin = javaBinDirectory(path);
        KARVO_FUZZ_CHECK(!bin || bin->size() + 1 == directory->size());
        KARVO_FUZZ_CHECK(embeddedJreJavaExe(path).has_value());
    }
    KARVO_FUZZ_CHECK(windowedJavaExe(path).ends_with("w.exe"));
    if (const auto list = appendToPathList(path, version, MaxPathListLength))
        KARVO_FUZZ_CHECK(list->size() <= MaxPathListLength);
    const std::string stripped = stripLineEnd(banner);
    KARVO_FUZZ_CHECK(stripped.empty() || (stripped.back() != '\n' && stripped.back() != '\r'));
    unpackArguments(path, version);

    // The whole judgement on the same texts: only a version in range is accepted, and the probe
    // is asked for exactly when neither the cache nor the release file gives a version.
    RuntimeEvidence evidence;
    evidence.exists = evidence.fitsLauncher = true;
    if (selector & 2) evidence.cachedVersion = version;
    evidence.releaseFileText = banner;
    evidence.releaseFileDistrusted = selector & 4;
    const RuntimeRequirements requirements{min, max, allowPreRelease, bool(selector & 8)};
    RuntimeVerdict runtime = judgeRuntime(evidence, requirements);
    const bool released = !evidence.releaseFileDistrusted && releaseFileJudgingVersion(banner);
    KARVO_FUZZ_CHECK((runtime.kind == RuntimeVerdictKind::AskProbe) ==
                     (!evidence.cachedVersion && !released));
    if (runtime.kind == RuntimeVerdictKind::AskProbe) {
        evidence.probed = true;
        evidence.probedVersion = parseVersionBanner(banner);
        runtime = judgeRuntime(evidence, requirements);
        KARVO_FUZZ_CHECK(runtime.kind != RuntimeVerdictKind::AskProbe);
    }
    if (runtime.kind == RuntimeVerdictKind::Accepted)
        KARVO_FUZZ_CHECK(isVersionAcceptable(runtime.version, min, max, allowPreRelease));
    return 0;
}
