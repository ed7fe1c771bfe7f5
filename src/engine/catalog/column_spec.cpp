#include "engine/catalog/column_spec.h"

#include "engine/format/table_definition_writer.h"
#include "engine/storage/unicode.h"

namespace engine::catalog {

using format::ColumnType;

namespace {

constexpr size_t kMaxNameLength = 64;
constexpr size_t kMaxColumns = 255;

[[noreturn]] void invalidName(std::string_view name) {
    throw EngineError(ErrorCode::InvalidName,
                      "'" + std::string(name) +
                          "' isn't a valid name. Make sure that it doesn't include invalid "
                          "characters or punctuation and that it isn't too long.");
}

[[noreturn]] void invalidColumn(const ColumnSpec& spec, const std::string& why) {
    throw EngineError(ErrorCode::InvalidArgument,
                      "The field '" + spec.name + "' cannot be created: " + why + ".");
}

}  // namespace

void validateName(std::string_view name) {
    std::u16string units = storage::utf8ToUtf16(name);
    if (units.empty() || units.size() > kMaxNameLength || units.front() == u' ') {
        invalidName(name);
    }
    for (char16_t unit : units) {
        if (unit < 0x20 || unit == u'.' || unit == u'!' || unit == u'`' || unit == u'[' ||
            unit == u']' || unit == 0xFFFD) {
            invalidName(name);
        }
    }
}

ColumnSpec ColumnSpec::of(const format::ColumnDefinition& column, bool jet3Source) {
    ColumnSpec spec;
    spec.name = column.name;
    spec.type = column.type;
    if (column.type == ColumnType::Text) {
        spec.size = static_cast<uint16_t>(jet3Source ? column.length : column.length / 2);
    } else if (column.type == ColumnType::Binary) {
        spec.size = column.length;
    }
    spec.precision = column.precision;
    spec.scale = column.scale;
    spec.hyperlink = column.isHyperlink();
    spec.compressedUnicode = jet3Source || column.isCompressedUnicode();
    return spec;
}

std::vector<format::ColumnDefinition> defineColumns(const std::vector<ColumnSpec>& specs,
                                                    storage::FileFormat fileFormat,
                                                    uint16_t codePage,
                                                    storage::SortOrder sortOrder) {
    if (specs.empty()) {
        throw EngineError(ErrorCode::InvalidArgument, "A table needs at least one field.");
    }
    if (specs.size() > kMaxColumns) {
        throw EngineError(ErrorCode::TooManyColumns, "Too many fields defined.");
    }
    std::vector<format::ColumnDefinition> columns;
    for (const auto& spec : specs) {
        validateName(spec.name);
        for (const auto& earlier : columns) {
            if (storage::equalsIgnoringCase(earlier.name, spec.name)) {
                invalidColumn(spec, "another field has the same name");
            }
        }
        format::ColumnDefinition column;
        column.name = spec.name;
        column.type = spec.type;
        column.flags = format::column_flags::kNullable;
        switch (spec.type) {
            case ColumnType::Text:
                if (spec.size == 0 || spec.size > 255)
                    invalidColumn(spec, "its size must be 1 to 255");
                column.length = static_cast<uint16_t>(spec.size * 2);
                break;
            case ColumnType::Binary:
                if (spec.size == 0 || spec.size > 510)
                    invalidColumn(spec, "its size must be 1 to 510");
                column.length = spec.size;
                break;
            case ColumnType::Numeric:
                if (spec.precision == 0 || spec.precision > 28 || spec.scale > spec.precision) {
                    invalidColumn(spec, "its precision must be 1 to 28 and its scale at most that");
                }
                column.precision = spec.precision;
                column.scale = spec.scale;
                break;
            case ColumnType::BigInt:
                if (fileFormat < storage::FileFormat::Ace16) {
                    invalidColumn(spec, "Large Number needs the Access 2016 format or later");
                }
                break;
            case ColumnType::ExtDateTime:
                if (fileFormat < storage::FileFormat::Ace17) {
                    invalidColumn(spec, "Date/Time Extended needs the Access 2019 format");
                }
                break;
            case ColumnType::Complex:
                invalidColumn(spec, "attachment and multi-value fields cannot be created");
            case ColumnType::Boolean:
            case ColumnType::Byte:
            case ColumnType::Integer:
            case ColumnType::Long:
            case ColumnType::Currency:
            case ColumnType::Single:
            case ColumnType::Double:
            case ColumnType::DateTime:
            case ColumnType::Ole:
            case ColumnType::Memo:
            case ColumnType::Guid:
                break;
            default:
                invalidColumn(spec, "its type is not supported");
        }
        if (spec.autoNumber) {
            if (spec.type != ColumnType::Long)
                invalidColumn(spec, "only Long Integer can number rows");
            column.flags |= format::column_flags::kAutoNumber;
        }
        if (spec.guidAutoNumber) {
            if (spec.type != ColumnType::Guid)
                invalidColumn(spec, "only Replication ID can take GUIDs");
            column.flags |= format::column_flags::kGuidAutoNumber;
        }
        if (spec.hyperlink) {
            if (spec.type != ColumnType::Memo) invalidColumn(spec, "only Memo can be a hyperlink");
            column.flags |= format::column_flags::kHyperlink;
        }
        if (format::isTextType(spec.type)) {
            column.codePage = codePage;
            column.sortLcid = sortOrder.lcid;
            column.sortVersion = sortOrder.version;
            if (spec.compressedUnicode)
                column.extFlags = format::column_ext_flags::kCompressedUnicode;
        }
        columns.push_back(column);
    }
    format::layOutColumns(columns);
    return columns;
}

}  // namespace engine::catalog
