#include "launch/LaunchParameters.h"

#include <algorithm>

namespace karvo {
namespace {

std::string property(std::string_view name, std::string_view value) {
    std::string text = "-D";
    text += name;
    text += '=';
    text += value;
    return text;
}

}  // namespace

std::string_view fitPathList(std::string_view list, std::size_t maxLength) {
    if (list.size() <= maxLength) return list;
    // Cut before the separator that ends the last whole entry still within the limit.
    const auto cut = list.substr(0, maxLength + 1).find_last_of(';');
    return cut == std::string_view::npos ? std::string_view{} : list.substr(0, cut);
}

std::vector<std::string> buildLaunchPropertyList(const LaunchPropertyInputs& in,
                                                 std::size_t maxOptionLength, bool* shortened) {
    std::vector<std::string> out;
    if (in.tessel) out.push_back(property("karvo.isTessel", "true"));
    out.push_back(property("karvo.isService", "true"));
    out.push_back(property("karvo.moduleName", in.executablePath));
    out.push_back(property("sun.java.command", in.executablePath));
    if (in.processCommFile) out.push_back(property("karvo.processCommFile", *in.processCommFile));
    out.push_back(property("karvo.tempDir", in.tempDirectory));
    out.push_back(property("karvo.unextractedPosition", std::to_string(in.unextractedPosition)));

    const std::string_view libraryPrefix = "-Djava.library.path=";
    const std::size_t room =
        maxOptionLength > libraryPrefix.size() ? maxOptionLength - libraryPrefix.size() : 0;
    const std::string_view libraryPath = fitPathList(in.path, room);
    if (shortened) *shortened = libraryPath.size() != in.path.size();
    out.push_back(std::string(libraryPrefix) + std::string(libraryPath));

    if (!in.manPathSet)
        out.push_back(
            property("karvo.consoleCodepage", "cp" + std::to_string(in.consoleOutputCodePage)));
    if (in.outputMaxSize > 0) {
        out.push_back(property("karvo.outputMaxSize", std::to_string(in.outputMaxSize)));
        out.push_back(property("karvo.outputKeep", std::to_string(std::max<std::int64_t>(
                                                       in.outputKeep, 1))));
    }
    return out;
}

std::vector<std::u16string> buildRuntimeParameters(const RuntimeParameterInputs& in) {
    std::vector<std::u16string> out;
    out.push_back(in.launcherType == 1 ? u"true" : u"false");
    out.push_back(in.mainClass);
    out.push_back(in.stdErrFile);
    out.push_back(in.stdOutFile);
    out.push_back(in.appendRedirection ? u"true" : u"false");
    if (!in.arguments.empty()) out.push_back(in.arguments[0]);
    out.insert(out.end(), in.programArguments.begin(), in.programArguments.end());
    for (std::size_t i = 1; i < in.arguments.size(); ++i) {
        const auto& argument = in.arguments[i];
        if (in.jArgumentsToVm && argument.starts_with(u"-J")) continue;
        out.push_back(argument);
    }
    return out;
}

std::string toClassLookupName(std::string_view className) {
    std::string name(className);
    std::replace(name.begin(), name.end(), '.', '/');
    return name;
}

std::string runtimeClassName(bool tessel) {
    return toClassLookupName(tessel ? "com/tessel/runtime/launcher/WinLauncher"
                                    : "com/karvo/runtime/WinLauncher");
}

}  // namespace karvo
