#include "config/LauncherConfig.h"

#include <windows.h>

#include "config/ConfigBlock.h"
#include "config/ConfigValue.h"
#include "config/ExecutablePath.h"
#include "config/LocaleTable.h"
#include "config/Messages.h"
#include "support/Log.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

// The configuration tables of this process, filled once by readConfig.
struct LoadedConfig {
    ConfigTables tables;
    std::int64_t includedDataOffset = 0;
};

LoadedConfig& loaded() {
    static LoadedConfig config;
    return config;
}

const std::string EmptyText;
const std::u16string EmptyWide;

class FileSource final : public ByteSource {
public:
    explicit FileSource(HANDLE file) : file_(file) {}
    bool seek(std::int64_t offset) override {
        LARGE_INTEGER to;
        to.QuadPart = offset;
        if (!SetFilePointerEx(file_, to, nullptr, FILE_BEGIN)) {
            error_ = GetLastError();
            return false;
        }
        position_ = offset;
        return true;
    }
    bool read(void* buffer, std::size_t size, std::size_t& bytesRead) override {
        DWORD got = 0;
        const BOOL ok = ReadFile(file_, buffer, static_cast<DWORD>(size), &got, nullptr);
        bytesRead = got;
        position_ += got;
        if (!ok) error_ = GetLastError();
        return ok != FALSE;
    }
    std::int64_t position() const override { return position_; }
    std::optional<std::int64_t> size() const override {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(file_, &size)) return std::nullopt;
        return size.QuadPart;
    }
    std::uint32_t lastError() const override { return error_; }

private:
    HANDLE file_;
    std::int64_t position_ = 0;
    DWORD error_ = 0;
};

// While the block is being read, a failure is always shown in a message box, titled with
// key 1000 when that entry was read before the failure.
[[noreturn]] void failReading(const BlockReadResult& result) {
    std::string title;
    for (const auto& [key, value] : result.block.texts) {
        if (key == Key::MessageTitle) title = value.c_str();
    }
    loaded().tables.texts[Key::MessageTitle] = title;
    exitWithMessage(blockErrorMessage(result.error));
}

}  // namespace

void readConfig() {
    const std::string& path = getExecutablePath();
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        logError("Could not open %s", path.c_str());
        exitWithMessage(
            "Error opening media file. Please move this file to an ascii-only path like c:\\");
    }
    FileSource source(file.get());
    BlockReadResult result = readConfigBlock(source);
    const OverlayLocation& where = result.location;
    logMessage("number of sections: %d", where.sectionCount);
    logMessage("size of optional headers: %d", where.optionalHeaderSize);
    logMessage("resSectionTableStart: %d", static_cast<int>(where.lastSectionHeader));
    logMessage("rawDataSize: %d, rawDataOffset: %d", where.rawDataSize, where.rawDataOffset);
    // Written before the box: a service, or a system without a display, shows nothing.
    if (result.error != BlockError::None) {
        logError("reading the configuration block failed: %s at offset %I64d (%s)",
                 result.failedStep, static_cast<long long>(result.failedOffset),
                 blockErrorMessage(result.error));
    }
    switch (result.error) {
        case BlockError::None: break;
        case BlockError::ReadInt:
            logMessage("error %d %d\n", static_cast<int>(result.failedReadError),
                       static_cast<int>(result.failedReadBytes));
            failReading(result);
        case BlockError::ReadLong:
        case BlockError::ReadShort:
            logMessage("error %d\n", static_cast<int>(result.failedReadError));
            failReading(result);
        default: failReading(result);
    }
    file.reset();

    std::optional<std::string> locale;
    if (!result.block.groups.empty()) locale = getUserLocaleCode();
    loaded().tables = buildConfigTables(result.block, locale);
    endTextsAtNul(loaded().tables);
    loaded().includedDataOffset = result.includedDataOffset;

    const int type = getConfigInt(Key::LauncherType);
    if (type != 1 && type != 5) setMessageBoxMode(false);
}

void installConfigForTesting(const ConfigBlock& block) {
    loaded().tables = buildConfigTables(block, getUserLocaleCode());
    endTextsAtNul(loaded().tables);
}

const std::string& getConfigString(ConfigKey key) {
    const auto& texts = loaded().tables.texts;
    const auto found = texts.find(key);
    return found == texts.end() ? EmptyText : found->second;
}

std::string getConfigString(ConfigKey key, std::size_t capacity) {
    const std::string& text = getConfigString(key);
    if (capacity == 0) return {};
    return text.substr(0, capacity - 1);
}

int getConfigInt(ConfigKey key) { return parseConfigInt(getConfigString(key)); }

const std::u16string& getConfigWString(ConfigKey key) {
    const auto& wides = loaded().tables.wides;
    const auto found = wides.find(key);
    return found == wides.end() ? EmptyWide : found->second;
}

std::int64_t includedDataOffset() { return loaded().includedDataOffset; }

std::optional<std::string> getUserLocaleCode() {
    const auto code = localeCodeFor(static_cast<std::uint16_t>(GetUserDefaultLCID() & 0xFFFF));
    if (!code) return std::nullopt;
    return std::string(*code);
}

}  // namespace karvo
