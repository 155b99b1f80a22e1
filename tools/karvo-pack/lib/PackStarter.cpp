#include "PackStarter.h"

#include "PackRules.h"
#include "TomlText.h"

namespace karvo::pack {
namespace {

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

std::string programJar(const std::vector<std::string>& fileNames, std::string& problem) {
    std::vector<std::string> jars;
    for (const auto& name : fileNames) {
        const auto lower = lowerCase(name);
        if (!endsWith(lower, ".jar") || isRuntimeJar(name)) continue;
        if (endsWith(lower, "-sources.jar") || endsWith(lower, "-javadoc.jar") ||
            endsWith(lower, "-tests.jar"))
            continue;
        jars.push_back(name);
    }
    problem.clear();
    if (jars.size() == 1) return jars[0];
    if (jars.size() > 1) {
        problem = "several jars:";
        for (const auto& jar : jars) problem += " " + jar;
        problem +=
            "; give the directory that holds only the program's jar (its libraries "
            "belong in lib\\)";
    }
    return {};
}

std::string serviceNameFor(const std::string& jarName) {
    std::string name = jarName.substr(0, jarName.size() - 4);
    // A version after the name ("-1.2.0", "-1.0-SNAPSHOT") is not part of it.
    for (std::size_t i = 1; i + 1 < name.size(); ++i) {
        if (name[i] == '-' && name[i + 1] >= '0' && name[i + 1] <= '9') return name.substr(0, i);
    }
    return name.empty() ? "MyService" : name;
}

std::string starterDescription(const std::string& jarName) {
    const std::string name = serviceNameFor(jarName);
    const std::string jar = tomlString(jarName);
    return "# The service description of " + jarName +
           ", written by karvo-pack init.\n"
           "# Edit the lines marked EDIT, then build the service executable:\n"
           "#   karvo-pack build service.toml --template templates/win64/karvo-service.exe "
           "--out " +
           name +
           ".exe\n"
           "# and put it beside " +
           jarName +
           ". Every setting is described in docs/configuration.md.\n"
           "\n"
           "# EDIT: the name the service is installed under (also its display name).\n"
           "service_name = " +
           tomlString(name) +
           "\n"
           "description = " +
           tomlString(name + ", a Java program run as a Windows service") +
           "\n"
           "# EDIT: the class with the main method (the Main-Class line of the jar's manifest).\n"
           "# The service's name comes first among the program's arguments.\n"
           "main_class = \"\"\n"
           "\n"
           "# The program's archives, relative to the executable's directory: the jar, and\n"
           "# (S0, optional) every jar in lib\\ if there is such a folder, where Maven's\n"
           "# dependency:copy-dependencies or Gradle's installDist put the libraries.\n"
           "# The runtime classes' jar is added by the packer.\n"
           "class_path = [" +
           jar +
           ", 'S0lib']\n"
           "\n"
           "# Where the Java runtime is looked for: a jre folder beside the executable, then\n"
           "# the JAVA_HOME variable, then the runtimes installed in the registry.\n"
           "jre_search_sequence = ['jre', '%JAVA_HOME%', 'registry']\n"
           "# min_java_version = \"17\"\n"
           "\n"
           "# The program's output goes to files under logs\\ beside the executable (the\n"
           "# folder is made when needed); a file rolls over at 10 MB and 5 old ones are kept.\n"
           "stdout_file = " +
           tomlString("logs\\" + name + ".out.log") +
           "\n"
           "stderr_file = " +
           tomlString("logs\\" + name + ".err.log") +
           "\n"
           "redirect_stdout = true\n"
           "redirect_stderr = true\n"
           "append_output = true\n"
           "output_max_size = 10485760\n"
           "output_keep = 5\n"
           "\n"
           "# A stop asks the program to end (its shutdown hooks run) and ends it after this.\n"
           "stop_timeout = \"30s\"\n"
           "# A program that ends with a failure is started again, first after 1 s, then after\n"
           "# twice as long each time, up to a minute.\n"
           "restart = \"on-failure\"\n"
           "restart_delay = \"1s\"\n";
}

}  // namespace karvo::pack
