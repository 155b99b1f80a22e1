// The packer's inspect command over any executable: finding the block and the included
// files, then printing the description. Inspect reads files the user may not have made,
// so nothing here may crash, and the printed description must read back without anything
// but PackError.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "FuzzFields.h"
#include "PackDescription.h"
#include "PackInspect.h"
#include "PackedExecutable.h"

using namespace karvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    try {
        const pack::PackedReadResult read = pack::readPackedExecutable(bytes);
        if (read.problem != pack::ReadProblem::None) {
            KARVO_FUZZ_CHECK(!read.message.empty());
            return 0;
        }
        pack::DescribeOptions options;
        options.executableName = "fuzz.exe";
        const pack::Description description = pack::describeConfiguration(read.configuration, options);
        try {
            pack::readDescription(description.toml, "inspected.toml", ".");
        } catch (const pack::PackError&) {
            // A configuration the packer would not write may be refused on the way back.
        }
    } catch (const pack::PackError&) {
    } catch (const std::exception& error) {
        std::fprintf(stderr, "unexpected exception: %s\n", error.what());
        karvo::fuzz::propertyBroken("inspect throws only PackError");
    }
    return 0;
}
