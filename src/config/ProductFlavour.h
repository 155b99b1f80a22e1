// ProductFlavour: the first character of key 2001, noted once at start-up and read by the
// launch code ('t' selects the tessel flavour, every other value the karvo flavour).
#pragma once
#include <string_view>

namespace karvo {

// The first character of the key's text; NUL when the text is empty. Called once by
// prepareStartupEnvironment, before any second thread exists.
void setProductFlavour(std::string_view flavourKey);

char productFlavour();
inline bool isTesselFlavour() { return productFlavour() == 't'; }

}  // namespace karvo
