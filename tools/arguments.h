// The command line of corvanta-db: a command, its positional arguments, and options.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tools {

struct Arguments {
    std::string command;
    std::vector<std::string> positional;
    std::optional<std::string> password;             // -p: the (source) database's password
    std::optional<std::string> destinationPassword;  // -P: a copy's destination password
    std::optional<std::string> format;               // --format for create
    bool all = false;                                // --all for tables and check
    bool whole = false;                              // --whole for copy
    bool encode = false;                             // --encode for create (Jet 3, Jet 4)
    std::vector<std::pair<std::string, std::string>> types;  // --type COLUMN=TYPE for import
    std::optional<std::string> dateFormat;                   // --date-format for import
    bool help = false;
    bool version = false;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws UsageError for an unknown option or an option without its value. Every word after "--"
// is a positional argument, even one that begins with '-'.
Arguments parseArguments(const std::vector<std::string>& words);

extern const char* const kUsage;
// "corvanta-db VERSION", the first line of --version.
extern const char* const kVersionLine;

}  // namespace tools
