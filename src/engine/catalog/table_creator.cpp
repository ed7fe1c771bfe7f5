#include "engine/catalog/table_creator.h"

#include "engine/catalog/table_editor.h"
#include "engine/format/indexes/index_updater.h"
#include "engine/format/rows/table_definition_writer.h"
#include "engine/format/space/data_page_editor.h"
#include "engine/format/space/usage_map.h"
#include "engine/format/space/usage_map_editor.h"
#include "engine/storage/unicode.h"

#include <cassert>
#include <chrono>
#include <cmath>
#include <ctime>
#include <map>
#include <optional>
#include <tuple>

namespace engine::catalog {

using format::Value;

namespace {

// Full rights on a table, as granted to every account that holds rights on its container.
constexpr int32_t kFullAccess = 0x000FFFFF;
constexpr int16_t kLocalTableType = 1;
constexpr size_t kMaxIndexColumns = 10;

}  // namespace

format::DateTime now() {
    auto clock = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(clock);
    std::tm local{};
    localtime_r(&seconds, &local);
    // Days from 1899-12-30 to the local calendar date, plus the time of day.
    std::tm epoch{};
    epoch.tm_year = -1;
    epoch.tm_mon = 11;
    epoch.tm_mday = 30;
    epoch.tm_hour = 12;
    std::tm day = local;
    day.tm_hour = 12;
    day.tm_min = 0;
    day.tm_sec = 0;
    double days = std::round(std::difftime(timegm(&day), timegm(&epoch)) / 86400.0);
    double fraction = (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
    return {days + fraction};
}

void addIndex(format::TableDefinition& shape, const std::string& name,
              const std::vector<uint16_t>& columns, uint8_t flags, uint8_t kind,
              const std::vector<bool>& descending) {
    const auto number = static_cast<uint32_t>(shape.realIndexes.size());
    format::RealIndex real;
    real.number = number;
    for (size_t at = 0; at < columns.size(); ++at) {
        real.columns.push_back({columns[at], at >= descending.size() || !descending[at]});
    }
    real.flags = flags;
    shape.realIndexes.push_back(real);
    format::LogicalIndex logical;
    logical.name = name;
    logical.number = number;
    logical.realIndexNumber = number;
    logical.indexType = kind;
    logical.cascadeUpdates = 4;  // what the product stores for indexes outside relationships
    logical.cascadeDeletes = 4;
    shape.logicalIndexes.push_back(logical);
}

namespace {

// Places the rows of a new table's usage maps on new pages of their own (owner 0), taking a
// further page whenever the current one is full: a page holds some 57 map rows, and a table of
// many long-value columns needs two for each.
class MapRows {
public:
    explicit MapRows(const WriteContext& context)
        : m_context(context),
          m_page(format::DataPageEditor::fresh(context.format, format::kUsageMapOwner)),
          m_number(context.allocator.allocate()) {}

    format::UsageMapRef place(const std::vector<uint8_t>& row) { return placePair(row, {}).first; }
    // Both rows on one page; the second is left out when empty.
    std::pair<format::UsageMapRef, format::UsageMapRef> placePair(
        const std::vector<uint8_t>& first, const std::vector<uint8_t>& second) {
        // Two rows need their bytes and two slots.
        size_t needed = first.size() + second.size() + (second.empty() ? 0 : 2);
        if (!m_page.fits(needed)) {
            finish();
            m_page = format::DataPageEditor::fresh(m_context.format, format::kUsageMapOwner);
            m_number = m_context.allocator.allocate();
        }
        format::UsageMapRef firstRef{m_page.appendRow(first), m_number};
        format::UsageMapRef secondRef;
        if (!second.empty()) secondRef = {m_page.appendRow(second), m_number};
        return {firstRef, secondRef};
    }
    // Writes the current page.
    void finish() { m_context.pager.write(m_number, m_page.bytes()); }

private:
    const WriteContext& m_context;
    format::DataPageEditor m_page;
    PageNumber m_number;
};

}  // namespace

std::vector<format::UsageMapRef> placeMapRows(const WriteContext& context, PageNumber near,
                                              const std::vector<std::vector<uint8_t>>& rows) {
    size_t needed = 0;  // the rows' bytes and a slot for each after the first
    for (const auto& row : rows) needed += row.size() + (needed == 0 ? 0 : 2);
    std::optional<format::DataPageEditor> page;
    PageNumber number = near;
    if (near != 0) {
        auto contents = context.pager.read(near);
        if ((*contents)[0] == format::kDataPageType &&
            storage::readU32LE(*contents, 4) == format::kUsageMapOwner) {
            page = format::DataPageEditor::copyOf(*contents, context.format, near,
                                                  context.pager.path(), format::kUsageMapOwner);
            if (!page->fits(needed)) page.reset();
        }
    }
    if (!page) {
        page = format::DataPageEditor::fresh(context.format, format::kUsageMapOwner);
        number = context.allocator.allocate();
    }
    std::vector<format::UsageMapRef> placed;
    for (const auto& row : rows) placed.push_back({page->appendRow(row), number});
    context.pager.write(number, page->bytes());
    return placed;
}

format::TableDefinition userTableShape(std::vector<format::ColumnDefinition> columns,
                                       const std::vector<NewIndex>& indexes,
                                       storage::FileFormat fileFormat, uint16_t codePage) {
    format::TableDefinition shape;
    shape.tableType = 'N';
    shape.columns = std::move(columns);
    for (const auto& request : indexes) {
        auto refuse = [&](const std::string& why) {
            throw EngineError(ErrorCode::InvalidArgument,
                              "The index '" + request.name + "' cannot be created: " + why + ".");
        };
        validateName(request.name, fileFormat, codePage);
        if (request.columns.empty() || request.columns.size() > kMaxIndexColumns) {
            refuse("an index takes 1 to " + std::to_string(kMaxIndexColumns) + " fields");
        }
        for (const auto& other : shape.logicalIndexes) {
            if (storage::equalsIgnoringCase(other.name, request.name)) refuse("the name is taken");
        }
        std::vector<uint16_t> numbers;
        for (const auto& name : request.columns) {
            const auto* column = shape.findColumn(name);
            if (!column) refuse("the table has no field '" + name + "'");
            numbers.push_back(column->number);
        }
        uint8_t flags = 0;
        if (request.unique || request.primaryKey) flags |= format::index_flags::kUnique;
        if (request.ignoreNulls) flags |= format::index_flags::kIgnoreNulls;
        if (request.primaryKey || request.required) flags |= format::index_flags::kRequired;
        if (!request.descending.empty() && request.descending.size() != request.columns.size()) {
            refuse("it says the order of " + std::to_string(request.descending.size()) +
                   " fields for " + std::to_string(request.columns.size()));
        }
        addIndex(shape, request.name, numbers, flags, request.primaryKey ? 1 : 0,
                 request.descending);
    }
    return shape;
}

NewTable::NewTable(const WriteContext& context, std::string name,
                   std::vector<format::ColumnDefinition> columns)
    : NewTable(context, std::move(name),
               userTableShape(std::move(columns), {}, context.format.format, context.codePage)) {}

NewTable::NewTable(const WriteContext& context, std::string name, format::TableDefinition shape)
    : m_context(context), m_name(std::move(name)), m_definition(std::move(shape)) {
    assert(context.pager.inTransaction());
    auto& table = m_definition;
    table.firstPage = context.allocator.allocate();
    table.pages = {table.firstPage};
    table.maxColumns = static_cast<uint16_t>(table.columns.size());
    table.varColumns = 0;
    for (const auto& column : table.columns) {
        if (!column.isFixed() && column.varIndex + 1u > table.varColumns) {
            table.varColumns = static_cast<uint16_t>(column.varIndex + 1u);
        }
    }

    // The maps: owned and free pages of the table, one per index (its root marked), then the
    // owned and free pages of each long-value column, pairs on one page.
    MapRows maps(context);
    std::tie(table.ownedPages, table.freeSpacePages) = maps.placePair(
        format::newReferenceMapRow(context.format), format::newInlineMapRow(context.format, 0));
    for (auto& real : table.realIndexes) {
        real.rootPage = context.allocator.allocate();
        auto row = format::newInlineMapRow(context.format, real.rootPage);
        row[format::kInlineMapHeaderSize] = 0x01;
        real.pagesMap = maps.place(row);
        context.pager.write(real.rootPage, format::emptyIndexLeaf(context.format, table.firstPage));
    }
    for (auto& column : table.columns) {
        if (!format::isLongValueType(column.type)) continue;
        std::tie(column.lvOwnedMap, column.lvFreeMap) = maps.placePair(
            format::newReferenceMapRow(context.format), format::newInlineMapRow(context.format, 0));
    }
    maps.finish();
}

NewTable::~NewTable() = default;

format::TableAppender& NewTable::appender() {
    if (!m_definition.realIndexes.empty()) {
        throw EngineError(ErrorCode::Internal,
                          "rows of an indexed table must go through its indexes");
    }
    if (!m_appender) {
        m_appender = std::make_unique<format::TableAppender>(m_context.pager, m_context.format,
                                                             m_context.allocator, m_definition);
    }
    return *m_appender;
}

format::RowLocation NewTable::append(const std::vector<Value>& row) {
    assert(m_definition.realIndexes.empty() && "rows of an indexed table go in through an editor");
    return appender().append(row);
}

std::optional<format::RowLocation> NewTable::appendStored(
    storage::Bytes row, const format::TableAppender::LongValueSource& longValues) {
    assert(m_definition.realIndexes.empty() && "rows of an indexed table go in through an editor");
    return appender().appendStored(row, longValues);
}

format::RowLocation NewTable::appendEncoded(storage::Bytes row) {
    assert(m_definition.realIndexes.empty() && "rows of an indexed table go in through an editor");
    return appender().appendEncoded(row);
}

void NewTable::finishStorage() {
    if (m_appender) m_appender->finish();
    auto logical = format::buildTableDefinition(m_definition, m_context.format, m_context.codePage,
                                                m_context.sortOrder.version);
    format::writeTableDefinition(m_context.pager, m_context.format, m_context.allocator, logical,
                                 m_definition);
}

CatalogObject registerTable(const WriteContext& context, const std::string& name,
                            PageNumber definitionPage, const format::ByteString& properties) {
    format::ByteString owner;
    auto database = lookUpObject(context.pager, context.format, context.codePage,
                                 kDatabasesContainerId, "MSysDb");
    if (database && database->type == static_cast<int16_t>(ObjectType::Database)) {
        owner = database->owner;
    }

    TableEditor objects(context, format::readTableDefinition(context.pager, context.format,
                                                             context.codePage, kCatalogTablePage));
    std::vector<Value> row(objects.definition().columns.size());
    format::DateTime stamp = now();
    row[objects.columnPosition("Id")] = static_cast<int32_t>(definitionPage);
    row[objects.columnPosition("ParentId")] = kTablesContainerId;
    row[objects.columnPosition("Name")] = name;
    row[objects.columnPosition("Type")] = kLocalTableType;
    row[objects.columnPosition("DateCreate")] = stamp;
    row[objects.columnPosition("DateUpdate")] = stamp;
    if (!owner.empty()) row[objects.columnPosition("Owner")] = owner;
    row[objects.columnPosition("Flags")] = int32_t{0};
    if (!properties.empty()) row[objects.columnPosition("LvProp")] = properties;
    CatalogObject entered;
    entered.id = static_cast<int32_t>(definitionPage);
    entered.parentId = kTablesContainerId;
    entered.name = name;
    entered.type = kLocalTableType;
    entered.dateCreate = stamp;
    entered.dateUpdate = stamp;
    entered.owner = owner;
    entered.kind = classify(entered, false);
    entered.location = objects.insert(row);
    objects.finish();

    auto aces = lookUpObject(context.pager, context.format, context.codePage, kTablesContainerId,
                             "MSysACEs");
    if (!aces || !aces->isLocalTable()) return entered;
    TableEditor rights(context, format::readTableDefinition(context.pager, context.format,
                                                            context.codePage, aces->tablePage()));
    size_t objectId = rights.columnPosition("ObjectId");
    size_t sid = rights.columnPosition("SID");
    size_t acm = rights.columnPosition("ACM");
    size_t inheritable = rights.columnPosition("FInheritable");
    std::map<format::ByteString, int32_t> granted;  // account -> rights on the new table
    int32_t creatorRights = 0;
    rights.forEachRowWhere(objectId, Value(kTablesContainerId), [&](const std::vector<Value>& ace) {
        const auto* account = std::get_if<format::ByteString>(&ace[sid]);
        if (!account) return;
        if (!context.format.jet3) {
            granted[*account] = kFullAccess;
            return;
        }
        const auto* mask = std::get_if<int32_t>(&ace[acm]);
        const auto* inherited = std::get_if<bool>(&ace[inheritable]);
        if (!mask || !inherited || !*inherited) return;
        if (*account == kAccess97CreatorAccount) {
            creatorRights = *mask;
        } else {
            granted[*account] |= *mask;
        }
    });
    if (auto found = granted.find(owner); found != granted.end()) found->second |= creatorRights;
    for (const auto& [account, mask] : granted) {
        std::vector<Value> ace(rights.definition().columns.size());
        ace[objectId] = static_cast<int32_t>(definitionPage);
        ace[sid] = account;
        ace[acm] = mask;
        ace[inheritable] = false;
        rights.insert(ace);
    }
    rights.finish();
    return entered;
}

}  // namespace engine::catalog
