// Runs the Java program inside this process through the JNI invocation interface.
#pragma once
#include <string>
#include <vector>

namespace karvo {

// arguments: the child's command-line arguments (service name first), without the program
// path and the restart marker. False when the VM was not created or main failed.
bool launchJavaProgram(const std::vector<std::u16string>& arguments, bool destroyAfterMain);

// The steps of a launch, once the VM exists. runMainClass is false when main was not called
// or threw; checkFirstRun (tessel flavour) is false when the program must not start.
bool runMainClass(const std::vector<std::u16string>& arguments);
bool checkFirstRun();

}  // namespace karvo
