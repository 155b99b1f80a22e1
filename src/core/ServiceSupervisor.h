// The service process: starts the Java host as a child with pipes on its standard streams,
// reports the service states and forwards stop and shutdown requests.
#pragma once
#include <windows.h>

namespace karvo {

void WINAPI serviceMain(DWORD argumentCount, LPSTR* arguments);
BOOL WINAPI consoleEventHandler(DWORD event);

}  // namespace karvo
