// What the clean-up of ended hosts' temporary directories decides, apart from the file
// system: whether a "kvo*.tmp_dir" may go, from what was found of it and its placeholder.
// The directory lies in the system's temporary directory, where other accounts may create
// entries too, and the clean-up may run as the local system account: the directory goes only
// when it is one of this account's own and nobody can still be using it.
#pragma once
#include <cstdint>

namespace karvo {

// The placeholder "kvoXXXX.tmp" beside the directory, as the clean-up found it when it
// tried to take it over.
enum class PlaceholderState {
    Gone,                   // its host held it until it ended, when the system deleted it
    Held,                   // its host runs
    LeftSinceSystemStart,   // there but not held: a host built from an earlier template,
                            // which never held its placeholder, may still be running
    LeftBeforeSystemStart,  // there, not held and older than the system's last start
};

// The directory entry itself, opened as itself (a link is not followed).
enum class HostDirKind { Directory, Link, NotADirectory };

enum class HostDirVerdict {
    Remove,
    HostRuns,
    HostMayRun,
    Link,           // never followed, never removed: whoever made it owns it
    NotADirectory,  // a file of that name is no host's
    NotOurs,        // another account owns it
};

HostDirVerdict judgeHostTempDir(PlaceholderState placeholder, HostDirKind kind,
                                bool ownedByThisAccount);

// A file written this long before the computed start of the system counts as older than
// it; the slack allows for the clock being set after the start.
inline constexpr std::uint64_t SystemStartSlackSeconds = 3600;

// Whether a file time (100 ns units, as the system keeps them) lies before the system's last
// start, given the time now in the same units and the milliseconds since the start.
bool writtenBeforeSystemStart(std::uint64_t fileTime, std::uint64_t now,
                              std::uint64_t sinceStartMs);

}  // namespace karvo
