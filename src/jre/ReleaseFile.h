// A runtime's "release" file: the version it gives for judging the runtime without starting
// its java executable.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace karvo {

// JAVA_VERSION="..." of a runtime's "release" file; nothing when there is no such line.
std::optional<std::string> parseReleaseFileVersion(std::string_view text);

// The version a "release" file gives for judging its runtime without starting the runtime's
// java executable, in the form of the -version banner: JAVA_RUNTIME_VERSION without its
// build ("22-ea+5-360" is "22-ea"; only this line tells a pre-release) where the file has
// one, else JAVA_VERSION. Nothing when the file gives no version, when the two lines
// disagree, or when the text does not look like a version: the probe decides then.
std::optional<std::string> releaseFileJudgingVersion(std::string_view text);

}  // namespace karvo
