// The data files carried behind the configuration block, extracted by the Java host.
#pragma once
#include <cstdint>
#include <string>

namespace karvo {

// Extracts every included file into a fresh LauncherTempDir. 0 on success, otherwise the
// failing file's result (1 read failure, 2 write failure) after cleaning up.
int extractIncludedFiles();

// The same for the records of the given executable that start at dataOffset; the
// configuration (keys 2002 and 2003) still comes from the loaded tables.
int extractIncludedFilesFrom(const std::string& executablePath, std::int64_t dataOffset);

// The file offset just after the last extracted record; 0 when nothing was extracted.
std::int64_t includedDataEnd();

}  // namespace karvo
