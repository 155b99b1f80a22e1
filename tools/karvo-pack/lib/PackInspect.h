// The configuration of a configured executable, printed as the packer's TOML description.
// The form is canonical: building the printed description again gives the same block.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "PackedExecutable.h"

namespace karvo::pack {

struct DescribeOptions {
    std::string executableName;  // named in the heading comment
    // Where the included files were extracted; their sources point there. Without it the
    // files are listed with their sizes only.
    std::optional<std::filesystem::path> extractDirectory;
    // What the heading says of the template the executable was built from; nothing when
    // empty.
    std::string templateVersion;
};

struct Description {
    std::string toml;
    std::vector<std::string> warnings;  // what a rebuild would not reproduce, and why
};

Description describeConfiguration(const PackedConfiguration& config,
                                  const DescribeOptions& options);

// The path below an extraction directory where an included file is written.
std::filesystem::path extractedPath(const std::filesystem::path& directory,
                                    const std::string& name);

}  // namespace karvo::pack
