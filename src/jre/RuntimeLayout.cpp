#include "jre/RuntimeLayout.h"

namespace karvo {

std::optional<std::string> javaExeDirectory(std::string_view javaExePath) {
    const std::size_t drop = javaExePath.ends_with("javaw.exe") ? 9 : 8;
    if (javaExePath.size() < drop) return std::nullopt;
    return std::string(javaExePath.substr(0, javaExePath.size() - drop));
}

std::optional<std::string> javaBinDirectory(std::string_view javaExePath) {
    auto directory = javaExeDirectory(javaExePath);
    if (!directory || directory->empty()) return std::nullopt;
    directory->pop_back();
    return directory;
}

std::optional<std::string> embeddedJreJavaExe(std::string_view javaExePath) {
    auto directory = javaExeDirectory(javaExePath);
    if (!directory) return std::nullopt;
    return *directory + "..\\jre\\bin\\java.exe";
}

std::string windowedJavaExe(std::string_view javaExePath) {
    if (javaExePath.size() < 4) return std::string(javaExePath) + "w.exe";
    return std::string(javaExePath.substr(0, javaExePath.size() - 4)) + "w.exe";
}

std::optional<std::string> appendToPathList(std::string_view path, std::string_view directory,
                                            std::size_t maxLength) {
    if (path.size() + 1 + directory.size() > maxLength) return std::nullopt;
    std::string out(path);
    out += ';';
    out += directory;
    return out;
}

std::string unpackArguments(std::string_view packFile, std::string_view jarFile) {
    std::string out = "-r \"";
    out += packFile;
    out += "\" \"";
    out += jarFile;
    out += '"';
    return out;
}

}  // namespace karvo
