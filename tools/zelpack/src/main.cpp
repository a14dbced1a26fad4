#include <iostream>

#include "Cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return zelpack::RunZelpack(args, std::cout, std::cerr);
}
