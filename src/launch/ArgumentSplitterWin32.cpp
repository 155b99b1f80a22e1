// The launcher's splitting entry points: a text that cannot be split is a fatal usage error.
#include <windows.h>

#include "config/Messages.h"
#include "launch/ArgumentSplitter.h"
#include "support/TextConv.h"

namespace karvo {

std::vector<std::u16string> splitArguments(std::u16string_view text) {
    auto arguments = trySplitArguments(text);
    if (!arguments) exitWithConfiguredMessage(Key::MessageWrongParameterUsage);
    return std::move(*arguments);
}

// Configured argument lists are ANSI text. They are split as UTF-16 so that a double-byte
// character whose trail byte looks like a quote or a blank cannot split a word, and each
// piece goes back through the same code page, so the round trip keeps every character.
std::vector<std::string> splitArgumentsAnsi(const std::string& text) {
    std::vector<std::string> arguments;
    for (const auto& argument : splitArguments(toWide(text, CP_ACP)))
        arguments.push_back(toNarrow(argument, CP_ACP));
    return arguments;
}

}  // namespace karvo
