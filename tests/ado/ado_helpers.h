// Helpers for the ADO stand-in's tests: the program's two connection strings, and the error an
// action raises.
#pragma once

#include "ado/com_error.h"
#include "ado/connection.h"

#include <cctype>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace ado::testing {

// The strings the program builds for the ACE and the Jet provider.
inline std::string aceString(const std::filesystem::path& path, const std::string& password = "") {
    return "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + path.string() +
           ";JET OLEDB:Database Password=" + password;
}
inline std::string jetString(const std::filesystem::path& path, const std::string& password = "") {
    return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + path.string() +
           ";JET OLEDB:Database Password=" + password;
}

// The string the program builds for a database when database #1 is at firstPath: the ACE
// provider when that path ends in "accdb" in any letter case, else Jet.
inline std::string programString(const std::filesystem::path& firstPath,
                                 const std::filesystem::path& path, const std::string& password) {
    std::string tail = firstPath.string();
    tail = tail.substr(tail.size() < 5 ? 0 : tail.size() - 5);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == "accdb" ? aceString(path, password) : jetString(path, password);
}

struct Raised {
    int32_t number = 0;  // 0 when nothing was raised
    std::string description;
};

inline Raised raisedBy(const std::function<void()>& action) {
    try {
        action();
    } catch (const ComError& error) {
        return {error.number(), error.what()};
    }
    return {};
}

inline std::unique_ptr<Connection> opened(const std::string& connectionString, int mode = 0) {
    auto connection = std::make_unique<Connection>();
    connection->setMode(mode);
    connection->open(connectionString);
    return connection;
}

}  // namespace ado::testing
