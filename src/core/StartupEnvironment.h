// What every launcher process does first: configuration, flavour, working directory.
#pragma once

namespace karvo {

void prepareStartupEnvironment();

}  // namespace karvo
