// Composition of message texts, free of any platform call.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace karvo {

// Replaces the first "{0}" by the argument; without an argument the text stays as it is.
std::string substitutePlaceholder(std::string_view text, std::optional<std::string_view> argument);

// The text, an empty line and "Log: " with the log file's path, when there is one.
std::string appendLogPath(std::string_view text, const std::optional<std::string>& logPath);

}  // namespace karvo
