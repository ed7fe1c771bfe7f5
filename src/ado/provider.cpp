#include "ado/provider.h"

#include "ado/com_error.h"

namespace ado {

namespace {

constexpr std::string_view kProviderKeyword = "Provider";
constexpr std::string_view kDataSourceKeyword = "Data Source";
constexpr std::string_view kPasswordKeyword = "JET OLEDB:Database Password";

}  // namespace

Provider findProvider(const ConnectionString& connection) {
    if (const std::string* name = connection.find(kProviderKeyword)) {
        if (sameKeyword(*name, "Microsoft.Jet.OLEDB.4.0")) return Provider::Jet4;
        if (sameKeyword(*name, "Microsoft.ACE.OLEDB.12.0")) return Provider::Ace12;
    }
    throw ComError(error_number::kProviderNotFound,
                   "Provider cannot be found. It may not be properly installed.");
}

OpenRequest prepareOpen(Provider provider, const ConnectionString& connection) {
    for (const auto& property : connection.properties()) {
        const bool known = sameKeyword(property.keyword, kProviderKeyword) ||
                           sameKeyword(property.keyword, kDataSourceKeyword) ||
                           sameKeyword(property.keyword, kPasswordKeyword);
        if (!known) {
            throw ComError(error_number::kGeneralFailure, "Could not find installable ISAM.");
        }
    }
    OpenRequest request;
    if (const std::string* path = connection.find(kDataSourceKeyword)) request.path = *path;
    if (const std::string* password = connection.find(kPasswordKeyword)) {
        request.password = *password;
    }
    if (provider == Provider::Jet4) {
        asComErrors([&] {
            if (engine::storage::isAce(engine::fileFormatOf(request.path))) {
                throw engine::EngineError(engine::ErrorCode::UnrecognizedFormat,
                                          "Unrecognized database format '" + request.path + "'.");
            }
        });
    }
    return request;
}

}  // namespace ado
