// The rules a named setting's stored text must follow when it is given as a plain value:
// one place for every refusal that depends on what a setting means, so that build refuses
// and inspect recognises the very same values. A value given in the raw form
// { raw = [...] } is taken as it is; inspect prints every stored value that breaks a rule
// in that form, so that building what it printed gives the same block.
#pragma once
#include <map>
#include <optional>
#include <string>

#include "config/ConfigKeys.h"

namespace karvo::pack {

// Why the stored text of one setting cannot be meant, in words that name the setting and
// what to write instead; nothing when it is fine.
std::optional<std::string> storedValueProblem(ConfigKey key, const std::string& text);

// Settings that are each fine but together cannot mean what they say.
struct CombinationProblem {
    ConfigKey key;  // the setting whose line the refusal names and whose value is to change
    std::string text;
};
std::optional<CombinationProblem> combinationProblem(const std::map<ConfigKey, std::string>& texts);

}  // namespace karvo::pack
