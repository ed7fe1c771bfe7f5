// corvanta-db: inspect, export and change Access database files from the command line.
#include "commands.h"

#include <iostream>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> words(argv + 1, argv + argc);
    int status = tools::runCommandLine(words, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
