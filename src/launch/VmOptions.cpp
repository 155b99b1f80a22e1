#include "launch/VmOptions.h"

#include <windows.h>

#include <cstdio>
#include <deque>

#include "config/ExecutablePath.h"
#include "config/LauncherConfig.h"
#include "config/LauncherVariables.h"
#include "config/Messages.h"
#include "config/PathOps.h"
#include "config/ProductFlavour.h"
#include "config/TempDirectory.h"
#include "launch/ArgumentSplitter.h"
#include "launch/ClassPath.h"
#include "launch/VmOptionFile.h"
#include "launch/VmOptionSet.h"
#include "support/Log.h"
#include "support/TextConv.h"
#include "support/TextLimits.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

// The option strings handed to the VM stay valid for the life of the process.
std::deque<std::string>& optionStorage() {
    static std::deque<std::string> storage;
    return storage;
}

// The whole text-mode contents: the C runtime turns line ends into line feeds and stops at
// the end-of-file character, as a line reader over the same file would.
std::string readAll(std::FILE* file) {
    std::string contents;
    char buffer[8192];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) contents.append(buffer, got);
    return contents;
}

class WinVmOptionSources final : public VmOptionSources {
public:
    // An option that would outgrow its limit ends the launch rather than being left out:
    // the program would otherwise run without a setting it was configured with.
    bool expand(std::string& text) override {
        expandLauncherVariablesOrExit(text);
        return true;
    }
    std::string resolve(const std::string& path, const std::string* baseFile) override {
        return resolvePath(path, baseFile);
    }
    std::string identity(const std::string& path) override { return normalizePath(path, false); }
    std::optional<std::string> readIncluded(const std::string& resolvedPath,
                                            const std::string& expandedPath) override {
        UniqueFile file(std::fopen(resolvedPath.c_str(), "r"));
        logMessage("adding vmoptions from <%s> (%s) (%p)", resolvedPath.c_str(),
                   expandedPath.c_str(), static_cast<void*>(file.get()));
        if (!file) return std::nullopt;
        return readAll(file.get());
    }
    void logError(const std::string& line) override { karvo::logError("%s", line.c_str()); }
};

class WinClassPathView final : public ClassPathView {
public:
    bool expand(std::string& text) override { return expandLauncherVariables(text); }
    std::string resolve(const std::string& path) override { return resolvePath(path); }
    bool exists(const std::string& path) override { return pathExists(path); }
    std::vector<std::string> list(const std::string& pattern) override {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data;
        UniqueFind find(FindFirstFileA(pattern.c_str(), &data));
        if (!find) return names;
        do {
            names.emplace_back(data.cFileName);
        } while (FindNextFileA(find.get(), &data));
        return names;
    }
    std::optional<std::string> environment(const std::string& name) override {
        // Values longer than a configured text are taken whole; the class path limit still
        // applies to the option as a whole.
        std::vector<char> buffer(MaxTextLength + 1);
        for (;;) {
            SetLastError(ERROR_SUCCESS);
            const DWORD length = GetEnvironmentVariableA(name.c_str(), buffer.data(),
                                                         static_cast<DWORD>(buffer.size()));
            if (length == 0) {
                if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
                return std::string();
            }
            if (length < buffer.size()) return std::string(buffer.data(), length);
            buffer.resize(length);
        }
    }
    void log(const std::string& line) override { logMessage("%s", line.c_str()); }
    void logError(const std::string& line) override { karvo::logError("%s", line.c_str()); }
};

void addConfiguredVmArguments(VmOptionCollector& collector,
                              const std::vector<std::u16string>& arguments) {
    std::string configured = getConfigString(Key::VmArguments);
    expandLauncherVariablesOrExit(configured);
    const std::vector<std::string> split = splitArgumentsAnsi(configured);
    logMessage("adding options\n");
    for (const std::string& text : joinIncludeArguments(split)) collector.handleLine(nullptr, text);
    if (getConfigInt(Key::JArgumentsToVm) == 0) return;
    for (const std::u16string& argument : arguments) {
        if (const auto option = jArgumentOption(argument)) {
            collector.handleLine(nullptr, toNarrow(*option, CP_ACP));
        }
    }
}

// The option file beside the executable: "server.vmoptions" for server.exe, else
// "server.exe.vmoptions".
UniqueFile openDefaultVmOptionsFile(std::string& path) {
    const std::string& executable = getExecutablePath();
    const std::string longForm = getLongPathName(executable).value_or(executable);
    path = longForm.substr(0, longForm.size() >= 4 ? longForm.size() - 4 : 0) + ".vmoptions";
    UniqueFile file(std::fopen(path.c_str(), "r"));
    logMessage("vmoptions: exe file: %s, long: %s, opts1: %s, file: %p", executable.c_str(),
               longForm.c_str(), path.c_str(), static_cast<void*>(file.get()));
    if (file) return file;
    path = longForm + ".vmoptions";
    file.reset(std::fopen(path.c_str(), "r"));
    logMessage("vmoptions: opts2: %s, file: %p", path.c_str(), static_cast<void*>(file.get()));
    return file;
}

std::string buildClassPath(const VmOptionSet& set) {
    ClassPathSettings settings;
    settings.prefix = set.classPathPrefix;
    settings.replacement = set.classPathReplacement;
    settings.suffix = set.classPathSuffix;
    settings.launcherTempDir = launcherTempDir();
    if (isTesselFlavour()) {
        settings.tesselApplicationDir =
            normalizePath(getConfigString(Key::ApplicationDirectory), true);
    }
    settings.configuredEntries = getConfigString(Key::ClassPath);
    WinClassPathView view;
    ClassPathOutcome outcome = buildClassPathOption(settings, view, MaxClassPathOptionLength);
    if (outcome.failure)
        exitWithConfiguredMessage(outcome.failure->message, outcome.failure->argument);
    return std::move(outcome.option);
}

}  // namespace

void buildVmInitArgs(JavaVMInitArgs& args, const std::vector<std::string>& launchProperties,
                     const std::vector<std::u16string>& arguments) {
    WinVmOptionSources sources;
    VmOptionCollector collector(sources);
    for (const std::string& property : launchProperties) collector.addOption(property);
    addConfiguredVmArguments(collector, arguments);

    std::string defaultPath;
    UniqueFile defaultFile = openDefaultVmOptionsFile(defaultPath);
    logMessage("default vmoptions file: %p", static_cast<void*>(defaultFile.get()));
    if (defaultFile) {
        const std::string contents = readAll(defaultFile.get());
        defaultFile.reset();
        collector.readDefaultFile(contents, defaultPath, normalizePath(defaultPath, false));
    }
    collector.addOption(buildClassPath(collector.result()));

    std::deque<std::string>& storage = optionStorage();
    const std::vector<std::string>& options = collector.result().options;
    args = JavaVMInitArgs{};
    args.version = JNI_VERSION_1_2;
    args.ignoreUnrecognized = JNI_TRUE;
    args.nOptions = static_cast<jint>(options.size());
    args.options = new JavaVMOption[options.size()];
    logMessage("vmoption count %d", static_cast<int>(args.nOptions));
    for (std::size_t i = 0; i < options.size(); ++i) {
        storage.push_back(options[i]);
        logMessage("vmoption %d: %s", static_cast<int>(i), storage.back().c_str());
        args.options[i].optionString = storage.back().data();
        args.options[i].extraInfo = nullptr;
    }
}

}  // namespace karvo
