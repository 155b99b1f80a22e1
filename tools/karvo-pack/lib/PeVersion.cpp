#include "PeVersion.h"

namespace karvo::pack {
namespace {

constexpr std::uint32_t ResourceDirectoryIndex = 2;
constexpr std::uint32_t VersionResourceType = 16;
constexpr std::uint32_t FixedInfoSignature = 0xFEEF04BD;
constexpr std::uint32_t SubdirectoryBit = 0x80000000;

// Bounds-checked little-endian reads: every offset here comes from the file itself.
class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    std::optional<std::uint32_t> u16(std::uint64_t at) const { return read(at, 2); }
    std::optional<std::uint32_t> u32(std::uint64_t at) const { return read(at, 4); }

private:
    std::optional<std::uint32_t> read(std::uint64_t at, unsigned size) const {
        if (at > bytes_.size() || bytes_.size() - at < size) return std::nullopt;
        std::uint32_t value = 0;
        for (unsigned i = size; i-- > 0;) value = value << 8 | bytes_[at + i];
        return value;
    }

    const std::vector<std::uint8_t>& bytes_;
};

struct Image {
    std::uint64_t sectionTable = 0;
    std::uint32_t sectionCount = 0;
    std::uint32_t resourceRva = 0;
};

std::optional<Image> readHeaders(const Reader& in) {
    const auto mz = in.u16(0);
    const auto peOffset = in.u32(60);
    if (!mz || *mz != 0x5A4D || !peOffset) return std::nullopt;
    const auto signature = in.u32(*peOffset);
    if (!signature || *signature != 0x00004550) return std::nullopt;
    const std::uint64_t fileHeader = *peOffset + 4ull;
    const auto sections = in.u16(fileHeader + 2);
    const auto optionalSize = in.u16(fileHeader + 16);
    const std::uint64_t optional = fileHeader + 20;
    const auto magic = in.u16(optional);
    if (!sections || !optionalSize || !magic) return std::nullopt;
    // The data directories sit further on in the 64-bit optional header.
    std::uint64_t countAt = 0;
    if (*magic == 0x10B)
        countAt = optional + 92;
    else if (*magic == 0x20B)
        countAt = optional + 108;
    else
        return std::nullopt;
    const auto directoryCount = in.u32(countAt);
    if (!directoryCount || *directoryCount <= ResourceDirectoryIndex) return std::nullopt;
    const std::uint64_t directoryAt = countAt + 4 + 8ull * ResourceDirectoryIndex;
    if (directoryAt + 8 > optional + *optionalSize) return std::nullopt;
    const auto rva = in.u32(directoryAt);
    if (!rva || *rva == 0) return std::nullopt;
    return Image{optional + *optionalSize, *sections, *rva};
}

std::optional<std::uint64_t> fileOffsetOf(const Reader& in, const Image& image, std::uint32_t rva) {
    for (std::uint32_t i = 0; i < image.sectionCount; ++i) {
        const std::uint64_t header = image.sectionTable + 40ull * i;
        const auto virtualSize = in.u32(header + 8);
        const auto virtualAddress = in.u32(header + 12);
        const auto rawSize = in.u32(header + 16);
        const auto rawOffset = in.u32(header + 20);
        if (!virtualSize || !virtualAddress || !rawSize || !rawOffset) return std::nullopt;
        const std::uint32_t span = *rawSize > *virtualSize ? *rawSize : *virtualSize;
        if (rva >= *virtualAddress && rva - *virtualAddress < span)
            return std::uint64_t{*rawOffset} + (rva - *virtualAddress);
    }
    return std::nullopt;
}

// The entry of a resource directory with the given id, or its first entry when id is empty;
// returns the entry's offset field.
std::optional<std::uint32_t> directoryEntry(const Reader& in, std::uint64_t directory,
                                            std::optional<std::uint32_t> id) {
    const auto named = in.u16(directory + 12);
    const auto numbered = in.u16(directory + 14);
    if (!named || !numbered) return std::nullopt;
    const std::uint32_t count = *named + *numbered;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t entry = directory + 16 + 8ull * i;
        const auto name = in.u32(entry);
        const auto offset = in.u32(entry + 4);
        if (!name || !offset) return std::nullopt;
        if (!id || *name == *id) return offset;
    }
    return std::nullopt;
}

std::string versionText(std::uint32_t high, std::uint32_t low) {
    std::string text = std::to_string(high >> 16) + "." + std::to_string(high & 0xFFFF) + "." +
                       std::to_string(low >> 16);
    if ((low & 0xFFFF) != 0) text += "." + std::to_string(low & 0xFFFF);
    return text;
}

}  // namespace

std::optional<std::string> peFileVersion(const std::vector<std::uint8_t>& bytes) {
    const Reader in(bytes);
    const auto image = readHeaders(in);
    if (!image) return std::nullopt;
    const auto root = fileOffsetOf(in, *image, image->resourceRva);
    if (!root) return std::nullopt;

    // Three levels: the type (version), the resource's name, its language; the first two
    // point at subdirectories, the last at the data entry.
    std::uint64_t directory = *root;
    std::optional<std::uint32_t> wanted = VersionResourceType;
    for (int level = 0; level < 2; ++level) {
        const auto offset = directoryEntry(in, directory, wanted);
        if (!offset || !(*offset & SubdirectoryBit)) return std::nullopt;
        directory = *root + (*offset & ~SubdirectoryBit);
        wanted.reset();
    }
    const auto dataEntry = directoryEntry(in, directory, std::nullopt);
    if (!dataEntry || (*dataEntry & SubdirectoryBit)) return std::nullopt;
    const auto dataRva = in.u32(*root + *dataEntry);
    const auto dataSize = in.u32(*root + *dataEntry + 4);
    if (!dataRva || !dataSize) return std::nullopt;
    const auto data = fileOffsetOf(in, *image, *dataRva);
    if (!data) return std::nullopt;

    // The fixed file information follows the resource's key at a 4-byte boundary; its
    // signature marks it. Its file version is in the third and fourth words.
    for (std::uint64_t at = 0; at + 16 <= *dataSize; at += 4) {
        const auto word = in.u32(*data + at);
        if (!word) return std::nullopt;
        if (*word != FixedInfoSignature) continue;
        const auto high = in.u32(*data + at + 8);
        const auto low = in.u32(*data + at + 12);
        if (!high || !low) return std::nullopt;
        return versionText(*high, *low);
    }
    return std::nullopt;
}

}  // namespace karvo::pack
