// The configuration block as the launcher reads it from its own file: headers, block,
// keyed tables, included file names and records. The bytes are a whole executable, so a
// damaged or hostile file is exactly what this feeds in.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FuzzFields.h"
#include "config/ByteSource.h"
#include "config/ConfigBlock.h"
#include "config/ConfigValue.h"
#include "config/IncludedFileNames.h"

using namespace karvo;

namespace {

bool sameBlock(const ConfigBlock& a, const ConfigBlock& b) {
    if (a.texts != b.texts || a.wides != b.wides || a.groups.size() != b.groups.size())
        return false;
    for (std::size_t i = 0; i < a.groups.size(); ++i) {
        if (a.groups[i].localePrefix != b.groups[i].localePrefix ||
            a.groups[i].entries != b.groups[i].entries)
            return false;
    }
    return true;
}

bool sameFiles(const std::vector<IncludedFile>& a, const std::vector<IncludedFile>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || a[i].data != b[i].data) return false;
    }
    return true;
}

// The furthest byte the header walk reads; a rewrite keeps the headers only when they all
// lie in front of the block.
std::int64_t headerEnd(const OverlayLocation& where) {
    std::int64_t end = 64;
    end = std::max(end, std::int64_t{where.peOffset} + 24);
    end = std::max(end, where.lastSectionHeader + 24);
    return end;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    MemorySource source(bytes);
    const BlockReadResult result = readConfigBlock(source);
    locateOverlay(source);
    if (result.error != BlockError::None) {
        KARVO_FUZZ_CHECK(blockErrorMessage(result.error)[0] != '\0');
        return 0;
    }
    KARVO_FUZZ_CHECK(result.includedDataOffset <= static_cast<std::int64_t>(size));

    // The tables without a locale, with each group's own prefix and with a longer code.
    std::vector<std::optional<std::string>> locales{std::nullopt, std::string("en_US")};
    // A few groups are enough: the launcher builds its tables once, and a locale for every
    // one of thousands of groups would only make this loop slow.
    for (std::size_t g = 0; g < std::min<std::size_t>(result.block.groups.size(), 4); ++g) {
        const auto& group = result.block.groups[g];
        locales.push_back(group.localePrefix);
        locales.push_back(group.localePrefix + "_X");
    }
    ConfigTables tables;
    for (const auto& locale : locales) {
        tables = buildConfigTables(result.block, locale);
        KARVO_FUZZ_CHECK(tables.texts.size() <= result.block.texts.size());
    }
    tables = buildConfigTables(result.block, std::nullopt);

    const int count = parseConfigInt(tables.texts[Key::IncludedFileCount]);
    const std::vector<std::string> names =
        includedFileNames(tables.texts[Key::IncludedFileNames], count);
    KARVO_FUZZ_CHECK(static_cast<int>(names.size()) <= std::max(count, 0));
    for (const auto& name : names) {
        KARVO_FUZZ_CHECK(!name.empty());
        if (isSafeIncludedName(name)) {
            KARVO_FUZZ_CHECK(name.find(':') == std::string::npos);
            KARVO_FUZZ_CHECK(name[0] != '\\' && name[0] != '/');
        }
        KARVO_FUZZ_CHECK(includedNameDirectory(name).size() < name.size());
    }
    std::vector<IncludedFile> files;
    std::string error;
    const bool filesRead = readIncludedFiles(source, result.includedDataOffset, names, files, error);
    KARVO_FUZZ_CHECK(filesRead == error.empty());

    // Whatever was read must come back unchanged through the writer the packer uses.
    const std::int64_t overlay = result.location.overlayOffset;
    if (!filesRead || headerEnd(result.location) > overlay) return 0;
    std::vector<std::uint8_t> rebuilt(bytes.begin(), bytes.begin() + overlay);
    const auto block = writeConfigBlock(result.block, files, overlay);
    rebuilt.insert(rebuilt.end(), block.begin(), block.end());
    KARVO_FUZZ_CHECK(rebuilt.size() % 512 == 0);
    MemorySource again(rebuilt);
    const BlockReadResult reread = readConfigBlock(again);
    KARVO_FUZZ_CHECK(reread.error == BlockError::None);
    KARVO_FUZZ_CHECK(sameBlock(reread.block, result.block));
    std::vector<IncludedFile> filesAgain;
    KARVO_FUZZ_CHECK(readIncludedFiles(again, reread.includedDataOffset, names, filesAgain, error));
    KARVO_FUZZ_CHECK(sameFiles(filesAgain, files));
    return 0;
}
