// Extraction of the files carried in a configured executable, on the real file system.
#include <gtest/gtest.h>
#include <windows.h>

#include "config/ByteSource.h"
#include "config/ConfigBlock.h"
#include "config/IncludedFiles.h"
#include "config/LauncherConfig.h"
#include "config/Messages.h"
#include "config/TempDirectory.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

// A directory for one test with the system temporary directory pointed into it. A death
// test's child runs the test again and ends without clean-up, so those tests use a fixed
// name: the child reuses the parent's directory, and the parent removes it.
class TempInScratch {
public:
    explicit TempInScratch(const std::string& name, bool fixedName = false) {
        const std::string root = buildDirectory() + "scratch";
        CreateDirectoryA(root.c_str(), nullptr);
        path_ = root + "\\" + (fixedName ? name : uniqueName(name));
        removeTree(path_);
        CreateDirectoryA(path_.c_str(), nullptr);
        saveAndSet("TMP");
        saveAndSet("TEMP");
    }
    ~TempInScratch() {
        for (const auto& [name, value] : saved_) {
            SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
        }
        setLauncherTempDir("");
        removeTree(path_);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "\\" + name; }

private:
    void saveAndSet(const char* name) {
        char buffer[32768];
        const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
        saved_[name] =
            length ? std::optional<std::string>(std::string(buffer, length)) : std::nullopt;
        SetEnvironmentVariableA(name, file("tmp").c_str());
        CreateDirectoryA(file("tmp").c_str(), nullptr);
    }
    std::string path_;
    std::map<std::string, std::optional<std::string>> saved_;
};

std::vector<std::uint8_t> pattern(std::size_t size, unsigned seed) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 16);
    }
    return bytes;
}

struct Packed {
    std::string path;
    std::int64_t dataOffset = 0;
    std::int64_t fileSize = 0;
};

// Writes a configured executable and installs its configuration in this process.
Packed pack(const TempInScratch& scratch, std::map<ConfigKey, std::string> keys,
            const std::vector<IncludedFile>& files) {
    Packed packed;
    packed.path = scratch.file("app.exe");
    const ConfigBlock block = blockWith(std::move(keys));
    writeConfiguredExe(packed.path, block, files);
    const auto bytes = readFile(packed.path);
    std::vector<std::uint8_t> data(bytes->begin(), bytes->end());
    MemorySource source(data);
    const BlockReadResult result = readConfigBlock(source);
    EXPECT_EQ(result.error, BlockError::None);
    packed.dataOffset = result.includedDataOffset;
    packed.fileSize = static_cast<std::int64_t>(data.size());
    installConfigForTesting(block);
    return packed;
}

std::vector<std::string> entriesOf(const std::string& directory) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((directory + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = data.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

std::vector<std::string> launcherDirectoriesIn(const std::string& directory) {
    std::vector<std::string> found;
    for (const std::string& name : entriesOf(directory)) {
        if (name.size() > 4 && name.substr(name.size() - 4) == "_dir") found.push_back(name);
    }
    return found;
}

}  // namespace

TEST(IncludedFiles, ContentsMatchByteForByte) {
    TempInScratch temp("incl");
    struct Row {
        const char* name;
        std::size_t size;
    } rows[] = {
        {"one.bin", 1},
        {"chunk-1.bin", 8191},
        {"chunk.bin", 8192},
        {"chunk+1.bin", 8193},
        {"big.bin", 3 * 1024 * 1024 + 17},
        {"lib\\in-dir.jar", 700},
    };
    std::vector<IncludedFile> files;
    std::string names;
    for (unsigned i = 0; i < std::size(rows); ++i) {
        files.push_back({rows[i].name, pattern(rows[i].size, i)});
        names += std::string(rows[i].name) + ";";
    }
    const Packed packed = pack(
        temp,
        {{Key::IncludedFileCount, std::to_string(files.size())}, {Key::IncludedFileNames, names}},
        files);
    ASSERT_EQ(extractIncludedFilesFrom(packed.path, packed.dataOffset), 0);
    const std::string directory = launcherTempDir();
    ASSERT_FALSE(directory.empty());
    for (const auto& file : files) {
        const auto written = readFile(directory + "\\" + file.name);
        ASSERT_TRUE(written) << file.name;
        EXPECT_TRUE(*written == std::string(file.data.begin(), file.data.end())) << file.name;
    }
    std::int64_t end = packed.dataOffset;
    for (const auto& file : files) end += 8 + static_cast<std::int64_t>(file.data.size());
    EXPECT_EQ(includedDataEnd(), end);
}

TEST(IncludedFiles, ListEdges) {
    struct Row {
        const char* name;
        std::string count;
        std::string names;
        std::vector<IncludedFile> files;
        std::vector<std::string> expected;  // what the launcher's directory holds afterwards
    } rows[] = {
        {"empty file produces nothing",
         "2",
         "empty.txt;x.txt",
         {{"empty.txt", {}}, {"x.txt", {1, 2}}},
         {"x.txt"}},
        {"count larger than the names", "5", "x.txt", {{"x.txt", {1}}}, {"x.txt"}},
        {"empty name ends the list", "2", ";x.txt", {{"x.txt", {1}}}, {}},
        {"empty file in a directory creates the directory",
         "1",
         "lib\\e.txt",
         {{"lib\\e.txt", {}}},
         {"lib"}},
    };
    for (const auto& row : rows) {
        TempInScratch temp("edges");
        const Packed packed =
            pack(temp, {{Key::IncludedFileCount, row.count}, {Key::IncludedFileNames, row.names}},
                 row.files);
        EXPECT_EQ(extractIncludedFilesFrom(packed.path, packed.dataOffset), 0) << row.name;
        EXPECT_EQ(entriesOf(launcherTempDir()), row.expected) << row.name;
    }
}

TEST(IncludedFiles, NothingIncluded) {
    TempInScratch temp("none");
    const Packed packed = pack(temp, {}, {});
    setLauncherTempDir("stale");
    EXPECT_EQ(extractIncludedFilesFrom(packed.path, packed.dataOffset), 0);
    EXPECT_EQ(launcherTempDir(), "");
    EXPECT_TRUE(entriesOf(temp.path() + "\\tmp").empty()) << "no directory created";
}

TEST(IncludedFiles, TruncatedDataFailsAndCleansUp) {
    TempInScratch temp("trunc");
    const std::vector<IncludedFile> files = {{"lib\\a.jar", pattern(100, 1)},
                                             {"b.bin", pattern(50000, 2)}};
    const Packed packed = pack(
        temp, {{Key::IncludedFileCount, "2"}, {Key::IncludedFileNames, "lib\\a.jar;b.bin"}}, files);
    // Cut the executable in the middle of the second file's data.
    const auto bytes = readFile(packed.path);
    const std::size_t cut = static_cast<std::size_t>(packed.dataOffset) + 8 + 100 + 8 + 20000;
    ASSERT_LT(cut, bytes->size());
    ASSERT_TRUE(writeFile(packed.path, bytes->substr(0, cut)));

    EXPECT_EQ(extractIncludedFilesFrom(packed.path, packed.dataOffset), 1);
    EXPECT_TRUE(launcherDirectoriesIn(temp.path() + "\\tmp").empty())
        << "the launcher's directory, its subdirectory and files are gone";
}

TEST(IncludedFiles, TwoDirectoryLevelsEndWithInternalError) {
    TempInScratch temp("deep-files", true);
    const Packed packed =
        pack(temp, {{Key::IncludedFileCount, "1"}, {Key::IncludedFileNames, "a\\b\\c.jar"}},
             {{"a\\b\\c.jar", pattern(10, 3)}});
    EXPECT_EXIT(extractIncludedFilesFrom(packed.path, packed.dataOffset),
                testing::ExitedWithCode(1), "");
    EXPECT_TRUE(launcherDirectoriesIn(temp.path() + "\\tmp").empty());
}

TEST(IncludedFiles, UnsafeNamesAreRefusedBeforeWriting) {
    struct Row {
        const char* name;
        const char* fileName;
    } rows[] = {
        {"parent step", "..\\escaped.txt"},
        {"absolute path", "C:\\escaped.txt"},
        {"leading backslash", "\\escaped.txt"},
        {"later parent step", "lib\\..\\..\\escaped.txt"},
        // A device would swallow the data and the launch would go on without the file.
        {"device name", "NUL"},
        {"device name with an extension in a directory", "lib\\COM1.txt"},
        // The second file would silently replace the first.
        {"the first name in other letter case", "OK.TXT"},
    };
    for (const auto& row : rows) {
        TempInScratch temp("unsafe-names", true);
        const Packed packed =
            pack(temp,
                 {{Key::IncludedFileCount, "2"},
                  {Key::IncludedFileNames, std::string("ok.txt;") + row.fileName}},
                 {{"ok.txt", pattern(5, 4)}, {"other.txt", pattern(5, 5)}});
        EXPECT_EXIT(
            {
                setMessageBoxMode(false);
                extractIncludedFilesFrom(packed.path, packed.dataOffset);
            },
            testing::ExitedWithCode(1), "error code: 11")
            << row.name;
        EXPECT_TRUE(entriesOf(temp.path() + "\\tmp").empty()) << row.name << ": nothing written";
        EXPECT_FALSE(readFile(temp.path() + "\\escaped.txt")) << row.name;
    }
}
