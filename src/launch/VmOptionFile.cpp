#include "launch/VmOptionFile.h"

namespace karvo {
namespace {

struct Directive {
    std::string_view prefix;
    OptionLineKind kind;
};

constexpr Directive Directives[] = {
    {"-include-options ", OptionLineKind::IncludeOptions},
    {"-classpath ", OptionLineKind::ClassPath},
    {"-classpath/p ", OptionLineKind::ClassPathPrefix},
    {"-classpath/a ", OptionLineKind::ClassPathSuffix},
};

}  // namespace

std::vector<OptionFileLine> optionFileLines(std::string_view contents, std::size_t maxLength) {
    std::vector<OptionFileLine> lines;
    std::size_t from = 0;
    while (from < contents.size()) {
        std::size_t end = contents.find('\n', from);
        if (end == std::string_view::npos) end = contents.size();
        const std::string_view text = contents.substr(from, end - from);
        lines.push_back({text, text.size() > maxLength});
        from = end + 1;
    }
    return lines;
}

std::optional<std::string> optionLineText(std::string_view line) {
    // Lines are C strings to the VM: a NUL byte ends the text.
    line = line.substr(0, line.find('\0'));
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    line = line.substr(first, line.find_last_not_of(' ') - first + 1);
    if (line[0] == '#') return std::nullopt;
    return std::string(line);
}

OptionLine classifyOptionLine(std::string_view text) {
    for (const Directive& directive : Directives) {
        if (text.starts_with(directive.prefix)) {
            return {directive.kind, std::string(text.substr(directive.prefix.size()))};
        }
    }
    return {OptionLineKind::Option, std::string(text)};
}

std::vector<std::string> joinIncludeArguments(const std::vector<std::string>& arguments) {
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "-include-options" && i + 1 < arguments.size()) {
            texts.push_back("-include-options " + arguments[i + 1]);
            ++i;
        } else {
            texts.push_back(arguments[i]);
        }
    }
    return texts;
}

std::optional<std::u16string> jArgumentOption(std::u16string_view argument) {
    if (!argument.starts_with(u"-J")) return std::nullopt;
    return std::u16string(argument.substr(2));
}

}  // namespace karvo
