// The runtime search in this process: the sources in their order, the relative pass, the
// location files, earlier installations and the product's variables; then LoadDLL with the
// one message that each kind of failure shows on standard error.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "config/LauncherConfig.h"
#include "config/LauncherVariables.h"
#include "config/Messages.h"
#include "jre/JreSearch.h"
#include "jre/JreSources.h"
#include "jre/JvmLibrary.h"
#include "support/LauncherWidth.h"
#include "win/JreTestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

using Runtimes = std::map<std::string, std::string>;        // directory in scratch, version
using Texts = std::map<std::string, std::string>;           // name, text (with placeholders)

// The variables every row starts without, so that the machine's own settings cannot answer.
const char* const SearchVariables[] = {"KARVO_JAVA_HOME", "TESSEL_JAVA_HOME", "KARVO_TEST_JH",
                                       "KARVO_TEST_DIR"};

struct Arrangement {
    Runtimes runtimes;
    Texts files;        // files below the scratch directory
    Texts variables;    // environment variables for the row
    std::map<ConfigKey, std::string> keys;
    std::string installations;  // HKCU installations value for a unique application id
    std::string machineInstallations;  // the same under HKLM
};

const HKEY InstallationRoots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};

class ArrangedSearch {
public:
    ArrangedSearch(const char* name, const Arrangement& arrangement) : dir_(name) {
        environment_.forgetCacheBelow(dir_.path());
        for (const char* variable : SearchVariables)
            variables_.push_back(std::make_unique<ScopedVariable>(variable, nullptr));
        variables_.push_back(
            std::make_unique<ScopedVariable>("PATH", environmentVariable("PATH").c_str()));
        for (const auto& [directory, version] : arrangement.runtimes)
            makeJavaRuntime(dir_.file(directory), bannerFor(version));
        for (const auto& [file, text] : arrangement.files) {
            makeDirectories(std::string(directoryOf(dir_.file(file))));
            writeFile(dir_.file(file), fill(text, dir_));
        }
        for (const auto& [name, value] : arrangement.variables)
            variables_.push_back(std::make_unique<ScopedVariable>(name.c_str(), fill(value, dir_).c_str()));
        std::map<ConfigKey, std::string> keys;
        for (const auto& [key, value] : arrangement.keys) keys[key] = fill(value, dir_);
        const std::string* installations[] = {&arrangement.installations,
                                              &arrangement.machineInstallations};
        for (int i = 0; i < 2; ++i) {
            if (installations[i]->empty()) continue;
            if (applicationId_.empty()) applicationId_ = uniqueName("karvo_test_app");
            keys[Key::ApplicationId] = applicationId_;
            EXPECT_TRUE(writeRegistryText(InstallationRoots[i], InstallationsKey, applicationId_,
                                          fill(*installations[i], dir_)));
        }
        installConfigForTesting(blockWith(keys));
        setMessageBoxMode(false);
    }
    ~ArrangedSearch() {
        if (applicationId_.empty()) return;
        for (HKEY root : InstallationRoots) {
            HKEY key;
            if (RegOpenKeyExA(root, InstallationsKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
                RegDeleteValueA(key, applicationId_.c_str());
                RegCloseKey(key);
            }
            deleteEmptyKeys(root, InstallationsKey);
        }
    }
    const ScratchDir& dir() const { return dir_; }
    const JreTestEnvironment& environment() const { return environment_; }
    std::string normalized(const std::string& relative) const {
        return normalizePath(dir_.file(relative), false);
    }
    int runs(const std::string& runtime) const { return runCount(dir_.file(runtime + "\\bin")); }

private:
    JreTestEnvironment environment_;
    ScratchDir dir_;
    std::vector<std::unique_ptr<ScopedVariable>> variables_;
    std::string applicationId_;
};

const char* kindName(LocationKind kind) {
    switch (kind) {
        case LocationKind::None: return "None";
        case LocationKind::SearchPath: return "SearchPath";
        case LocationKind::Directory: return "Directory";
        case LocationKind::EnvironmentVariable: return "EnvironmentVariable";
        case LocationKind::Registry: return "Registry";
    }
    return "?";
}

}  // namespace

TEST(JreSearch, SourcesAreTriedInOrder) {
    struct Row {
        const char* name;
        Arrangement arrangement;
        LocationKind kind;
        const char* location;  // expected location text (placeholders filled)
        const char* javaExe;   // below the scratch directory; "" when nothing is found
    } rows[] = {
        {"B entry relative to the executable",
         {{{"rt", "1.8.0_51"}}, {}, {}, {{Key::SearchSequence, "B{rel}\\rt"}}},
         LocationKind::Directory, "{rel}\\rt", "rt\\bin\\java.exe"},
        {"empty and lower-case entries are skipped",
         {{{"rt", "1.8.0_51"}, {"ok", "1.7.0"}}, {}, {},
          {{Key::SearchSequence, ";;b{dir}\\rt;y;;B{dir}\\ok;"}}},
         LocationKind::Directory, "{dir}\\ok", "ok\\bin\\java.exe"},
        {"first accepted entry wins",
         {{{"old", "1.5.0_22"}, {"a", "1.7.0"}, {"b", "1.8.0"}}, {}, {},
          {{Key::SearchSequence, "B{dir}\\old;B{dir}\\a;B{dir}\\b"}, {Key::MinJavaVersion, "1.6"}}},
         LocationKind::Directory, "{dir}\\a", "a\\bin\\java.exe"},
        {"JDK directory through its embedded runtime",
         {{{"jdk\\jre", "1.8.0"}, {"jdk", "1.8.0"}}, {}, {}, {{Key::SearchSequence, "R{dir}\\jdk"}}},
         LocationKind::Directory, "{dir}\\jdk", "jdk\\jre\\bin\\java.exe"},
        {"preferred location comes before the sequence",
         {{{"a", "1.7.0"}, {"pref", "1.8.0"}}, {{".tessel\\pref_jre.cfg", "{dir}\\pref\r\n\r\n"}}, {},
          {{Key::SearchSequence, "B{dir}\\a"}, {Key::ApplicationDirectory, "{dir}"}}},
         LocationKind::Directory, "{dir}\\pref", "pref\\bin\\java.exe"},
        {"unusable preferred location is passed over",
         {{{"a", "1.7.0"}}, {{".tessel\\pref_jre.cfg", "{dir}\\nothing"}}, {},
          {{Key::SearchSequence, "B{dir}\\a"}, {Key::ApplicationDirectory, "{dir}"}}},
         LocationKind::Directory, "{dir}\\a", "a\\bin\\java.exe"},
        {"installer location comes after the sequence and before the relative pass",
         {{{"old", "1.5.0_22"}, {"inst", "1.8.0"}}, {{".tessel\\inst_jre.cfg", "{dir}\\inst"}}, {},
          {{Key::SearchSequence, "B{dir}\\old"}, {Key::MinJavaVersion, "1.6"},
           {Key::ApplicationDirectory, "{dir}"}}},
         LocationKind::Directory, "{dir}\\inst", "inst\\bin\\java.exe"},
        {"relative pass takes an out-of-range B runtime",
         {{{"old", "1.5.0_22"}}, {}, {}, {{Key::SearchSequence, "B{dir}\\old"}, {Key::MinJavaVersion, "1.6"}}},
         LocationKind::Directory, "{dir}\\old", "old\\bin\\java.exe"},
        {"absolute A entry is not retried",
         {{{"old", "1.5.0_22"}}, {}, {}, {{Key::SearchSequence, "A{dir}\\old"}, {Key::MinJavaVersion, "1.6"}}},
         LocationKind::None, "", ""},
        {"relative A entry is retried",
         {{{"old", "1.5.0_22"}}, {}, {}, {{Key::SearchSequence, "A{rel}\\old"}, {Key::MinJavaVersion, "1.6"}}},
         LocationKind::Directory, "{rel}\\old", "old\\bin\\java.exe"},
        {"variable with forward slashes",
         {{{"rt", "1.8.0"}}, {}, {{"KARVO_TEST_JH", "{dir/}/rt"}}, {{Key::SearchSequence, "EKARVO_TEST_JH"}}},
         LocationKind::EnvironmentVariable, "KARVO_TEST_JH", "rt\\bin\\java.exe"},
        {"variable refuses a pre-release that a directory accepts",
         {{{"rt", "1.8.0-ea"}}, {}, {{"KARVO_TEST_JH", "{dir}\\rt"}},
          {{Key::SearchSequence, "EKARVO_TEST_JH;A{dir}\\rt"}}},
         LocationKind::Directory, "{dir}\\rt", "rt\\bin\\java.exe"},
        {"launcher variables expand in entries",
         {{{"rt", "1.8.0"}}, {}, {{"KARVO_TEST_DIR", "{dir}"}}, {{Key::SearchSequence, "B${KARVO_TEST_DIR}\\rt"}}},
         LocationKind::Directory, "{dir}\\rt", "rt\\bin\\java.exe"},
        {"S entry finds java.exe on PATH",
         {{{"rt", "1.8.0"}}, {}, {{"PATH", "{dir}\\rt\\bin"}}, {{Key::SearchSequence, "S"}}},
         LocationKind::SearchPath, "", "rt\\bin\\java.exe"},
        {"earlier installation of the application",
         {{{"second\\jre", "1.8.0"}}, {}, {}, {{Key::SearchSequence, ""}}, "{dir}\\first;;{dir}\\second"},
         LocationKind::Registry, "", "second\\jre\\bin\\java.exe"},
        {"the user's earlier installation before the machine's",
         {{{"user\\jre", "1.8.0"}, {"machine\\jre", "1.8.0"}}, {}, {}, {}, "{dir}\\user", "{dir}\\machine"},
         LocationKind::Registry, "", "user\\jre\\bin\\java.exe"},
        {"the machine's earlier installation when the user's is out of range",
         {{{"user\\jre", "1.5.0_22"}, {"machine\\jre", "1.8.0"}}, {}, {}, {{Key::MinJavaVersion, "1.6"}},
          "{dir}\\user", "{dir}\\machine"},
         LocationKind::Registry, "", "machine\\jre\\bin\\java.exe"},
        {"KARVO_JAVA_HOME when the sequence is empty",
         {{{"rt", "1.8.0"}}, {}, {{"KARVO_JAVA_HOME", "{dir}\\rt"}}, {}},
         LocationKind::EnvironmentVariable, "KARVO_JAVA_HOME", "rt\\bin\\java.exe"},
        {"TESSEL_JAVA_HOME after KARVO_JAVA_HOME",
         {{{"old", "1.5.0_22"}, {"rt", "1.8.0"}}, {},
          {{"KARVO_JAVA_HOME", "{dir}\\old"}, {"TESSEL_JAVA_HOME", "{dir}\\rt"}},
          {{Key::MinJavaVersion, "1.6"}}},
         LocationKind::EnvironmentVariable, "TESSEL_JAVA_HOME", "rt\\bin\\java.exe"},
        {"nothing anywhere", {{}, {}, {}, {{Key::SearchSequence, "B{dir}\\none;Y;EKARVO_TEST_JH;S"}}},
         LocationKind::None, "", ""},
    };
    for (const auto& row : rows) {
        ArrangedSearch search("search", row.arrangement);
        std::string javaExe, location;
        const LocationKind kind = searchJvm(javaExe, location);
        EXPECT_STREQ(kindName(kind), kindName(row.kind)) << row.name;
        if (row.kind == LocationKind::None) continue;
        EXPECT_EQ(location, fill(row.location, search.dir())) << row.name;
        EXPECT_EQ(javaExe, search.normalized(row.javaExe)) << row.name;
    }
}

TEST(JreSearch, EmptySequenceStillTriesEveryFixedSource) {
    ArrangedSearch search("searchorder", {{}, {{".tessel\\pref_jre.cfg", "{dir}\\p"},
                                                {".tessel\\inst_jre.cfg", "{dir}\\i"}},
                                          {}, {{Key::ApplicationDirectory, "{dir}"}}, "{dir}\\prev"});
    std::string javaExe, location;
    EXPECT_EQ(searchJvm(javaExe, location), LocationKind::None);
    if (!search.environment().hasLog()) return;
    const std::vector<std::string> milestones = {
        "Searching for a JVM",
        fill("Has preferred location {dir}\\p", search.dir()),
        fill("Has installer location {dir}\\i", search.dir()),
        fill("found installations: {dir}\\prev", search.dir()),
        "Search sequence finished",
    };
    std::vector<std::string> seen;
    for (const auto& line : search.environment().logLines()) {
        if (std::find(milestones.begin(), milestones.end(), line) != milestones.end())
            seen.push_back(line);
    }
    EXPECT_EQ(seen, milestones);
}

TEST(JreSearch, LocationFilesGiveTheirFirstLine) {
    struct Row {
        const char* name;
        std::optional<std::string> contents;  // nothing: no file
        bool read;
        const char* line;
    } rows[] = {
        {"line with CR LF", std::string("c:\\jre\r\nsecond\n"), true, "c:\\jre"},
        {"several line ends", std::string("c:\\jre\r\r\n\n"), true, "c:\\jre"},
        {"empty first line", std::string("\nc:\\jre\n"), true, ""},
        {"no line end", std::string("c:\\jre"), true, "c:\\jre"},
        {"empty file", std::string(""), false, ""},
        {"no file", std::nullopt, false, ""},
    };
    for (const auto& row : rows) {
        Texts files;
        if (row.contents) files[".tessel\\pref_jre.cfg"] = *row.contents;
        ArrangedSearch search("locfile", {{}, files, {}, {{Key::ApplicationDirectory, "{dir}"}}});
        std::string line;
        EXPECT_EQ(readLocationFile(line, "\\.tessel\\pref_jre.cfg"), row.read) << row.name;
        if (row.read) {
            EXPECT_EQ(line, row.line) << row.name;
        }
    }
}

TEST(JreSearch, LoadDLLShowsOneMessageForTheKindOfFailure) {
    const std::map<ConfigKey, std::string> messages = {
        {Key::MessageNoJvmFound, "none {0}"},
        {Key::MessageJavaHomeVariableBroken, "var {0}"},
        {Key::MessageJavaHomeVariableBroken64, "var64 {0}"},
        {Key::MessageJvmDamaged, "dir {0}"},
        {Key::MessageJvmDamaged64, "dir64 {0}"},
        {Key::MessageJvmStartFailed, "reg failed"},
    };
    const Arrangement nothing{};
    const Arrangement variable{{{"rt", "1.8.0"}},
                               {},
                               {{"KARVO_TEST_JH", "{dir}\\rt"}},
                               {{Key::SearchSequence, "EKARVO_TEST_JH"}}};
    const Arrangement directory{{{"rt", "1.8.0"}}, {}, {}, {{Key::SearchSequence, "B{dir}\\rt"}}};
    const Arrangement searchPath{
        {{"rt", "1.8.0"}}, {}, {{"PATH", "{dir}\\rt\\bin"}}, {{Key::SearchSequence, "S"}}};
    const Arrangement installation{{{"inst\\jre", "1.8.0"}}, {}, {}, {}, "{dir}\\inst"};
    // Two runtimes that a release file says are 17, although their java.exe says 1.8.0.
    Arrangement releaseFiles{
        {{"rt", "1.8.0"}, {"rt2", "1.8.0"}},
        {{"rt\\release", "JAVA_VERSION=\"17\"\n"}, {"rt2\\release", "JAVA_VERSION=\"17\"\n"}},
        {},
        {{Key::SearchSequence, "B{dir}\\rt;B{dir}\\rt2"}}};
    Arrangement releaseFilesMinimum9 = releaseFiles;
    releaseFilesMinimum9.keys[Key::MinJavaVersion] = "9";
    struct Row {
        const char* name;
        Arrangement arrangement;
        const char* library;   // fixture placed as rt\bin\client\jvm.dll, or nullptr
        const char* library2;  // the same for rt2
        bool showErrors;
        bool loads;
        const char* pathKeeps;  // whose bin directory PATH keeps; "" for none
        const char* message;    // "" for none; "{bits}" and "{64}" as withWidth fills them
        int probes;             // runs of rt's java.exe; -1 where they do not matter
    } rows[] = {
        {"nothing found", nothing, nullptr, nullptr, true, false, "", "none {bits}", -1},
        {"nothing found, errors not shown", nothing, nullptr, nullptr, false, false, "", "", -1},
        {"variable's runtime has no JVM library", variable, nullptr, nullptr, true, false, "",
         "var{64} KARVO_TEST_JH", -1},
        {"directory runtime's library lacks the entry point", directory, "noexports.dll", nullptr,
         true, false, "rt", "dir{64} {dir}\\rt", -1},
        {"directory runtime's library does not load", directory, "failload.dll", nullptr, true,
         false, "", "dir{64} {dir}\\rt", -1},
        {"search path runtime does not load", searchPath, nullptr, nullptr, true, false, "",
         "none {bits}", -1},
        {"earlier installation does not load", installation, nullptr, nullptr, true, false, "",
         "reg failed", -1},
        {"a working library", directory, "jvm.dll", nullptr, true, true, "rt", "", -1},
        // A runtime accepted on its release file is not started. When its library then does
        // not load, the search is made again with its java executable deciding, as before
        // release files were read: refused, it is passed over; accepted, it fails to load as
        // before.
        {"release file accepts, the library works: never started", releaseFilesMinimum9, "jvm.dll",
         "jvm.dll", true, true, "rt", "", 0},
        {"release file accepts, the library fails, the probe refuses: the next runtime",
         releaseFilesMinimum9, "noexports.dll", "jvm.dll", true, true, "rt2", "", 1},
        {"release file accepts, the library fails, the probe accepts: damaged as before",
         releaseFiles, "failload.dll", "jvm.dll", true, false, "", "dir{64} {dir}\\rt", 1},
    };
    for (const auto& row : rows) {
        Arrangement arrangement = row.arrangement;
        for (const auto& [key, text] : messages) arrangement.keys[key] = text;
        ArrangedSearch search("loaddll", arrangement);
        const std::string libraries[] = {search.dir().file("rt\\bin\\client\\jvm.dll"),
                                         search.dir().file("rt2\\bin\\client\\jvm.dll")};
        if (row.library) copyFixture("jvmvariants", row.library, libraries[0]);
        if (row.library2) copyFixture("jvmvariants", row.library2, libraries[1]);
        const std::string pathBefore = environmentVariable("PATH");

        testing::internal::CaptureStderr();
        const bool loaded = LoadDLL(row.showErrors);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(loaded, row.loads) << row.name;
        const std::string message =
            withWidth(fill(row.message, search.dir()), LauncherBits == 64 ? "64" : "");
        if (message.empty()) {
            EXPECT_EQ(err, "") << row.name;
        } else {
            EXPECT_EQ(err.rfind(message, 0), 0u) << row.name << ": " << err;
            EXPECT_EQ(err.find(message, 1), std::string::npos) << row.name << ": shown once";
        }
        const std::string bin =
            *row.pathKeeps ? search.normalized(std::string(row.pathKeeps) + "\\bin") : "";
        EXPECT_EQ(environmentVariable("PATH"), *row.pathKeeps ? pathBefore + ";" + bin : pathBefore)
            << row.name;
        if (row.loads) {
            EXPECT_EQ(jvmHome(), bin + "\\..") << row.name;
            EXPECT_NE(createJavaVMEntry(), nullptr) << row.name;
        }
        if (row.probes >= 0) {
            EXPECT_EQ(search.runs("rt"), row.probes) << row.name;
        }
        for (const std::string& library : libraries)
            if (HMODULE module = GetModuleHandleA(library.c_str())) FreeLibrary(module);
    }
}

TEST(JreSearch, LauncherChildReportsOnStandardError) {
    struct Row {
        const char* name;
        Runtimes runtimes;
        bool packed;           // rt holds packed jars and the fake unpacker
        const char* sequence;
        const char* out;       // expected on standard output ("" for nothing)
        const char* message;   // expected first line on standard error
    } rows[] = {
        {"no runtime anywhere", {}, false, "B.\\none", "", "none {bits}"},
        {"runtime beside the executable without a JVM library", {{"rt", "1.8.0"}}, false, "B.\\rt",
         "", "dir{64} .\\rt"},
        {"packed runtime is prepared first", {{"rt", "1.8.0"}}, true, "B.\\rt", "Preparing JRE ...",
         "dir{64} .\\rt"},
    };
    for (const auto& row : rows) {
        ArrangedSearch search("childsearch", {row.runtimes});
        const ScratchDir& dir = search.dir();
        if (row.packed) {
            copyFixture("fakejava", "unpack200.exe", dir.file("rt\\bin\\unpack200.exe"));
            makeDirectories(dir.file("rt\\lib"));
            writeFile(dir.file("rt\\lib\\rt.jar.pack"), "x");
            writeFile(dir.file("rt\\lib\\jsse.jar.pack"), "x");
        }
        const std::string exe = dir.file("childsearch.exe");
        writeConfiguredExe(exe, blockWith({{Key::ServiceName, uniqueName("childsearch")},
                                           {Key::SearchSequence, row.sequence},
                                           {Key::MessageNoJvmFound, "none {0}"},
                                           {Key::MessageJvmDamaged, "dir {0}"},
                                           {Key::MessageJvmDamaged64, "dir64 {0}"}}));
        RunOptions options;
        options.timeoutMs = 60000;
        options.unsetEnvironment = {"KARVO_JAVA_HOME", "TESSEL_JAVA_HOME", "KARVO_LOG", "TESSEL_LOG"};
        options.environment["TMP"] = dir.path();
        options.environment["TEMP"] = dir.path();
        const RunResult run = runProcess("\"" + exe + "\" __tsl_restart", options);
        EXPECT_FALSE(run.timedOut) << row.name;
        EXPECT_EQ(run.exitCode, 1u) << row.name;
        const auto errLines = lines(run.err);
        ASSERT_FALSE(errLines.empty()) << row.name;
        EXPECT_EQ(errLines.front(), withWidth(row.message, "64")) << row.name;
        const auto outLines = lines(run.out);
        EXPECT_EQ(outLines.empty() ? std::string() : outLines.front(), row.out) << row.name;
        if (row.packed) {
            EXPECT_TRUE(pathExists(dir.file("rt\\lib\\rt.jar"))) << row.name;
            EXPECT_TRUE(pathExists(dir.file("rt\\lib\\jsse.jar"))) << row.name;
        }
    }
}

TEST(JreSearch, LogTellsEachStepOfTheSearch) {
    struct Row {
        const char* name;
        Arrangement arrangement;
        bool library;                     // the stand-in jvm.dll below rt\bin\client
        bool searchedBefore;              // a search ran once already, filling the cache
        std::vector<std::string> lines;   // in this order, other lines between them allowed
        std::vector<std::string> absent;  // lines that must not be written
    } rows[] = {
        {"directory runtime run for its version, then loaded",
         {{{"rt", "1.8.0_51"}}, {}, {}, {{Key::SearchSequence, "B{dir}\\rt"}, {Key::MinJavaVersion, "1.6"}}},
         true, false,
         {"LoadDLL (1, (null), 0)", "Searching for a JVM", "Testing location {dir}\\rt (type B)",
          "checkJavaExe ({ndir}\\rt\\bin\\java.exe, [out], 1.6, , 1)", "file exists", "Exit Code 0",
          "Java version: 1.8.0_51", "got version from execution 1.8.0_51", "checkJavaExe returning 1",
          "Trying to load JVM-DLL from {ndir}\\rt\\bin\\java.exe", "Setting PATH {path};{ndir}\\rt\\bin",
          "Trying {ndir}\\rt\\bin\\hotspot\\jvm.dll (exists 0)",
          "Trying {ndir}\\rt\\bin\\client\\jvm.dll (exists 1)", "Loading of JVM-DLL successful"},
         {"Search sequence finished"}},
        {"the second search reads the cached version",
         {{{"rt", "1.8.0_51"}}, {}, {}, {{Key::SearchSequence, "B{dir}\\rt"}, {Key::MinJavaVersion, "1.6"}}},
         true, true,
         {"file exists", "got version from registry 1.8.0_51", "checkJavaExe returning 1",
          "Loading of JVM-DLL successful"},
         {"Exit Code 0", "got version from execution 1.8.0_51"}},
        {"variable's pre-release refused, nothing else found",
         {{{"rt", "1.8.0-ea"}}, {}, {{"KARVO_TEST_JH", "{dir}\\rt"}}, {{Key::SearchSequence, "EKARVO_TEST_JH"}}},
         false, false,
         {"Testing location KARVO_TEST_JH (type E)", "checkJavaExe ({dir}\\rt\\bin\\java.exe, [out], , , 0)",
          "got version from execution 1.8.0-ea", "beta vm not allowed", "checkJavaExe returning 0",
          "Search sequence finished", "ERROR: No JVM found"},
         {"Trying to load JVM-DLL from {ndir}\\rt\\bin\\java.exe"}},
        {"relative pass, then no library anywhere",
         {{{"old", "1.5.0_22"}}, {}, {}, {{Key::SearchSequence, "B{dir}\\old"}, {Key::MinJavaVersion, "1.6"}}},
         false, false,
         {"Testing location {dir}\\old (type B)", "checkJavaExe returning 0",
          "Testing relative location {dir}\\old", "{ndir}\\old\\bin\\java.exe exists",
          "Trying to load JVM-DLL from {ndir}\\old\\bin\\java.exe", "Setting PATH {path};{ndir}\\old\\bin",
          "Trying {ndir}\\old\\bin\\jrockit\\jvm.dll (exists 0)", "Setting PATH {path}",
          "Setting PATH {path};{ndir}\\old\\bin\\..\\jre\\bin",
          "Trying {ndir}\\old\\bin\\..\\jre\\bin\\hotspot\\jvm.dll (exists 0)", "Setting PATH {path}",
          "ERROR: Could not get DLL-Handle.", "ERROR: Could not load functions"},
         {"Search sequence finished", "Loading of JVM-DLL successful"}},
        {"location files around an unknown kind letter",
         {{{"inst", "1.8.0"}},
          {{".tessel\\pref_jre.cfg", "{dir}\\nothing\n"}, {".tessel\\inst_jre.cfg", "{dir}\\inst\n"}},
          {}, {{Key::SearchSequence, "x{dir}"}, {Key::ApplicationDirectory, "{dir}"}}},
         false, false,
         {"Has preferred location {dir}\\nothing",
          "checkJavaExe ({ndir}\\nothing\\bin\\java.exe, [out], , , 1)", "file doesn't exist",
          "checkJavaExe returning 0", "Testing location {dir} (type x)",
          "Has installer location {dir}\\inst", "Using installer location",
          "Trying to load JVM-DLL from {ndir}\\inst\\bin\\java.exe"},
         {"Using preferred location"}},
        {"empty preferred line names the executable's directory",
         {{}, {{".tessel\\pref_jre.cfg", "\r\n"}}, {}, {{Key::ApplicationDirectory, "{dir}"}}}, false, false,
         {"Has preferred location ", "checkJavaExe ({exedir}\\bin\\java.exe, [out], , , 1)"},
         {}},
        {"earlier installation of this user",
         {{{"prev\\jre", "1.8.0"}}, {}, {}, {}, "{dir}\\prev"}, false, false,
         {"found installations: {dir}\\prev",
          "checkJavaExe ({dir}\\prev\\jre\\bin\\java.exe, [out], , , 0)", "checkJavaExe returning 1",
          "found JRE from previous installation (user) {ndir}\\prev\\jre\\bin\\java.exe"},
         {"Search sequence finished",
          "found JRE from previous installation (machine) {ndir}\\prev\\jre\\bin\\java.exe"}},
    };
    for (const auto& row : rows) {
        ArrangedSearch search("searchlog", row.arrangement);
        ASSERT_TRUE(search.environment().hasLog()) << "run this test in a process of its own";
        const std::string library = search.dir().file("rt\\bin\\client\\jvm.dll");
        if (row.library) copyFixture("jvmvariants", "jvm.dll", library);
        if (row.searchedBefore) {
            std::string javaExe, location;
            searchJvm(javaExe, location);
        }
        const std::size_t start = search.environment().logLines().size();
        const std::string pathBefore = environmentVariable("PATH");
        const std::string normalizedDir = normalizePath(search.dir().path(), false);
        std::string exeDir = normalizePath(buildDirectory(), false);
        if (exeDir.back() == '\\') exeDir.pop_back();
        auto expand = [&](const std::string& text) {
            return replaceTokens(
                fill(text, search.dir()),
                {{"{ndir}", normalizedDir}, {"{path}", pathBefore}, {"{exedir}", exeDir}});
        };

        testing::internal::CaptureStderr();
        LoadDLL(true);
        testing::internal::GetCapturedStderr();
        const std::vector<std::string> all = search.environment().logLines();
        const std::vector<std::string> written(all.begin() + std::min(start, all.size()), all.end());
        auto next = written.begin();
        for (const auto& line : row.lines) {
            next = std::find(next, written.end(), expand(line));
            EXPECT_NE(next, written.end()) << row.name << ": missing or out of order: " << expand(line);
            if (next == written.end()) break;
            ++next;
        }
        for (const auto& line : row.absent)
            EXPECT_EQ(std::find(written.begin(), written.end(), expand(line)), written.end())
                << row.name << ": unexpected: " << expand(line);
        if (HMODULE module = GetModuleHandleA(library.c_str())) FreeLibrary(module);
    }
}
