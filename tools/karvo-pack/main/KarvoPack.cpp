// karvo-pack: makes configured executables from the launcher template and reads them back.
#include <iostream>
#include <string>
#include <vector>

#include "PackCommands.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return karvo::pack::runPacker(arguments, std::cout, std::cerr);
}
