// make-sample-database PATH: writes the sample database that lies beside the program.
#include "sample_database.h"

#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make-sample-database PATH\n";
        return 2;
    }
    const std::filesystem::path path(argv[1]);
    try {
        std::filesystem::create_directories(path.parent_path());
        std::filesystem::remove(path);
        tools::writeSampleDatabase(path.string());
    } catch (const std::exception& error) {
        std::cerr << "make-sample-database: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
