// Runs the Java program inside this process through the JNI invocation interface.
#pragma once
#include <string>
#include <vector>

namespace karvo {

// arguments: the child's command-line arguments (service name first), without the program
// path and the restart marker. False when the VM was not created or main failed.
bool launchJavaProgram(const std::vector<std::u16string>& arguments, bool destroyAfterMain);

}  // namespace karvo
