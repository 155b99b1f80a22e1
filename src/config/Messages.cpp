#include "config/Messages.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

#include "config/LauncherConfig.h"
#include "config/MessageText.h"
#include "config/PathOps.h"
#include "support/Log.h"
#include "support/SystemLibrary.h"

namespace karvo {
namespace {
// Written once by readConfig before any second thread exists.
std::atomic<bool> MessageBoxes{true};
}  // namespace

void setMessageBoxMode(bool on) { MessageBoxes = on; }
bool messageBoxMode() { return MessageBoxes; }

// Composed texts are not limited: a long argument or log path is shown whole rather than
// cut at an arbitrary byte.
void showMessage(const std::string& text) {
    std::optional<std::string> logPath = getLogFilePath();
    if (logPath) {
        if (auto longForm = getLongPathName(*logPath)) logPath = *longForm;
    }
    const std::string composed = appendLogPath(text, logPath);
    if (MessageBoxes) {
        const std::string& title = getConfigString(Key::MessageTitle);
        using MessageBoxAFn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
        static const auto messageBox = systemFunction<MessageBoxAFn>("user32.dll", "MessageBoxA");
        if (messageBox)
            messageBox(nullptr, composed.c_str(), title.c_str(), MB_ICONERROR | MB_OK);
    } else {
        std::fprintf(stderr, "%s\n", composed.c_str());
        std::fflush(stderr);
    }
}

void showConfiguredMessage(ConfigKey key, std::optional<std::string_view> argument) {
    showMessage(substitutePlaceholder(getConfigString(key), argument));
}

void exitWithMessage(const std::string& text) {
    showMessage(text);
    std::fflush(nullptr);
    ExitProcess(1);
}

void exitWithConfiguredMessage(ConfigKey key, std::optional<std::string_view> argument) {
    showConfiguredMessage(key, argument);
    std::fflush(nullptr);
    ExitProcess(1);
}

}  // namespace karvo
