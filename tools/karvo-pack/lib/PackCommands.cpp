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
#include "PackIncludes.h"
#include "PackInspect.h"
#include "PackedExecutable.h"
#include "PackStarter.h"
#include "PeVersion.h"
#include "WindowsText.h"
#include "config/SettingBounds.h"

namespace karvo::pack {
namespace {

constexpr const char* Usage =
    "usage: karvo-pack build CONFIG.toml --template TEMPLATE.exe --out OUTPUT.exe\n"
    "                  [--runtime-jar JAR]\n"
    "       karvo-pack inspect EXECUTABLE.exe [--extract DIR] [--all]\n"
    "       karvo-pack init [DIR]\n"
    "       karvo-pack keys\n"
    "       karvo-pack --version\n"
    "\n"
    "build    writes OUTPUT.exe: the template with the configuration of CONFIG.toml appended\n"
    "         and the runtime classes' jar included (found beside karvo-pack, or JAR)\n"
    "inspect  prints the configuration of a configured executable in the form build reads,\n"
    "         leaving out what build adds by itself unless --all is given;\n"
    "         --extract writes its included files to DIR and names them as sources\n"
    "init     writes DIR/service.toml, a commented starter description for the jar in DIR\n"
    "keys     lists every setting with its key number, kind and meaning\n"
    "--version prints the packer's version, which is also the version of the templates it\n"
    "         comes with\n";

// Options of the form "--name value" anywhere, the rest positional.
struct CommandLine {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
};

// Switches (such as --all) take no value.
std::optional<CommandLine> parse(const std::vector<std::string>& arguments,
                                 const std::vector<std::string>& known, std::string& error,
                                 const std::vector<std::string>& switches = {}) {
    CommandLine line;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!argument.starts_with("--")) {
            line.positional.push_back(argument);
            continue;
        }
        if (std::find(switches.begin(), switches.end(), argument) != switches.end()) {
            if (!line.options.emplace(argument, "").second) {
                error = argument + " is given twice";
                return std::nullopt;
            }
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

// The runtime classes' jar: the one named on the command line, else the one beside the
// packer in the release archive (bin/<platform>/ and runtime/) or in the build tree
// (build/<kind>/ and build/java/).
std::vector<std::uint8_t> findRuntimeJar(const CommandLine& line, const std::string& name,
                                         const std::filesystem::path& packerDirectory) {
    if (line.options.count("--runtime-jar"))
        return readBinary(pathFromUtf8(line.options.at("--runtime-jar")), "runtime jar");
    std::string tried;
    if (!packerDirectory.empty()) {
        for (const auto& candidate : {packerDirectory / ".." / ".." / "runtime" / name,
                                      packerDirectory / ".." / "java" / name}) {
            std::error_code code;
            if (std::filesystem::is_regular_file(candidate, code))
                return readBinary(candidate, "runtime jar");
            tried += (tried.empty() ? "" : ", ") + utf8FromPath(candidate.lexically_normal());
        }
    }
    throw PackError("the runtime classes' jar " + name + " was not found" +
                    (tried.empty() ? "" : " (looked for " + tried + ")") +
                    "; give --runtime-jar PATH, name it in class_path or an [[include]], or set " +
                    std::string(AddRuntimeJarSetting) + " = false");
}

int build(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
          const std::filesystem::path& packerDirectory) {
    std::string error;
    const auto line = parse(arguments, {"--template", "--out", "--runtime-jar"}, error);
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

    PackInput input = readDescriptionFile(config);
    if (input.wantsRuntimeJar)
        includeRuntimeJar(input, findRuntimeJar(*line, input.runtimeJarName, packerDirectory));
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
    const auto line = parse(arguments, {"--extract"}, error, {"--all"});
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
    options.all = line->options.count("--all") > 0;
    if (line->options.count("--extract")) {
        options.extractDirectory = std::filesystem::absolute(pathFromUtf8(line->options.at("--extract")));
        extract(read.configuration, *options.extractDirectory);
    }
    const auto description = describeConfiguration(read.configuration, options);
    for (const auto& warning : description.warnings) err << "karvo-pack: warning: " << warning << "\n";
    out << description.toml;
    return ExitSuccess;
}

int init(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.size() > 2) {
        err << "karvo-pack: init takes at most one DIR\n" << Usage;
        return ExitUsage;
    }
    const auto directory = pathFromUtf8(arguments.size() == 2 ? arguments[1] : ".");
    std::error_code code;
    if (!std::filesystem::is_directory(directory, code))
        throw PackError(utf8FromPath(directory) + " is not a directory");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory, code)) {
        if (entry.is_regular_file(code)) names.push_back(utf8FromPath(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    std::string problem;
    const std::string jar = programJar(names, problem);
    if (jar.empty()) {
        throw PackError(utf8FromPath(directory) + ": " +
                        (problem.empty() ? "no .jar here; put the program's jar (from Maven's "
                                           "target or Gradle's build/libs) in it first"
                                         : problem));
    }
    const auto target = directory / StarterFileName;
    if (std::filesystem::exists(target, code))
        throw PackError(utf8FromPath(target) + " exists already; init does not replace it");
    const auto text = starterDescription(jar);
    writeAtomically(target, std::vector<std::uint8_t>(text.begin(), text.end()));
    out << "wrote " << utf8FromPath(target) << " for " << jar
        << ": edit main_class (and the lines marked EDIT), then run karvo-pack build\n";
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

int runPacker(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
              const std::filesystem::path& packerDirectory) {
    const std::string command = arguments.empty() ? "" : arguments[0];
    try {
        if (command == "build") return build(arguments, out, err, packerDirectory);
        if (command == "inspect") return inspect(arguments, out, err);
        if (command == "init") return init(arguments, out, err);
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
