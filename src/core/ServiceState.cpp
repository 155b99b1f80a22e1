#include "core/ServiceState.h"

namespace karvo {

void ServiceStatusRecord::reset() {
    state_ = ServiceCode::Running;
    checkPoint_ = 0;
    win32ExitCode_ = 0;
    specificExitCode_ = 0;
    waitHint_ = ServiceCode::StopWaitHintMs;
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
        // A program that failed on its own leaves its code with the manager, which shows it
        // and counts it as a failure; one that ended after a stop request was asked to end.
        // The codes are in place before anyone can see "stopped", as in stopWithError.
        const bool failed = exitCode != 0 && state != ServiceCode::StopPending;
        specificExitCode_ = failed ? exitCode : 0;
        win32ExitCode_ = failed ? ServiceCode::ServiceSpecificError : 0;
    } while (!state_.compare_exchange_weak(state, ServiceCode::Stopped));
    return true;
}

std::uint32_t stopWaitHintFor(std::uint32_t stopTimeoutSeconds) {
    constexpr std::uint64_t MarginMs = 10000;
    const std::uint64_t needed = std::uint64_t{stopTimeoutSeconds} * 1000 + MarginMs;
    if (stopTimeoutSeconds == 0 || needed <= ServiceCode::StopWaitHintMs)
        return ServiceCode::StopWaitHintMs;
    return needed > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(needed);
}

void ServiceStatusRecord::stopWithError(std::uint32_t serviceSpecificCode) {
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
            waitHint_.load()};
}

}  // namespace karvo
