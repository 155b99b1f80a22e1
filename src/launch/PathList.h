// Lists of paths separated by ";", as configured texts and PATH hold them.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace karvo {

// The non-empty pieces between the separators, in order.
std::vector<std::string> splitPathList(std::string_view list);

std::string joinPathList(const std::vector<std::string>& pieces);

struct NativePathResult {
    std::string path;
    std::vector<std::string> dropped;  // directories that did not fit
    bool inheritedAppended = false;
};

// The PATH for the Java host: the native library directories, a ";" unless the text
// already ends with one, then the inherited PATH when it fits. maxLength bounds the whole;
// directories that would pass it are dropped rather than cut.
NativePathResult buildNativeLibraryPath(const std::vector<std::string>& directories,
                                        const std::optional<std::string>& inheritedPath,
                                        std::size_t maxLength);

}  // namespace karvo
