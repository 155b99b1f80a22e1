// The packer's inspect command over any executable: finding the block and the included
// files, then printing the description. Inspect reads files the user may not have made,
// so nothing here may crash, and the printed description must read back without anything
// but PackError.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <map>
#include <string>
#include <vector>

#include "FuzzFields.h"
#include "PackDescription.h"
#include "PackInspect.h"
#include "PackedExecutable.h"
#include "PeVersion.h"

using namespace karvo;

namespace {

using WideMap = std::map<ConfigKey, std::u16string>;

bool sameConfiguration(const ConfigBlock& read, const ConfigBlock& rebuilt) {
    const ConfigTables a = buildConfigTables(read, std::nullopt);
    const ConfigTables b = buildConfigTables(rebuilt, std::nullopt);
    if (a.texts != b.texts || a.wides != b.wides || read.groups.size() != rebuilt.groups.size())
        return false;
    for (std::size_t i = 0; i < read.groups.size(); ++i) {
        const auto& x = read.groups[i];
        const auto& y = rebuilt.groups[i];
        if (x.localePrefix != y.localePrefix) return false;
        WideMap left, right;
        for (const auto& [key, value] : x.entries) left[key] = value;
        for (const auto& [key, value] : y.entries) right[key] = value;
        if (left != right) return false;
    }
    return true;
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
            if (canonical) KARVO_FUZZ_CHECK(sameConfiguration(read.configuration.block, again.block));
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
