#include "ado/table_names.h"

#include "engine/catalog/object_name.h"

namespace ado {

bool sameTableName(std::string_view left, std::string_view right) {
    return engine::catalog::sameObjectName(left, right, engine::format::kGeneralLegacyOrder);
}

}  // namespace ado
