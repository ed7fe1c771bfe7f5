#include "engine/catalog/table_properties.h"

#include "engine/format/rows/calculated_value.h"
#include "engine/format/rows/row_decoder.h"
#include "engine/format/rows/row_removal.h"
#include "engine/format/space/data_page.h"
#include "engine/storage/unicode.h"

#include <algorithm>

namespace engine::catalog {

using storage::readU16LE;
using storage::readU32LE;

namespace {

constexpr char kJet4Marker[] = {'M', 'R', '2', '\0'};
constexpr char kJet3Marker[] = {'K', 'K', 'D', '\0'};
constexpr size_t kMarkerSize = 4;
constexpr size_t kBlockHeaderSize = 6;
constexpr uint16_t kNamesBlock = 0x80;
constexpr uint16_t kTableBlock = 0x00;
constexpr uint16_t kColumnBlock = 0x01;
constexpr size_t kNamePartHeaderSize = 4;
constexpr size_t kEntryHeaderSize = 8;

// Reads the blob's fields, turning any overrun into a Corrupt error.
class BlobReader {
public:
    BlobReader(storage::Bytes bytes, const std::string& path, const std::string& object)
        : m_bytes(bytes), m_path(path), m_object(object) {}

    storage::Bytes slice(size_t offset, size_t width) const {
        if (offset > m_bytes.size() || width > m_bytes.size() - offset) {
            fail("runs past its end");
        }
        return m_bytes.subspan(offset, width);
    }
    uint16_t u16(size_t offset) const { return readU16LE(slice(offset, 2), 0); }
    uint32_t u32(size_t offset) const { return readU32LE(slice(offset, 4), 0); }
    [[noreturn]] void fail(const std::string& what) const {
        throw EngineError(ErrorCode::Corrupt, "The database '" + m_path +
                                                  "' is damaged: the properties of '" + m_object +
                                                  "' " + what + ".");
    }

private:
    storage::Bytes m_bytes;
    const std::string& m_path;
    const std::string& m_object;
};

std::string nameText(storage::Bytes bytes, bool jet3, uint16_t codePage) {
    if (jet3) {
        return storage::codePageToUtf8(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), codePage);
    }
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t index = 0; index < units.size(); ++index) {
        units[index] = static_cast<char16_t>(readU16LE(bytes, index * 2));
    }
    return storage::utf16ToUtf8(units);
}

void appendU16(format::ByteString& out, size_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void appendU32(format::ByteString& out, size_t value) {
    appendU16(out, value & 0xFFFF);
    appendU16(out, value >> 16);
}

void putU32(format::ByteString& out, size_t at, size_t value) {
    storage::writeU32LE(out, at, static_cast<uint32_t>(value));
}

void appendName(format::ByteString& out, const std::string& name) {
    std::u16string units = storage::utf8ToUtf16(name);
    appendU16(out, units.size() * 2);
    for (char16_t unit : units) appendU16(out, unit);
}

}  // namespace

TableProperties TableProperties::parse(storage::Bytes blob, bool jet3, uint16_t codePage,
                                       const std::string& path, const std::string& object) {
    BlobReader reader(blob, path, object);
    storage::Bytes marker = reader.slice(0, kMarkerSize);
    if (!std::equal(marker.begin(), marker.end(), jet3 ? kJet3Marker : kJet4Marker)) {
        reader.fail("do not start as properties do");
    }
    TableProperties properties;
    std::vector<std::string> names;
    size_t offset = kMarkerSize;
    while (offset < blob.size()) {
        uint32_t length = reader.u32(offset);
        uint16_t kind = reader.u16(offset + 4);
        if (length < kBlockHeaderSize) reader.fail("hold a block too short for itself");
        storage::Bytes block = reader.slice(offset + kBlockHeaderSize, length - kBlockHeaderSize);
        offset += length;
        BlobReader inside(block, path, object);
        if (kind == kNamesBlock) {
            for (size_t at = 0; at < block.size();) {
                uint16_t size = inside.u16(at);
                names.push_back(nameText(inside.slice(at + 2, size), jet3, codePage));
                at += 2u + size;
            }
            continue;
        }
        if (kind != kTableBlock && kind != kColumnBlock) continue;
        if (block.empty()) continue;
        uint32_t namePart = inside.u32(0);
        if (namePart < kNamePartHeaderSize) inside.fail("name an object with a short name part");
        std::string column;
        if (namePart > kNamePartHeaderSize + 2) {
            uint16_t size = inside.u16(kNamePartHeaderSize);
            column = nameText(inside.slice(kNamePartHeaderSize + 2, size), jet3, codePage);
        }
        for (size_t at = namePart; at < block.size();) {
            uint16_t entryLength = inside.u16(at);
            if (entryLength < kEntryHeaderSize) inside.fail("hold an entry too short for itself");
            storage::Bytes entry = inside.slice(at, entryLength);
            uint16_t nameIndex = readU16LE(entry, 4);
            uint16_t valueLength = readU16LE(entry, 6);
            if (nameIndex >= names.size()) inside.fail("name a property they do not list");
            storage::Bytes value = BlobReader(entry, path, object).slice(8, valueLength);
            Property property;
            property.ddl = entry[2] != 0;
            property.type = static_cast<format::ColumnType>(entry[3]);
            property.value.assign(value.begin(), value.end());
            properties.set(column, names[nameIndex], std::move(property));
            at += entryLength;
        }
    }
    return properties;
}

const Property* TableProperties::find(std::string_view column, std::string_view name) const {
    auto object = m_objects.find(storage::foldedCase(column));
    if (object == m_objects.end()) return nullptr;
    auto found = object->second.properties.find(storage::foldedCase(name));
    return found == object->second.properties.end() ? nullptr : &found->second.second;
}

void TableProperties::set(const std::string& column, const std::string& name, Property property) {
    Object& object = m_objects[storage::foldedCase(column)];
    object.name = column;
    object.properties[storage::foldedCase(name)] = {name, std::move(property)};
}

format::ByteString TableProperties::toBlob() const {
    std::vector<std::string> names;
    for (const auto& [key, object] : m_objects) {
        for (const auto& [folded, named] : object.properties) {
            if (std::find(names.begin(), names.end(), named.first) == names.end()) {
                names.push_back(named.first);
            }
        }
    }
    format::ByteString blob(std::begin(kJet4Marker), std::end(kJet4Marker));
    auto block = [&blob](uint16_t kind, const auto& fill) {
        size_t start = blob.size();
        appendU32(blob, 0);
        appendU16(blob, kind);
        fill();
        putU32(blob, start, blob.size() - start);
    };
    block(kNamesBlock, [&] {
        for (const auto& name : names) appendName(blob, name);
    });
    for (const auto& entry : m_objects) {
        // A named reference, not a structured binding: clang 14 cannot capture those.
        const auto& object = entry.second;
        block(object.name.empty() ? kTableBlock : kColumnBlock, [&] {
            size_t part = blob.size();
            appendU32(blob, 0);
            appendName(blob, object.name);
            putU32(blob, part, blob.size() - part);
            for (const auto& [folded, named] : object.properties) {
                const Property& property = named.second;
                size_t index = static_cast<size_t>(
                    std::find(names.begin(), names.end(), named.first) - names.begin());
                appendU16(blob, kEntryHeaderSize + property.value.size());
                blob.push_back(property.ddl ? 1 : 0);
                blob.push_back(static_cast<uint8_t>(property.type));
                appendU16(blob, index);
                appendU16(blob, property.value.size());
                blob.insert(blob.end(), property.value.begin(), property.value.end());
            }
        });
    }
    return blob;
}

TableProperties readProperties(storage::Pager& pager, const format::JetFormat& format,
                               uint16_t codePage, const CatalogObject& object) {
    auto objects = format::readTableDefinition(pager, format, codePage, kCatalogTablePage);
    const auto* column = objects.findColumn("LvProp");
    if (!column) return {};
    const auto position = static_cast<size_t>(column - objects.columns.data());
    std::vector<bool> wanted(objects.columns.size(), false);
    wanted[position] = true;

    // The row where the object's row lives now (it may have moved).
    format::RowLocation at = format::rowSlots(pager, format, object.location).back();
    auto contents = pager.read(at.page);
    format::DataPageView view(*contents, format, at.page, pager.path());
    std::vector<format::Value> values;
    format::RowDecoder decoder(pager, format, objects);
    decoder.decode(view.rowBytes(view.slot(at.row)), at.page, wanted, values);
    const auto* blob = std::get_if<format::ByteString>(&values[position]);
    if (!blob || blob->empty()) return {};
    return TableProperties::parse(*blob, format.jet3, codePage, pager.path(), object.name);
}

format::TableDefinition readTableOf(storage::Pager& pager, const format::JetFormat& format,
                                    uint16_t codePage, const CatalogObject& table) {
    auto definition = format::readTableDefinition(pager, format, codePage, table.tablePage());
    if (std::none_of(definition.columns.begin(), definition.columns.end(),
                     [](const auto& column) { return column.isCalculated(); })) {
        return definition;
    }
    TableProperties properties = readProperties(pager, format, codePage, table);
    for (auto& column : definition.columns) {
        if (!column.isCalculated()) continue;
        const Property* resultType = properties.find(column.name, "ResultType");
        if (!resultType || resultType->value.empty() || resultType->value[0] == 0) continue;
        auto type = format::columnTypeFromCode(resultType->value[0]);
        if (!type || !format::isCalculatedResultType(*type)) {
            throw EngineError(ErrorCode::Corrupt,
                              "The database '" + pager.path() +
                                  "' is damaged: the calculated column '" + column.name +
                                  "' of '" + table.name +
                                  "' gives results of the unknown type " +
                                  std::to_string(resultType->value[0]) + ".",
                              table.tablePage());
        }
        column.type = *type;
        if (format::isTextType(column.type) && column.codePage == 0) column.codePage = codePage;
    }
    return definition;
}

TableProperties calculatedColumnProperties(const std::vector<format::ColumnDefinition>& columns,
                                           const std::vector<std::string>& expressions) {
    TableProperties properties;
    for (size_t index = 0; index < columns.size(); ++index) {
        if (!columns[index].isCalculated()) continue;
        std::u16string units = storage::utf8ToUtf16(expressions.at(index));
        format::ByteString text;
        for (char16_t unit : units) appendU16(text, unit);
        properties.set(columns[index].name, "Expression",
                       {.type = format::ColumnType::Memo, .value = text});
        properties.set(columns[index].name, "ResultType",
                       {.type = format::ColumnType::Byte,
                        .value = {static_cast<uint8_t>(columns[index].type)}});
    }
    return properties;
}

void markRequired(TableProperties& properties, const std::string& column) {
    properties.set(column, "Required", {.type = format::ColumnType::Boolean, .value = {1}});
}

bool isRequired(const TableProperties& properties, std::string_view column) {
    const Property* required = properties.find(column, "Required");
    return required && !required->value.empty() && required->value[0] != 0;
}

}  // namespace engine::catalog
