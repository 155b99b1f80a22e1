// The layout of a runtime directory: where a java executable's directory, bin directory,
// windowed sibling and embedded runtime are, the PATH that reaches its libraries, and the
// jars of a packed runtime.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace karvo {

// A java executable's directory with its trailing backslash: "javaw.exe" (compared
// case-sensitively) loses 9 characters, any other path its last 8. Nothing for a path too
// short to hold the file name.
std::optional<std::string> javaExeDirectory(std::string_view javaExePath);
// The same directory without its backslash, the runtime's bin directory.
std::optional<std::string> javaBinDirectory(std::string_view javaExePath);
// The runtime embedded in a JDK, reached from the JDK's bin directory.
std::optional<std::string> embeddedJreJavaExe(std::string_view javaExePath);
// "...\java.exe" becomes "...\javaw.exe" (the last four characters become "w.exe").
std::string windowedJavaExe(std::string_view javaExePath);

// The PATH with the bin directory appended after a ";", or nothing when it would not fit.
std::optional<std::string> appendToPathList(std::string_view path, std::string_view directory,
                                            std::size_t maxLength);

// The jars of a packed runtime, restored in this order; the last one marks completion.
inline constexpr std::string_view PackedJars[] = {
    "lib\\rt.jar",     "lib\\charsets.jar",        "lib\\plugin.jar",
    "lib\\deploy.jar", "lib\\ext\\localedata.jar", "lib\\jsse.jar",
};
// The unpacker's argument text: -r "<packFile>" "<jarFile>".
std::string unpackArguments(std::string_view packFile, std::string_view jarFile);

}  // namespace karvo
