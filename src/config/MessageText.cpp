#include "config/MessageText.h"

namespace karvo {

std::string substitutePlaceholder(std::string_view text, std::optional<std::string_view> argument) {
    std::string out(text);
    if (!argument) return out;
    const auto at = out.find("{0}");
    if (at != std::string::npos) out.replace(at, 3, *argument);
    return out;
}

std::string appendLogPath(std::string_view text, const std::optional<std::string>& logPath) {
    std::string out(text);
    if (logPath) {
        out += "\n\nLog: ";
        out += *logPath;
    }
    return out;
}

}  // namespace karvo
