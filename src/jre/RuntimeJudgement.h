// Whether one java executable may run the program: the whole decision, from what is known of
// the candidate. The glue gathers the facts (its directory entry, its width, the cache entry,
// the release file's text, the layout around it), asks for a verdict, starts the version probe
// only when the verdict asks for it, and then acts on the final verdict.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace karvo {

// What the configuration and the caller ask of a runtime.
struct RuntimeRequirements {
    std::string_view min;
    std::string_view max;
    bool preReleaseAllowed = false;  // the caller's flag together with the configuration's
    bool requireJdk = false;
    bool windowed = false;  // launcher type 1: the javaw.exe beside the executable runs
};

// How the runtime's home (the directory above its bin) shows that it is a JDK.
enum class JdkLayout {
    NoHome,        // the executable's path is too short to have a bin directory
    ToolsJar,      // lib\tools.jar: a JDK of Java 8 or older, or one found through it
    CompilerOnly,  // bin\javac.exe without lib\tools.jar: a JDK only from Java 9 on
    Neither,       // found without the JDK rules, so nothing to prove here
};

// What is known of one candidate. Only what the candidate's state makes readable is filled
// in: nothing past `exists` for a missing executable, and the probe only once asked for.
struct RuntimeEvidence {
    bool exists = false;
    bool fitsLauncher = false;  // the runtime's library has this launcher's width
    std::optional<std::string> cachedVersion;
    std::optional<std::string> releaseFileText;
    bool releaseFileDistrusted = false;  // it once judged a runtime that then failed to load
    bool probed = false;
    std::optional<std::string> probedVersion;  // the banner's version, when the probe gave one
    JdkLayout jdkLayout = JdkLayout::Neither;  // read only when a JDK is required
    bool windowedExists = false;               // read only for launcher type 1
};

enum class RuntimeVerdictKind { Accepted, Refused, AskProbe };

enum class RuntimeRefusal {
    None,
    Missing,
    OtherWidth,
    NoVersion,  // neither the cache, the release file nor the probe gave one
    PreRelease,
    BelowMinimum,
    AboveMaximum,
    NotJdk,  // a compiler but no tools.jar, and a version older than 9
    NoHome,
    NoWindowedExecutable,
};

enum class VersionSource { None, Cache, ReleaseFile, Probe };

struct RuntimeVerdict {
    RuntimeVerdictKind kind = RuntimeVerdictKind::Refused;
    RuntimeRefusal refusal = RuntimeRefusal::None;
    VersionSource source = VersionSource::None;
    std::string version;  // the version judged; empty when none was found
    // The answer names the javaw.exe beside the executable: accepted with launcher type 1, or
    // refused because it is missing.
    bool windowedPath = false;
    // The release file's JAVA_VERSION where it disagrees with the probe's banner: a runtime
    // copied over another one, worth a line in the log. Empty when they agree.
    std::string disagreeingReleaseVersion;
};

RuntimeVerdict judgeRuntime(const RuntimeEvidence& evidence,
                            const RuntimeRequirements& requirements);

}  // namespace karvo
