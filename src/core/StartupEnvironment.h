// What every launcher process does first: configuration, flavour, working directory.
#pragma once

namespace karvo {

void prepareStartupEnvironment();

// ProductFlavour: the first character of key 2001; 't' is the tessel flavour.
char productFlavour();
inline bool isTesselFlavour() { return productFlavour() == 't'; }

}  // namespace karvo
