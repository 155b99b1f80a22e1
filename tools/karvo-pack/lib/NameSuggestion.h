// A near miss among known names, for the refusal of an unknown one.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace karvo::pack {

// "; did you mean 'x'?" for a candidate at most two edits away from name, else nothing.
std::string suggestion(std::string_view name, const std::vector<std::string>& candidates);

}  // namespace karvo::pack
