// Assembly of the class path option over a fake file system and environment.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "config/InternalErrors.h"
#include "launch/ClassPath.h"

using namespace karvo;

namespace {

class FakeView final : public ClassPathView {
public:
    std::set<std::string> existing{"C:\\"};
    std::map<std::string, std::vector<std::string>> listings;  // pattern -> names
    std::map<std::string, std::string> variables;
    std::map<std::string, std::string> expansions;
    std::vector<std::string> lines;
    std::vector<std::string> errors;

    bool expand(std::string& text) override {
        for (const auto& [token, value] : expansions) {
            for (std::size_t at; (at = text.find(token)) != std::string::npos;)
                text.replace(at, token.size(), value);
        }
        return text.size() <= 8191;
    }
    std::string resolve(const std::string& path) override {
        if (path.size() > 2 && path[1] == ':') return path;
        return "C:\\App\\" + path;
    }
    bool exists(const std::string& path) override { return existing.count(path) > 0; }
    std::vector<std::string> list(const std::string& pattern) override {
        const auto found = listings.find(pattern);
        return found == listings.end() ? std::vector<std::string>{} : found->second;
    }
    std::optional<std::string> environment(const std::string& name) override {
        const auto found = variables.find(name);
        if (found == variables.end()) return std::nullopt;
        return found->second;
    }
    void log(const std::string& line) override { lines.push_back(line); }
    void logError(const std::string& line) override { errors.push_back(line); }
};

FakeView standardView() {
    FakeView view;
    view.existing.insert({"C:\\App\\.\\jar", "C:\\App\\lib\\a.jar", "C:\\App\\b",
                          "C:\\T\\kvo.tmp_dir", "C:\\T\\kvo.tmp_dir\\user"});
    view.listings["C:\\App\\.\\jar\\*.jar"] = {"one.jar"};
    view.listings["C:\\App\\.\\jar\\*.zip"] = {"two.zip"};
    view.listings["C:\\T\\kvo.tmp_dir\\*.jar"] = {"x.jar", "y.jar"};
    view.listings["C:\\T\\kvo.tmp_dir\\user\\*.zip"] = {"u.zip"};
    view.variables["QUOTED"] = "\"C:\\q.jar\"";
    view.variables["ENDS"] = "C:\\e.jar;";
    view.variables["EMPTY"] = "";
    view.variables["ONEQUOTE"] = "\"";
    view.expansions["%KARVO_PATHLIST_SEPARATOR%"] = ";";
    view.expansions["${BIG}"] = std::string(8190, 'b');
    return view;
}

}  // namespace

TEST(ClassPath, ConfiguredEntries) {
    struct Row {
        const char* name;
        const char* entries;
        const char* expected;  // what the entries append
        std::optional<ConfigKey> failure;
        const char* argument;
    } rows[] = {
        {"nothing configured", "", "", std::nullopt, ""},
        {"S: jars then zips, spelled as resolved", "S1.\\jar;",
         "C:\\App\\.\\jar\\one.jar;C:\\App\\.\\jar\\two.zip;", std::nullopt, ""},
        {"S missing and mandatory", "S1.\\nojar", "", Key::MessageClassPathEntryMissing,
         ".\\nojar"},
        {"S missing and optional", "S0.\\nojar", "", std::nullopt, ""},
        {"D existing file", "D1lib\\a.jar", "C:\\App\\lib\\a.jar;", std::nullopt, ""},
        {"A missing optional is still appended", "A0gone.jar", "C:\\App\\gone.jar;", std::nullopt,
         ""},
        {"D missing and mandatory", "D1gone.jar", "C:\\App\\gone.jar;",
         Key::MessageClassPathEntryMissing, "gone.jar"},
        {"D list after expansion, every piece resolved", "D1lib\\a.jar%KARVO_PATHLIST_SEPARATOR%b",
         "C:\\App\\lib\\a.jar;C:\\App\\b;", std::nullopt, ""},
        {"D list with a missing piece is not found", "D1lib\\a.jar%KARVO_PATHLIST_SEPARATOR%gone",
         "C:\\App\\lib\\a.jar;C:\\App\\gone;", Key::MessageClassPathEntryMissing,
         "lib\\a.jar;gone"},
        {"drive root exists", "D1C:\\", "C:\\;", std::nullopt, ""},
        {"E quotes removed", "E1QUOTED", "C:\\q.jar;", std::nullopt, ""},
        {"E value ending in separator gets none", "E1ENDS", "C:\\e.jar;", std::nullopt, ""},
        {"E single quote character kept", "E0ONEQUOTE", "\";", std::nullopt, ""},
        {"E undefined and mandatory", "E1NOPE", "", Key::MessageVariableRequired, "NOPE"},
        {"E undefined and optional", "E0NOPE", "", std::nullopt, ""},
        {"E empty and mandatory", "E1EMPTY", "", Key::MessageClassPathEntryMissing, "EMPTY"},
        {"unknown kind optional adds nothing", "X0lib\\a.jar", "", std::nullopt, ""},
        {"unknown kind mandatory fails", "X1lib\\a.jar", "", Key::MessageClassPathEntryMissing,
         "lib\\a.jar"},
        {"entry too short is ignored", "S;D0lib\\a.jar", "C:\\App\\lib\\a.jar;", std::nullopt, ""},
        {"empty entries skipped", ";;D0b;;", "C:\\App\\b;", std::nullopt, ""},
        {"any second character but 1 is optional", "Dxgone", "C:\\App\\gone;", std::nullopt, ""},
        {"optional entry too long once expanded ends the launch", "D0b;D0${BIG}xy", "C:\\App\\b;",
         Key::MessageInternalError, "22"},
        {"mandatory entry too long once expanded", "S1${BIG}xy", "", Key::MessageInternalError,
         "22"},
    };
    for (const auto& row : rows) {
        FakeView view = standardView();
        std::string buffer;
        const auto failure = appendConfiguredClassPath(buffer, row.entries, view);
        EXPECT_EQ(buffer, row.expected) << row.name;
        ASSERT_EQ(failure.has_value(), row.failure.has_value()) << row.name;
        if (failure) {
            EXPECT_EQ(failure->message, *row.failure) << row.name;
            EXPECT_EQ(failure->argument, row.argument) << row.name;
        }
        EXPECT_EQ(view.lines.front(), std::string("classpath entry ") + row.entries) << row.name;
    }
}

TEST(ClassPath, OptionOrder) {
    struct Row {
        const char* name;
        ClassPathSettings settings;
        const char* expected;
    } rows[] = {
        {"bare option", {}, "-Djava.class.path="},
        {"temp dir archives, jar then zip, then user",
         {std::nullopt, std::nullopt, std::nullopt, "C:\\T\\kvo.tmp_dir", std::nullopt, ""},
         "-Djava.class.path=C:\\T\\kvo.tmp_dir\\x.jar;C:\\T\\kvo.tmp_dir\\y.jar;C:\\T\\kvo.tmp_"
         "dir\\user\\u.zip;"},
        {"everything in order",
         {"P", std::nullopt, "SUF", "C:\\T\\kvo.tmp_dir", "C:\\App", "D0b"},
         "-Djava.class.path=P;C:\\T\\kvo.tmp_dir\\x.jar;C:\\T\\kvo.tmp_dir\\y.jar;"
         "C:\\T\\kvo.tmp_dir\\user\\u.zip;C:\\App\\.tessel\\tslruntime.jar;C:\\App\\b;SUF"},
        {"replacement takes the place of the entries only",
         {"P", "R1;R2", "SUF", "", "C:\\App\\", "D1gone"},
         "-Djava.class.path=P;C:\\App\\.tessel\\tslruntime.jar;R1;R2;SUF"},
        {"suffix after a separator already there",
         {std::nullopt, "R;", "S", "", std::nullopt, ""},
         "-Djava.class.path=R;S"},
        {"suffix straight after the prefix",
         {"P", std::nullopt, "S", "", std::nullopt, ""},
         "-Djava.class.path=P;S"},
    };
    for (const auto& row : rows) {
        FakeView view = standardView();
        const ClassPathOutcome outcome = buildClassPathOption(row.settings, view, 40959);
        EXPECT_FALSE(outcome.failure) << row.name;
        EXPECT_EQ(outcome.option, row.expected) << row.name;
    }
}

TEST(ClassPath, MandatoryFailureStopsAssembly) {
    FakeView view = standardView();
    ClassPathSettings settings;
    settings.configuredEntries = "D1gone;D0b";
    settings.suffix = "S";
    const ClassPathOutcome outcome = buildClassPathOption(settings, view, 40959);
    ASSERT_TRUE(outcome.failure);
    EXPECT_EQ(outcome.failure->message, Key::MessageClassPathEntryMissing);
    EXPECT_EQ(outcome.failure->argument, "gone");
}

TEST(ClassPath, OptionLengthLimit) {
    const std::string prefix = "-Djava.class.path=";
    struct Row {
        const char* name;
        std::size_t replacementLength;
        bool fits;
    } rows[] = {
        {"exactly the limit", 40959 - prefix.size(), true},
        {"one past the limit", 40960 - prefix.size(), false},
    };
    for (const auto& row : rows) {
        FakeView view = standardView();
        ClassPathSettings settings;
        settings.replacement = std::string(row.replacementLength, 'r');
        const ClassPathOutcome outcome = buildClassPathOption(settings, view, 40959);
        EXPECT_EQ(!outcome.failure, row.fits) << row.name;
        if (outcome.failure) {
            EXPECT_EQ(outcome.failure->message, Key::MessageInternalError) << row.name;
            EXPECT_EQ(outcome.failure->argument, InternalError::ClassPathTooLong) << row.name;
            EXPECT_EQ(view.errors.size(), 1u) << row.name;
        }
    }
}

TEST(ClassPath, DirectoryArchives) {
    FakeView view = standardView();
    view.existing.insert("C:\\d");
    view.listings["C:\\d\\*.jar"] = {"a.jar"};
    std::string buffer;
    EXPECT_TRUE(appendDirectoryArchives(buffer, "C:\\d", ".jar", view)) << "dotted extension";
    EXPECT_EQ(buffer, "C:\\d\\a.jar;");
    buffer.clear();
    EXPECT_TRUE(appendDirectoryArchives(buffer, "C:\\d", "zip", view)) << "no match still found";
    EXPECT_EQ(buffer, "");
    EXPECT_FALSE(appendDirectoryArchives(buffer, "C:\\none", "jar", view));
}
