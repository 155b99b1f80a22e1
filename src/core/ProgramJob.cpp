#include "core/ProgramJob.h"

#include "support/Log.h"

namespace karvo {
namespace {

// The exit code the processes ended with the job get: the same one a terminated program
// gets after the stop time-out.
constexpr UINT LeftoverExitCode = 1066;

}  // namespace

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

void ProgramJob::adopt(HANDLE process) {
    if (!job_) return;
    if (!AssignProcessToJobObject(job_.get(), process))
        logError(
            "the system refused to put the program into the job object (%d), it runs "
            "without one",
            static_cast<int>(GetLastError()));
}

void ProgramJob::endLeftovers() {
    if (!job_) return;
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation, &accounting,
                                  sizeof accounting, nullptr) &&
        accounting.ActiveProcesses == 0)
        return;
    logMessage("ending the processes the program left behind");
    if (!TerminateJobObject(job_.get(), LeftoverExitCode))
        logError("could not end the processes the program left behind (%d)",
                 static_cast<int>(GetLastError()));
}

}  // namespace karvo
