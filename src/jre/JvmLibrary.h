// Loading "jvm.dll" of a chosen runtime and the JNI entry point.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include <jni.h>

namespace karvo {

using CreateJavaVMFn = jint(JNICALL*)(JavaVM**, void**, void*);

HMODULE loadJvmLibrary(const std::string& javaExePath);
HMODULE loadJvmForJavaExe(const std::string& javaExePath);
HMODULE tryLoadJvmDll(const std::string& binDirectory, const std::string& vmTypeDirectory);
bool resolveCreateJavaVM(HMODULE library);

// The process's PATH (nothing when it is longer than a PATH may be), and giving a runtime up:
// its library, if one was loaded, is freed and PATH is set back to what it was before the
// load, so that another runtime can be tried as if this one had never been loaded.
std::optional<std::string> processPath();
void abandonJvmLibrary(HMODULE library, const std::optional<std::string>& pathBefore);

// False when the runtime of this java executable has JVM libraries but none of this
// launcher's width (each one skipped is logged): such a runtime counts as not found. A
// runtime without any library stays a candidate.
bool runtimeFitsLauncher(const std::string& javaExePath);

// The stored JNI_CreateJavaVM of the loaded library, or null before it is resolved.
CreateJavaVMFn createJavaVMEntry();

}  // namespace karvo
