// The packer's description of a configured executable: a TOML file with the settings by
// their readable names, turned into a configuration block and the included files' data.
#pragma once
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "config/ConfigBlock.h"

namespace karvo::pack {

// A description or an executable the packer cannot use; the text says what and where.
class PackError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PackInput {
    ConfigBlock block;
    std::vector<IncludedFile> files;
    std::vector<std::string> warnings;  // accepted, but probably not what the user meant
    // The description neither names the runtime classes' jar nor turns adding it off: the
    // build includes runtimeJarName (includeRuntimeJar, in PackIncludes.h).
    bool wantsRuntimeJar = false;
    std::string runtimeJarName;
};

// Reads a description given as text. sourceName names it in messages; included files'
// sources are read relative to baseDirectory. Throws PackError.
PackInput readDescription(std::string_view tomlText, const std::string& sourceName,
                          const std::filesystem::path& baseDirectory);

// Reads a description file; sources are relative to the file's directory.
PackInput readDescriptionFile(const std::filesystem::path& path);

// The top-level setting that turns off the packer's defaults (messages, launcher type).
inline constexpr std::string_view WriteDefaultsSetting = "write_defaults";
// The top-level setting that keeps the packer from adding the runtime classes' jar.
inline constexpr std::string_view AddRuntimeJarSetting = "add_runtime_jar";
// Messages live in their own table, under their names without this prefix.
inline constexpr std::string_view MessagePrefix = "message_";

// The largest description the packer reads. Parsing a text costs many times its size in
// time and memory, and a real description is a few kilobytes; a larger file is refused
// before it is read. Included files are not descriptions and have their own limit.
inline constexpr std::uint64_t MaxDescriptionSize = 16 * 1024 * 1024;

// The largest executable the packer writes: file offsets stay within 31 bits, where every
// reader of the format is safe.
inline constexpr std::uint64_t MaxOutputSize = 0x7FFFFFFF;

}  // namespace karvo::pack
