#include "config/IncludedFileNames.h"

#include <algorithm>
#include <array>
#include <set>

namespace karvo {
namespace {

// The system drops trailing dots and blanks of a path step, so ". ." or ".. " climb as
// ".." does: any step made only of dots and blanks with two dots or more is refused.
bool climbsUp(std::string_view step) {
    const bool onlyDotsAndBlanks = step.find_first_not_of(". ") == std::string_view::npos;
    return onlyDotsAndBlanks && std::count(step.begin(), step.end(), '.') >= 2;
}

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view withoutTrailingDotsAndBlanks(std::string_view step) {
    const std::size_t last = step.find_last_not_of(". ");
    return last == std::string_view::npos ? std::string_view() : step.substr(0, last + 1);
}

// The steps of a name; either slash separates, as it does for the system.
template <typename Visit>
void forEachStep(std::string_view name, Visit visit) {
    std::size_t from = 0;
    while (from <= name.size()) {
        std::size_t end = name.find_first_of("\\/", from);
        if (end == std::string_view::npos) end = name.size();
        visit(name.substr(from, end - from));
        from = end + 1;
    }
}

}  // namespace

bool isReservedDeviceName(std::string_view step) {
    std::string_view stem = step.substr(0, step.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    std::string upper;
    for (char c : stem) upper += upperAscii(c);
    static constexpr std::array<std::string_view, 4> Fixed{"CON", "PRN", "AUX", "NUL"};
    if (std::find(Fixed.begin(), Fixed.end(), upper) != Fixed.end()) return true;
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
           upper[3] >= '1' && upper[3] <= '9';
}

bool namesDevice(std::string_view name) {
    bool device = false;
    forEachStep(name,
                [&](std::string_view step) { device = device || isReservedDeviceName(step); });
    return device;
}

std::optional<std::size_t> firstRepeatedIncludedName(const std::vector<std::string>& names) {
    std::set<std::string> seen;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string key;
        bool first = true;
        forEachStep(names[i], [&](std::string_view step) {
            if (!first) key += '\\';
            first = false;
            for (char c : withoutTrailingDotsAndBlanks(step)) key += upperAscii(c);
        });
        if (!seen.insert(key).second) return i;
    }
    return std::nullopt;
}

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
    bool climbs = false;
    forEachStep(name, [&](std::string_view step) { climbs = climbs || climbsUp(step); });
    return !climbs;
}

std::string includedNameDirectory(std::string_view name) {
    const std::size_t slash = name.find('\\');
    return slash == std::string_view::npos ? std::string() : std::string(name.substr(0, slash));
}

}  // namespace karvo
