// Table names compared as a database's catalogue compares them, for callers that hold names
// without the database: letter case and accents as the catalogue's General order folds them.
#pragma once

#include <string_view>

namespace ado {

// Whether two table names name the same table under the General order (the General Legacy
// rules: the order of Jet 4, Access 2007 and Access 2019 files; the General order of Access 2010
// and 2016 files folds letter case alike but for a few rare Cyrillic letters).
bool sameTableName(std::string_view left, std::string_view right);

}  // namespace ado
