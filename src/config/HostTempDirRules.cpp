#include "config/HostTempDirRules.h"

namespace karvo {

HostDirVerdict judgeHostTempDir(PlaceholderState placeholder, HostDirKind kind,
                                bool ownedByThisAccount) {
    if (placeholder == PlaceholderState::Held) return HostDirVerdict::HostRuns;
    if (placeholder == PlaceholderState::LeftSinceSystemStart) return HostDirVerdict::HostMayRun;
    if (kind == HostDirKind::Link) return HostDirVerdict::Link;
    if (kind == HostDirKind::NotADirectory) return HostDirVerdict::NotADirectory;
    if (!ownedByThisAccount) return HostDirVerdict::NotOurs;
    return HostDirVerdict::Remove;
}

bool writtenBeforeSystemStart(std::uint64_t fileTime, std::uint64_t now,
                              std::uint64_t sinceStartMs) {
    constexpr std::uint64_t UnitsPerMs = 10000;
    const std::uint64_t back = (sinceStartMs + SystemStartSlackSeconds * 1000) * UnitsPerMs;
    // A clock set to a time before the system could have started bounds nothing.
    if (back >= now) return false;
    return fileTime < now - back;
}

}  // namespace karvo
