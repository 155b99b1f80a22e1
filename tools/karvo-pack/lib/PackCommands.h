// The packer's command line: build, inspect and keys.
#pragma once
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace karvo::pack {

inline constexpr int ExitSuccess = 0;
inline constexpr int ExitFailure = 1;  // the input cannot be used; nothing was written
inline constexpr int ExitUsage = 2;    // the command line itself is wrong

// Runs one command (arguments without the program name); returns the exit code.
// packerDirectory is where the packer itself lies: build looks for the runtime classes' jar
// from there, in the release archive's runtime folder and in the build tree's java folder.
int runPacker(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
              const std::filesystem::path& packerDirectory = {});

}  // namespace karvo::pack
