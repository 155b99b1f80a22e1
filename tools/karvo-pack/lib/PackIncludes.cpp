#include "PackIncludes.h"

#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "IncludedFileName.h"
#include "PackValues.h"
#include "WindowsText.h"
#include "support/TextLimits.h"

namespace karvo::pack {
namespace {

// A source's bytes; totalSize adds up every source read so far.
std::vector<std::uint8_t> readSource(const toml::node& node, const std::string& name,
                                     const std::string& sourceName,
                                     const std::filesystem::path& baseDirectory,
                                     std::uint64_t& totalSize) {
    const std::filesystem::path given = pathFromUtf8(node.as_string()->get());
    const auto path = given.is_absolute() ? given : baseDirectory / given;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        refuse(node, sourceName,
               "included file '" + name + "': source " + utf8FromPath(path) +
                   (std::filesystem::exists(path, error) ? " is not a file" : " does not exist"));
    }
    const auto size = std::filesystem::file_size(path, error);
    totalSize += error ? 0 : size;
    if (totalSize > MaxOutputSize) {
        refuse(node, sourceName, "the included files are larger than the packer's limit of 2 GiB");
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
    if (in.bad() || error) {
        refuse(node, sourceName, "included file '" + name + "': cannot read " + utf8FromPath(path));
    }
    return data;
}

}  // namespace

std::vector<IncludedFile> readIncludeTables(const toml::node& node, const std::string& sourceName,
                                            const std::filesystem::path& baseDirectory) {
    std::vector<IncludedFile> files;
    std::uint64_t totalSize = 0;
    const auto* entries = node.as_array();
    if (!entries) refuse(node, sourceName, "included files are written as [[include]] tables");
    std::set<std::string> seen;
    for (const auto& element : *entries) {
        const auto& table = tableOf(element, "an [[include]] entry", sourceName);
        for (const auto& [key, value] : table) {
            if (key.str() != "name" && key.str() != "source")
                refuse(value, sourceName, "an [[include]] table holds only name and source");
        }
        const auto* nameNode = table.get("name");
        const auto* sourceNode = table.get("source");
        if (!nameNode || !sourceNode)
            refuse(element, sourceName, "an [[include]] table needs both name and source");
        const std::string name =
            narrowString(*nameNode, "included file name", MaxTextLength, sourceName);
        const std::string shown = nameNode->as_string()->get();
        if (const auto problem = includedFileNameProblem(name))
            refuse(*nameNode, sourceName, "included file name '" + shown + "' " + *problem);
        std::string folded = name;
        for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!seen.insert(folded).second) {
            refuse(*nameNode, sourceName,
                   "included file name '" + shown + "' is used twice (Windows ignores case)");
        }
        if (!sourceNode->is_string()) refuse(*sourceNode, sourceName, "source must be a string");
        files.push_back(
            {name, readSource(*sourceNode, shown, sourceName, baseDirectory, totalSize)});
    }
    if (const std::string names = includedFileNames(files); names.size() > MaxTextLength) {
        refuse(node, sourceName,
               "the included file names are " + std::to_string(names.size()) +
                   " characters long together; the launcher accepts at most " +
                   std::to_string(MaxTextLength));
    }
    return files;
}

std::string includedFileNames(const std::vector<IncludedFile>& files) {
    std::string names;
    for (const auto& file : files) names += (names.empty() ? "" : ";") + file.name;
    return names;
}

void includeRuntimeJar(PackInput& input, std::vector<std::uint8_t> data) {
    std::map<ConfigKey, std::string> texts(input.block.texts.begin(), input.block.texts.end());
    std::string& names = texts[Key::IncludedFileNames];
    names += (names.empty() ? "" : ";") + input.runtimeJarName;
    if (names.size() > MaxTextLength) {
        throw PackError("the included file names and " + input.runtimeJarName +
                        " are longer together than the launcher accepts (" +
                        std::to_string(MaxTextLength) + " characters)");
    }
    input.files.push_back({input.runtimeJarName, std::move(data)});
    texts[Key::IncludedFileCount] = std::to_string(input.files.size());
    input.block.texts.assign(texts.begin(), texts.end());
    input.wantsRuntimeJar = false;
}

}  // namespace karvo::pack
