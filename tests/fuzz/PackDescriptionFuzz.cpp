// The packer's TOML description, read as the build command reads it. PackError is the
// documented refusal and is caught as the tool catches it; any other exception escaping
// the reader is a finding. Included files' sources are read below a scratch directory
// that holds two small files, "a.txt" and "sub\b.bin".
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "FuzzFields.h"
#include "PackDescription.h"

using namespace karvo;

namespace {

std::filesystem::path& scratchDirectory() {
    static std::filesystem::path directory;
    return directory;
}

void removeScratch() {
    std::error_code ignored;
    if (!scratchDirectory().empty()) std::filesystem::remove_all(scratchDirectory(), ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (std::filesystem::temp_directory_path() / "karvo-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    scratchDirectory() = pattern;
    std::atexit(removeScratch);
    std::filesystem::create_directory(scratchDirectory() / "sub");
    std::ofstream(scratchDirectory() / "a.txt") << "included text\n";
    std::ofstream(scratchDirectory() / "sub" / "b.bin", std::ios::binary) << std::string("\0\x01\xff", 3);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const pack::PackInput input = pack::readDescription(text, "fuzz.toml", scratchDirectory());
        KARVO_FUZZ_CHECK(input.files.size() <= size);
    } catch (const pack::PackError& error) {
        KARVO_FUZZ_CHECK(error.what()[0] != '\0');
    } catch (const std::exception& error) {
        std::fprintf(stderr, "unexpected exception: %s\n", error.what());
        karvo::fuzz::propertyBroken("the description reader throws only PackError");
    }
    return 0;
}
