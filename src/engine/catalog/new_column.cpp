#include "engine/catalog/new_column.h"

#include "engine/format/rows/calculated_value.h"
#include "engine/format/rows/table_definition_writer.h"
#include "engine/format/rows/text_codec.h"
#include "engine/storage/unicode.h"

#include <algorithm>

namespace engine::catalog {

using format::ColumnType;

namespace {

constexpr size_t kMaxNameLength = 64;
constexpr size_t kMaxColumns = 255;
constexpr size_t kMaxTextCharacters = 255;
constexpr uint8_t kMaxDecimalPrecision = 28;

[[noreturn]] void invalidName(std::string_view name) {
    throw EngineError(ErrorCode::InvalidName,
                      "'" + std::string(name) +
                          "' isn't a valid name. Make sure that it doesn't include invalid "
                          "characters or punctuation and that it isn't too long.");
}

[[noreturn]] void invalidColumn(const NewColumn& request, const std::string& why) {
    throw EngineError(ErrorCode::InvalidArgument,
                      "The field '" + request.name + "' cannot be created: " + why + ".");
}

// A calculated column stores its results wrapped, in the variable area (calculated_value.h).
void defineCalculated(const NewColumn& request, storage::FileFormat fileFormat,
                      format::ColumnDefinition& column) {
    if (fileFormat < storage::FileFormat::Ace14) {
        invalidColumn(request, "calculated fields need the Access 2010 format or later");
    }
    if (!format::isCalculatedResultType(request.type) || request.autoNumber ||
        request.guidAutoNumber || request.hyperlink) {
        invalidColumn(request, "a calculated field cannot give results of this kind");
    }
    column.extFlags = format::column_ext_flags::kCalculated;
    switch (request.type) {
        case ColumnType::Text:
            column.length = static_cast<uint16_t>(column.length + format::kCalculatedOverhead);
            break;
        case ColumnType::Memo:
            column.length = 0;
            break;
        default:
            column.length = format::kCalculatedFixedLength;
    }
}

}  // namespace

void validateName(std::string_view name, storage::FileFormat fileFormat, uint16_t codePage) {
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
    char32_t missing = 0;
    if (storage::isJet3(fileFormat) && !storage::utf8ToCodePageExactly(name, codePage, missing)) {
        throw EngineError(ErrorCode::InvalidName,
                          "'" + std::string(name) +
                              "' isn't a valid name in this database: code page " +
                              std::to_string(codePage) + " has no character " +
                              format::describeCharacter(missing) + ".");
    }
}

NewColumn NewColumn::of(const format::ColumnDefinition& column, bool jet3Source) {
    NewColumn request;
    request.name = column.name;
    request.type = column.type;
    if (column.isCalculated()) {
        // The declared length counts the wrapping of the stored results.
        if (column.type == ColumnType::Text) {
            size_t characters = column.length > format::kCalculatedOverhead
                                    ? (column.length - format::kCalculatedOverhead) / 2
                                    : kMaxTextCharacters;
            request.size =
                static_cast<uint16_t>(std::clamp<size_t>(characters, 1, kMaxTextCharacters));
        }
        request.precision = kMaxDecimalPrecision;
        request.scale = 0;
        request.compressedUnicode = true;
        return request;
    }
    if (column.type == ColumnType::Text) {
        request.size = static_cast<uint16_t>(jet3Source ? column.length : column.length / 2);
    } else if (column.type == ColumnType::Binary) {
        request.size = column.length;
    }
    request.precision = column.precision;
    request.scale = column.scale;
    request.hyperlink = column.isHyperlink();
    request.compressedUnicode = jet3Source || column.isCompressedUnicode();
    return request;
}

std::vector<format::ColumnDefinition> defineColumns(const std::vector<NewColumn>& newColumns,
                                                    storage::FileFormat fileFormat,
                                                    uint16_t codePage,
                                                    storage::SortOrder sortOrder) {
    if (newColumns.empty()) {
        throw EngineError(ErrorCode::InvalidArgument, "A table needs at least one field.");
    }
    if (newColumns.size() > kMaxColumns) {
        throw EngineError(ErrorCode::TooManyColumns, "Too many fields defined.");
    }
    const format::JetFormat& jet = format::jetFormat(fileFormat);
    std::vector<format::ColumnDefinition> columns;
    for (const auto& request : newColumns) {
        validateName(request.name, fileFormat, codePage);
        for (const auto& earlier : columns) {
            if (storage::equalsIgnoringCase(earlier.name, request.name)) {
                invalidColumn(request, "another field has the same name");
            }
        }
        format::ColumnDefinition column;
        column.name = request.name;
        column.type = request.type;
        column.flags = format::column_flags::kNullable;
        if (request.required && jet.jet3) {
            invalidColumn(request,
                          "this engine keeps field properties only in files of Access "
                          "2000 and later");
        }
        switch (request.type) {
            case ColumnType::Text:
                if (request.size == 0 || request.size > 255)
                    invalidColumn(request, "its size must be 1 to 255");
                column.length = static_cast<uint16_t>(request.size * jet.bytesPerTextCharacter);
                break;
            case ColumnType::Binary:
                if (request.size == 0 || request.size > jet.maxVariableColumnLength) {
                    invalidColumn(request, "its size of " + std::to_string(request.size) +
                                               " bytes is not 1 to " +
                                               std::to_string(jet.maxVariableColumnLength) +
                                               ", the sizes this database's Binary fields take");
                }
                column.length = request.size;
                break;
            case ColumnType::Numeric:
                if (jet.jet3) invalidColumn(request, "Access 97 databases have no Decimal type");
                if (request.precision == 0 || request.precision > 28 ||
                    request.scale > request.precision) {
                    invalidColumn(request,
                                  "its precision must be 1 to 28 and its scale at most that");
                }
                column.precision = request.precision;
                column.scale = request.scale;
                break;
            case ColumnType::BigInt:
                if (fileFormat < storage::FileFormat::Ace16) {
                    invalidColumn(request, "Large Number needs the Access 2016 format or later");
                }
                break;
            case ColumnType::ExtDateTime:
                if (fileFormat < storage::FileFormat::Ace17) {
                    invalidColumn(request, "Date/Time Extended needs the Access 2019 format");
                }
                break;
            case ColumnType::Complex:
                invalidColumn(request, "attachment and multi-value fields cannot be created");
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
                invalidColumn(request, "its type is not supported");
        }
        if (request.autoNumber) {
            if (request.type != ColumnType::Long)
                invalidColumn(request, "only Long Integer can number rows");
            column.flags |= format::column_flags::kAutoNumber;
        }
        if (request.guidAutoNumber) {
            if (request.type != ColumnType::Guid)
                invalidColumn(request, "only Replication ID can take GUIDs");
            column.flags |= format::column_flags::kGuidAutoNumber;
        }
        if (request.hyperlink) {
            if (request.type != ColumnType::Memo)
                invalidColumn(request, "only Memo can be a hyperlink");
            column.flags |= format::column_flags::kHyperlink;
        }
        if (format::isTextType(request.type)) {
            column.codePage = codePage;
            column.sortLcid = sortOrder.lcid;
            column.sortVersion = sortOrder.version;
            if (request.compressedUnicode && !jet.jet3)
                column.extFlags = format::column_ext_flags::kCompressedUnicode;
        }
        if (!request.expression.empty()) defineCalculated(request, fileFormat, column);
        columns.push_back(column);
    }
    format::layOutColumns(columns);
    return columns;
}

}  // namespace engine::catalog
