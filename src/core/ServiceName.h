// ServiceName: the service this process works with. From key 101, replaced by a name on
// the command line or by the one the service dispatcher passes.
#pragma once
#include <string>
#include <string_view>

namespace karvo {

const std::string& serviceName();
// Refuses (returns false, name unchanged) a name longer than the text limit.
bool setServiceName(std::string_view name);

}  // namespace karvo
