// The least a Java host can do: load jvm.dll, create the VM with a class path, call the
// main class's main with no arguments, destroy the VM. The bench measures the launcher's
// Java host against this program with the same stand-in jvm.dll. Not shipped.
//   bare-loader <path of jvm.dll> <main class, slash-separated>
#include <windows.h>

#include <cstdio>

#include <jni.h>

namespace {

using CreateJavaVMFn = jint(JNICALL*)(JavaVM**, void**, void*);

int fail(const char* what) {
    std::fprintf(stderr, "bare-loader: %s (error %lu)\n", what, GetLastError());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bare-loader <jvm.dll> <main class>\n");
        return 2;
    }
    HMODULE library = LoadLibraryA(argv[1]);
    if (!library) return fail("cannot load the JVM library");
    const auto create = reinterpret_cast<CreateJavaVMFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "JNI_CreateJavaVM")));
    if (!create) return fail("no JNI_CreateJavaVM");

    char classPath[] = "-Djava.class.path=.";
    JavaVMOption options[] = {{classPath, nullptr}};
    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_2;
    args.nOptions = 1;
    args.options = options;
    args.ignoreUnrecognized = JNI_TRUE;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (create(&vm, reinterpret_cast<void**>(&env), &args) != JNI_OK) return fail("VM not created");

    jclass mainClass = env->FindClass(argv[2]);
    if (!mainClass) return fail("no main class");
    jmethodID main = env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V");
    if (!main) return fail("no main method");
    jclass stringClass = env->FindClass("java/lang/String");
    jobjectArray parameters = env->NewObjectArray(0, stringClass, nullptr);
    env->CallStaticVoidMethod(mainClass, main, parameters);
    const int exitCode = env->ExceptionCheck() ? 1 : 0;
    vm->DestroyJavaVM();
    return exitCode;
}
