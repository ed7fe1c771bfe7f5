// The user tables of a database, and the filling of the two table lists from them.
//
// The tables are read from the tables rowset of a connection (schema 20); a row counts as a user
// table when its TABLE_TYPE is exactly "TABLE", so the provider's own classification decides what
// is listed. Names keep the rowset's order.
#pragma once

#include "db/session.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace db {

inline constexpr char kUnableToAccessMessage[] = "Unable to access the database";

// The user tables of the database at path, or nothing. Nothing, without a word, when no file is
// at the path. When the database cannot be read (a wrong password, a damaged or foreign file, a
// missing provider ...) raises TableListFailed, shows the path and the failure's description,
// and gives nothing. An empty list is a database without user tables.
std::optional<QStringList> GetAccessTables(const Session& session, const QString& path,
                                           const QString& password);

// Fills List1 from database #1 (Text1, Text2), replacing its entries and making the first one
// current. When the database gives no list, says "Unable to access the database" and leaves
// List1 as it was. Trapped: a failing step is reported and the next one runs.
void AddTablesToAccessListbox(const Session& session);

// The same for List2 from database #2 (Text3, Text4), without a message of its own when the
// database gives no list.
void AddTablesToAccessListbox2(const Session& session);

}  // namespace db
