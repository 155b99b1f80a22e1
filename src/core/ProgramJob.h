// The job object the Java hosts of a service (or of a foreground run) run in. The service process holds the only
// handle to it, and the job ends every process in it when that handle closes: however the
// service process ends (a stop, a crash, taskkill /f), no host is left without its
// supervisor. A host's own child processes start in the same job unless the service keeps
// them (keep_child_processes), in which case they leave it silently as they start.
#pragma once
#include <windows.h>

#include <string>

#include "support/WinHandles.h"

namespace karvo {

// The standard handles a host gets: the control pipe's read end and where its output goes.
struct HostStreams {
    HANDLE input;
    HANDLE output;
    HANDLE error;
};

class ProgramJob {
public:
    // Makes the job. When the system refuses one (an older system whose service process
    // already runs in a job of its own), that is logged and every later call does nothing:
    // the hosts then run as they would without a job.
    void create(bool keepChildProcesses);
    // Starts a host with these standard handles (inherited) and creation flags, suspended
    // until it is in the job so that nothing it starts can escape the job. A refusal of the
    // job is logged and the host runs outside it. False, with the system's error code left
    // for the caller, when the process cannot be created.
    bool start(std::u16string commandLine, const HostStreams& streams, DWORD flags,
               PROCESS_INFORMATION& process);
    // Ends whatever is still in the job once the host has ended: the processes the program
    // started and left behind.
    void endLeftovers();

private:
    UniqueHandle job_;
};

}  // namespace karvo
