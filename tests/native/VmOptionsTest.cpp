// VM option files and configured VM arguments: lines, directives, includes.
#include <gtest/gtest.h>

#include <map>

#include "launch/VmOptionFile.h"
#include "launch/VmOptionSet.h"

using namespace karvo;

TEST(VmOptionFile, PhysicalLines) {
    struct Row {
        const char* name;
        std::string contents;
        std::size_t limit;
        std::vector<std::pair<std::string, bool>> expected;  // text, too long
    } rows[] = {
        {"lines without their line feed", "a\nb\n", 10, {{"a", false}, {"b", false}}},
        {"last line without line feed", "a\nb", 10, {{"a", false}, {"b", false}}},
        {"empty lines count", "\n\nc", 10, {{"", false}, {"", false}, {"c", false}}},
        {"long line marked, not cut", "abcdefg\nxy\n", 3, {{"abcdefg", true}, {"xy", false}}},
        {"line of exactly the limit", "abc\n", 3, {{"abc", false}}},
        {"empty file", "", 3, {}},
    };
    for (const auto& row : rows) {
        std::vector<std::pair<std::string, bool>> got;
        for (const auto& line : optionFileLines(row.contents, row.limit))
            got.emplace_back(std::string(line.text), line.tooLong);
        EXPECT_EQ(got, row.expected) << row.name;
    }
}

TEST(VmOptionFile, LineText) {
    struct Row {
        const char* name;
        const char* chunk;
        std::optional<std::string> expected;
    } rows[] = {
        {"plain option", "-Xmx1g\n", "-Xmx1g"},
        {"carriage returns and line feeds removed", "-Xmx1g\r\r\n", "-Xmx1g"},
        {"trailing spaces removed", "-Xmx1g   \n", "-Xmx1g"},
        {"leading spaces removed", "   -Xmx1g", "-Xmx1g"},
        {"inner space kept", " -Da=b c \n", "-Da=b c"},
        {"tabs are text", "\t-Xmx1g\t\n", "\t-Xmx1g\t"},
        {"comment after spaces", "   # note\n", std::nullopt},
        {"tab before hash is an option", "\t# note\n", "\t# note"},
        {"hash later is text", "-Da=#b", "-Da=#b"},
        {"empty line", "\n", std::nullopt},
        {"only spaces", "    \r\n", std::nullopt},
        {"quotes have no meaning", "\"-Da=b\"", "\"-Da=b\""},
    };
    for (const auto& row : rows) EXPECT_EQ(optionLineText(row.chunk), row.expected) << row.name;
    EXPECT_EQ(optionLineText(std::string_view("-Xa\0bc\n", 7)), "-Xa") << "NUL ends the text";
}

TEST(VmOptionFile, Directives) {
    struct Row {
        const char* name;
        const char* text;
        OptionLineKind kind;
        const char* value;
    } rows[] = {
        {"include", "-include-options a b.vmoptions", OptionLineKind::IncludeOptions,
         "a b.vmoptions"},
        {"replacement", "-classpath x;y", OptionLineKind::ClassPath, "x;y"},
        {"prefix", "-classpath/p \"q\"", OptionLineKind::ClassPathPrefix, "\"q\""},
        {"suffix", "-classpath/a z", OptionLineKind::ClassPathSuffix, "z"},
        {"without its space an option", "-classpath", OptionLineKind::Option, "-classpath"},
        {"case matters", "-CLASSPATH x", OptionLineKind::Option, "-CLASSPATH x"},
        {"include without space", "-include-options", OptionLineKind::Option, "-include-options"},
        {"ordinary option", "-Xss2m", OptionLineKind::Option, "-Xss2m"},
        {"empty value kept", "-classpath/a ", OptionLineKind::ClassPathSuffix, ""},
    };
    for (const auto& row : rows) {
        const OptionLine line = classifyOptionLine(row.text);
        EXPECT_EQ(line.kind, row.kind) << row.name;
        EXPECT_EQ(line.value, row.value) << row.name;
    }
}

TEST(VmOptionFile, ConfiguredArgumentJoining) {
    using V = std::vector<std::string>;
    struct Row {
        const char* name;
        V arguments;
        V expected;
    } rows[] = {
        {"include joined with its file",
         {"-include-options", "x.vmo", "-Xa"},
         {"-include-options x.vmo", "-Xa"}},
        {"trailing include alone", {"-Xa", "-include-options"}, {"-Xa", "-include-options"}},
        {"classpath not joined", {"-classpath", "a.jar"}, {"-classpath", "a.jar"}},
        {"include of include",
         {"-include-options", "-include-options", "y"},
         {"-include-options -include-options", "y"}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(joinIncludeArguments(row.arguments), row.expected) << row.name;
}

TEST(VmOptionFile, JArguments) {
    EXPECT_EQ(jArgumentOption(u"-J-Xmx1g"), std::u16string(u"-Xmx1g"));
    EXPECT_EQ(jArgumentOption(u"-J"), std::u16string());
    EXPECT_FALSE(jArgumentOption(u"-j-Xmx1g"));
    EXPECT_FALSE(jArgumentOption(u"x-J"));
}

namespace {

const std::string AppOptions = "C:\\App\\app.vmoptions";

// Files by full path; resolve joins with the base file's directory like the launcher.
class FakeSources final : public VmOptionSources {
public:
    std::map<std::string, std::string> files;
    std::map<std::string, std::string> variables;
    std::vector<std::string> opened;
    std::vector<std::string> errors;

    bool expand(std::string& text) override {
        for (const auto& [token, value] : variables) {
            for (std::size_t at; (at = text.find(token)) != std::string::npos;)
                text.replace(at, token.size(), value);
        }
        return text.size() <= 8191;
    }
    std::string resolve(const std::string& path, const std::string* baseFile) override {
        if (path.size() > 2 && path[1] == ':') return path;
        const std::string base = baseFile ? *baseFile : "C:\\App\\app.exe";
        return base.substr(0, base.find_last_of('\\') + 1) + path;
    }
    // A crude "..": enough to show that two spellings of one file are recognised.
    std::string identity(const std::string& path) override {
        std::string text = path;
        for (std::size_t at; (at = text.find("\\sub\\..\\")) != std::string::npos;)
            text.replace(at, 8, "\\");
        return text;
    }
    std::optional<std::string> readIncluded(const std::string& resolved,
                                            const std::string&) override {
        opened.push_back(resolved);
        const auto found = files.find(resolved);
        if (found == files.end()) return std::nullopt;
        return found->second;
    }
    void logError(const std::string& line) override { errors.push_back(line); }
};

// What reading the default file gives: the collected set and the error lines logged.
struct Collected {
    VmOptionSet set;
    std::vector<std::string> errors;
};

Collected collectDefaultFile(const std::string& text,
                             const std::map<std::string, std::string>& files = {},
                             const std::map<std::string, std::string>& variables = {}) {
    FakeSources sources;
    sources.files = files;
    sources.variables = variables;
    VmOptionCollector collector(sources);
    collector.readDefaultFile(text, AppOptions, AppOptions);
    return {collector.result(), sources.errors};
}

}  // namespace

TEST(VmOptionSet, FileLinesAndDirectives) {
    const VmOptionSet set =
        collectDefaultFile(
            "   # comment\n\n-Xmx1g   \n-Dprop=a value\n\t#tabbed\n-classpath/a first\n"
            "-classpath/a second\n-classpath/p pre\n-classpath rep\n")
            .set;
    EXPECT_EQ(set.options, (std::vector<std::string>{"-Xmx1g", "-Dprop=a value", "\t#tabbed"}));
    EXPECT_EQ(set.classPathSuffix, "second");
    EXPECT_EQ(set.classPathPrefix, "pre");
    EXPECT_EQ(set.classPathReplacement, "rep");
}

TEST(VmOptionSet, LinesAreExpandedAndOverlongOnesSkipped) {
    const auto got = collectDefaultFile("-Dx=${DIR}\n-D${BIG}\n-D${BIG}x\n-Xlast\n", {},
                                        {{"${BIG}", std::string(8189, 'b')}, {"${DIR}", "C:\\d"}});
    const auto& options = got.set.options;
    ASSERT_EQ(options.size(), 3u);
    EXPECT_EQ(options[0], "-Dx=C:\\d");
    EXPECT_EQ(options[1].size(), 8192u - 1);
    EXPECT_EQ(options[2], "-Xlast");
    EXPECT_EQ(got.errors.size(), 1u);
}

// A line longer than the limit is dropped whole, wherever it stands and whatever it is:
// no piece of it may reach the VM as an option or steer the class path.
TEST(VmOptionSet, OverlongLinesAreSkippedWhole) {
    const std::string fill = std::string(8184, 'x');
    struct Row {
        const char* name;
        std::string defaultFile;
        std::map<std::string, std::string> files;
        std::vector<std::string> options;
        std::vector<std::string> errors;
        std::optional<std::string> classPath = std::nullopt;
    } rows[] = {
        {"a line of the limit is whole", "-Dlong=" + fill + "\n-Xafter\n", {},
         {"-Dlong=" + fill, "-Xafter"}, {}},
        {"one character more hides no option", "-Dlong=" + fill + "-Dinjected=1\n-Xafter\n", {},
         {"-Xafter"},
         {"vmoptions file C:\\App\\app.vmoptions line 1 is longer than 8191 characters; "
          "skipped"}},
        {"a very long line is one skipped line",
         "-Xfirst\n-D" + std::string(100000, 'y') + "\n-Xafter", {}, {"-Xfirst", "-Xafter"},
         {"vmoptions file C:\\App\\app.vmoptions line 2 is longer than 8191 characters; "
          "skipped"}},
        {"a long class path directive is skipped",
         "-classpath " + fill + "-Dinjected=1\n", {}, {},
         {"vmoptions file C:\\App\\app.vmoptions line 1 is longer than 8191 characters; "
          "skipped"}},
        {"an included file is named with its own line number",
         "-include-options inc.vmo\n-Xafter\n",
         {{"C:\\App\\inc.vmo", "-Xin\n\n-D" + fill + "-Dinjected=1\n"}},
         {"-Xin", "-Xafter"},
         {"vmoptions file C:\\App\\inc.vmo line 3 is longer than 8191 characters; skipped"}},
    };
    for (const auto& row : rows) {
        const auto got = collectDefaultFile(row.defaultFile, row.files);
        EXPECT_EQ(got.set.options, row.options) << row.name;
        EXPECT_EQ(got.errors, row.errors) << row.name;
        EXPECT_EQ(got.set.classPathReplacement, row.classPath) << row.name;
    }
}

TEST(VmOptionSet, Includes) {
    struct Row {
        const char* name;
        std::map<std::string, std::string> files;
        std::string defaultFile;
        std::vector<std::string> options;
        std::size_t errors;
    } rows[] = {
        {"include beside the executable, in place",
         {{"C:\\App\\more.vmo", "-Xmore\n"}},
         "-Xa\n-include-options more.vmo\n-Xb\n",
         {"-Xa", "-Xmore", "-Xb"},
         0},
        {"nested include resolves against the including file",
         {{"C:\\App\\sub\\one.vmo", "-include-options two.vmo\n"},
          {"C:\\App\\sub\\two.vmo", "-Xtwo\n"},
          {"C:\\App\\two.vmo", "-Xwrong\n"}},
         "-include-options sub\\one.vmo\n",
         {"-Xtwo"},
         0},
        {"missing include adds nothing", {}, "-include-options none.vmo\n-Xa\n", {"-Xa"}, 0},
        {"file including itself is read once",
         {{"C:\\App\\self.vmo", "-Xself\n-include-options self.vmo\n"}},
         "-include-options self.vmo\n",
         {"-Xself"},
         1},
        {"cycle through two files",
         {{"C:\\App\\a.vmo", "-Xa\n-include-options b.vmo\n"},
          {"C:\\App\\b.vmo", "-Xb\n-include-options a.vmo\n"}},
         "-include-options a.vmo\n",
         {"-Xa", "-Xb"},
         1},
        {"default file included again is skipped",
         {},
         "-Xd\n-include-options app.vmoptions\n",
         {"-Xd"},
         1},
        {"other spelling of a file being read",
         {{"C:\\App\\a.vmo", "-Xa\n-include-options sub\\..\\a.vmo\n"}},
         "-include-options a.vmo\n",
         {"-Xa"},
         1},
        {"same file twice in a row is no cycle",
         {{"C:\\App\\a.vmo", "-Xa\n"}},
         "-include-options a.vmo\n-include-options a.vmo\n",
         {"-Xa", "-Xa"},
         0},
    };
    for (const auto& row : rows) {
        const auto got = collectDefaultFile(row.defaultFile, row.files);
        EXPECT_EQ(got.set.options, row.options) << row.name;
        EXPECT_EQ(got.errors.size(), row.errors) << row.name;
    }
}

TEST(VmOptionSet, IncludeDepthIsCapped) {
    // A chain of distinct files longer than the cap: each includes the next.
    std::map<std::string, std::string> chain;
    for (int i = 0; i < 40; ++i) {
        chain["C:\\App\\f" + std::to_string(i) + ".vmo"] =
            "-X" + std::to_string(i) + "\n-include-options f" + std::to_string(i + 1) + ".vmo\n";
    }
    const auto got = collectDefaultFile("-include-options f0.vmo\n", chain);
    // The default file counts as the first level.
    EXPECT_EQ(got.set.options.size(), MaxIncludeDepth - 1);
    EXPECT_EQ(got.errors.size(), 1u);
}

TEST(VmOptionSet, ConfiguredIncludeResolvesAgainstExecutable) {
    FakeSources sources;
    sources.files["C:\\App\\conf.vmo"] = "-Xconf\n";
    VmOptionCollector collector(sources);
    for (const std::string& text :
         joinIncludeArguments({"-include-options", "conf.vmo", "-Xafter"})) {
        collector.handleLine(nullptr, text);
    }
    EXPECT_EQ(collector.result().options, (std::vector<std::string>{"-Xconf", "-Xafter"}));
}
