// The status the service process reports to the Service Control Manager, and the rules by
// which it changes. The dispatcher thread (control requests) and the serviceMain thread
// (child start and end) both change it without a lock, so every field that moves is an
// atomic 32-bit word and every change is a single atomic step.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>

namespace karvo {

// Service states and codes as the Service Control Manager numbers them.
namespace ServiceCode {
inline constexpr std::uint32_t Stopped = 1;
inline constexpr std::uint32_t StartPending = 2;
inline constexpr std::uint32_t StopPending = 3;
inline constexpr std::uint32_t Running = 4;
inline constexpr std::uint32_t Win32Type = 48;          // own-process and share-process bits
inline constexpr std::uint32_t AcceptStopAndShutdown = 5;
inline constexpr std::uint32_t StopWaitHintMs = 50000;
inline constexpr std::uint32_t ControlStop = 1;
inline constexpr std::uint32_t ControlShutdown = 5;
inline constexpr std::uint32_t ServiceSpecificError = 1066;
}  // namespace ServiceCode

// Service-specific exit codes of a service that stopped because its child never ran.
namespace SupervisorFailure {
inline constexpr std::uint32_t ChildStart = 5000;        // CreateProcessW failed
inline constexpr std::uint32_t Pipes = 5001;             // a pipe could not be made or set up
inline constexpr std::uint32_t CommandLineTooLong = 5002;
inline constexpr std::uint32_t UnquotableArgument = 5003;  // holds both kinds of quote
// And of a service whose program had to be ended or was given up on.
inline constexpr std::uint32_t StopTimedOut = 5004;      // terminated after stop_timeout
inline constexpr std::uint32_t RestartLimitReached = 5005;
}  // namespace SupervisorFailure

// The wait hint reported while stopping. A stop time-out longer than the usual hint must be
// covered by it, or a waiting stop command gives up before the program is ended; the margin
// leaves time for the termination and the clean-up behind it.
std::uint32_t stopWaitHintFor(std::uint32_t stopTimeoutSeconds);

// The seven fields in the order of the platform's SERVICE_STATUS.
using ServiceStatusFields = std::array<std::uint32_t, 7>;

class ServiceStatusRecord {
public:
    // Back to the values serviceMain starts with: running, nothing requested.
    void reset();

    // A stop or shutdown request. Returns false (and changes nothing) once the service has
    // been reported stopped: a late request must not bring a stopped service back to
    // "stop pending". A shutdown also advances the check point.
    bool requestStop(bool shutdown);

    // The child ended and is not restarted: stopped. True unless stopped was reported
    // before. A child that ended with an error on its own leaves its exit code as the
    // service-specific one; after a stop or shutdown request both codes stay 0.
    bool childEnded(std::uint32_t exitCode);

    // The child never ran: stopped, with the service-specific error code.
    void failedToStart(std::uint32_t serviceSpecificCode) { stopWithError(serviceSpecificCode); }
    // Stopped with the service-specific error code, whatever the state was.
    void stopWithError(std::uint32_t serviceSpecificCode);

    // Set once before any control request can arrive.
    void setStopWaitHint(std::uint32_t milliseconds) { waitHint_ = milliseconds; }

    std::uint32_t currentState() const { return state_.load(); }
    ServiceStatusFields fields() const;

private:
    std::atomic<std::uint32_t> state_{ServiceCode::Running};
    std::atomic<std::uint32_t> checkPoint_{0};
    std::atomic<std::uint32_t> win32ExitCode_{0};
    std::atomic<std::uint32_t> specificExitCode_{0};
    std::atomic<std::uint32_t> waitHint_{ServiceCode::StopWaitHintMs};
};

static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

// Hands the record to `send` (which reports it and returns whether that worked) until the
// fields sent are still the record's fields afterwards. The other thread may change the
// record between our taking the fields and their arrival; without the repeat our older
// fields would arrive last (a "running" after the handler's "stop pending"). The record only
// moves forward, so a few repeats suffice; whoever changed it reports it as well.
template <typename Send>
bool reportLatest(const ServiceStatusRecord& record, Send&& send) {
    constexpr int MaxRepeats = 4;
    ServiceStatusFields sent = record.fields();
    bool ok = send(sent);
    for (int repeat = 0; repeat < MaxRepeats; ++repeat) {
        const ServiceStatusFields now = record.fields();
        if (now == sent) break;
        sent = now;
        ok = send(sent);
    }
    return ok;
}

}  // namespace karvo
