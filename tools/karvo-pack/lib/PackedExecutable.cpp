#include "PackedExecutable.h"

namespace karvo::pack {

bool appendBlock(const std::vector<std::uint8_t>& templateBytes, const ConfigBlock& block,
                 const std::vector<IncludedFile>& files, std::vector<std::uint8_t>& out,
                 std::string& error) {
    MemorySource source(templateBytes);
    const auto where = locateOverlay(source);
    if (!where) {
        error = "the template is not a Windows executable";
        return false;
    }
    if (where->overlayOffset != static_cast<std::int64_t>(templateBytes.size())) {
        error = "the template already carries data after its last section";
        return false;
    }
    out = templateBytes;
    const auto bytes = writeConfigBlock(block, files, where->overlayOffset);
    out.insert(out.end(), bytes.begin(), bytes.end());
    return true;
}

}  // namespace karvo::pack
