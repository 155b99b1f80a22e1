#include "config/EnvironmentEntries.h"

namespace karvo {

std::optional<std::vector<EnvironmentEntry>> parseEnvironmentEntries(std::string_view text,
                                                                     std::string& problem) {
    std::vector<EnvironmentEntry> entries;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty()) continue;
        const std::size_t equals = line.find('=');
        // A name that starts with "=" is one of the system's hidden per-drive variables;
        // writing one would change the program's idea of a drive's current directory.
        if (equals == std::string_view::npos || equals == 0) {
            problem = "environment entry '" + std::string(line) +
                      "' needs the form NAME=value with a name before the '='";
            return std::nullopt;
        }
        entries.push_back(
            {std::string(line.substr(0, equals)), std::string(line.substr(equals + 1))});
    }
    return entries;
}

}  // namespace karvo
