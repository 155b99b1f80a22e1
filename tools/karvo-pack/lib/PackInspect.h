// The configuration of a configured executable, printed as the packer's TOML description.
// The form is canonical: building the printed description again gives the same block.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "PackedExecutable.h"
#include "support/PeMachine.h"

namespace karvo::pack {

struct DescribeOptions {
    std::string executableName;  // named in the heading comment
    // The executable's machine, named in the heading so that the reader knows which Java
    // runtimes it can load.
    std::optional<PeMachineInfo> machine;
    // Where the included files were extracted; their sources point there. Without it the
    // files are listed with their sizes only.
    std::optional<std::filesystem::path> extractDirectory;
    // What the heading says of the template the executable was built from; nothing when
    // empty.
    std::string templateVersion;
    // Every setting, also those that equal what build adds by itself.
    bool all = false;
};

struct Description {
    std::string toml;
    std::vector<std::string> warnings;  // what a rebuild would not reproduce, and why
};

Description describeConfiguration(const PackedConfiguration& config,
                                  const DescribeOptions& options);

// What an executable's machine means for its users: "64-bit launcher: it loads 64-bit Java
// runtimes only", or the machine of one that is not an x86 launcher.
std::string launcherWidthLine(const PeMachineInfo& machine);

// The path below an extraction directory where an included file is written.
std::filesystem::path extractedPath(const std::filesystem::path& directory,
                                    const std::string& name);

}  // namespace karvo::pack
