// Assembly of the "-Djava.class.path=" option over a small view of the file system and the
// environment, so that its order and its rules can be tested without either.
#pragma once
#include <optional>
#include <string_view>
#include <string>
#include <vector>

#include "config/ConfigKeys.h"

namespace karvo {

class ClassPathView {
public:
    virtual ~ClassPathView() = default;
    // Launcher variables, in place; false when the text cannot be expanded (left unchanged).
    virtual bool expand(std::string& text) = 0;
    // A relative path gets the executable's directory in front.
    virtual std::string resolve(const std::string& path) = 0;
    virtual bool exists(const std::string& path) = 0;
    // The names (not paths) matching a pattern such as "C:\dir\*.jar", in the system's order.
    virtual std::vector<std::string> list(const std::string& pattern) = 0;
    // An environment variable's value; nothing when it is not defined.
    virtual std::optional<std::string> environment(const std::string& name) = 0;
    virtual void log(const std::string& line) = 0;
    virtual void logError(const std::string& line) = 0;
};

struct ClassPathSettings {
    std::optional<std::string> prefix;
    std::optional<std::string> replacement;
    std::optional<std::string> suffix;
    std::string launcherTempDir;                      // empty when nothing was extracted
    std::optional<std::string> tesselApplicationDir;  // full path, tessel flavour only
    std::string configuredEntries;                    // key 121
};

// Why the launch cannot go on: the message to show and its argument.
struct ClassPathFailure {
    ConfigKey message = 0;
    std::string argument;
};

struct ClassPathOutcome {
    std::string option;  // the whole "-Djava.class.path=..." text
    std::optional<ClassPathFailure> failure;
};

ClassPathOutcome buildClassPathOption(const ClassPathSettings& settings, ClassPathView& view,
                                      std::size_t maxLength);

// Appends "<directory>\<name>;" for every archive with the extension; false when the
// directory does not exist.
bool appendDirectoryArchives(std::string& buffer, const std::string& directory,
                             const std::string& extension, ClassPathView& view);

// The configured entries (kinds S, D, A and E), or the failure of a mandatory one or of
// any entry too long once its variables are expanded.
std::optional<ClassPathFailure> appendConfiguredClassPath(std::string& buffer,
                                                          const std::string& entries,
                                                          ClassPathView& view);

}  // namespace karvo
