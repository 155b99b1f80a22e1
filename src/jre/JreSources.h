// The places the runtime search looks in. Each check leaves the accepted java executable in
// javaExePath and returns true, or returns false and the search goes on with the next one.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace karvo {

// What searchJvm found, which decides the message when the JVM library will not load.
enum class LocationKind { None = 0, SearchPath = 1, Directory = 2, EnvironmentVariable = 3, Registry = 4 };

LocationKind searchJvm(std::string& javaExePath, std::string& locationText);

// The application directory (key 10003, or the executable's directory) without a trailing
// backslash.
std::string applicationDirectory();
// The first line of the application directory's file named by suffix, without its line
// ends; false when the file is missing or empty.
bool readLocationFile(std::string& line, std::string_view suffix);

bool checkLocation(std::string& javaExePath, const std::string& directory, std::string_view min,
                   std::string_view max, bool relativePass);
bool checkEnvironmentVariable(std::string& javaExePath, const std::string& variableName,
                              std::string_view min, std::string_view max);
bool checkSearchPath(std::string& javaExePath, std::string_view min, std::string_view max);
bool checkPreviousInstallation(std::string& javaExePath, HKEY root, std::string_view min,
                               std::string_view max);
bool checkRegistryJvms(std::string& javaExePath, std::string_view min, std::string_view max);
bool findJavaSoftJvm(std::string& javaExePath, std::string& version, std::string_view min,
                     std::string_view max);
// The runtimes listed by today's installers (InstalledJvmSources), newest first.
bool findInstalledJvm(std::string& javaExePath, std::string& version, std::string_view min,
                      std::string_view max);
bool findLocatedJvm(std::string& javaExePath, std::string& version, std::string_view min,
                    std::string_view max);

inline constexpr const char* JavaSoftRuntimeKey = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
inline constexpr const char* JavaSoftJdkKey = "SOFTWARE\\JavaSoft\\Java Development Kit";
inline constexpr const char* InstallationsKey = "SOFTWARE\\norvale-soft\\tessel\\installations";

}  // namespace karvo
