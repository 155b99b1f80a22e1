// How the launcher tells the user that something went wrong: a message box or a line on
// standard error, with the log file's path added when the log is on.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "config/ConfigKeys.h"
#include "config/InternalErrors.h"

namespace karvo {

// Message boxes until the configuration says otherwise (launcher types 1 and 5 keep them).
void setMessageBoxMode(bool on);
bool messageBoxMode();

void showMessage(const std::string& text);
void showConfiguredMessage(ConfigKey key, std::optional<std::string_view> argument = std::nullopt);
[[noreturn]] void exitWithMessage(const std::string& text);
[[noreturn]] void exitWithConfiguredMessage(ConfigKey key,
                                            std::optional<std::string_view> argument = std::nullopt);


}  // namespace karvo
