// velmora-store: makes, fills and checks a store's databases.
#include <iostream>
#include <string>
#include <vector>

#include "tools/store/cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return storetool::runStoreTool(args, std::cout, std::cerr);
}
