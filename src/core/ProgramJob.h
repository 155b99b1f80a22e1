// The job object the Java hosts of a service run in. The service process holds the only
// handle to it, and the job ends every process in it when that handle closes: however the
// service process ends (a stop, a crash, taskkill /f), no host is left without its
// supervisor. A host's own child processes start in the same job unless the service keeps
// them (keep_child_processes), in which case they leave it silently as they start.
#pragma once
#include <windows.h>

#include "support/WinHandles.h"

namespace karvo {

class ProgramJob {
public:
    // Makes the job. When the system refuses one (an older system whose service process
    // already runs in a job of its own), that is logged and every later call does nothing:
    // the hosts then run as they would without a job.
    void create(bool keepChildProcesses);
    // Puts a process that was started suspended into the job; a refusal is logged and the
    // process runs outside it. Either way the caller resumes it.
    void adopt(HANDLE process);
    // Ends whatever is still in the job once the host has ended: the processes the program
    // started and left behind.
    void endLeftovers();

private:
    UniqueHandle job_;
};

}  // namespace karvo
