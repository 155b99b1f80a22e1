// Collecting the VM options of the configured arguments and the option files, with the
// directives that steer the class path and the includes of further files.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace karvo {

struct VmOptionSet {
    std::vector<std::string> options;
    std::optional<std::string> classPathReplacement;
    std::optional<std::string> classPathPrefix;
    std::optional<std::string> classPathSuffix;
};

// What collecting needs from the system.
class VmOptionSources {
public:
    virtual ~VmOptionSources() = default;
    // Launcher variables, in place; false when the text cannot be expanded (left unchanged),
    // and the line is then skipped. The launcher's own source ends the process instead.
    virtual bool expand(std::string& text) = 0;
    // A path resolved against the directory of baseFile, or of the executable without one.
    virtual std::string resolve(const std::string& path, const std::string* baseFile) = 0;
    // A spelling that is the same for every way of naming one file, to recognise a file
    // that is already being read.
    virtual std::string identity(const std::string& path) = 0;
    // The text-mode contents of an included file, or nothing when it cannot be opened.
    // expandedPath is the name as written after expansion, for the log.
    virtual std::optional<std::string> readIncluded(const std::string& resolvedPath,
                                                    const std::string& expandedPath) = 0;
    virtual void logError(const std::string& line) = 0;
};

// Nesting deeper than this is refused even when no file repeats.
inline constexpr std::size_t MaxIncludeDepth = 16;
// Includes followed in one collection, all files together. Without it a few short files
// that include each other's successors many times over (no cycle, no deep nesting) would
// be read an exponential number of times and hold the launcher at start-up for hours.
inline constexpr std::size_t MaxIncludeCount = 256;

class VmOptionCollector {
public:
    explicit VmOptionCollector(VmOptionSources& sources) : sources_(sources) {}

    // One option text or directive; includes are resolved against baseFile.
    void handleLine(const std::string* baseFile, const std::string& text);
    // Every line of a file's contents; path is the file itself (its includes are resolved
    // against it), or nothing for the default file, whose includes go against the
    // executable's directory. name is how the log names the file.
    void readFile(const std::string& contents, const std::string* path, const std::string& name);

    // The option file at path beside the executable: its includes go against the
    // executable's directory, and identity names it so that it cannot be included again.
    void readDefaultFile(const std::string& contents, const std::string& path,
                         const std::string& identity);

    void addOption(std::string option) { set_.options.push_back(std::move(option)); }
    VmOptionSet& result() { return set_; }

private:
    void include(const std::string* baseFile, const std::string& name);

    VmOptionSources& sources_;
    VmOptionSet set_;
    std::vector<std::string> reading_;  // identities of the files being read, outermost first
    std::size_t includes_ = 0;          // includes followed so far
};

}  // namespace karvo
