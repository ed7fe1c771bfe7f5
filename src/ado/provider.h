// The two OLE DB providers a connection can name, and which files each opens:
//
//   Microsoft.Jet.OLEDB.4.0    Jet 3 and Jet 4 files (.mdb); an ACE file is refused with
//                              "Unrecognized database format '<path>'." before its password is
//                              looked at
//   Microsoft.ACE.OLEDB.12.0   every format
//
// Names are compared without regard to letter case. Any other name, or none, is refused with
// 3706 "Provider cannot be found. It may not be properly installed."
#pragma once

#include "ado/connection_string.h"
#include "engine/database.h"

#include <string>
#include <string_view>

namespace ado {

enum class Provider { Jet4, Ace12 };

// The provider the connection string names. Throws ComError 3706.
Provider findProvider(const ConnectionString& connection);

// Checks that the provider takes every keyword of the connection string and can open the file;
// returns what to open. Throws ComError: "Could not find installable ISAM." for an unknown
// keyword, and the engine's errors (a missing file, an unrecognized format) raised as the
// provider raises them.
struct OpenRequest {
    std::string path;
    std::string password;
};
OpenRequest prepareOpen(Provider provider, const ConnectionString& connection);

}  // namespace ado
