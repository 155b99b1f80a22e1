// The starter description `karvo-pack init` writes for a program's jar: every line a new
// user needs, with a comment on what it does and what to edit.
#pragma once
#include <string>
#include <vector>

namespace karvo::pack {

// The jar to describe among the names of a directory's files: the one .jar that is not the
// runtime classes' jar nor a sources, javadoc or tests jar. Empty when there is none;
// `problem` says why when there is more than one.
std::string programJar(const std::vector<std::string>& fileNames, std::string& problem);

// A service name from a jar's name: "ticker-1.2.0-SNAPSHOT.jar" gives "ticker".
std::string serviceNameFor(const std::string& jarName);

// The starter description (UTF-8 TOML) for the jar.
std::string starterDescription(const std::string& jarName);

// The name init gives the description in its directory.
inline constexpr const char* StarterFileName = "service.toml";

}  // namespace karvo::pack
