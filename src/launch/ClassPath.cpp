#include "launch/ClassPath.h"

#include "config/InternalErrors.h"
#include "config/VariableExpansion.h"
#include "launch/PathList.h"

namespace karvo {
namespace {

void appendSeparatorUnlessPresent(std::string& buffer) {
    if (buffer.empty() || buffer.back() != ';') buffer += ';';
}

// A D or A entry: every piece resolved; found only when every piece exists (a list whose
// joined text were tested as one path could never be found).
bool appendPaths(std::string& buffer, const std::string& argument, ClassPathView& view) {
    std::vector<std::string> resolved;
    bool found = true;
    for (const std::string& piece : splitPathList(argument)) {
        resolved.push_back(view.resolve(piece));
        found = found && view.exists(resolved.back());
    }
    if (resolved.empty()) found = false;
    buffer += joinPathList(resolved);
    buffer += ';';
    return found;
}

// An E entry: the variable's value without one pair of enclosing quotes.
bool appendVariable(std::string& buffer, const std::string& name, bool mandatory,
                    ClassPathView& view, std::optional<ClassPathFailure>& failure) {
    const std::optional<std::string> value = view.environment(name);
    if (!value) {
        if (mandatory) failure = ClassPathFailure{Key::MessageVariableRequired, name};
        return false;
    }
    if (value->empty()) return false;
    std::string text = *value;
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.substr(1, text.size() - 2);
    }
    buffer += text;
    appendSeparatorUnlessPresent(buffer);
    return true;
}

}  // namespace

bool appendDirectoryArchives(std::string& buffer, const std::string& directory,
                             const std::string& extension, ClassPathView& view) {
    if (!view.exists(directory)) return false;
    std::string pattern = directory + "\\*";
    if (extension.empty() || extension[0] != '.') pattern += '.';
    pattern += extension;
    for (const std::string& name : view.list(pattern)) {
        buffer += view.resolve(directory + "\\" + name);
        buffer += ';';
    }
    return true;
}

std::optional<ClassPathFailure> appendConfiguredClassPath(std::string& buffer,
                                                          const std::string& entries,
                                                          ClassPathView& view) {
    view.log("classpath entry " + entries);
    for (const std::string& entry : splitPathList(entries)) {
        // Without a mandatory flag there is no argument either; such an entry means nothing
        // that could be appended.
        if (entry.size() < 2) {
            view.logError("classpath entry " + entry + " is too short; ignored");
            continue;
        }
        const char kind = entry[0];
        const bool mandatory = entry[1] == '1';
        std::string argument = entry.substr(2);
        // Left out, even an optional entry would leave the program without classes it was
        // configured with: the launch ends instead.
        if (!view.expand(argument)) {
            view.logError("classpath entry " + entry + " is too long once expanded");
            return ClassPathFailure{Key::MessageInternalError,
                                    std::string(InternalError::ExpansionTooLong)};
        }
        bool found = false;
        std::optional<ClassPathFailure> failure;
        switch (kind) {
            case 'S': {
                const std::string directory = view.resolve(argument);
                found = appendDirectoryArchives(buffer, directory, "jar", view);
                found = appendDirectoryArchives(buffer, directory, "zip", view) || found;
                break;
            }
            case 'D':
            case 'A':
                found = appendPaths(buffer, argument, view);
                break;
            case 'E':
                found = appendVariable(buffer, argument, mandatory, view, failure);
                break;
            default:
                break;
        }
        if (failure) return failure;
        if (mandatory && !found)
            return ClassPathFailure{Key::MessageClassPathEntryMissing, argument};
    }
    return std::nullopt;
}

ClassPathOutcome buildClassPathOption(const ClassPathSettings& settings, ClassPathView& view,
                                      std::size_t maxLength) {
    ClassPathOutcome outcome;
    std::string& buffer = outcome.option;
    buffer = "-Djava.class.path=";
    if (settings.prefix) buffer += *settings.prefix + ";";
    if (!settings.launcherTempDir.empty()) {
        const std::string user = settings.launcherTempDir + "\\user";
        appendDirectoryArchives(buffer, settings.launcherTempDir, "jar", view);
        appendDirectoryArchives(buffer, settings.launcherTempDir, "zip", view);
        appendDirectoryArchives(buffer, user, "jar", view);
        appendDirectoryArchives(buffer, user, "zip", view);
    }
    if (settings.tesselApplicationDir) {
        buffer += *settings.tesselApplicationDir;
        if (buffer.back() != '\\') buffer += '\\';
        buffer += ".tessel\\tslruntime.jar;";
    }
    if (settings.replacement) {
        buffer += *settings.replacement;
    } else {
        outcome.failure = appendConfiguredClassPath(buffer, settings.configuredEntries, view);
        if (outcome.failure) return outcome;
    }
    if (settings.suffix) {
        appendSeparatorUnlessPresent(buffer);
        buffer += *settings.suffix;
    }
    // The VM would get a class path with entries cut off or missing: refuse instead.
    if (buffer.size() > maxLength) {
        view.logError("class path option of " + std::to_string(buffer.size()) +
                      " characters exceeds " + std::to_string(maxLength));
        outcome.failure = ClassPathFailure{Key::MessageInternalError,
                                           std::string(InternalError::ClassPathTooLong)};
    }
    return outcome;
}

}  // namespace karvo
