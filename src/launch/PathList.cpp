#include "launch/PathList.h"

namespace karvo {

std::vector<std::string> splitPathList(std::string_view list) {
    std::vector<std::string> pieces;
    std::size_t from = 0;
    while (from <= list.size()) {
        std::size_t end = list.find(';', from);
        if (end == std::string_view::npos) end = list.size();
        if (end > from) pieces.emplace_back(list.substr(from, end - from));
        from = end + 1;
    }
    return pieces;
}

std::string joinPathList(const std::vector<std::string>& pieces) {
    std::string joined;
    for (const std::string& piece : pieces) {
        if (!joined.empty()) joined += ';';
        joined += piece;
    }
    return joined;
}

NativePathResult buildNativeLibraryPath(const std::vector<std::string>& directories,
                                        const std::optional<std::string>& inheritedPath,
                                        std::size_t maxLength) {
    NativePathResult result;
    for (const std::string& directory : directories) {
        const std::size_t needed = (result.path.empty() ? 0 : 1) + directory.size();
        // Room for the separator that follows the last directory is kept as well.
        if (result.path.size() + needed + 1 > maxLength) {
            result.dropped.push_back(directory);
            continue;
        }
        if (!result.path.empty()) result.path += ';';
        result.path += directory;
    }
    if (!result.path.empty() && result.path.back() != ';') result.path += ';';
    if (inheritedPath && result.path.size() + inheritedPath->size() <= maxLength) {
        result.path += *inheritedPath;
        result.inheritedAppended = true;
    }
    return result;
}

}  // namespace karvo
