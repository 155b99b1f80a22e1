// Makes configured executables from the template: reads a template, appends a block.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "config/ConfigBlock.h"

namespace karvo::pack {

// Appends the block to a template that has none yet. Returns false with a message when the
// template is not a PE file or already carries data after its last section.
bool appendBlock(const std::vector<std::uint8_t>& templateBytes, const ConfigBlock& block,
                 const std::vector<IncludedFile>& files, std::vector<std::uint8_t>& out,
                 std::string& error);

}  // namespace karvo::pack
