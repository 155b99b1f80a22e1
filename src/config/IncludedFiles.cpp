#include "config/IncludedFiles.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "config/ConfigBlock.h"
#include "config/ExecutablePath.h"
#include "config/IncludedFileNames.h"
#include "config/LauncherConfig.h"
#include "config/Messages.h"
#include "config/TempDirectory.h"
#include "support/Log.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

constexpr DWORD ChunkSize = 8192;
// extractIncludedFile's results that end the process once the directory is cleaned up:
// the target cannot be created at all, or the record's size field cannot be read.
constexpr int TargetNotCreated = 3;
constexpr int SizeNotRead = 4;

std::int64_t& includedDataEndStorage() {
    static std::int64_t end = 0;
    return end;
}

bool readExactly(HANDLE file, void* buffer, DWORD size) {
    DWORD got = 0;
    return ReadFile(file, buffer, size, &got, nullptr) && got == size;
}

// The record's size field: a little-endian signed 64-bit number.
bool readLong(HANDLE file, std::int64_t& value) {
    unsigned char bytes[8];
    if (!readExactly(file, bytes, sizeof bytes)) return false;
    std::uint64_t raw = 0;
    for (int i = 7; i >= 0; --i) raw = raw << 8 | bytes[i];
    value = static_cast<std::int64_t>(raw);
    return true;
}

// 0 on success, 1 when the executable cannot deliver the data, 2 when the target cannot
// take it, TargetNotCreated when it cannot be created, SizeNotRead when the record's size
// field is cut short (the same failure as any other short size field of the block).
int extractIncludedFile(HANDLE executable, const std::string& target) {
    std::int64_t size = 0;
    if (!readLong(executable, size)) {
        logMessage("error %d\n", static_cast<int>(GetLastError()));
        return SizeNotRead;
    }
    logMessage("extracting %s (size: %I64d)", target.c_str(), static_cast<long long>(size));
    if (size <= 0) return 0;
    UniqueHandle out(CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return TargetNotCreated;

    std::vector<unsigned char> chunk(ChunkSize);
    std::int64_t copied = 0;
    while (copied < size) {
        const DWORD wanted = static_cast<DWORD>(std::min<std::int64_t>(ChunkSize, size - copied));
        DWORD got = 0;
        if (!ReadFile(executable, chunk.data(), wanted, &got, nullptr) || got == 0) {
            logError("ReadFile failed %d %d %I64d", static_cast<int>(got),
                     static_cast<int>(GetLastError()), static_cast<long long>(copied));
            return 1;
        }
        for (DWORD i = 0; i < got; ++i) chunk[i] ^= IncludedDataMask;
        DWORD written = 0;
        while (written < got) {
            DWORD now = 0;
            // A write that succeeds without taking a byte would repeat for ever: it counts
            // as a failure.
            if (!WriteFile(out.get(), chunk.data() + written, got - written, &now, nullptr) ||
                now == 0) {
                logError("WriteFile failed %d %d", static_cast<int>(got - written),
                         static_cast<int>(GetLastError()));
                return 2;
            }
            written += now;
        }
        copied += got;
    }
    return 0;
}

// The names with their letters upper-cased as the ANSI code page does it, so that letters
// beyond ASCII also count as one name in either case, as they do for the file system.
// Kernel32's mapping rather than the user-interface library's: the launcher does not load
// that library on every start for one comparison.
std::vector<std::string> upperCasedNames(std::vector<std::string> names) {
    for (std::string& name : names) {
        if (name.empty()) continue;
        std::string upper(name.size(), '\0');
        const int length = static_cast<int>(name.size());
        if (LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, name.data(), length, upper.data(),
                         length) == length)
            name = std::move(upper);
    }
    return names;
}

}  // namespace

int extractIncludedFiles() {
    return extractIncludedFilesFrom(getExecutablePath(), includedDataOffset());
}

int extractIncludedFilesFrom(const std::string& executablePath, std::int64_t dataOffset) {
    logMessage("extracting files");
    const int count = getConfigInt(Key::IncludedFileCount);
    logMessage("Included files: %d", count);
    if (count <= 0) {
        setLauncherTempDir("");
        return 0;
    }
    const std::vector<std::string> names =
        includedFileNames(getConfigString(Key::IncludedFileNames), count);
    // Checked before anything exists on disk: a name that climbs out of the directory, or
    // names another drive, would let a crafted executable write anywhere; a device name
    // would swallow the data; a second spelling of one name would overwrite the first file.
    for (const std::string& name : names) {
        if (!isSafeIncludedName(name)) {
            logError("included file name %s leaves the extraction directory", name.c_str());
            exitWithConfiguredMessage(Key::MessageInternalError, InternalError::IncludedFile);
        }
        if (namesDevice(name)) {
            logError("included file name %s names a device", name.c_str());
            exitWithConfiguredMessage(Key::MessageInternalError, InternalError::IncludedFile);
        }
    }
    if (const auto repeated = firstRepeatedIncludedName(upperCasedNames(names))) {
        logError("included file name %s is given twice (letter case does not count)",
                 names[*repeated].c_str());
        exitWithConfiguredMessage(Key::MessageInternalError, InternalError::IncludedFile);
    }

    createLauncherTempDir();
    UniqueHandle executable(CreateFileA(executablePath.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!executable) {
        logError("Could not open %s", executablePath.c_str());
        exitWithMessage(
            "Error opening media file. Please move this file to an ascii-only path like c:\\");
    }
    LARGE_INTEGER to;
    to.QuadPart = dataOffset;
    SetFilePointerEx(executable.get(), to, nullptr, FILE_BEGIN);

    const std::string& directory = launcherTempDir();
    for (const std::string& name : names) {
        const std::string subdirectory = includedNameDirectory(name);
        if (!subdirectory.empty()) {
            const std::string path = directory + "\\" + subdirectory;
            logMessage("creating directory %s", path.c_str());
            if (!CreateDirectoryA(path.c_str(), nullptr) &&
                GetLastError() != ERROR_ALREADY_EXISTS) {
                logError("failed to create directory %s", path.c_str());
            }
        }
        const std::string target = directory + "\\" + name;
        const int result = extractIncludedFile(executable.get(), target);
        if (result != 0) {
            logError("Failed to extract %s", target.c_str());
            executable.reset();
            // Names have at most one directory level, so emptying those first lets the
            // whole directory go.
            for (const std::string& other : names) {
                const std::string sub = includedNameDirectory(other);
                if (!sub.empty()) emptyDirectory(directory + "\\" + sub);
            }
            emptyDirectory(directory);
            RemoveDirectoryA(directory.c_str());
            // A file that cannot even be created, or a record whose size cannot be read, ends
            // the process with its own message; the directory is cleaned up first all the same.
            if (result == TargetNotCreated) {
                exitWithConfiguredMessage(Key::MessageInternalError, InternalError::IncludedFile);
            }
            if (result == SizeNotRead) exitWithMessage("Internal Error: readLong");
            return result;
        }
    }

    LARGE_INTEGER zero{};
    LARGE_INTEGER position{};
    SetFilePointerEx(executable.get(), zero, &position, FILE_CURRENT);
    includedDataEndStorage() = position.QuadPart;
    logMessage("extracting files done");
    return 0;
}

std::int64_t includedDataEnd() {
    return includedDataEndStorage();
}

}  // namespace karvo
