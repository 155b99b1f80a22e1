// The VM options and class path handed to JNI_CreateJavaVM.
#pragma once
#include <string>
#include <vector>

#include <jni.h>

namespace karvo {

// Fills args from the launch properties, the configured and "-J" VM arguments, the
// .vmoptions file and its includes, and the class path option (always last). The option
// strings live until the process ends. Ends the process with the configured message when a
// mandatory class path entry is missing.
void buildVmInitArgs(JavaVMInitArgs& args, const std::vector<std::string>& launchProperties,
                     const std::vector<std::u16string>& arguments);

}  // namespace karvo
