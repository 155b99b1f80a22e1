// Helpers for the packer's tests: a minimal template, a scratch directory, files, the
// packer's command line with captured output, and the least description that builds.
#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <unistd.h>
#include <string>
#include <vector>

#include "FakePeImage.h"
#include "PackCommands.h"
#include "PackDescription.h"
#include "PackedExecutable.h"

namespace karvo::pack::test {

// A PE image whose last section ends at the end of the file, where the packer puts the block.
inline std::vector<std::uint8_t> fakeTemplate() { return karvo::test::fakePeImage(); }

inline void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh directory, removed with its contents when the test ends.
class TempDir {
public:
    TempDir() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("karvo-pack-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

struct PackRun {
    int exitCode = 0;
    std::string out;
    std::string err;
};

// The bytes of the stand-in runtime classes' jar that every build of the tests includes.
inline const std::string StandInRuntimeJar = "stand-in runtime classes";

// A release archive's layout for the packer: bin/tool/ where the packer lies and runtime/
// with the runtime classes' jars, made once and removed when the tests end.
inline const std::filesystem::path& packerDirectory() {
    static const TempDir kit;
    static const std::filesystem::path directory = [] {
        std::filesystem::create_directories(kit / "bin" / "tool");
        std::filesystem::create_directories(kit / "runtime");
        writeText(kit / "runtime" / "karvo-runtime.jar", StandInRuntimeJar);
        writeText(kit / "runtime" / "tslruntime.jar", StandInRuntimeJar);
        return kit / "bin" / "tool";
    }();
    return directory;
}

inline PackRun runPack(const std::vector<std::string>& arguments) {
    std::ostringstream out, err;
    const int code = runPacker(arguments, out, err, packerDirectory());
    return {code, out.str(), err.str()};
}

inline PackRun runBuild(const std::filesystem::path& description,
                        const std::filesystem::path& templatePath,
                        const std::filesystem::path& out) {
    return runPack({"build", description.string(), "--template", templatePath.string(), "--out",
                    out.string()});
}

// The least a description holds that builds without an error.
inline const std::string Named = "service_name = 's'\nmain_class = 'm'\n";

// A key of so many dotted parts ("a.a.a"), nested deeper than any reader should follow.
inline std::string dottedKey(int parts) {
    std::string key = "a";
    for (int i = 1; i < parts; ++i) key += ".a";
    return key;
}

// The text of the error a description is refused with; nothing when it is read.
inline std::optional<std::string> descriptionError(const std::string& toml,
                                                   const std::string& sourceName,
                                                   const std::filesystem::path& baseDirectory) {
    try {
        readDescription(toml, sourceName, baseDirectory);
    } catch (const PackError& error) {
        return error.what();
    }
    return std::nullopt;
}

// The template with a block written after its last section, where the packer puts it.
inline std::vector<std::uint8_t> configuredExecutable(const ConfigBlock& block,
                                                      const std::vector<IncludedFile>& files = {}) {
    auto exe = fakeTemplate();
    const auto bytes = writeConfigBlock(block, files, static_cast<std::int64_t>(exe.size()));
    exe.insert(exe.end(), bytes.begin(), bytes.end());
    return exe;
}

// The block bytes (everything after the template) of a configured executable.
inline std::vector<std::uint8_t> blockBytes(const std::vector<std::uint8_t>& executable) {
    return {executable.begin() + 1024, executable.end()};
}

}  // namespace karvo::pack::test
