// The configuration block appended to the launcher executable: its reader and its writer.
// The launcher and the packer share both, so they can never disagree about the layout.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/ByteSource.h"
#include "config/ConfigKeys.h"

namespace karvo {

inline constexpr std::uint32_t BlockMagic = 0xE8E413D5u;
// Included files are stored combined with this byte by exclusive-or.
inline constexpr std::uint8_t IncludedDataMask = 0xA7;

// What the PE headers say about where the block starts; the launcher logs these.
struct OverlayLocation {
    std::int32_t peOffset = 0;
    std::int16_t sectionCount = 0;
    std::int16_t optionalHeaderSize = 0;
    std::int64_t lastSectionHeader = 0;
    std::int32_t rawDataSize = 0;
    std::int32_t rawDataOffset = 0;
    std::int64_t overlayOffset = 0;  // rawDataOffset + rawDataSize
};

enum class BlockError { None, Magic, ReadLong, ReadInt, ReadShort, ReadString, ReadWString };

// The launcher's exact fatal text for each reader failure.
const char* blockErrorMessage(BlockError error);

struct LocalizedGroup {
    std::string localePrefix;
    std::vector<std::pair<ConfigKey, std::u16string>> entries;
};

// Every field of the block as stored, in file order (duplicates kept).
struct ConfigBlock {
    std::vector<std::pair<ConfigKey, std::string>> texts;
    std::vector<std::pair<ConfigKey, std::u16string>> wides;
    std::vector<LocalizedGroup> groups;
};

struct BlockReadResult {
    BlockError error = BlockError::None;
    OverlayLocation location;
    ConfigBlock block;
    std::int64_t includedDataOffset = 0;  // position just after the localized groups
    std::size_t failedReadBytes = 0;      // bytes that the failing read delivered
    std::uint32_t failedReadError = 0;    // platform error code of the failing read
    // The field that could not be read (or the magic that did not match) and the file
    // offset where it starts: with no display, the log is all that explains a failure.
    const char* failedStep = "";
    std::int64_t failedOffset = 0;
};

// Locates the block through the PE headers and reads fields 1 to 10.
BlockReadResult readConfigBlock(ByteSource& source);

// The keyed tables the launcher works with: later entries replace earlier ones, and the
// localized groups whose prefix starts the user's locale code overlay the wide table.
struct ConfigTables {
    std::map<ConfigKey, std::string> texts;
    std::map<ConfigKey, std::u16string> wides;
};
ConfigTables buildConfigTables(const ConfigBlock& block, const std::optional<std::string>& localeCode);

// The launcher hands its texts on as C strings: a text holding a NUL ends there, so that
// what follows can never reach the VM or the system as something else. (The packer keeps
// the stored bytes as they are, to show and rebuild them exactly.)
void endTextsAtNul(ConfigTables& tables);

// Where the template's sections end (and so where a block belongs), or nothing when the
// bytes are not a PE file that this reader understands.
std::optional<OverlayLocation> locateOverlay(ByteSource& source);

struct IncludedFile {
    std::string name;                 // relative name, as the launcher extracts it
    std::vector<std::uint8_t> data;   // the file's plain contents
};

// Serialises the block (fields 1 to 13) for an executable whose sections end at
// overlayOffset; the result, appended at that offset, pads the file to a multiple of 512.
std::vector<std::uint8_t> writeConfigBlock(const ConfigBlock& block,
                                           const std::vector<IncludedFile>& files,
                                           std::int64_t overlayOffset);

// Reads the included files' records that start at includedDataOffset.
// Returns false when the records are truncated or malformed.
bool readIncludedFiles(ByteSource& source, std::int64_t includedDataOffset,
                       const std::vector<std::string>& names,
                       std::vector<IncludedFile>& files, std::string& error);

}  // namespace karvo
