// The text every database connection of the program is opened with.
//
// The provider follows database #1's path: when its last five characters, lower-cased, are
// "accdb" (a dot before them is not asked for), both databases are opened through ACE 12.0,
// otherwise through Jet 4.0:
//
//   "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" path ";JET OLEDB:Database Password=" password
//   "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" path ";JET OLEDB:Database Password=" password
//
// The password clause is always there; an empty password ends the text with it.
#pragma once

#include "db/database_texts.h"

#include <QString>

namespace db {

// The connection text for a database. An empty path stands for database #1: its path and
// password are read from Text1 and Text2, and the password given is ignored. The provider is
// chosen from Text1 as it stands now, whichever database the text is for.
QString GetConnectionString(const DatabaseTexts& texts, const QString& path,
                            const QString& password);

}  // namespace db
