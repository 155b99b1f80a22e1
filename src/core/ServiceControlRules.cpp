#include "core/ServiceControlRules.h"

#include "core/ServiceState.h"

namespace karvo {

std::optional<std::string> makeDependencyList(std::string_view names) {
    std::string list;
    std::size_t start = 0;
    while (start <= names.size()) {
        std::size_t comma = names.find(',', start);
        if (comma == std::string_view::npos) comma = names.size();
        if (comma > start) {
            list.append(names.substr(start, comma - start));
            list.push_back('\0');
        }
        start = comma + 1;
    }
    if (list.empty()) return std::nullopt;
    list.push_back('\0');
    return list;
}

bool waitForStopState(const StopWaitHooks& hooks) {
    auto status = hooks.queryStatus();
    if (!status) return false;
    std::uint32_t intervalStart = hooks.tickCount();
    std::uint32_t checkPoint = status->checkPoint;
    while (status->state == ServiceCode::StopPending) {
        hooks.sleep(StopPollIntervalMs);
        status = hooks.queryStatus();
        if (!status) return false;
        if (status->checkPoint > checkPoint) {
            intervalStart = hooks.tickCount();
            checkPoint = status->checkPoint;
            continue;
        }
        // Unsigned difference: correct across the tick counter's wrap-around.
        if (hooks.tickCount() - intervalStart > status->waitHint) break;
    }
    return status->state == ServiceCode::Stopped;
}

std::optional<StopProgress> waitForStartSettled(const StopWaitHooks& hooks, std::uint32_t settleMs,
                                                std::uint32_t limitMs) {
    auto status = hooks.queryStatus();
    const std::uint32_t startedAt = hooks.tickCount();
    bool running = false;
    std::uint32_t runningSince = 0;
    while (status && status->state != ServiceCode::Stopped) {
        const std::uint32_t now = hooks.tickCount();
        if (status->state == ServiceCode::Running) {
            if (!running) runningSince = now;
            running = true;
            if (now - runningSince >= settleMs) break;
        } else {
            // A stop under way must end too; the settling starts again after it.
            running = false;
            if (now - startedAt >= limitMs) break;
        }
        hooks.sleep(StartPollIntervalMs);
        status = hooks.queryStatus();
    }
    return status;
}

namespace {

// The system's texts end with a full stop and a line break; the line adds its own.
std::string_view trimmedSystemText(std::string_view text) {
    while (!text.empty() &&
           (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '.'))
        text.remove_suffix(1);
    return text;
}

const char* supervisorFailureMeaning(std::uint32_t code) {
    switch (code) {
        case SupervisorFailure::ChildStart: return "the program's process could not be started";
        case SupervisorFailure::Pipes: return "the pipes to the program could not be made";
        case SupervisorFailure::CommandLineTooLong: return "the program's command line is too long";
        case SupervisorFailure::UnquotableArgument:
            return "a start parameter holds both kinds of quote";
        case SupervisorFailure::StopTimedOut:
            return "the program did not end within stop_timeout and was terminated";
        case SupervisorFailure::RestartLimitReached:
            return "the program failed too often and is not restarted again";
        default: return nullptr;
    }
}

}  // namespace

std::string errorWithSystemText(std::uint32_t code, std::string_view systemText) {
    const std::string_view text = trimmedSystemText(systemText);
    if (text.empty()) return "error " + std::to_string(code);
    return std::string(text) + " (error " + std::to_string(code) + ")";
}

std::string controlFailureLine(std::string_view action, std::string_view serviceName,
                               std::uint32_t error, std::string_view systemText) {
    const std::string name(serviceName);
    if (error == ErrorServiceDoesNotExist) return "Service '" + name + "' is not installed.";
    if (error == ErrorAccessDenied) return "Access is denied: run this from an elevated prompt.";
    return "Could not " + std::string(action) + " service '" + name +
           "': " + errorWithSystemText(error, systemText) + ".";
}

std::string serviceExitMeaning(std::uint32_t win32ExitCode, std::uint32_t specificExitCode,
                               std::string_view systemText) {
    if (win32ExitCode == 0) return "exit code 0";
    if (win32ExitCode != ServiceCode::ServiceSpecificError) {
        const std::string_view text = trimmedSystemText(systemText);
        return "exit code " + std::to_string(win32ExitCode) +
               (text.empty() ? "" : ": " + std::string(text));
    }
    if (const char* meaning = supervisorFailureMeaning(specificExitCode))
        return "exit code " + std::to_string(specificExitCode) + ": " + meaning;
    // Shown signed: a program that ends with -1 reads better as -1 than as 4294967295.
    return "the program ended with exit code " +
           std::to_string(static_cast<std::int32_t>(specificExitCode));
}

std::string startFailureLine(std::string_view serviceName, std::string_view meaning,
                             const std::vector<std::string>& outputFiles,
                             std::string_view logFile) {
    std::string line = "Service '" + std::string(serviceName) +
                       "' stopped during its start: " + std::string(meaning) + ".";
    if (outputFiles.empty()) {
        line +=
            " Its output is not kept (set redirect_stdout and stdout_file to keep it); "
            "its last lines are in the Application event log.";
    } else {
        line += " Its output:";
        for (std::size_t i = 0; i < outputFiles.size(); ++i)
            line += (i ? ", " : " ") + outputFiles[i];
        line += "; what it wrote before those were opened is in the Application event log.";
    }
    if (!logFile.empty()) line += " Diagnostic log: " + std::string(logFile) + ".";
    return line;
}

}  // namespace karvo
