// Makes configured executables from the template, and reads them back: appends a block to
// a template, and finds the block and the included files in a configured executable.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/ConfigBlock.h"

namespace karvo::pack {

// Appends the block to a template that has none yet. Returns false with a message when the
// template is not a PE file or already carries data after its last section.
bool appendBlock(const std::vector<std::uint8_t>& templateBytes, const ConfigBlock& block,
                 const std::vector<IncludedFile>& files, std::vector<std::uint8_t>& out,
                 std::string& error);

// Where the sections of a PE file end, after checking its signatures; nothing with a
// message when the bytes are not a PE file.
std::optional<OverlayLocation> locatePeOverlay(const std::vector<std::uint8_t>& bytes,
                                               std::string& error);

// A configured executable as the launcher sees it.
struct PackedConfiguration {
    ConfigBlock block;
    std::int64_t overlayOffset = 0;
    std::int64_t includedDataOffset = 0;
    // The names the launcher extracts (at most key 2002 of key 2003, up to the first empty
    // one) with their data.
    std::vector<IncludedFile> files;
    // Key 2002 and 2003 say exactly what files holds, as the packer writes them.
    bool includedKeysCanonical = true;
    // Bytes between the last included file and the end marker (data for the Java side).
    std::int64_t trailingDataSize = 0;
    bool endMarkerFound = true;
};

enum class ReadProblem { None, NotExecutable, NoBlock, NotABlock, Damaged, IncludedData };

struct PackedReadResult {
    ReadProblem problem = ReadProblem::None;
    std::string message;  // for every problem but None
    PackedConfiguration configuration;
};

PackedReadResult readPackedExecutable(const std::vector<std::uint8_t>& bytes);

// The launcher's reading of an int key: leading blanks, a sign, digits up to the first
// non-digit; no digits give 0.
std::int64_t launcherInteger(const std::string& text);

}  // namespace karvo::pack
