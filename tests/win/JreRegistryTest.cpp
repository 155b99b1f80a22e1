// The registry entry of the search sequence: the JavaSoft keys (current versions, then the
// version subkeys from the newest down), the keys of today's installers (newest first) and
// the located runtimes of both roots.
// The JavaSoft keys have fixed names under HKLM, so a machine that already has them is left
// alone and the test is skipped there.
#include <gtest/gtest.h>

#include <map>

#include "config/LauncherConfig.h"
#include "jre/JreSources.h"
#include "win/JreTestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

struct RegValue {
    HKEY root;
    std::string key;    // with placeholders
    std::string name;   // "" for a key without values
    std::string value;  // with placeholders
};

bool keyExists(HKEY root, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(root, name, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

const char* const OwnedTrees[][2] = {
    {"HKLM", "SOFTWARE\\JavaSoft"},
    {"HKLM", "SOFTWARE\\Eclipse Adoptium"},
    {"HKLM", "SOFTWARE\\Azul Systems"},
    {"HKLM", "SOFTWARE\\norvale-soft\\karvo\\locatedjvms"},
    {"HKCU", "SOFTWARE\\norvale-soft\\karvo\\locatedjvms"},
};

HKEY rootOf(const char* name) { return std::string(name) == "HKLM" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

// Removes the trees this test writes; they did not exist before it started.
class RegistryTrees {
public:
    RegistryTrees() {
        for (const auto& tree : OwnedTrees) preexisting_ |= keyExists(rootOf(tree[0]), tree[1]);
    }
    ~RegistryTrees() {
        if (!preexisting_) clear();
    }
    bool preexisting() const { return preexisting_; }
    void clear() {
        for (const auto& tree : OwnedTrees) {
            RegDeleteTreeA(rootOf(tree[0]), tree[1]);
            deleteEmptyKeys(rootOf(tree[0]), tree[1]);
        }
    }

private:
    bool preexisting_ = false;
};

void writeValues(const std::vector<RegValue>& values, const ScratchDir& dir) {
    for (const auto& value : values)
        ASSERT_TRUE(
            writeRegistryText(value.root, fill(value.key, dir), value.name, fill(value.value, dir)))
            << value.key;
}

const std::string Jre = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
const std::string Jdk = "SOFTWARE\\JavaSoft\\Java Development Kit";
const std::string Located = "SOFTWARE\\norvale-soft\\karvo\\locatedjvms\\";

RegValue current(const std::string& key, const std::string& version) {
    return {HKEY_LOCAL_MACHINE, key, "CurrentVersion", version};
}
RegValue home(const std::string& key, const std::string& version, const std::string& runtime) {
    return {HKEY_LOCAL_MACHINE, key + "\\" + version, "JavaHome", "{dir}\\" + runtime};
}
// A JavaHome on the version list's key itself rather than on a version subkey.
RegValue ownHome(const std::string& key, const std::string& runtime) {
    return {HKEY_LOCAL_MACHINE, key, "JavaHome", "{dir}\\" + runtime};
}
// Java 9 and later: JavaSoft\JDK or JavaSoft\JRE, then two installers' own keys, whose
// directories end in a backslash as those installers write them.
RegValue modern(const std::string& kind, const std::string& version, const std::string& runtime) {
    return {HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\" + kind + "\\" + version, "JavaHome",
            "{dir}\\" + runtime};
}
RegValue adoptium(const std::string& version, const std::string& runtime) {
    return {HKEY_LOCAL_MACHINE, "SOFTWARE\\Eclipse Adoptium\\JDK\\" + version + "\\hotspot\\MSI",
            "Path", "{dir}\\" + runtime + "\\"};
}
RegValue zulu(const std::string& name, const std::string& runtime) {
    return {HKEY_LOCAL_MACHINE, "SOFTWARE\\Azul Systems\\Zulu\\" + name, "InstallationPath",
            "{dir}\\" + runtime + "\\"};
}
RegValue located(HKEY root, const std::string& runtime) {
    return {root, Located + "{dir/}/" + runtime + "/bin/java.exe", "", ""};
}

}  // namespace

TEST(JreRegistry, RegistrySourcesOfferTheirNewestAcceptedRuntime) {
    RegistryTrees trees;
    if (trees.preexisting()) GTEST_SKIP() << "this machine has its own JavaSoft or located keys";
    const std::map<std::string, std::string> runtimes = {
        {"r15", "1.5.0_22"}, {"r16", "1.6.0_10"},  {"r1622", "1.6.0_22"}, {"r163", "1.6.0_3"},
        {"r17a", "1.7.0"},   {"r17b", "1.7.0"},    {"r18", "1.8.0"},      {"rea", "1.8.0-ea"},
        {"jdk18\\jre", "1.8.0"},
        {"r904", "9.0.4"},   {"r11", "11.0.2"},     {"r17", "17.0.2"},     {"r17c", "17.0.2"},
        {"r21", "21.0.1"},   {"r25", "25"},         {"jdk17", "17.0.2"},
    };
    struct Row {
        const char* name;
        std::vector<RegValue> registry;
        std::map<ConfigKey, std::string> keys;
        const char* chosen;  // runtime directory, or nullptr when nothing is accepted
        std::vector<const char*> neverRun;
        std::vector<std::string> logged = {};  // with placeholders
    } rows[] = {
        {"current versions: 1.6.0_22 is newer than 1.6.0_3",
         {current(Jdk, "1.6.0_22"), home(Jdk, "1.6.0_22", "r1622"), current(Jre, "1.6.0_3"),
          home(Jre, "1.6.0_3", "r163")},
         {}, "r1622", {"r163"}},
        {"JavaSoft JDK key of Java 17", {modern("JDK", "17.0.2", "r17")},
         {{Key::MinJavaVersion, "9"}}, "r17", {},
         {"found registry key SOFTWARE\\JavaSoft\\JDK with 1 subkeys",
          "registry candidate 17.0.2 SOFTWARE\\JavaSoft\\JDK\\17.0.2: {dir}\\r17"}},
        {"JavaSoft JRE key newest first", {modern("JRE", "9.0.4", "r904"), modern("JRE", "11.0.2", "r11")},
         {}, "r11", {"r904"}},
        {"minimum 11 leaves 9.0.4 unrun",
         {modern("JDK", "9.0.4", "r904")}, {{Key::MinJavaVersion, "11"}}, nullptr, {"r904"}},
        {"Adoptium key", {adoptium("21.0.1.12", "r21")}, {{Key::MinJavaVersion, "17"}}, "r21", {},
         {"registry candidate 21.0.1.12 SOFTWARE\\Eclipse Adoptium\\JDK\\21.0.1.12\\hotspot\\MSI: "
          "{dir}\\r21\\"}},
        {"Zulu key", {zulu("zulu-25", "r25")}, {{Key::MinJavaVersion, "21"}}, "r25", {}},
        {"newest across the installers' keys",
         {modern("JDK", "17.0.2", "r17"), adoptium("21.0.1.12", "r21"), zulu("zulu-11", "r11")}, {},
         "r21", {"r17", "r11"}},
        {"maximum 17 skips the newer installers' runtimes",
         {modern("JDK", "17.0.2", "r17"), adoptium("21.0.1.12", "r21"), zulu("zulu-25", "r25")},
         {{Key::MaxJavaVersion, "17"}}, "r17", {"r21", "r25"}},
        {"a newer installer's runtime beats the JavaSoft 1.8",
         {current(Jre, "1.8.0"), home(Jre, "1.8.0", "r18"), modern("JDK", "17.0.2", "r17")}, {},
         "r17", {}},
        {"JDK required: runtimes skipped, a JDK 17 layout accepted",
         {modern("JRE", "21.0.1", "r21"), zulu("zulu-25-jre", "r25"), modern("JDK", "17.0.2", "jdk17")},
         {{Key::RequireJdk, "1"}}, "jdk17", {"r21", "r25"}},
        {"JDK required: a JDK key whose directory has no compiler",
         {modern("JDK", "17.0.2", "r17")}, {{Key::RequireJdk, "1"}}, nullptr, {"r17"}},
        {"a tie between installer and located runtime goes to the located one",
         {modern("JDK", "17.0.2", "r17"), located(HKEY_CURRENT_USER, "r17c")}, {}, "r17c", {}},
        {"version subkeys tried from the greatest",
         {current(Jre, "1.5.0_22"), home(Jre, "1.5.0_22", "r15"), home(Jre, "1.6", "r16"),
          home(Jre, "1.6.0_22", "r1622"), home(Jre, "1.7", "missing")},
         {{Key::MinJavaVersion, "1.6"}}, "r1622", {"r15", "r16"}},
        {"JDK subkeys after the runtime subkeys",
         {home(Jre, "1.7", "missing"), home(Jdk, "1.6.0_22", "r1622")}, {}, "r1622", {}},
        {"no current version in range: the runtime key's own JavaHome",
         {current(Jre, "1.5.0_22"), home(Jre, "1.5.0_22", "r15"), ownHome(Jre, "r18")},
         {{Key::MinJavaVersion, "1.6"}}, "r18", {"r15"}},
        {"JDK required: the runtime key is never read",
         {current(Jre, "1.8.0"), home(Jre, "1.8.0", "jdk18"), home(Jre, "1.7.0", "jdk18"),
          ownHome(Jre, "jdk18")},
         {{Key::RequireJdk, "1"}}, nullptr, {"jdk18\\jre"}},
        {"JDK required: the JDK key is read",
         {current(Jdk, "1.8.0"), home(Jdk, "1.8.0", "jdk18")}, {{Key::RequireJdk, "1"}},
         "jdk18\\jre", {}},
        {"JavaSoft refuses a pre-release", {current(Jre, "1.8.0-ea"), home(Jre, "1.8.0-ea", "rea")},
         {}, nullptr, {}},
        {"located runtime accepts a pre-release", {located(HKEY_CURRENT_USER, "rea")}, {}, "rea", {}},
        {"located runtime above the JavaSoft one",
         {current(Jre, "1.6.0_22"), home(Jre, "1.6.0_22", "r1622"), located(HKEY_CURRENT_USER, "r17a")},
         {}, "r17a", {}},
        {"a tie goes to the located runtime",
         {current(Jre, "1.7.0"), home(Jre, "1.7.0", "r17a"), located(HKEY_CURRENT_USER, "r17b")},
         {}, "r17b", {}},
        {"JavaSoft wins when its version text is greater",
         {current(Jre, "1.8.0"), home(Jre, "1.8.0", "r18"), located(HKEY_LOCAL_MACHINE, "r17a")},
         {}, "r18", {}},
        {"between the roots a tie goes to the machine",
         {located(HKEY_CURRENT_USER, "r17a"), located(HKEY_LOCAL_MACHINE, "r17b")}, {}, "r17b", {}},
        {"the user's greater version wins",
         {located(HKEY_CURRENT_USER, "r18"), located(HKEY_LOCAL_MACHINE, "r17b")}, {}, "r18", {}},
        {"located runtime outside the range",
         {located(HKEY_CURRENT_USER, "r15")}, {{Key::MinJavaVersion, "1.6"}}, nullptr, {}},
    };
    for (const auto& row : rows) {
        JreTestEnvironment environment;
        ScratchDir dir("jreregistry");
        environment.forgetCacheBelow(dir.path());
        for (const auto& [runtime, version] : runtimes) makeJavaRuntime(dir.file(runtime), bannerFor(version));
        writeFile(dir.file("jdk17\\bin\\javac.exe"), "");
        makeDirectories(dir.file("jdk18\\lib"));
        writeFile(dir.file("jdk18\\lib\\tools.jar"), "");
        writeValues(row.registry, dir);
        std::map<ConfigKey, std::string> keys = row.keys;
        keys[Key::SearchSequence] = "Y";
        installConfigForTesting(blockWith(keys));

        std::string javaExe, location;
        const LocationKind kind = searchJvm(javaExe, location);
        if (row.chosen) {
            EXPECT_EQ(kind, LocationKind::Registry) << row.name;
            EXPECT_EQ(javaExe, normalizePath(dir.file(std::string(row.chosen) + "\\bin\\java.exe"), false))
                << row.name;
        } else {
            EXPECT_EQ(kind, LocationKind::None) << row.name;
        }
        for (const char* runtime : row.neverRun)
            EXPECT_EQ(runCount(dir.file(std::string(runtime) + "\\bin")), 0) << row.name << ": " << runtime;
        if (environment.hasLog()) {
            for (const std::string& line : row.logged)
                EXPECT_TRUE(environment.logged(fill(line, dir))) << row.name << ": " << fill(line, dir);
        }
        trees.clear();
    }
}
