// Path rules that need no file system: the launcher's notion of an absolute path and the
// collapsing of doubled backslashes. Templates so they serve 8-bit and UTF-16 texts alike.
#pragma once
#include <string>
#include <string_view>

namespace karvo {

// Keeps the first two characters (the leading pair of a UNC path) and drops every
// backslash that directly follows a kept backslash.
template <typename Char>
std::basic_string<Char> collapseDoubledBackslashes(std::basic_string_view<Char> path) {
    std::basic_string<Char> out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        const Char c = path[i];
        if (i >= 2 && c == Char('\\') && !out.empty() && out.back() == Char('\\')) continue;
        out.push_back(c);
    }
    return out;
}

// "X:\..." and "\\..." are absolute, also behind one opening double quote. Forward
// slashes are not recognised, and very short texts are always relative.
inline bool isAbsolutePath(std::string_view path) {
    if (!path.empty() && path[0] == '"') {
        if (path.size() <= 3) return false;
        return path.substr(2, 2) == ":\\" || path.substr(1, 2) == "\\\\";
    }
    if (path.size() <= 2) return false;
    return path.substr(1, 2) == ":\\" || path.substr(0, 2) == "\\\\";
}

// The directory part of a path including its trailing backslash ("" when there is none).
inline std::string_view directoryOf(std::string_view path) {
    const auto slash = path.find_last_of('\\');
    return slash == std::string_view::npos ? std::string_view{} : path.substr(0, slash + 1);
}

}  // namespace karvo
