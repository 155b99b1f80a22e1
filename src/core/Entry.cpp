// Process entry: chooses the role of this process from its command line.
#include <windows.h>

#include "config/LauncherConfig.h"

int main() {
    karvo::readConfig();
    return 0;
}
