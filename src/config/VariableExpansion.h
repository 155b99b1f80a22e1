// The substitution behind launcher variables, over given values and a given environment
// block, so that it needs no operating system and can be tested on its own.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace karvo {

// The places a configured text may refer to.
struct LauncherVariableValues {
    std::string executableDirectory;  // with its trailing backslash
    std::string launcherTempDir;      // empty when nothing was extracted
    std::string jvmHome;              // empty until a runtime was chosen
    std::string systemTempDir;
};

// What costs system calls to find out, asked for only when a text refers to it: most texts
// (a typical option line) hold no token at all, and a long option file would otherwise read
// the environment block and the temporary directory once per line.
struct LauncherVariableLookups {
    std::function<std::string()> systemTempDir;
    std::function<std::vector<std::string>()> environment;
};

// One replacement, for the log: the token, its value and the whole text afterwards.
struct Replacement {
    std::string token;
    std::string value;
    std::string text;
};

struct ExpansionResult {
    bool ok = true;                         // false: the result would exceed the limit
    std::string text;                       // the expanded text, or the original one when !ok
    std::vector<Replacement> replacements;  // empty when !ok
};

// Receives each replacement as it happens.
using ReplacementSink = std::function<void(const Replacement&)>;

// Replaces the fixed tokens, then "${NAME}" and its upper-cased form for every entry of the
// environment block ("NAME=value" texts, in block order). A result longer than maxLength
// is refused as a whole: the text is returned unchanged.
ExpansionResult expandVariables(std::string_view text, const LauncherVariableValues& values,
                                const std::vector<std::string>& environment, std::size_t maxLength);

// The same in place, handing every record to the sink instead of keeping it: a text whose
// references lead through a long chain of variables would otherwise pile up thousands of
// whole copies of itself. False (text unchanged) when the result would exceed maxLength;
// the records handed over before that stand.
bool expandVariables(std::string& text, const LauncherVariableValues& values,
                     const std::vector<std::string>& environment, std::size_t maxLength,
                     const ReplacementSink& sink);

// The same with the system temporary directory and the environment block asked for when
// first needed (values.systemTempDir is not used); each is asked at most once per call.
bool expandVariables(std::string& text, const LauncherVariableValues& values,
                     const LauncherVariableLookups& lookups, std::size_t maxLength,
                     const ReplacementSink& sink);

// Replaces every occurrence of token, searching on after each inserted value. Hands over
// (or appends) one record per replacement. False (text partly replaced) once the text
// exceeds maxLength.
bool replaceAllOccurrences(std::string& text, std::string_view token, std::string_view value,
                           std::size_t maxLength, const ReplacementSink& sink);
bool replaceAllOccurrences(std::string& text, std::string_view token, std::string_view value,
                           std::size_t maxLength, std::vector<Replacement>& replacements);

// JvmHome for a java executable path: its directory followed by "..".
std::string jvmHomeFor(std::string_view javaExePath);

}  // namespace karvo
