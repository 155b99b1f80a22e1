// The packer's inspect command over any executable: finding the block and the included
// files, then printing the description. Inspect reads files the user may not have made,
// so nothing here may crash, and the printed description must read back without anything
// but PackError. A description printed without warnings builds the identical block: raw
// forms carry whatever no plain value can (a NUL, a word in a flag, a lone surrogate).
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "FuzzFields.h"
#include "PackDescription.h"
#include "PackInspect.h"
#include "PackedExecutable.h"
#include "PeVersion.h"

using namespace karvo;

namespace {

bool sameBlock(const ConfigBlock& read, const ConfigBlock& rebuilt) {
    return writeConfigBlock(read, {}, 0) == writeConfigBlock(rebuilt, {}, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    // The template's version, which inspect reads first, never reads outside the bytes.
    const auto version = pack::peFileVersion(bytes);
    KARVO_FUZZ_CHECK(!version || !version->empty());
    try {
        const pack::PackedReadResult read = pack::readPackedExecutable(bytes);
        if (read.problem != pack::ReadProblem::None) {
            KARVO_FUZZ_CHECK(!read.message.empty());
            return 0;
        }
        pack::DescribeOptions options;
        options.executableName = "fuzz.exe";
        const pack::Description description = pack::describeConfiguration(read.configuration, options);
        // The printed form is canonical: without a warning (and without files, which need
        // extracting first) it builds the same configuration again.
        const bool canonical = description.warnings.empty() && read.configuration.files.empty();
        try {
            const pack::PackInput again =
                pack::readDescription(description.toml, "inspected.toml", ".");
            if (canonical) KARVO_FUZZ_CHECK(sameBlock(read.configuration.block, again.block));
        } catch (const pack::PackError& error) {
            if (canonical) {
                std::fprintf(stderr, "refused: %s\n", error.what());
                karvo::fuzz::propertyBroken("a description printed without warnings builds again");
            }
        }
    } catch (const pack::PackError&) {
    } catch (const std::exception& error) {
        std::fprintf(stderr, "unexpected exception: %s\n", error.what());
        karvo::fuzz::propertyBroken("inspect throws only PackError");
    }
    return 0;
}
