#include "core/ChildCommandLine.h"

namespace karvo {

std::optional<std::u16string> quoteChildArgument(std::u16string_view argument) {
    // A tab does not separate for the child's splitter, but it does end an unquoted
    // program path for CreateProcessW, so it is quoted like a blank.
    const bool blank = argument.find_first_of(u" \t") != std::u16string_view::npos;
    const bool doubleQuote = argument.find(u'"') != std::u16string_view::npos;
    const bool singleQuote = argument.find(u'\'') != std::u16string_view::npos;
    if (!argument.empty() && !blank && !doubleQuote && !singleQuote)
        return std::u16string(argument);
    if (doubleQuote && singleQuote) return std::nullopt;
    const char16_t quote = doubleQuote ? u'\'' : u'"';
    std::u16string out;
    out.reserve(argument.size() + 2);
    out += quote;
    out += argument;
    out += quote;
    return out;
}

ChildCommandLine buildChildCommandLine(const ChildCommandLineParts& parts, std::size_t maxLength) {
    ChildCommandLine result;
    std::u16string& line = result.text;
    auto append = [&](std::u16string_view argument) {
        if (result.error != ChildCommandLineError::None) return;
        const auto quoted = quoteChildArgument(argument);
        if (!quoted) {
            result.error = ChildCommandLineError::Unquotable;
            result.offendingArgument = std::u16string(argument);
            return;
        }
        if (!line.empty()) line += u' ';
        line += *quoted;
    };

    // The program path comes first even when the split gave nothing, so that the line
    // always starts with something CreateProcessW can run.
    append(parts.ownArguments.empty() ? std::u16string_view{} : parts.ownArguments[0]);
    append(parts.serviceName);
    for (std::size_t i = 1; i < parts.ownArguments.size(); ++i) append(parts.ownArguments[i]);
    for (const auto& parameter : parts.startParameters) append(parameter);
    if (result.error == ChildCommandLineError::None) {
        line += u' ';
        line += RestartMarker;
        if (line.size() > maxLength) result.error = ChildCommandLineError::TooLong;
    }
    if (result.error != ChildCommandLineError::None) line.clear();
    return result;
}

bool isPriorityClass(std::uint32_t value) {
    switch (value) {
        case 0x20:    // normal
        case 0x40:    // idle
        case 0x80:    // high
        case 0x100:   // realtime
        case 0x4000:  // below normal
        case 0x8000:  // above normal
            return true;
        default:
            return false;
    }
}

}  // namespace karvo
