#include "PackCommands.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>

#include "IncludedFileName.h"
#include "KarvoVersion.h"
#include "PackDescription.h"
#include "PackInspect.h"
#include "PackedExecutable.h"
#include "PeVersion.h"
#include "WindowsText.h"
#include "config/SettingBounds.h"

namespace karvo::pack {
namespace {

constexpr const char* Usage =
    "usage: karvo-pack build CONFIG.toml --template TEMPLATE.exe --out OUTPUT.exe\n"
    "       karvo-pack inspect EXECUTABLE.exe [--extract DIR]\n"
    "       karvo-pack keys\n"
    "       karvo-pack --version\n"
    "\n"
    "build    writes OUTPUT.exe: the template with the configuration of CONFIG.toml appended\n"
    "inspect  prints the configuration of a configured executable in the form build reads;\n"
    "         --extract writes its included files to DIR and names them as sources\n"
    "keys     lists every setting with its key number, kind and meaning\n"
    "--version prints the packer's version, which is also the version of the templates it\n"
    "         comes with\n";

// Options of the form "--name value" anywhere, the rest positional.
struct CommandLine {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
};

std::optional<CommandLine> parse(const std::vector<std::string>& arguments,
                                 const std::vector<std::string>& known, std::string& error) {
    CommandLine line;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!argument.starts_with("--")) {
            line.positional.push_back(argument);
            continue;
        }
        if (std::find(known.begin(), known.end(), argument) == known.end()) {
            error = "unknown option " + argument;
            return std::nullopt;
        }
        if (i + 1 >= arguments.size()) {
            error = argument + " needs a value";
            return std::nullopt;
        }
        if (!line.options.emplace(argument, arguments[++i]).second) {
            error = argument + " is given twice";
            return std::nullopt;
        }
    }
    return line;
}

std::vector<std::uint8_t> readBinary(const std::filesystem::path& path, const std::string& role) {
    std::error_code code;
    if (!std::filesystem::exists(path, code))
        throw PackError("the " + role + " " + utf8FromPath(path) + " does not exist");
    if (!std::filesystem::is_regular_file(path, code))
        throw PackError("the " + role + " " + utf8FromPath(path) + " is not a file");
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (!in && !in.eof()) throw PackError("cannot read the " + role + " " + utf8FromPath(path));
    return bytes;
}

// Writes beside the target and renames, so that a failure never leaves a partial file and
// an existing file is replaced only by a complete one.
void writeAtomically(const std::filesystem::path& target, const std::vector<std::uint8_t>& bytes) {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    auto temporary = target;
    temporary += ".part" + std::to_string(stamp);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw PackError("cannot write " + utf8FromPath(target));
        }
    }
    std::error_code code;
    std::filesystem::rename(temporary, target, code);
    if (code) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw PackError("cannot write " + utf8FromPath(target) + ": " + code.message());
    }
}

int build(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    std::string error;
    const auto line = parse(arguments, {"--template", "--out"}, error);
    if (line && (line->positional.size() != 1 || !line->options.count("--template") ||
                 !line->options.count("--out")))
        error = "build needs CONFIG.toml, --template and --out";
    if (!error.empty()) {
        err << "karvo-pack: " << error << "\n" << Usage;
        return ExitUsage;
    }
    const auto config = pathFromUtf8(line->positional[0]);
    const auto templatePath = pathFromUtf8(line->options.at("--template"));
    const auto output = pathFromUtf8(line->options.at("--out"));

    const PackInput input = readDescriptionFile(config);
    const auto templateBytes = readBinary(templatePath, "template");
    std::error_code code;
    if (std::filesystem::equivalent(templatePath, output, code))
        throw PackError("--out names the template itself; choose another output file");
    std::vector<std::uint8_t> bytes;
    if (!appendBlock(templateBytes, input.block, input.files, bytes, error))
        throw PackError(error + ": " + utf8FromPath(templatePath));
    if (bytes.size() > MaxOutputSize)
        throw PackError("the configured executable would be larger than 2 GiB");
    writeAtomically(output, bytes);

    for (const auto& warning : input.warnings) err << "karvo-pack: warning: " << warning << "\n";
    out << "wrote " << utf8FromPath(output) << ": " << bytes.size() << " bytes ("
        << launcherWidthLine(readPeMachine(templateBytes)) << "; configuration "
        << bytes.size() - templateBytes.size() << " bytes, " << input.files.size()
        << " included files)\n";
    return ExitSuccess;
}

void extract(const PackedConfiguration& config, const std::filesystem::path& directory) {
    // The names come from a file the user may not have made: check all before writing any.
    for (const auto& file : config.files) {
        if (const auto problem = includedFileNameProblem(file.name)) {
            throw PackError("the executable names an included file '" +
                            windows1252ToUtf8(file.name) + "' that " + *problem +
                            "; nothing was extracted");
        }
    }
    for (const auto& file : config.files) {
        const auto path = extractedPath(directory, file.name);
        std::error_code code;
        std::filesystem::create_directories(path.parent_path(), code);
        if (code) throw PackError("cannot create " + utf8FromPath(path.parent_path()) + ": " + code.message());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data.data()),
                  static_cast<std::streamsize>(file.data.size()));
        out.close();
        if (!out) throw PackError("cannot write " + utf8FromPath(path));
    }
}

int inspect(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    std::string error;
    const auto line = parse(arguments, {"--extract"}, error);
    if (line && line->positional.size() != 1) error = "inspect needs one EXECUTABLE.exe";
    if (!error.empty()) {
        err << "karvo-pack: " << error << "\n" << Usage;
        return ExitUsage;
    }
    const auto executable = pathFromUtf8(line->positional[0]);
    const auto bytes = readBinary(executable, "executable");
    const auto read = readPackedExecutable(bytes);
    if (read.problem != ReadProblem::None)
        throw PackError(utf8FromPath(executable) + " " + read.message);

    DescribeOptions options;
    options.executableName = utf8FromPath(executable.filename());
    const auto version = peFileVersion(bytes);
    options.templateVersion = version
                                  ? "Built from the karvo " + *version + " launcher template."
                                  : "Built from a launcher template without a version resource.";
    options.machine = readPeMachine(bytes);
    if (line->options.count("--extract")) {
        options.extractDirectory = std::filesystem::absolute(pathFromUtf8(line->options.at("--extract")));
        extract(read.configuration, *options.extractDirectory);
    }
    const auto description = describeConfiguration(read.configuration, options);
    for (const auto& warning : description.warnings) err << "karvo-pack: warning: " << warning << "\n";
    out << description.toml;
    return ExitSuccess;
}

int keys(std::ostream& out) {
    static const std::map<KeyKind, const char*> kinds{{KeyKind::Text, "text"},
                                                      {KeyKind::Wide, "wide"},
                                                      {KeyKind::Int, "integer"},
                                                      {KeyKind::Flag, "flag"}};
    for (const auto& info : configKeyTable()) {
        std::string name(info.name);
        if (name.starts_with(MessagePrefix)) name = "[messages] " + name.substr(MessagePrefix.size());
        out << info.number << "\t" << kinds.at(info.kind) << "\t" << name << "\t" << info.summary;
        if (const IntegerBounds* bounds = findIntegerBounds(info.number)) {
            const auto unit = unitName(bounds->unit);
            out << " [" << bounds->least << " to " << bounds->most << (unit.empty() ? "" : " ")
                << unit << "]";
        }
        out << "\n";
    }
    return ExitSuccess;
}

}  // namespace

int runPacker(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    const std::string command = arguments.empty() ? "" : arguments[0];
    try {
        if (command == "build") return build(arguments, out, err);
        if (command == "inspect") return inspect(arguments, out, err);
        if (command == "keys" && arguments.size() == 1) return keys(out);
        if (command == "--version" && arguments.size() == 1) {
            out << "karvo-pack " << KARVO_VERSION_TEXT << "\n";
            return ExitSuccess;
        }
        if (command == "--help" || command == "-h" || command == "help") {
            out << Usage;
            return ExitSuccess;
        }
    } catch (const PackError& error) {
        err << "karvo-pack: error: " << error.what() << "\n";
        return ExitFailure;
    } catch (const std::exception& error) {
        err << "karvo-pack: error: " << error.what() << "\n";
        return ExitFailure;
    }
    err << "karvo-pack: " << (command.empty() ? "no command given" : "unknown command '" + command + "'")
        << "\n" << Usage;
    return ExitUsage;
}

}  // namespace karvo::pack
