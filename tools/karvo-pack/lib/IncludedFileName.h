// The rules for the names under which the launcher extracts included files. The launcher
// writes each file to its temporary directory + "\" + name and creates at most the one
// directory before the first backslash, so a name must stay inside that directory, have
// at most one directory level and be a name Windows can create.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace karvo::pack {

// Nothing when the name is acceptable, else the reason, phrased to follow "the name ...".
std::optional<std::string> includedFileNameProblem(std::string_view name);

}  // namespace karvo::pack
