// Temporary directories and names: the system temporary directory with its fallbacks, the
// launcher's own directory for this run (LauncherTempDir), unique names.
#pragma once
#include <string>

namespace karvo {

// LauncherTempDir: empty until createLauncherTempDir succeeds, and when nothing is extracted.
const std::string& launcherTempDir();
// Also lets go of the directory's placeholder, so it no longer counts as in use.
void setLauncherTempDir(std::string path);

// Creates a fresh directory (five attempts) and sets LauncherTempDir; ends the process with
// the internal-error message "7" when it cannot. Its placeholder file "kvoXXXX.tmp" stays
// held by this process, which marks the directory "kvoXXXX.tmp_dir" as in use, and is
// deleted by the system when the process ends. Directories of ended hosts are removed first.
void createLauncherTempDir();

// Removes every "kvo*.tmp_dir" in the system temporary directory whose host has ended: its
// placeholder is gone (hosts hold theirs until they end), or was left unheld before the
// system last started. A placeholder left unheld since then is kept with its directory,
// since hosts built from an earlier template never held theirs. Only directories that this
// account owns go, and links are never followed (HostTempDirRules decides). Safe while
// other hosts and clean-ups run: the placeholder's name is claimed (created anew and held)
// before anything goes, a held placeholder can be neither claimed nor deleted, and every
// entry is held, so that nothing can take its place, before it is looked at and deleted.
// Returns how many directories went completely.
int removeEndedLauncherTempDirs();

// Removes a directory with everything below it (links are removed, not followed); true
// when the directory itself is gone.
bool removeDirectoryTree(const std::string& path, int depth = 0);

// The system temporary directory (normally with a trailing backslash; the fallbacks have
// none). Ends the process with message 1015 when no usable directory exists.
std::string getTempDirectory();

// A new, empty, uniquely named file in the system temporary directory.
std::string createTempFileName();

// "<temp>kvo_p<number>.tmp"; nothing is created.
std::string getProcessFileName(unsigned long number);

bool isWritableDirectory(const std::string& path);

// Deletes the files of a directory and its empty subdirectories (no descent).
void emptyDirectory(const std::string& path);

}  // namespace karvo
