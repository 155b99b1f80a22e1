// The program's environment as the configuration lists it: one "NAME=value" per line, in
// the order they are applied. The packer checks the list with the same rule the launcher
// reads it by.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace karvo {

struct EnvironmentEntry {
    std::string name;
    std::string value;  // before expansion; empty removes the variable
};

// The entries in order; empty lines are skipped. Nothing, with `problem` saying which entry
// and why, when an entry has no "=" or no name before it.
std::optional<std::vector<EnvironmentEntry>> parseEnvironmentEntries(std::string_view text,
                                                                     std::string& problem);

}  // namespace karvo
