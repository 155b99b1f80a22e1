#include "core/ServiceState.h"

namespace karvo {

void ServiceStatusRecord::reset() {
    state_ = ServiceCode::Running;
    checkPoint_ = 0;
    win32ExitCode_ = 0;
    specificExitCode_ = 0;
}

bool ServiceStatusRecord::requestStop(bool shutdown) {
    std::uint32_t state = state_.load();
    do {
        if (state == ServiceCode::Stopped) return false;
    } while (!state_.compare_exchange_weak(state, ServiceCode::StopPending));
    if (shutdown) ++checkPoint_;
    return true;
}

bool ServiceStatusRecord::childEnded(std::uint32_t exitCode) {
    // Whoever gets here first decides: a request that raced with the child's end either
    // set "stop pending" before (then we report stopped) or finds "stopped" and backs off.
    std::uint32_t state = state_.load();
    do {
        if (state == ServiceCode::Stopped) return false;
        if (exitCode != 0 && state != ServiceCode::StopPending) return false;
    } while (!state_.compare_exchange_weak(state, ServiceCode::Stopped));
    return true;
}

void ServiceStatusRecord::failedToStart(std::uint32_t serviceSpecificCode) {
    win32ExitCode_ = ServiceCode::ServiceSpecificError;
    specificExitCode_ = serviceSpecificCode;
    state_ = ServiceCode::Stopped;
}

ServiceStatusFields ServiceStatusRecord::fields() const {
    return {ServiceCode::Win32Type,
            state_.load(),
            ServiceCode::AcceptStopAndShutdown,
            win32ExitCode_.load(),
            specificExitCode_.load(),
            checkPoint_.load(),
            ServiceCode::StopWaitHintMs};
}

}  // namespace karvo
