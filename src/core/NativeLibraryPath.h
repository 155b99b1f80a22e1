#pragma once

namespace karvo {

// Puts the configured native library directories in front of PATH, in both the process
// environment and the C runtime's copy. Only the Java host calls it.
void prepareNativeLibraryPath();

}  // namespace karvo
