// Helpers for the ADO stand-in's tests: the program's two connection strings, and the error an
// action raises.
#pragma once

#include "ado/com_error.h"
#include "ado/connection.h"

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
