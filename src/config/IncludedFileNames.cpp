#include "config/IncludedFileNames.h"

#include <algorithm>

namespace karvo {
namespace {

// The system drops trailing dots and blanks of a path step, so ". ." or ".. " climb as
// ".." does: any step made only of dots and blanks with two dots or more is refused.
bool climbsUp(std::string_view step) {
    const bool onlyDotsAndBlanks = step.find_first_not_of(". ") == std::string_view::npos;
    return onlyDotsAndBlanks && std::count(step.begin(), step.end(), '.') >= 2;
}

}  // namespace

std::vector<std::string> includedFileNames(std::string_view list, int count) {
    std::vector<std::string> names;
    std::size_t from = 0;
    while (static_cast<int>(names.size()) < count && from <= list.size()) {
        const std::size_t end = std::min(list.find(';', from), list.size());
        if (end == from) break;  // an empty name ends the list
        names.emplace_back(list.substr(from, end - from));
        from = end + 1;
    }
    return names;
}

bool isSafeIncludedName(std::string_view name) {
    if (name.empty()) return false;
    if (name.find(':') != std::string_view::npos) return false;
    if (name[0] == '\\' || name[0] == '/') return false;
    std::size_t from = 0;
    while (from <= name.size()) {
        std::size_t end = name.find_first_of("\\/", from);
        if (end == std::string_view::npos) end = name.size();
        if (climbsUp(name.substr(from, end - from))) return false;
        from = end + 1;
    }
    return true;
}

std::string includedNameDirectory(std::string_view name) {
    const std::size_t slash = name.find('\\');
    return slash == std::string_view::npos ? std::string() : std::string(name.substr(0, slash));
}

}  // namespace karvo
