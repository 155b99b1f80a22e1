// What the in-process launch hands to the Java side: the "-D" launch properties in front of
// the VM options, and the parameter array of the runtime class's main. Built from values
// the caller gathered, so the rules can be checked without a VM.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace karvo {

struct LaunchPropertyInputs {
    bool tessel = false;
    std::string executablePath;
    std::optional<std::string> processCommFile;  // only when key 10005 asks for it
    std::string tempDirectory;                   // LauncherTempDir, empty when unused
    std::int64_t unextractedPosition = 0;
    std::string path;                            // the PATH variable, "" when unset
    bool manPathSet = false;
    unsigned consoleOutputCodePage = 0;
    std::int64_t outputMaxSize = 0;  // bytes after which output files roll; 0 or less: never
    std::int64_t outputKeep = 0;     // rolled files kept; less than 1 keeps one
};

// The launch properties in their fixed order, each at most maxOptionLength characters.
// The rolling limits follow the others, and only when output files roll at all, so that a
// configuration without them hands the Java side exactly what it always did.
// A PATH that does not fit keeps its leading whole entries (the launcher put the native
// library directories first); shortened reports whether entries were dropped.
std::vector<std::string> buildLaunchPropertyList(const LaunchPropertyInputs& in,
                                                 std::size_t maxOptionLength,
                                                 bool* shortened = nullptr);

// The longest prefix of a ";"-separated list, cut only after a whole entry, that has at
// most maxLength characters.
std::string_view fitPathList(std::string_view list, std::size_t maxLength);

struct RuntimeParameterInputs {
    int launcherType = 0;
    std::u16string mainClass;
    std::u16string stdErrFile;   // "" when not redirected
    std::u16string stdOutFile;
    bool appendRedirection = false;
    std::vector<std::u16string> programArguments;  // key 124, already split
    std::vector<std::u16string> arguments;         // the command line (service name first)
    bool jArgumentsToVm = false;
};

// The runtime class's parameters: GUI flag, main class, the two redirection files, the
// append flag, the first command-line argument, the configured program arguments, then
// the other command-line arguments (without "-J" ones when those go to the VM).
std::vector<std::u16string> buildRuntimeParameters(const RuntimeParameterInputs& in);

// The flavour's runtime class, in the slash form FindClass takes.
std::string runtimeClassName(bool tessel);
std::string toClassLookupName(std::string_view className);

}  // namespace karvo
