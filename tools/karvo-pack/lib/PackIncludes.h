// The files a description puts into the executable: its [[include]] tables, read with their
// sources, and the runtime classes' jar that a build adds to them.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "PackDescription.h"
#include "TomlLibrary.h"

namespace karvo::pack {

// The [[include]] tables in the order written, each with its source's bytes (relative
// sources are read from baseDirectory). Throws PackError naming the table's line for a bad
// or repeated name, a missing or unreadable source, names too long together, or more than
// the packer's output limit in all.
std::vector<IncludedFile> readIncludeTables(const toml::node& node, const std::string& sourceName,
                                            const std::filesystem::path& baseDirectory);

// The names as the block stores them, separated by ";".
std::string includedFileNames(const std::vector<IncludedFile>& files);

// Adds the runtime classes' jar as an included file (the launcher puts included archives on
// the class path). Throws PackError when the names of the included files grow too long.
void includeRuntimeJar(PackInput& input, std::vector<std::uint8_t> data);

}  // namespace karvo::pack
