// Writes the seed corpus: a few valid inputs per target, so that fuzzing starts from texts
// and executables the launcher really meets instead of from nothing. Executables are made
// with the packer's own writer. Usage: fuzz-seed-writer CORPUS_DIRECTORY
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzFields.h"
#include "PackedExecutable.h"
#include "config/ConfigBlock.h"

using namespace karvo;
namespace fs = std::filesystem;

namespace {

// The smallest executable the readers accept: "MZ", a PE header at 64 and one section
// whose raw data ends at 512, where the block then starts.
std::vector<std::uint8_t> smallTemplate() {
    std::vector<std::uint8_t> bytes(512, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[60] = 64;
    bytes[64] = 'P';
    bytes[65] = 'E';
    bytes[64 + 6] = 1;            // one section
    bytes[64 + 24 + 16 + 1] = 1;  // raw data size 0x100
    bytes[64 + 24 + 20 + 1] = 1;  // raw data offset 0x100
    return bytes;
}

std::vector<std::uint8_t> configured(const ConfigBlock& block, const std::vector<IncludedFile>& files) {
    std::vector<std::uint8_t> out;
    std::string error;
    if (!pack::appendBlock(smallTemplate(), block, files, out, error)) {
        std::fprintf(stderr, "seed writer: %s\n", error.c_str());
        std::exit(1);
    }
    return out;
}

void write(const fs::path& directory, const std::string& target, const std::string& name,
           const std::string& bytes) {
    fs::create_directories(directory / target);
    std::ofstream(directory / target / name, std::ios::binary) << bytes;
}

void write(const fs::path& directory, const std::string& target, const std::string& name,
           const std::vector<std::uint8_t>& bytes) {
    write(directory, target, name, std::string(bytes.begin(), bytes.end()));
}

// Fields joined with the separator the targets split on.
std::string fields(std::initializer_list<std::string> parts) {
    std::string out;
    for (const auto& part : parts) {
        if (!out.empty()) out += fuzz::FieldSeparator;
        out += part;
    }
    return out;
}

std::string utf16Bytes(const std::u16string& text) {
    std::string out;
    for (char16_t unit : text) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
    return out;
}

void blockSeeds(const fs::path& out) {
    ConfigBlock plain;
    plain.texts = {{Key::ServiceName, "demo"}, {Key::MainClass, "com.example.Main"},
                   {Key::ClassPath, "A0lib\\app.jar;S1lib"}, {Key::MinJavaVersion, "1.8"}};
    plain.wides = {{Key::Description, u"Demo service \u00e9"}};
    ConfigBlock localized = plain;
    localized.groups = {{"de", {{Key::Description, u"Dienst"}}}, {"fr_FR", {{1000, u"Titre"}}}};
    ConfigBlock withFiles = plain;
    withFiles.texts.push_back({Key::IncludedFileCount, "2"});
    withFiles.texts.push_back({Key::IncludedFileNames, "app.jar;conf\\app.properties"});
    const std::vector<IncludedFile> files{{"app.jar", {'P', 'K', 3, 4}},
                                          {"conf\\app.properties", {'a', '=', '1', '\n'}}};
    for (const char* target : {"config-block", "pack-inspect"}) {
        write(out, target, "empty-block", configured({}, {}));
        write(out, target, "plain-block", configured(plain, {}));
        write(out, target, "localized-block", configured(localized, {}));
        write(out, target, "included-files", configured(withFiles, files));
    }
    write(out, "pack-inspect", "template-only", smallTemplate());
}

void textSeeds(const fs::path& out) {
    write(out, "argument-splitter", "plain", utf16Bytes(u"-Xmx64m -Dname=value main"));
    write(out, "argument-splitter", "quotes",
          utf16Bytes(u"\"C:\\Program Files\\app\" 'single quoted' glued\"quote\"after x"));
    write(out, "argument-splitter", "non-ascii", utf16Bytes(u"\u20ac \"\u00e9t\u00e9\" \U0001F600"));

    write(out, "command-line", "install", "\"C:\\svc\\demo.exe\" -install");
    write(out, "command-line", "named", "demo.exe --start non-interactive My Service");
    write(out, "command-line", "status", "  demo.exe\t/status");
    write(out, "command-line", "child", "demo.exe demo arg __tsl_restart");

    write(out, "vm-options", "directives",
          fields({"\x10", "-Xmx64m -include-options f0.vmoptions", "-J-Dfrom=cmd",
                  "# comment\n  -Xss1m  \r\n-classpath/p pre.jar\n-classpath/a post.jar\n"
                  "-include-options ${KARVO_EXEDIR}f1.vmoptions\n",
                  "-Dfirst=1\n-classpath C:\\lib\\all.jar\n", "-Dsecond=2\n-include-options f0.vmoptions\n"}));
    write(out, "vm-options", "long-line",
          fields({"\x03", "", "", std::string(300, 'x') + "\n-Dafter=1", ""}));

    write(out, "variable-expansion", "tokens",
          fields({"\0", "%KARVO_EXEDIR%lib;${launcher:sys.tempDir}x;${Path}${PATH}",
                  "C:\\app\\", "C:\\tmp\\k1", "C:\\jre", "C:\\tmp\\", "Path=C:\\bin", "=C:=C:\\"}));
    write(out, "variable-expansion", "too-long",
          fields({"\x04", "${A}${A}${A}", "", "", "", "", "A=0123456789abcdef0123456789"}));

    write(out, "class-path", "entries",
          fields({"\x0f", "pre.jar", "", "post.jar", "C:\\tmp\\k1", "C:\\app",
                  "S1lib;A0app.jar;D0classes;E0EXTRA_CP;A1missing.jar",
                  "EXTRA_CP=\"C:\\extra.jar\"", "C:\\app\\lib\\a.jar", "C:\\app\\lib\\b.zip",
                  "C:\\tmp\\k1\\x.jar", "C:\\app\\classes\\"}));
    write(out, "class-path", "replacement",
          fields({"\x02", "", "C:\\only.jar", "", "", "", "A1gone.jar"}));

    write(out, "version-rules", "banner",
          fields({"\0", "1.8.0_201", "1.6", "1.8", "java version \"1.8.0_201\"\r\n",
                  "B;A..\\jre;Ojava.exe;RSOFTWARE\\x;D", "C:\\jdk\\bin\\javaw.exe", "1.6",
                  "1.8.0_201", "1.7", "11.0.2"}));
    write(out, "version-rules", "openjdk",
          fields({"\x01", "17.0.1-ea", "11", "", "openjdk version \"17.0.1-ea\" 2021-10-19\n", "",
                  "java.exe"}));

    write(out, "pack-description", "settings",
          "service_name = \"demo\"\nmain_class = \"com.example.Main\"\n"
          "class_path = [\"A0lib\\\\app.jar\", \"S1lib\"]\ndescription = \"Demo \u00e9\"\n"
          "[messages]\ntitle = \"Demo\"\n[raw.text]\n\"5000\" = \"x\"\n"
          "[[localized]]\nlocale = \"de\"\ndescription = \"Dienst\"\n"
          "[[include]]\nname = \"a.txt\"\nsource = \"a.txt\"\n"
          "[[include]]\nname = \"sub\\\\b.bin\"\nsource = \"sub/b.bin\"\n");
    write(out, "pack-description", "no-defaults",
          "write_defaults = false\nservice_name = 'x'\n[raw.wide]\n\"-7\" = 'w'\n");
    write(out, "pack-description", "raw-forms",
          "redirect_stdout = { raw = [49, 0] }\nlauncher_type = '+04'\nrequire_jdk = true\n"
          "main_class = { raw = [97, 0, 98] }\ndescription = { raw = [55296, 65] }\n"
          "[messages]\nok_button = 'OK'\njvm_damaged_64 = 'at {0}'\n"
          "[[localized]]\nlocale = { raw = [100, 0] }\ndescription = { raw = [] }\n");
    write(out, "pack-description", "nesting",
          "a.b.c.d = 1\n[x.\"y.z\".'w']\nq = [[1.5, [2]], {r.s = {t = ['[', \"{\"]}}]\n"
          "m = \"\"\"\n[[[\n\"\"\"\n# [[[ a.b.c\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz-seed-writer CORPUS_DIRECTORY\n");
        return 2;
    }
    blockSeeds(argv[1]);
    textSeeds(argv[1]);
    return 0;
}
