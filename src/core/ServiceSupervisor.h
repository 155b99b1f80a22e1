// The service process: starts the Java host as a child with pipes on its standard streams,
// reports the service states and forwards stop and shutdown requests.
#pragma once
#include <windows.h>

namespace karvo {

void WINAPI serviceMain(DWORD argumentCount, LPSTR* arguments);
BOOL WINAPI consoleEventHandler(DWORD event);

// Registered with the dispatcher by serviceMain; runs on the dispatcher's thread.
void WINAPI serviceControlHandler(DWORD control);

// Writes "<code>\n" into the child's standard input and closes it. Delivered at most once;
// a request before the pipe exists is delivered by serviceMain as soon as it does.
void sendShutdownCode(unsigned char code);

// Thread routine: reads and discards the child's output until the pipe breaks, then closes
// the handle it was given.
DWORD WINAPI consumeChildOutput(LPVOID readHandle);

// The child's priority class from HKLM "SOFTWARE\norvale-soft\karvo\priority", value named
// after the service; NORMAL_PRIORITY_CLASS when absent or not a priority class.
DWORD readChildPriority();

}  // namespace karvo
