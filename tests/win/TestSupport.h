// Helpers for the Windows tests: configured executables made from the real template,
// scratch directories, and child processes with captured output and a time limit.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "config/ConfigBlock.h"

namespace karvo::test {

// The directory that holds the test program and every built artifact, with a trailing "\".
const std::string& buildDirectory();
// The launcher template.
std::string templatePath();

// A name no other test uses in this prefix (services and registry keys are shared).
std::string uniqueName(const std::string& prefix);

// A fresh directory under the build tree, removed with everything in it at the end.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

void removeTree(const std::string& path);
bool writeFile(const std::string& path, const std::string& contents);
std::optional<std::string> readFile(const std::string& path);

// A block with the given texts (key, value) and the packer's default messages.
ConfigBlock blockWith(std::map<ConfigKey, std::string> texts,
                      std::map<ConfigKey, std::u16string> wides = {});

// Writes the template with the block appended to path.
void writeConfiguredExe(const std::string& path, const ConfigBlock& block,
                        const std::vector<IncludedFile>& files = {});

struct RunResult {
    DWORD exitCode = 0;
    std::string out;
    std::string err;
    bool timedOut = false;
};

struct RunOptions {
    DWORD timeoutMs = 30000;
    std::map<std::string, std::string> environment;  // added to (or replacing) the inherited one
    std::vector<std::string> unsetEnvironment;
    std::string input;                                // written to standard input, then closed
    std::string workingDirectory;
    DWORD creationFlags = 0;  // added to CreateProcess's flags
    // Called with the process's id once it runs, before the wait for its end (which the
    // time limit still bounds): a test acts on the running process here.
    std::function<void(DWORD processId)> whileRunning;
};

// Runs a command line, captures both streams, kills it when the time limit passes.
RunResult runProcess(const std::string& commandLine, const RunOptions& options = {});

// Lines without carriage returns.
std::vector<std::string> lines(const std::string& text);

}  // namespace karvo::test
