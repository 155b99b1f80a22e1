// The rules a named setting's stored text must follow when it is given as a plain value:
// one place for every refusal that depends on what a setting means, so that build refuses
// and inspect recognises the very same values. A value given in the raw form
// { raw = [...] } is taken as it is; inspect prints every stored value that breaks a rule
// in that form, so that building what it printed gives the same block.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Settings an executable cannot start without ("main_class is missing: ..."); nothing when
// both are there.
std::optional<std::string> missingSettingProblem(const std::map<ConfigKey, std::string>& texts);

// One line when the program's standard output and standard error would both be thrown away
// (a stream is kept only with both its file and its redirect flag).
std::optional<std::string> discardedOutputWarning(const std::map<ConfigKey, std::string>& texts);

// Whether a path's file name (either separator, any letter case) is one of the runtime
// classes' jars.
bool isRuntimeJar(const std::string& path);

// The runtime classes' jar of the flavour the texts select: "tslruntime.jar" for tessel,
// else "karvo-runtime.jar".
std::string runtimeJarName(const std::map<ConfigKey, std::string>& texts);

// Whether the class path (stored form) or an included file already names one of the
// runtime classes' jars, so that the packer adds none.
bool namesRuntimeJar(const std::map<ConfigKey, std::string>& texts,
                     const std::vector<std::string>& includedNames);

}  // namespace karvo::pack
