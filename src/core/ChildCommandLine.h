// The command line of the supervised child: the service process's own command line, the
// service name, the start parameters and the restart marker, written so that the child's
// argument splitter gives back exactly these arguments.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace karvo {

// The last argument of a child's command line.
inline constexpr std::u16string_view RestartMarker = u"__tsl_restart";

// One argument as it goes on the line. Plain text stays as it is; an argument with a blank
// or a tab (or an empty one) is put in double quotes. The splitter has no escape character, so an
// argument that holds a quote goes in quotes of the other kind, and one that holds both
// kinds of quote cannot be written at all (nothing).
std::optional<std::u16string> quoteChildArgument(std::u16string_view argument);

struct ChildCommandLineParts {
    std::vector<std::u16string> ownArguments;     // the service process's split command line
    std::u16string serviceName;
    std::vector<std::u16string> startParameters;  // serviceMain's arguments after the name
};

enum class ChildCommandLineError { None, Unquotable, TooLong };

struct ChildCommandLine {
    std::u16string text;
    ChildCommandLineError error = ChildCommandLineError::None;
    std::u16string offendingArgument;  // for Unquotable
};

// Program path, service name, further own arguments, start parameters, marker. A line
// longer than maxLength characters is refused, never cut.
ChildCommandLine buildChildCommandLine(const ChildCommandLineParts& parts, std::size_t maxLength);

// The priority class the child is started with, from the registry value (if any, and only
// when it was exactly four bytes). Only the documented priority classes are accepted: any
// other bit of the creation flags could suspend, debug or re-console the child.
inline constexpr std::uint32_t NormalPriorityClass = 0x20;
bool isPriorityClass(std::uint32_t value);

}  // namespace karvo
