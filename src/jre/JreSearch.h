// Finds a Java runtime whose version fits, loads its JVM library and resolves
// JNI_CreateJavaVM. With showErrors, a failure shows the message for its kind of source.
#pragma once

namespace karvo {

bool LoadDLL(bool showErrors);

}  // namespace karvo
