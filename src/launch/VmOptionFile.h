// The text rules of VM option files and of the configured VM arguments: physical lines read
// in chunks, trimming, comments and the directives that steer the class path or pull in
// further files.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace karvo {

// A line is read with a buffer of this many characters; a longer physical line arrives as
// several consecutive lines.
inline constexpr std::size_t OptionLineChunk = 8191;

// The lines of a file's text-mode contents as a line reader with a chunk of at most
// chunk characters delivers them (each ending after its line feed, if it has one).
std::vector<std::string> optionFileChunks(std::string_view contents,
                                          std::size_t chunk = OptionLineChunk);

// The text a chunk contributes: line ends removed, leading and trailing spaces (only the
// space character) removed; nothing for an empty line or a "#" comment.
std::optional<std::string> optionLineText(std::string_view chunk);

enum class OptionLineKind { IncludeOptions, ClassPath, ClassPathPrefix, ClassPathSuffix, Option };

struct OptionLine {
    OptionLineKind kind = OptionLineKind::Option;
    std::string value;  // the rest after a directive's prefix, or the whole option
};

// The directives are matched case-sensitively and include their trailing space.
OptionLine classifyOptionLine(std::string_view text);

// The configured VM arguments: "-include-options" followed by another argument becomes one
// directive text; everything else passes unchanged.
std::vector<std::string> joinIncludeArguments(const std::vector<std::string>& arguments);

// The VM option carried by a command-line argument: the rest after "-J", or nothing.
std::optional<std::u16string> jArgumentOption(std::u16string_view argument);

}  // namespace karvo
