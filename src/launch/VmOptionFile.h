// The text rules of VM option files and of the configured VM arguments: physical lines read
// in chunks, trimming, comments and the directives that steer the class path or pull in
// further files.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace karvo {

// The longest physical line (without its line feed) an option file may hold. A longer
// line is skipped whole: cut into pieces, its tail would reach the VM as options of its
// own, so that a long value could smuggle in an option nobody wrote on a line.
inline constexpr std::size_t MaxOptionLineLength = 8191;

struct OptionFileLine {
    std::string_view text;  // without its line feed; points into the file's contents
    bool tooLong = false;   // longer than the limit: to be skipped, never cut
};

// The physical lines of a file's text-mode contents, in order (line number = index + 1).
std::vector<OptionFileLine> optionFileLines(std::string_view contents,
                                            std::size_t maxLength = MaxOptionLineLength);

// The text a line contributes: line ends removed, leading and trailing spaces (only the
// space character) removed; nothing for an empty line or a "#" comment.
std::optional<std::string> optionLineText(std::string_view line);

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
