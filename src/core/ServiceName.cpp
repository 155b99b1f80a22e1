#include "core/ServiceName.h"

#include "support/TextLimits.h"

namespace karvo {
namespace {

// Written by the entry routine before any second thread exists, and by serviceMain before
// it starts the child; read everywhere else.
std::string& storedServiceName() {
    static std::string name;
    return name;
}

}  // namespace

const std::string& serviceName() { return storedServiceName(); }

bool setServiceName(std::string_view name) {
    if (name.size() > MaxTextLength) return false;
    storedServiceName().assign(name);
    return true;
}

}  // namespace karvo
