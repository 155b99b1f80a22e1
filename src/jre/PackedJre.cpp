#include "jre/PackedJre.h"

#include <windows.h>

#include <cstdio>

#include "config/ConfigKeys.h"
#include "config/Messages.h"
#include "config/PathOps.h"
#include "jre/RuntimeLayout.h"
#include "support/Log.h"
#include "support/WinHandles.h"

namespace karvo {

bool isPackedJre(const std::string& runtimeDirectory) {
    return pathExists(runtimeDirectory + "\\lib\\rt.jar.pack") &&
           !pathExists(runtimeDirectory + "\\lib\\jsse.jar");
}

void prepareJre(const std::string& runtimeDirectory) {
    if (!isPackedJre(runtimeDirectory)) return;
    logMessage("Unpacking JRE");
    // The only sign of progress while the jars are restored, which takes a while.
    std::fputs("Preparing JRE ...\n", stdout);
    std::fflush(stdout);
    for (std::string_view jar : PackedJars) unpackJar(runtimeDirectory, jar);
    logMessage("Unpacking JRE done");
}

void unpackJar(const std::string& runtimeDirectory, std::string_view jar) {
    const std::string packFile = runtimeDirectory + "\\" + std::string(jar) + ".pack";
    const std::string jarFile = packFile.substr(0, packFile.size() - 5);
    if (!pathExists(packFile)) {
        logMessage("pack path doesn't exists");
        return;
    }
    const std::string program = runtimeDirectory + "\\bin\\unpack200.exe";
    std::string arguments = unpackArguments(packFile, jarFile);
    logMessage("%s", program.c_str());
    logMessage("%s", arguments.c_str());

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(program.c_str(), arguments.data(), nullptr, nullptr, TRUE,
                        NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &info)) {
        logMessage("could not create unpack process");
        exitWithConfiguredMessage(Key::MessageInternalError, InternalError::UnpackTool);
    }
    UniqueHandle process(info.hProcess), thread(info.hThread);
    logMessage("waiting for unpack200 to finish");
    // No limit: restoring rt.jar takes as long as it takes, and the runtime is useless
    // until it is done.
    WaitForSingleObject(process.get(), INFINITE);
    logMessage("unpack done");
}

}  // namespace karvo
