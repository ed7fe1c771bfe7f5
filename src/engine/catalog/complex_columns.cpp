#include "engine/catalog/complex_columns.h"

#include "engine/format/rows/table_definition.h"

namespace engine::catalog {

namespace {

std::optional<int32_t> integerIn(const format::Value& value) {
    if (const auto* number = std::get_if<int32_t>(&value)) return *number;
    return std::nullopt;
}

ComplexKind kindOfType(const std::string& typeName) {
    if (typeName == "MSysComplexType_Attachment") return ComplexKind::Attachment;
    if (typeName.rfind("MSysComplexTypeVH_", 0) == 0) return ComplexKind::VersionHistory;
    if (typeName.rfind("MSysComplexType_", 0) == 0) return ComplexKind::MultiValue;
    return ComplexKind::Unknown;
}

}  // namespace

const char* complexKindName(ComplexKind kind) {
    switch (kind) {
        case ComplexKind::Attachment:
            return "Attachment";
        case ComplexKind::MultiValue:
            return "Multi-value";
        case ComplexKind::VersionHistory:
            return "Version history";
        case ComplexKind::Unknown:
            return "Complex";
    }
    return "Complex";
}

std::map<int32_t, ComplexKind> readComplexColumnKinds(storage::Pager& pager,
                                                      const format::JetFormat& format,
                                                      uint16_t codePage, const Catalog& catalog) {
    std::map<int32_t, ComplexKind> kinds;
    const CatalogObject* table = catalog.findTable("MSysComplexColumns");
    if (!table) return kinds;
    auto definition = format::readTableDefinition(pager, format, codePage, table->tablePage());
    const auto* complexId = definition.findColumn("ComplexID");
    const auto* typeObject = definition.findColumn("ComplexTypeObjectID");
    if (!complexId || !typeObject) return kinds;
    auto idAt = static_cast<size_t>(complexId - definition.columns.data());
    auto typeAt = static_cast<size_t>(typeObject - definition.columns.data());
    std::vector<bool> wanted(definition.columns.size(), false);
    wanted[idAt] = wanted[typeAt] = true;

    format::TableScan scan(pager, format, definition);
    std::vector<format::Value> values;
    while (scan.next(wanted, values)) {
        auto id = integerIn(values[idAt]);
        auto type = integerIn(values[typeAt]);
        if (!id || !type) continue;
        const CatalogObject* typeTable = catalog.findById(*type);
        kinds[*id] = typeTable ? kindOfType(typeTable->name) : ComplexKind::Unknown;
    }
    return kinds;
}

}  // namespace engine::catalog
