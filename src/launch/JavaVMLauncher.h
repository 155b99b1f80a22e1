// Runs the Java program inside this process through the JNI invocation interface.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include <jni.h>

namespace karvo {

// arguments: the child's command-line arguments (service name first), without the program
// path and the restart marker. False when the VM was not created or main failed. vmCreated,
// when given, is called once the VM exists and before main runs.
bool launchJavaProgram(const std::vector<std::u16string>& arguments, bool destroyAfterMain,
                       void (*vmCreated)(JavaVM*) = nullptr);

// The full path of the file the program's error output is redirected to, or "" when it is
// not redirected.
std::u16string errorOutputFile();
// The same for a process that must not end over a bad setting: nothing when the name is too
// long once expanded.
std::optional<std::u16string> errorOutputFileName();

// The steps of a launch, once the VM exists. runMainClass is false when main was not called
// or threw; checkFirstRun (tessel flavour) is false when the program must not start.
bool runMainClass(const std::vector<std::u16string>& arguments);
bool checkFirstRun();

}  // namespace karvo
