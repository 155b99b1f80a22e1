#include "config/ConfigBlock.h"

#include <cstring>

namespace karvo {
namespace {

class FieldReader {
public:
    explicit FieldReader(ByteSource& source, BlockReadResult& result)
        : source_(source), result_(result) {}

    // A seek that cannot be made (a negative offset from damaged headers) makes the next
    // read fail, so the failure is reported as that read's.
    bool seek(std::int64_t offset) {
        badSeek_ = !source_.seek(offset);
        seekTarget_ = offset;
        return true;
    }

    // Names the field the next reads belong to, for the failure report.
    FieldReader& step(const char* name) {
        step_ = name;
        return *this;
    }

    bool readInt(std::int32_t& value) { return readFixed(&value, 4, BlockError::ReadInt); }
    bool readLong(std::int64_t& value) { return readFixed(&value, 8, BlockError::ReadLong); }
    bool readShort(std::int16_t& value) { return readFixed(&value, 2, BlockError::ReadShort); }

    bool readString(std::string& value) {
        std::int32_t length = 0;
        if (!readInt(length)) return false;
        if (!fits(length)) return fail(BlockError::ReadString, 0, source_.position());
        value.assign(static_cast<std::size_t>(length), '\0');
        return readBytes(value.data(), value.size(), BlockError::ReadString);
    }

    // A wide text with an odd byte count drops its last byte: UTF-16 has no half units.
    bool readWString(std::u16string& value) {
        std::int32_t length = 0;
        if (!readInt(length)) return false;
        if (!fits(length)) return fail(BlockError::ReadWString, 0, source_.position());
        std::string raw(static_cast<std::size_t>(length), '\0');
        if (!readBytes(raw.data(), raw.size(), BlockError::ReadWString)) return false;
        value.resize(raw.size() / 2);
        for (std::size_t i = 0; i < value.size(); ++i) {
            value[i] = static_cast<char16_t>(static_cast<std::uint8_t>(raw[2 * i]) |
                                             static_cast<std::uint8_t>(raw[2 * i + 1]) << 8);
        }
        return true;
    }

private:
    // A length that is negative or larger than what is left of the file cannot be read;
    // refusing it up front avoids allocating gigabytes for a damaged block.
    bool fits(std::int32_t length) const {
        if (length < 0) return false;
        const auto total = source_.size();
        return !total || static_cast<std::int64_t>(length) <= *total - source_.position();
    }

    bool readFixed(void* value, std::size_t size, BlockError error) {
        std::uint8_t bytes[8] = {};
        if (!readBytes(bytes, size, error)) return false;
        // Little-endian in the file, whatever the host.
        std::uint64_t word = 0;
        for (std::size_t i = size; i-- > 0;) word = word << 8 | bytes[i];
        if (size == 2) {
            auto v = static_cast<std::int16_t>(static_cast<std::uint16_t>(word));
            std::memcpy(value, &v, 2);
        } else if (size == 4) {
            auto v = static_cast<std::int32_t>(static_cast<std::uint32_t>(word));
            std::memcpy(value, &v, 4);
        } else {
            auto v = static_cast<std::int64_t>(word);
            std::memcpy(value, &v, 8);
        }
        return true;
    }

    bool readBytes(void* buffer, std::size_t size, BlockError error) {
        if (badSeek_) return fail(error, 0, seekTarget_);
        const std::int64_t start = source_.position();
        std::size_t got = 0;
        const bool ok = source_.read(buffer, size, got);
        if (!ok || got < size) return fail(error, got, start);
        return true;
    }

    bool fail(BlockError error, std::size_t got, std::int64_t offset) {
        result_.error = error;
        result_.failedReadBytes = got;
        result_.failedReadError = source_.lastError();
        result_.failedStep = step_;
        result_.failedOffset = offset;
        return false;
    }

    ByteSource& source_;
    BlockReadResult& result_;
    bool badSeek_ = false;
    std::int64_t seekTarget_ = 0;
    const char* step_ = "";
};

bool locate(FieldReader& in, OverlayLocation& where) {
    if (!in.seek(60) || !in.step("PE header offset").readInt(where.peOffset)) return false;
    if (!in.seek(std::int64_t{where.peOffset} + 6) ||
        !in.step("section count").readShort(where.sectionCount))
        return false;
    if (!in.seek(std::int64_t{where.peOffset} + 20) ||
        !in.step("optional header size").readShort(where.optionalHeaderSize))
        return false;
    where.lastSectionHeader = std::int64_t{where.peOffset} + 24 + where.optionalHeaderSize +
                              (std::int64_t{where.sectionCount} - 1) * 40;
    if (!in.seek(where.lastSectionHeader + 16) ||
        !in.step("last section's raw data size").readInt(where.rawDataSize))
        return false;
    if (!in.seek(where.lastSectionHeader + 20) ||
        !in.step("last section's raw data offset").readInt(where.rawDataOffset))
        return false;
    where.overlayOffset = std::int64_t{where.rawDataSize} + where.rawDataOffset;
    return true;
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putU64(std::vector<std::uint8_t>& out, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putText(std::vector<std::uint8_t>& out, const std::string& text) {
    putU32(out, static_cast<std::uint32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

void putWide(std::vector<std::uint8_t>& out, const std::u16string& text) {
    putU32(out, static_cast<std::uint32_t>(text.size() * 2));
    for (char16_t unit : text) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
}

}  // namespace

const char* blockErrorMessage(BlockError error) {
    switch (error) {
        case BlockError::None: return "";
        case BlockError::Magic: return "Internal Error: magic";
        case BlockError::ReadLong: return "Internal Error: readLong";
        case BlockError::ReadInt: return "Internal Error: readInt";
        case BlockError::ReadShort: return "Internal Error: readShort";
        case BlockError::ReadString: return "Internal Error: readString";
        case BlockError::ReadWString: return "Internal Error: readWString";
    }
    return "";
}

std::optional<OverlayLocation> locateOverlay(ByteSource& source) {
    BlockReadResult scratch;
    FieldReader in(source, scratch);
    OverlayLocation where;
    if (!locate(in, where) || where.sectionCount <= 0 || where.overlayOffset <= 0) return std::nullopt;
    return where;
}

BlockReadResult readConfigBlock(ByteSource& source) {
    BlockReadResult result;
    FieldReader in(source, result);
    if (!locate(in, result.location)) return result;
    if (!in.seek(result.location.overlayOffset)) {
        result.error = BlockError::ReadInt;
        return result;
    }

    std::int32_t magic = 0;
    if (!in.step("magic").readInt(magic)) return result;
    if (static_cast<std::uint32_t>(magic) != BlockMagic) {
        result.error = BlockError::Magic;
        result.failedStep = "magic";
        result.failedOffset = result.location.overlayOffset;
        return result;
    }
    std::int32_t reserved = 0;
    std::int64_t blockLength = 0;
    if (!in.step("reserved fields").readInt(reserved) || !in.readInt(reserved) ||
        !in.step("block length").readLong(blockLength))
        return result;

    std::int32_t count = 0;
    if (!in.step("text entry count").readInt(count)) return result;
    for (std::int32_t i = 0; i < count; ++i) {
        std::int32_t key = 0;
        std::string value;
        if (!in.step("text entry").readInt(key) || !in.readString(value)) return result;
        result.block.texts.emplace_back(key, std::move(value));
    }

    if (!in.step("wide entry count").readInt(count)) return result;
    for (std::int32_t i = 0; i < count; ++i) {
        std::int32_t key = 0;
        std::u16string value;
        if (!in.step("wide entry").readInt(key) || !in.readWString(value)) return result;
        result.block.wides.emplace_back(key, std::move(value));
    }

    if (!in.step("localized group count").readInt(count)) return result;
    for (std::int32_t g = 0; g < count; ++g) {
        LocalizedGroup group;
        std::int32_t entries = 0;
        if (!in.step("locale prefix").readString(group.localePrefix) ||
            !in.step("localized entry count").readInt(entries))
            return result;
        for (std::int32_t i = 0; i < entries; ++i) {
            std::int32_t key = 0;
            std::u16string value;
            if (!in.step("localized entry").readInt(key) || !in.readWString(value)) return result;
            group.entries.emplace_back(key, std::move(value));
        }
        result.block.groups.push_back(std::move(group));
    }
    result.includedDataOffset = source.position();
    return result;
}

ConfigTables buildConfigTables(const ConfigBlock& block,
                               const std::optional<std::string>& localeCode) {
    ConfigTables tables;
    for (const auto& [key, value] : block.texts) tables.texts[key] = value;
    for (const auto& [key, value] : block.wides) tables.wides[key] = value;
    if (!localeCode) return tables;
    for (const auto& group : block.groups) {
        if (localeCode->compare(0, group.localePrefix.size(), group.localePrefix) != 0) continue;
        for (const auto& [key, value] : group.entries) tables.wides[key] = value;
    }
    return tables;
}

void endTextsAtNul(ConfigTables& tables) {
    for (auto& [key, value] : tables.texts)
        value.resize(std::char_traits<char>::length(value.c_str()));
    for (auto& [key, value] : tables.wides)
        value.resize(std::char_traits<char16_t>::length(value.c_str()));
}

std::vector<std::uint8_t> writeConfigBlock(const ConfigBlock& block,
                                           const std::vector<IncludedFile>& files,
                                           std::int64_t overlayOffset) {
    std::vector<std::uint8_t> out;
    putU32(out, BlockMagic);
    putU32(out, 0);
    putU32(out, 0);
    const std::size_t lengthField = out.size();
    putU64(out, 0);  // block length, filled in below

    putU32(out, static_cast<std::uint32_t>(block.texts.size()));
    for (const auto& [key, value] : block.texts) {
        putU32(out, static_cast<std::uint32_t>(key));
        putText(out, value);
    }
    putU32(out, static_cast<std::uint32_t>(block.wides.size()));
    for (const auto& [key, value] : block.wides) {
        putU32(out, static_cast<std::uint32_t>(key));
        putWide(out, value);
    }
    putU32(out, static_cast<std::uint32_t>(block.groups.size()));
    for (const auto& group : block.groups) {
        putText(out, group.localePrefix);
        putU32(out, static_cast<std::uint32_t>(group.entries.size()));
        for (const auto& [key, value] : group.entries) {
            putU32(out, static_cast<std::uint32_t>(key));
            putWide(out, value);
        }
    }
    for (const auto& file : files) {
        putU64(out, file.data.size());
        for (std::uint8_t byte : file.data) out.push_back(byte ^ IncludedDataMask);
    }

    const std::uint64_t blockLength = out.size() - lengthField;
    for (int i = 0; i < 8; ++i)
        out[lengthField + i] = static_cast<std::uint8_t>(blockLength >> (8 * i));

    for (std::uint8_t byte : {0xE8, 0xE4, 0x13, 0xD5}) out.push_back(byte);
    const auto end = static_cast<std::uint64_t>(overlayOffset) + out.size();
    out.resize(out.size() + static_cast<std::size_t>((512 - end % 512) % 512), 0);
    return out;
}

bool readIncludedFiles(ByteSource& source, std::int64_t includedDataOffset,
                       const std::vector<std::string>& names,
                       std::vector<IncludedFile>& files, std::string& error) {
    if (!source.seek(includedDataOffset)) {
        error = "cannot seek to the included files";
        return false;
    }
    for (const auto& name : names) {
        std::uint8_t sizeBytes[8];
        std::size_t got = 0;
        if (!source.read(sizeBytes, 8, got) || got < 8) {
            error = "included file '" + name + "': its size is missing";
            return false;
        }
        std::int64_t size = 0;
        for (int i = 8; i-- > 0;) size = static_cast<std::int64_t>(static_cast<std::uint64_t>(size) << 8 | sizeBytes[i]);
        IncludedFile file{name, {}};
        if (size > 0) {
            const auto total = source.size();
            if (total && size > *total - source.position()) {
                error = "included file '" + name + "': its data is truncated";
                return false;
            }
            file.data.resize(static_cast<std::size_t>(size));
            if (!source.read(file.data.data(), file.data.size(), got) || got < file.data.size()) {
                error = "included file '" + name + "': its data is truncated";
                return false;
            }
            for (auto& byte : file.data) byte ^= IncludedDataMask;
        }
        files.push_back(std::move(file));
    }
    return true;
}

}  // namespace karvo
