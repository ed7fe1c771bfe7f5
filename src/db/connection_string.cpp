#include "db/connection_string.h"

namespace db {
namespace {

// The provider test reads database #1's path: its last five characters (the whole path when it
// is shorter), lower-cased.
bool namesAceDatabase(const QString& firstPath) {
    return firstPath.right(5).toLower() == QStringLiteral("accdb");
}

}  // namespace

QString GetConnectionString(const DatabaseTexts& texts, const QString& path,
                            const QString& password) {
    QString usedPath = path;
    QString usedPassword = password;
    if (path.isEmpty()) {
        usedPath = texts.Text1();
        usedPassword = texts.Text2();
    }
    const QString provider = namesAceDatabase(texts.Text1())
                                 ? QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0")
                                 : QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0");
    return provider + QStringLiteral(";Data Source=") + usedPath +
           QStringLiteral(";JET OLEDB:Database Password=") + usedPassword;
}

}  // namespace db
