// ProductFlavour lives in a unit of its own without Win32 calls, so that portable code
// that asks for the flavour also links into the native tests.
#include "config/ProductFlavour.h"

namespace karvo {
namespace {
char Flavour = '\0';  // set once by prepareStartupEnvironment, before any second thread
}  // namespace

char productFlavour() { return Flavour; }

void setProductFlavour(std::string_view flavourKey) {
    Flavour = flavourKey.empty() ? '\0' : flavourKey.front();
}

}  // namespace karvo
