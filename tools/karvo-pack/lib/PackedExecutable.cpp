#include "PackedExecutable.h"

#include <algorithm>
#include <cstring>

namespace karvo::pack {
namespace {

bool hasBytesAt(const std::vector<std::uint8_t>& bytes, std::size_t at, const char* expected,
                std::size_t length) {
    return bytes.size() >= at && bytes.size() - at >= length &&
           std::memcmp(bytes.data() + at, expected, length) == 0;
}

std::uint32_t u32At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;) value = value << 8 | bytes[at + i];
    return value;
}

std::vector<std::string> splitNames(const std::string& list) {
    std::vector<std::string> names;
    std::size_t start = 0;
    for (;;) {
        const auto end = list.find(';', start);
        names.push_back(list.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) return names;
        start = end + 1;
    }
}

std::string textOf(const ConfigTables& tables, ConfigKey key) {
    const auto found = tables.texts.find(key);
    return found == tables.texts.end() ? std::string() : found->second;
}

}  // namespace

std::optional<OverlayLocation> locatePeOverlay(const std::vector<std::uint8_t>& bytes,
                                               std::string& error) {
    if (!hasBytesAt(bytes, 0, "MZ", 2) || bytes.size() < 64) {
        error = "is not a Windows executable (no MZ header)";
        return std::nullopt;
    }
    const std::uint32_t peOffset = u32At(bytes, 60);
    if (!hasBytesAt(bytes, peOffset, "PE\0\0", 4)) {
        error = "is not a Windows executable (no PE signature)";
        return std::nullopt;
    }
    MemorySource source(bytes);
    auto where = locateOverlay(source);
    if (!where || where->overlayOffset > static_cast<std::int64_t>(bytes.size())) {
        error = "is not a complete Windows executable (its section table points past its end)";
        return std::nullopt;
    }
    return where;
}

bool appendBlock(const std::vector<std::uint8_t>& templateBytes, const ConfigBlock& block,
                 const std::vector<IncludedFile>& files, std::vector<std::uint8_t>& out,
                 std::string& error) {
    std::string problem;
    const auto where = locatePeOverlay(templateBytes, problem);
    if (!where) {
        error = "the template " + problem;
        return false;
    }
    if (where->overlayOffset != static_cast<std::int64_t>(templateBytes.size())) {
        error = "the template already carries data after its last section (a configured "
                "executable, or an unstripped build?)";
        return false;
    }
    out = templateBytes;
    const auto bytes = writeConfigBlock(block, files, where->overlayOffset);
    out.insert(out.end(), bytes.begin(), bytes.end());
    return true;
}

std::int64_t launcherInteger(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
    std::int64_t value = 0;
    // Large enough for any count a file can hold; the cap keeps the sum from overflowing.
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        value = std::min<std::int64_t>(value * 10 + (text[at] - '0'), INT32_MAX);
    return negative ? -value : value;
}

PackedReadResult readPackedExecutable(const std::vector<std::uint8_t>& bytes) {
    PackedReadResult result;
    std::string problem;
    const auto where = locatePeOverlay(bytes, problem);
    if (!where) {
        result.problem = ReadProblem::NotExecutable;
        result.message = problem;
        return result;
    }
    if (where->overlayOffset == static_cast<std::int64_t>(bytes.size())) {
        result.problem = ReadProblem::NoBlock;
        result.message = "carries no configuration block: it ends with its last section "
                         "(is it the template?)";
        return result;
    }
    MemorySource source(bytes);
    auto read = readConfigBlock(source);
    if (read.error == BlockError::Magic) {
        result.problem = ReadProblem::NotABlock;
        result.message = "carries data after its last section that is not a configuration "
                         "block (the launcher stops with \"Internal Error: magic\")";
        return result;
    }
    if (read.error != BlockError::None) {
        result.problem = ReadProblem::Damaged;
        result.message = std::string("has a damaged configuration block (the launcher stops with \"") +
                         blockErrorMessage(read.error) + "\")";
        return result;
    }
    auto& config = result.configuration;
    config.block = std::move(read.block);
    config.overlayOffset = where->overlayOffset;
    config.includedDataOffset = read.includedDataOffset;

    const auto tables = buildConfigTables(config.block, std::nullopt);
    const std::string countText = textOf(tables, Key::IncludedFileCount);
    const std::string namesText = textOf(tables, Key::IncludedFileNames);
    const auto count = launcherInteger(countText);
    std::vector<std::string> names;
    if (count > 0) {
        for (auto& name : splitNames(namesText)) {
            if (name.empty() || static_cast<std::int64_t>(names.size()) >= count) break;
            names.push_back(std::move(name));
        }
    }
    std::string joined;
    for (const auto& name : names) joined += (joined.empty() ? "" : ";") + name;
    const bool keysPresent = tables.texts.count(Key::IncludedFileCount) ||
                             tables.texts.count(Key::IncludedFileNames);
    config.includedKeysCanonical =
        names.empty() ? !keysPresent
                      : countText == std::to_string(names.size()) && namesText == joined;

    std::string error;
    if (!readIncludedFiles(source, config.includedDataOffset, names, config.files, error)) {
        result.problem = ReadProblem::IncludedData;
        result.message = "has damaged included data: " + error;
        return result;
    }
    // The block length runs from its own field (12 bytes into the block) to the end marker.
    const std::int64_t dataEnd = source.position();
    std::uint64_t blockLength = 0;
    for (int i = 8; i-- > 0;)
        blockLength = blockLength << 8 | bytes[static_cast<std::size_t>(where->overlayOffset + 12 + i)];
    config.endMarkerFound = false;
    if (blockLength <= bytes.size()) {
        const auto marker = static_cast<std::int64_t>(blockLength) + where->overlayOffset + 12;
        config.endMarkerFound =
            marker >= dataEnd &&
            hasBytesAt(bytes, static_cast<std::size_t>(marker), "\xE8\xE4\x13\xD5", 4);
        if (config.endMarkerFound) config.trailingDataSize = marker - dataEnd;
    }
    return result;
}

}  // namespace karvo::pack
