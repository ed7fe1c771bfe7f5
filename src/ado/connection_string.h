// Connection strings: KEYWORD=value parts separated by ";".
//
//   Provider=Microsoft.ACE.OLEDB.12.0;Data Source=D:\Data\Sales.accdb;JET OLEDB:Database Password=x
//
// Keywords are compared without regard to letter case, blanks around them ignored. A value runs
// verbatim from after the first "=" to the next ";" or the end: blanks, quotes and "=" are part
// of it, and there is no way to write a ";" inside one. Empty parts (";;", a closing ";") are
// skipped.
//
//   Provider                      the OLE DB provider (provider.h)
//   Data Source                   the database file
//   JET OLEDB:Database Password   its password; empty means none
//
// A part without "=" or a keyword given twice makes the string malformed. Other keywords are
// kept for the provider to judge (the providers refuse them).
#pragma once

#include "engine/sql/keyword_parts.h"

#include <string>
#include <string_view>
#include <vector>

namespace ado {

struct ConnectionProperty {
    std::string keyword;  // as written, blanks around it removed
    std::string value;    // verbatim
};

class ConnectionString {
public:
    // Throws ComError kBadConnectionString for a malformed string. The message names the part
    // by its number only: a password holding ";" runs on into what looks like further parts.
    static ConnectionString parse(std::string_view text);

    // The value of a keyword (letter case ignored), or nullptr when the string lacks it.
    const std::string* find(std::string_view keyword) const;
    const std::vector<ConnectionProperty>& properties() const { return m_properties; }

private:
    std::vector<ConnectionProperty> m_properties;
};

// Whether two keywords are equal when ASCII letter case is ignored.
using engine::sql::sameKeyword;

}  // namespace ado
