#include "core/EventLogSource.h"

#include <windows.h>

#include "config/ExecutablePath.h"
#include "config/LauncherConfig.h"
#include "core/ServiceName.h"
#include "support/Log.h"
#include "support/TextConv.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

// The one entry of the executable's message table: "%1", the event's own text.
constexpr DWORD TextEventId = 1;
constexpr DWORD AllEventTypes = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE |
                                EVENTLOG_INFORMATION_TYPE;

}  // namespace

std::string eventSourceKey(const std::string& serviceName) {
    return "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + serviceName;
}

bool registerEventSource(const std::string& serviceName) {
    const std::u16string key = toWide(eventSourceKey(serviceName), CP_ACP);
    UniqueKey source;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, wideChars(key), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        source.receive(), nullptr) != ERROR_SUCCESS)
        return false;
    const std::u16string file = toWide(getExecutablePath(), fileApiCodePage());
    const DWORD fileBytes = static_cast<DWORD>((file.size() + 1) * sizeof(char16_t));
    const DWORD types = AllEventTypes;
    return RegSetValueExW(source.get(), L"EventMessageFile", 0, REG_EXPAND_SZ,
                          reinterpret_cast<const BYTE*>(file.c_str()), fileBytes) ==
               ERROR_SUCCESS &&
           RegSetValueExW(source.get(), L"TypesSupported", 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&types), sizeof types) == ERROR_SUCCESS;
}

void removeEventSource(const std::string& serviceName) {
    const std::u16string key = toWide(eventSourceKey(serviceName), CP_ACP);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, wideChars(key));
}

void reportServiceEvent(WORD type, const std::string& text) {
    const HANDLE source = RegisterEventSourceA(nullptr, serviceName().c_str());
    if (!source) {
        logError("RegisterEventSource failed (%d)", static_cast<int>(GetLastError()));
        return;
    }
    const char* strings[] = {text.c_str()};
    if (!ReportEventA(source, type, 0, TextEventId, nullptr, 1, 0, strings, nullptr))
        logError("ReportEvent failed (%d)", static_cast<int>(GetLastError()));
    DeregisterEventSource(source);
}

}  // namespace karvo
