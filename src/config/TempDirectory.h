// Temporary directories and names: the system temporary directory with its fallbacks, the
// launcher's own directory for this run (LauncherTempDir), unique names.
#pragma once
#include <string>

namespace karvo {

// LauncherTempDir: empty until createLauncherTempDir succeeds, and when nothing is extracted.
const std::string& launcherTempDir();
void setLauncherTempDir(std::string path);

// Creates a fresh directory (five attempts) and sets LauncherTempDir; ends the process with
// the internal-error message "7" when it cannot.
void createLauncherTempDir();

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
