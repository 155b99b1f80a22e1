#include "core/ServiceControlRules.h"

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
    while (status->state == ServiceStateStopPending) {
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
    return status->state == ServiceStateStopped;
}

}  // namespace karvo
