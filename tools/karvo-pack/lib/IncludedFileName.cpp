#include "IncludedFileName.h"

#include <vector>

#include "config/IncludedFileNames.h"

namespace karvo::pack {
namespace {

std::vector<std::string_view> parts(std::string_view name) {
    std::vector<std::string_view> result;
    std::size_t start = 0;
    for (;;) {
        const auto end = name.find('\\', start);
        result.push_back(name.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return result;
        start = end + 1;
    }
}

}  // namespace

std::optional<std::string> includedFileNameProblem(std::string_view name) {
    if (name.empty()) return "is empty";
    if (name.find(';') != std::string_view::npos)
        return "contains ';', which separates the names in the executable";
    if (name.find('/') != std::string_view::npos)
        return "contains '/'; use '\\' between the directory and the file name";
    if (name.find(':') != std::string_view::npos) return "has a drive or a ':'";
    if (name.front() == '\\') return "is absolute; it must be relative to the extraction directory";
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || std::string_view("<>\"|?*").find(c) != std::string_view::npos)
            return "contains a character that Windows does not allow in file names";
    }
    const auto steps = parts(name);
    for (auto part : steps) {
        if (part == "." || part == "..") return "contains a '.' or '..' step";
    }
    if (steps.size() > 2)
        return "has more than one directory level; the launcher creates only one directory";
    for (auto part : steps) {
        if (part.empty()) return "has an empty directory or file name";
        if (part.back() == '.' || part.back() == ' ')
            return "has a part that ends with '.' or a blank, which Windows drops";
        if (isReservedDeviceName(part)) return "uses a reserved device name such as NUL or COM1";
    }
    return std::nullopt;
}

}  // namespace karvo::pack
