// A table's properties (captions, formats, validation, the expressions of calculated columns
// ...), kept in the LvProp column of the table's MSysObjects row. Integers little-endian.
//
//   offset  size  meaning
//   0         4   "MR2" 0 (Jet 4 and later) or "KKD" 0 (Jet 3)
//   4      rest   blocks, each:
//                   0   4   the block's length, these 6 bytes included
//                   4   2   kind: 0x80 the property names, 0x00 the table's own properties,
//                           0x01 a column's properties
//                   6       contents
// Names block: every name as a 2-byte byte length and the name.
// Properties block: the object's name part (4-byte length of the part, its own 4 bytes
// included, then a 2-byte byte length and the column's name; a part of 6 bytes or fewer names
// nothing), then one entry per property:
//   0   2   the entry's length, these 2 bytes included
//   2   1   1 when the property is the engine's own (DDL), else 0
//   3   1   the value's type (a column type code)
//   4   2   the property's name: its place in the names block
//   6   2   the value's length n
//   8   n   the value, stored as a column of its type stores it
// Names are UTF-16LE in Jet 4 and later files, code-page text in Jet 3 files.
//
// Calculated columns (format/rows/calculated_value.h) keep two: Expression (a Memo, DDL) and
// ResultType (a Byte, DDL: the type code of the values).
#pragma once

#include "engine/catalog/catalog.h"
#include "engine/format/rows/table_definition.h"
#include "engine/format/rows/value.h"
#include "engine/storage/unicode.h"

#include <map>
#include <string>

namespace engine::catalog {

struct Property {
    format::ColumnType type = format::ColumnType::Byte;
    format::ByteString value;
    bool ddl = true;
};

class TableProperties {
public:
    // Throws Corrupt (naming path and the object) when the blob is damaged.
    static TableProperties parse(storage::Bytes blob, bool jet3, uint16_t codePage,
                                 const std::string& path, const std::string& object);

    // A column's property ("" names the table itself), its name compared without regard to
    // case; nullptr when it has none.
    const Property* find(std::string_view column, std::string_view name) const;
    void set(const std::string& column, const std::string& name, Property property);
    // Forgets every property of a column; whether it had any.
    bool forget(std::string_view column) {
        return m_objects.erase(storage::foldedCase(column)) > 0;
    }
    bool empty() const { return m_objects.empty(); }
    // Calls visit(column, name, property) for every property ("" as column: the table's own).
    template <typename Visit>
    void forEach(Visit&& visit) const {
        for (const auto& [folded, object] : m_objects) {
            for (const auto& [key, named] : object.properties) {
                visit(object.name, named.first, named.second);
            }
        }
    }
    // The blob to store. Jet 4 and later.
    format::ByteString toBlob() const;

private:
    // By folded object name: the object's name as given, and its properties by folded name.
    struct Object {
        std::string name;
        std::map<std::string, std::pair<std::string, Property>> properties;
    };
    std::map<std::string, Object> m_objects;
};

// The properties of an object of the catalogue (empty when it has none).
TableProperties readProperties(storage::Pager& pager, const format::JetFormat& format,
                               uint16_t codePage, const CatalogObject& object);

// A table's definition as its values read: calculated columns take the type of their results
// (their property ResultType; the stored code when it has none). Throws Corrupt when a result
// type is one no calculated column can have.
format::TableDefinition readTableOf(storage::Pager& pager, const format::JetFormat& format,
                                    uint16_t codePage, const CatalogObject& table);

// The properties a new table's calculated columns need. Jet 4 and later.
TableProperties calculatedColumnProperties(const std::vector<format::ColumnDefinition>& columns,
                                           const std::vector<std::string>& expressions);

// Sets a column's Required property (a Boolean the engine keeps, true), as the product does
// for a field that must have a value.
void markRequired(TableProperties& properties, const std::string& column);

// Whether the properties set a column's Required property to true.
bool isRequired(const TableProperties& properties, std::string_view column);

}  // namespace engine::catalog
