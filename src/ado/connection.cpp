#include "ado/connection.h"

#include "ado/com_error.h"
#include "ado/connection_string.h"
#include "ado/provider.h"
#include "ado/tables_rowset.h"
#include "engine/sql/executor.h"

namespace ado {

namespace {

[[noreturn]] void outOfRange(const std::string& property, int value) {
    throw ComError(error_number::kArgumentOutOfRange,
                   "Arguments are of the wrong type, are out of acceptable range, or are in "
                   "conflict with one another: " +
                       property + " cannot be " + std::to_string(value) + ".");
}

}  // namespace

Connection::~Connection() = default;

void Connection::setCursorLocation(int location) {
    if (location != kUseServer && location != kUseClient) outOfRange("CursorLocation", location);
    m_cursorLocation = location;
}

void Connection::setMode(int mode) {
    if (m_database) {
        throw ComError(error_number::kObjectOpen,
                       "Operation is not allowed when the object is open.");
    }
    if (mode < kModeUnknown || mode > kModeReadWrite) outOfRange("Mode", mode);
    m_mode = mode;
}

void Connection::open(const std::string& connectionString) {
    if (m_database) {
        throw ComError(error_number::kObjectOpen,
                       "Operation is not allowed when the object is open.");
    }
    const auto connection = ConnectionString::parse(connectionString);
    const Provider provider = findProvider(connection);
    const OpenRequest request = prepareOpen(provider, connection);
    m_provider = provider;
    m_database = asComErrors([&] {
        return openShared(request.path, request.password,
                          m_mode == kModeRead ? Access::Read : Access::WriteIfAble);
    });
}

engine::Database& Connection::database() {
    if (!m_database) {
        throw ComError(error_number::kObjectClosed,
                       "Operation is not allowed when the object is closed.");
    }
    return m_database->database();
}

std::unique_ptr<Recordset> Connection::execute(const std::string& statement) {
    engine::Database& open = database();
    return asComErrors([&] {
        engine::sql::ExecuteOptions options;
        options.readOnly = m_mode == kModeRead;
        options.opensAceFiles = m_provider == Provider::Ace12;
        options.progress = m_copyProgress;
        options.openDestination = [](const std::string& path) {
            auto shared = openShared(path, "", Access::WriteIfAble);
            // The database, keeping its share of the file for as long as it is used.
            return std::shared_ptr<engine::Database>(shared, &shared->database());
        };
        auto rows = engine::sql::execute(open, statement, options);
        if (!rows) return std::make_unique<Recordset>();
        std::vector<Row> all;
        for (Row row; rows->next(row);) all.push_back(row);
        return std::make_unique<Recordset>(rows->columnNames(), std::move(all));
    });
}

std::unique_ptr<Recordset> Connection::openSchema(int schema) {
    engine::Database& open = database();
    if (schema != kSchemaTables) {
        throw ComError(error_number::kNotProvided,
                       "Object or provider is not capable of performing requested operation: "
                       "only the tables schema (20) is provided.");
    }
    return asComErrors([&] { return std::make_unique<Recordset>(tablesRowset(open)); });
}

void Connection::close() {
    database();
    m_database.reset();
}

}  // namespace ado
