#include "core/ProgramJob.h"

#include "core/ServiceState.h"
#include "support/Log.h"

namespace karvo {
void ProgramJob::create(bool keepChildProcesses) {
    job_.reset(CreateJobObjectW(nullptr, nullptr));
    if (!job_) {
        logError(
            "could not create a job object (%d), the program's processes are not tied "
            "to the service",
            static_cast<int>(GetLastError()));
        return;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (keepChildProcesses)
        limits.BasicLimitInformation.LimitFlags |= JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
    if (!SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits)) {
        logError(
            "the system refused the job object's limits (%d), the program's processes "
            "are not tied to the service",
            static_cast<int>(GetLastError()));
        job_.reset();
        return;
    }
    logMessage(keepChildProcesses ? "job object created, the program's child processes are kept"
                                  : "job object created");
}

bool ProgramJob::start(std::u16string commandLine, const HostStreams& streams, DWORD flags,
                       PROCESS_INFORMATION& process) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = streams.input;
    startup.hStdOutput = streams.output;
    startup.hStdError = streams.error;
    if (!CreateProcessW(nullptr, reinterpret_cast<LPWSTR>(commandLine.data()), nullptr, nullptr,
                        TRUE, flags | CREATE_SUSPENDED, nullptr, nullptr, &startup, &process))
        return false;
    if (job_ && !AssignProcessToJobObject(job_.get(), process.hProcess))
        logError(
            "the system refused to put the program into the job object (%d), it runs "
            "without one",
            static_cast<int>(GetLastError()));
    if (ResumeThread(process.hThread) == static_cast<DWORD>(-1))
        logError("could not resume the program's process (%d)", static_cast<int>(GetLastError()));
    return true;
}

void ProgramJob::endLeftovers() {
    if (!job_) return;
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation, &accounting,
                                  sizeof accounting, nullptr) &&
        accounting.ActiveProcesses == 0)
        return;
    logMessage("ending the processes the program left behind");
    // The code a program terminated after the stop time-out gets too.
    if (!TerminateJobObject(job_.get(), ServiceCode::ServiceSpecificError))
        logError("could not end the processes the program left behind (%d)",
                 static_cast<int>(GetLastError()));
}

}  // namespace karvo
