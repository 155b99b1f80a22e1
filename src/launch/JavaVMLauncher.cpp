// The in-process launch: launch properties, VM creation, the tessel first-run check, the
// runtime class's main with its parameter array, and the VM's end. Everything here runs on
// the child's main thread, which becomes the VM's main thread.
#include <windows.h>

#include "launch/JavaVMLauncher.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <jni.h>

#include "config/ExecutablePath.h"
#include "config/IncludedFiles.h"
#include "config/LauncherConfig.h"
#include "config/LauncherVariables.h"
#include "config/Messages.h"
#include "config/PathOps.h"
#include "config/PathText.h"
#include "config/ProductFlavour.h"
#include "config/TempDirectory.h"
#include "jre/JvmLibrary.h"
#include "launch/ArgumentSplitter.h"
#include "launch/LaunchParameters.h"
#include "launch/VmOptions.h"
#include "support/Log.h"
#include "support/TextConv.h"
#include "support/TextLimits.h"

namespace karvo {
namespace {

JavaVM* javaVm = nullptr;
JNIEnv* jniEnv = nullptr;

std::string expandedOrFail(ConfigKey key) {
    std::string text = getConfigString(key);
    if (!expandLauncherVariables(text)) {
        logError("configuration key %d is too long once expanded", static_cast<int>(key));
        exitWithConfiguredMessage(Key::MessageInternalError, InternalError::ExpansionTooLong);
    }
    return text;
}

// The absolute form, with doubled backslashes cleared.
std::string fullPathName(const std::string& path) {
    const DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return collapseDoubledBackslashes<char>(path);
    std::string full(needed, '\0');
    const DWORD length = GetFullPathNameA(path.c_str(), needed, full.data(), nullptr);
    full.resize(length < needed ? length : 0);
    return collapseDoubledBackslashes<char>(full);
}

// A redirection file for the Java side, or "" when that stream is not redirected. A name
// beginning with "$" (an unexpanded reference) is passed as configured.
std::optional<std::u16string> redirectionFileName(ConfigKey enabled, ConfigKey file) {
    if (getConfigInt(enabled) == 0) return std::u16string();
    std::string name = getConfigString(file);
    if (!expandLauncherVariables(name)) return std::nullopt;
    if (!name.starts_with('$')) name = fullPathName(resolvePath(name));
    return toWide(name, fileApiCodePage());
}

std::u16string redirectionFile(ConfigKey enabled, ConfigKey file) {
    if (auto name = redirectionFileName(enabled, file)) return std::move(*name);
    logError("configuration key %d is too long once expanded", static_cast<int>(file));
    exitWithConfiguredMessage(Key::MessageInternalError, InternalError::ExpansionTooLong);
}

std::vector<std::string> buildLaunchProperties() {
    LaunchPropertyInputs in;
    in.tessel = isTesselFlavour();
    in.executablePath = getExecutablePath();
    if (getConfigInt(Key::ProcessCommFile) != 0)
        in.processCommFile = getProcessFileName(GetCurrentProcessId());
    in.tempDirectory = launcherTempDir();
    in.unextractedPosition = includedDataEnd();
    const DWORD pathLength = GetEnvironmentVariableA("PATH", nullptr, 0);
    if (pathLength > 0) {
        std::string path(pathLength, '\0');
        const DWORD got = GetEnvironmentVariableA("PATH", path.data(), pathLength);
        path.resize(got < pathLength ? got : 0);
        in.path = std::move(path);
    }
    in.manPathSet = std::getenv("MANPATH") != nullptr;
    in.consoleOutputCodePage = GetConsoleOutputCP();
    in.outputMaxSize = getConfigInt(Key::OutputMaxSize);
    in.outputKeep = getConfigInt(Key::OutputKeep);
    bool shortened = false;
    auto properties = buildLaunchPropertyList(in, MaxTextLength, &shortened);
    if (shortened)
        logError("PATH is too long for java.library.path; its last entries were left out");
    return properties;
}

std::vector<std::u16string> runtimeParameters(const std::vector<std::u16string>& arguments) {
    RuntimeParameterInputs in;
    in.launcherType = getConfigInt(Key::LauncherType);
    // The configured name is ANSI text like every other configured text.
    in.mainClass = toWide(getConfigString(Key::MainClass), CP_ACP);
    in.stdErrFile = redirectionFile(Key::PassStdErrFile, Key::StdErrFile);
    in.stdOutFile = redirectionFile(Key::PassStdOutFile, Key::StdOutFile);
    in.appendRedirection = getConfigInt(Key::AppendRedirection) != 0;
    in.programArguments = splitArguments(toWide(expandedOrFail(Key::ProgramArguments), CP_ACP));
    in.arguments = arguments;
    in.jArgumentsToVm = getConfigInt(Key::JArgumentsToVm) != 0;
    return buildRuntimeParameters(in);
}

[[noreturn]] void parameterArrayFailed(const char* what) {
    logError("the VM could not create the %s", what);
    if (jniEnv->ExceptionOccurred()) jniEnv->ExceptionDescribe();
    exitWithConfiguredMessage(Key::MessageInternalError, InternalError::ParameterArray);
}

std::string firstRunMarkerPath() {
    std::string directory = fullPathName(resolvePath(getConfigString(Key::ApplicationDirectory)));
    while (directory.size() > 3 && directory.ends_with('\\')) directory.pop_back();
    return directory + "\\.tessel\\firstrun";
}

}  // namespace

bool checkFirstRun() {
    if (!pathExists(firstRunMarkerPath())) return true;
    jclass firstRun = jniEnv->FindClass("com/tessel/runtime/launcher/FirstRun");
    if (!firstRun)
        exitWithConfiguredMessage(Key::MessageInternalError, InternalError::FirstRunClass);
    jmethodID method = jniEnv->GetStaticMethodID(firstRun, "firstRun", "()Z");
    if (!method)
        exitWithConfiguredMessage(Key::MessageInternalError, InternalError::FirstRunMethod);
    const jboolean mayStart = jniEnv->CallStaticBooleanMethod(firstRun, method);
    if (jniEnv->ExceptionOccurred()) {
        jniEnv->ExceptionDescribe();
        return false;
    }
    return mayStart != JNI_FALSE;
}

bool runMainClass(const std::vector<std::u16string>& arguments) {
    if (isTesselFlavour() && !checkFirstRun()) {
        logMessage("checkFirstRun stopped further execution");
        return true;
    }
    const std::string className = runtimeClassName(isTesselFlavour());
    logMessage("main class: %s", className.c_str());
    jclass runtimeClass = jniEnv->FindClass(className.c_str());
    if (!runtimeClass) {
        logError("could not find main class");
        exitWithConfiguredMessage(Key::MessageMainClassNotFound);
    }
    jmethodID mainMethod =
        jniEnv->GetStaticMethodID(runtimeClass, "main", "([Ljava/lang/String;)V");
    if (!mainMethod) {
        logError("could not find main method");
        exitWithConfiguredMessage(Key::MessageMainMethodNotFound);
    }

    const std::vector<std::u16string> parameters = runtimeParameters(arguments);
    logMessage("param count: %d", static_cast<int>(parameters.size()));
    jclass stringClass = jniEnv->FindClass("java/lang/String");
    if (!stringClass) parameterArrayFailed("parameter array's element class");
    jobjectArray parameterArray =
        jniEnv->NewObjectArray(static_cast<jsize>(parameters.size()), stringClass, nullptr);
    if (!parameterArray) parameterArrayFailed("parameter array");
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const std::string shown = toNarrow(parameters[i], fileApiCodePage());
        logMessage("param %d: %s", static_cast<int>(i), shown.c_str());
        jstring text = jniEnv->NewString(reinterpret_cast<const jchar*>(parameters[i].data()),
                                         static_cast<jsize>(parameters[i].size()));
        if (!text) parameterArrayFailed("parameter string");
        jniEnv->SetObjectArrayElement(parameterArray, static_cast<jsize>(i), text);
    }

    logMessage("calling main");
    jniEnv->CallStaticVoidMethod(runtimeClass, mainMethod, parameterArray);
    logMessage("main returned");
    if (jniEnv->ExceptionOccurred()) {
        logError("an exception occured");
        jniEnv->ExceptionDescribe();
        return false;
    }
    return true;
}

std::u16string errorOutputFile() { return redirectionFile(Key::PassStdErrFile, Key::StdErrFile); }

std::optional<std::u16string> errorOutputFileName() {
    return redirectionFileName(Key::PassStdErrFile, Key::StdErrFile);
}

bool launchJavaProgram(const std::vector<std::u16string>& arguments, bool destroyAfterMain,
                       void (*vmCreated)(JavaVM*)) {
    logMessage("launching program");
    const std::vector<std::string> properties = buildLaunchProperties();
    JavaVMInitArgs initArgs{};
    buildVmInitArgs(initArgs, properties, arguments);
    logMessage("Creating JVM");
    const CreateJavaVMFn createJavaVM = createJavaVMEntry();
    if (!createJavaVM ||
        createJavaVM(&javaVm, reinterpret_cast<void**>(&jniEnv), &initArgs) != JNI_OK) {
        logError("could not initialize JVM");
        return false;
    }
    logMessage("JVM created");
    if (vmCreated) vmCreated(javaVm);
    if (!runMainClass(arguments)) {
        logError("could not call main");
        return false;
    }
    if (destroyAfterMain) {
        logMessage("dest JVM");
        javaVm->DestroyJavaVM();
    }
    logMessage("launch done");
    return true;
}

}  // namespace karvo
