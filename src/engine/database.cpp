#include "engine/database.h"

#include "engine/catalog/column_changes.h"
#include "engine/catalog/index_changes.h"
#include "engine/catalog/new_database.h"
#include "engine/catalog/page_uses.h"
#include "engine/catalog/table_creator.h"
#include "engine/catalog/table_dropper.h"
#include "engine/catalog/table_editor.h"
#include "engine/catalog/table_properties.h"
#include "engine/format/indexes/text_index_key.h"
#include "engine/storage/crypto/page_encryption.h"

#include <algorithm>
#include <sys/stat.h>

namespace engine {

namespace {

std::unique_ptr<storage::Pager> openPager(storage::FileSystem& fileSystem, const std::string& path,
                                          const OpenOptions& options) {
    using storage::OpenMode;
    auto open = [&](OpenMode mode) {
        return storage::Pager::open(fileSystem, path, mode, options.lockTimeout);
    };
    if (options.mode == AccessMode::ReadOnly) return open(OpenMode::ReadOnly);
    try {
        return open(OpenMode::ReadWrite);
    } catch (const EngineError& error) {
        if (options.mode == AccessMode::ReadWriteIfAble && error.code() == ErrorCode::ReadOnly) {
            return open(OpenMode::ReadOnly);
        }
        throw;
    }
}

}  // namespace

EngineError inputTableNotFound(std::string_view name) {
    return EngineError(ErrorCode::InputTableNotFound,
                       "The database engine cannot find the input table or query '" +
                           std::string(name) +
                           "'. Make sure it exists and that its name is spelled correctly.");
}

std::optional<FileIdentity> fileIdentity(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

storage::FileFormat fileFormatOf(const std::string& path) {
    return storage::HeaderPage::read(
               *storage::defaultFileSystem().open(path, storage::OpenMode::ReadOnly))
        .format();
}

TableReader::TableReader(Database& database, format::TableDefinition definition)
    : m_database(database),
      m_definition(std::move(definition)),
      m_scan(database.pager(), database.jetFormat(), m_definition),
      m_listing(database.listingOf(m_definition.firstPage)) {}

bool TableReader::next(std::vector<format::Value>& values) {
    if (m_scan.next(values)) return true;
    m_database.requireReadWhole(m_listing);
    return false;
}

bool TableReader::nextRaw() {
    if (m_scan.nextRaw()) return true;
    m_database.requireReadWhole(m_listing);
    return false;
}

std::unique_ptr<Database> Database::open(const std::string& path, const OpenOptions& options) {
    storage::FileSystem& fileSystem =
        options.fileSystem ? *options.fileSystem : storage::defaultFileSystem();
    return onPager(openPager(fileSystem, path, options), options);
}

std::unique_ptr<Database> Database::open(std::unique_ptr<storage::PageFile> file,
                                         const OpenOptions& options) {
    uint32_t pageSize = storage::HeaderPage::read(*file).pageSize();
    auto database = onPager(std::make_unique<storage::Pager>(std::move(file), pageSize), options);
    // No journal guards a file handed over like this.
    database->m_readingOnly = true;
    return database;
}

std::unique_ptr<Database> Database::onPager(std::unique_ptr<storage::Pager> pager,
                                            const OpenOptions& options) {
    auto header = storage::HeaderPage::parse(*pager->read(0), pager->path());
    if (header.hasPassword() && !header.passwordMatches(options.password)) {
        throw EngineError(ErrorCode::InvalidPassword, "Not a valid password.");
    }
    if (auto codec = storage::openPageCodec(header, options.password)) {
        pager->setCodec(std::move(codec));
    }
    return std::unique_ptr<Database>(new Database(std::move(pager), std::move(header)));
}

Database::Database(std::unique_ptr<storage::Pager> pager, storage::HeaderPage header)
    : m_pager(std::move(pager)),
      m_header(std::move(header)),
      m_jetFormat(&format::jetFormat(m_header.format())) {}

Database::~Database() = default;

const catalog::Catalog& Database::catalog() {
    if (!m_catalog) {
        m_catalog = catalog::Catalog::read(*m_pager, *m_jetFormat, m_header.codePage());
    }
    return *m_catalog;
}

std::optional<catalog::CatalogObject> Database::findInTables(std::string_view name) {
    if (m_catalog) {
        const catalog::CatalogObject* found = m_catalog->findInTables(name);
        if (!found) return std::nullopt;
        return *found;
    }
    return catalog::lookUpObject(*m_pager, *m_jetFormat, m_header.codePage(),
                                 catalog::kTablesContainerId, name);
}

format::TableDefinition Database::tableDefinition(std::string_view name) {
    auto table = findInTables(name);
    if (!table || !table->isLocalTable()) throw inputTableNotFound(name);
    return catalog::readTableOf(*m_pager, *m_jetFormat, m_header.codePage(), *table);
}

format::TableDefinition Database::tableDefinitionAt(PageNumber page) {
    for (const auto& object : catalog().objects()) {
        if (object.isLocalTable() && object.tablePage() == page) {
            return catalog::readTableOf(*m_pager, *m_jetFormat, m_header.codePage(), object);
        }
    }
    return format::readTableDefinition(*m_pager, *m_jetFormat, m_header.codePage(), page);
}

catalog::ComplexKind Database::complexKind(const format::ColumnDefinition& column) {
    if (!m_complexKinds) {
        m_complexKinds =
            catalog::readComplexColumnKinds(*m_pager, *m_jetFormat, m_header.codePage(), catalog());
    }
    auto found = m_complexKinds->find(column.complexId);
    return found == m_complexKinds->end() ? catalog::ComplexKind::Unknown : found->second;
}

std::optional<catalog::CatalogObject> Database::listingOf(PageNumber tablePage) {
    for (const auto& object : catalog().objects()) {
        if (object.isLocalTable() && object.tablePage() == tablePage) return object;
    }
    return std::nullopt;
}

void Database::requireReadWhole(const std::optional<catalog::CatalogObject>& listing) {
    if (!listing) return;
    // Pages another process changed may sit in the cache; the catalogue is read from the file.
    m_pager->dropCache();
    const catalog::Catalog current =
        catalog::Catalog::read(*m_pager, *m_jetFormat, m_header.codePage());
    const catalog::CatalogObject* now = current.findTable(listing->name);
    if (!now || now->tablePage() != listing->tablePage() ||
        now->dateCreate != listing->dateCreate) {
        throw EngineError(ErrorCode::Corrupt,
                          "The table '" + listing->name + "' of '" + path() +
                              "' was deleted or replaced while it was read.",
                          listing->tablePage());
    }
}

std::unique_ptr<TableReader> Database::readTable(std::string_view name) {
    return std::make_unique<TableReader>(*this, tableDefinition(name));
}

std::unique_ptr<Database> Database::create(const std::string& path, const CreateOptions& options) {
    make(path, options);
    storage::FileSystem& fileSystem =
        options.fileSystem ? *options.fileSystem : storage::defaultFileSystem();
    return open(
        path,
        {.password = options.password, .mode = AccessMode::ReadWrite, .fileSystem = &fileSystem});
}

void Database::make(const std::string& path, const CreateOptions& options) {
    storage::FileSystem& fileSystem =
        options.fileSystem ? *options.fileSystem : storage::defaultFileSystem();
    if (fileSystem.exists(path)) {
        throw EngineError(ErrorCode::IoError,
                          "Cannot create '" + path + "': the file already exists.");
    }
    auto header = storage::HeaderPage::fresh(options.format, catalog::now().days);
    header.setSortLcid(options.sortLcid);
    std::unique_ptr<storage::PageCodec> codec;
    std::optional<storage::NewEncryption> encryption;
    if (storage::isAce(options.format)) {
        if (!options.password.empty()) {
            encryption = options.format == storage::FileFormat::Ace12
                             ? storage::createRc4CryptoApiEncryption(options.password)
                             : storage::createAgileEncryption(options.password);
        }
    } else {
        header.setPassword(options.password);
        if (options.encodePages) encryption = storage::createJetEncoding();
    }
    if (encryption) {
        header.setEncryption(encryption->encodingKey, encryption->description);
        codec = std::move(encryption->codec);
    }

    // The file is made without a name and gets it only once whole, so a failure or a crash
    // never leaves a half-made database (or anything else) behind. No one else sees it until
    // then, so it needs neither journal nor locks.
    {
        auto file = fileSystem.createNew(path);
        storage::NewFile& made = *file;
        file->write(0, header.toRawPage());
        auto pager = std::make_unique<storage::Pager>(std::move(file), header.pageSize());
        if (codec) pager->setCodec(std::move(codec));
        Database database(std::move(pager), header);
        database.m_pager->begin([](PageNumber) { return false; });
        catalog::writeGlobalMapPage(*database.m_pager, database.jetFormat());
        database.m_pager->commit();
        database.change([&](const catalog::WriteContext& context) {
            catalog::writeSystemCatalog(context, options.format);
        });
        made.publish();
    }
}

void Database::requireWritable() const {
    if (m_readingOnly || !m_pager->writable()) {
        throw EngineError(ErrorCode::ReadOnly, "Cannot update. Database or object is read-only.");
    }
    // Every change rewrites catalogue index keys, which must sort as the file says text sorts.
    // Access 97 files are written only in General 97; in later files each key is checked for
    // what this engine knows of the file's order when it is computed.
    const storage::SortOrder order = m_header.sortOrder();
    if (!format::textSortOrder(m_jetFormat->jet3, order.lcid, order.version)) {
        throw EngineError(
            ErrorCode::NotSupported,
            "The database '" + path() + "' sorts text in the sort order " +
                format::sortOrderName({format::TextSortFamily::General97, order.lcid}) +
                "; this engine writes the index keys of Access 97 files only in the "
                "General sort order, so it cannot change this database.");
    }
}

void Database::requireNameKey(const std::string& name) const {
    const storage::SortOrder stored = m_header.sortOrder();
    const auto order = format::textSortOrder(m_jetFormat->jet3, stored.lcid, stored.version);
    if (!order) return;  // refused as a whole by requireWritable
    if (auto gap = format::textKeyGap(name, *order)) {
        throw EngineError(ErrorCode::NotSupported,
                          "The database '" + path() + "' sorts text in the sort order " +
                              format::sortOrderName(*order) +
                              ". This engine does not know the code of '" + *gap +
                              "' in that order, so it cannot give the catalogue the key of '" +
                              name + "'; the database is left as it was.");
    }
}

void Database::change(const std::function<void(const catalog::WriteContext&)>& body,
                      bool keepCatalog) {
    requireWritable();
    format::PageAllocator allocator(*m_pager, *m_jetFormat);
    // A database being made has no catalogue yet, and nothing in it names a page.
    if (m_pager->pageCount() > catalog::kCatalogTablePage) {
        allocator.setTakeCheck(catalog::refuseNamedPages(
            *m_pager, *m_jetFormat, m_header.codePage(),
            [&allocator](PageNumber page) { return allocator.wasInUseAtStart(page); }));
    }
    m_pager->begin([&allocator](PageNumber page) { return allocator.takenFromFree(page); });
    catalog::WriteContext context{*m_pager, *m_jetFormat, allocator, m_header.codePage(),
                                  m_header.sortOrder()};
    try {
        body(context);
        allocator.save();
        m_pager->commit();
    } catch (...) {
        m_catalog.reset();
        m_complexKinds.reset();
        m_pager->rollback();
        throw;
    }
    if (!keepCatalog) {
        m_catalog.reset();
        m_complexKinds.reset();
    }
}

void Database::createTable(const std::string& name, const std::vector<catalog::NewColumn>& columns,
                           const RowSource& rows, const std::vector<catalog::NewIndex>& indexes,
                           const TableExtras& extras) {
    const size_t fields = columns.size();
    auto nextRow = [&](std::vector<format::Value>& row) {
        if (!rows || !rows(row)) return false;
        if (row.size() != fields) {
            throw EngineError(ErrorCode::InvalidArgument,
                              "A row for '" + name + "' has " + std::to_string(row.size()) +
                                  " values; the table has " + std::to_string(fields) +
                                  " fields.");
        }
        return true;
    };
    makeTable(name, columns, indexes, extras,
              [&](const catalog::WriteContext& context, catalog::NewTable& table) {
                  std::vector<format::Value> row;
                  table.numberAfter(extras.lastAutoNumber);
                  if (indexes.empty()) {
                      while (nextRow(row)) table.append(row);
                      table.finishStorage();
                      return;
                  }
                  // Rows of an indexed table go in through its indexes once its storage exists.
                  table.finishStorage();
                  catalog::TableEditor editor(context, table.definition());
                  editor.batchIndexChanges();
                  while (nextRow(row)) editor.insert(row);
                  editor.finish();
              });
}

void Database::createTable(const std::string& name, const std::vector<catalog::NewColumn>& columns,
                           const TableFill& fill) {
    makeTable(name, columns, {}, {}, [&](const catalog::WriteContext&, catalog::NewTable& table) {
        fill(table);
        table.finishStorage();
    });
}

void Database::makeTable(
    const std::string& name, const std::vector<catalog::NewColumn>& columns,
    const std::vector<catalog::NewIndex>& indexes, const TableExtras& extras,
    const std::function<void(const catalog::WriteContext&, catalog::NewTable&)>& fill) {
    requireWritable();
    catalog::validateName(name, format(), m_header.codePage());
    requireNameKey(name);
    if (findInTables(name)) {
        throw EngineError(ErrorCode::TableExists, "Table '" + name + "' already exists.");
    }
    auto shape = catalog::userTableShape(
        catalog::defineColumns(columns, format(), m_header.codePage(), m_header.sortOrder()),
        indexes, format(), m_header.codePage());
    catalog::CatalogObject entered;
    change(
        [&](const catalog::WriteContext& context) {
            catalog::NewTable table(context, name, shape);
            fill(context, table);
            std::vector<std::string> expressions;
            for (const auto& column : columns) expressions.push_back(column.expression);
            auto properties = catalog::calculatedColumnProperties(shape.columns, expressions);
            if (extras.properties) {
                // The columns' own requests go over what is copied.
                catalog::TableProperties merged = *extras.properties;
                properties.forEach(
                    [&](const std::string& column, const std::string& property,
                        const catalog::Property& value) { merged.set(column, property, value); });
                properties = std::move(merged);
            }
            for (const auto& column : columns) {
                if (column.required) catalog::markRequired(properties, column.name);
            }
            entered = catalog::registerTable(
                context, name, table.definition().firstPage,
                properties.empty() ? format::ByteString() : properties.toBlob());
        },
        true);
    // A catalogue read before stays good with the new table added (its calculated columns'
    // properties are read from its row when asked for).
    if (m_catalog) m_catalog->add(std::move(entered));
}

void Database::insertRows(std::string_view name, const RowSource& rows) {
    requireWritable();
    auto definition = tableDefinition(name);
    change([&](const catalog::WriteContext& context) {
        catalog::TableEditor editor(context, definition);
        editor.batchIndexChanges();
        std::vector<format::Value> row;
        while (rows(row)) editor.insert(row);
        editor.finish();
    });
}

size_t Database::deleteRows(std::string_view name,
                            const std::function<bool(const std::vector<format::Value>&)>& matches,
                            const std::optional<std::vector<size_t>>& reads) {
    requireWritable();
    auto definition = tableDefinition(name);
    size_t removed = 0;
    change([&](const catalog::WriteContext& context) {
        catalog::TableEditor editor(context, definition);
        editor.batchIndexChanges();
        removed = editor.removeWhere(matches, reads);
        editor.finish();
    });
    return removed;
}

size_t Database::updateRows(std::string_view name,
                            const std::function<bool(const std::vector<format::Value>&)>& matches,
                            const std::vector<catalog::ColumnValue>& values,
                            const std::optional<std::vector<size_t>>& reads) {
    requireWritable();
    auto definition = tableDefinition(name);
    size_t changed = 0;
    change([&](const catalog::WriteContext& context) {
        catalog::TableEditor editor(context, definition);
        editor.batchIndexChanges();
        changed = editor.updateWhere(matches, values, reads);
        editor.finish();
    });
    return changed;
}

catalog::CatalogObject Database::alterableTable(std::string_view name) {
    auto object = findInTables(name);
    if (!object || !object->isLocalTable()) throw inputTableNotFound(name);
    if (object->flags & (catalog::kSystemObjectFlag | catalog::kAccessObjectFlag)) {
        throw EngineError(ErrorCode::ReadOnly, "Cannot update. Database or object is read-only: '" +
                                                   object->name + "' is a system table.");
    }
    return *object;
}

void Database::createIndex(std::string_view table, const catalog::NewIndex& index) {
    requireWritable();
    const catalog::CatalogObject object = alterableTable(table);
    change([&](const catalog::WriteContext& context) {
        catalog::createIndex(context, object, index);
    });
}

void Database::dropIndex(std::string_view table, std::string_view index) {
    requireWritable();
    const catalog::CatalogObject object = alterableTable(table);
    change(
        [&](const catalog::WriteContext& context) { catalog::dropIndex(context, object, index); });
}

void Database::addColumn(std::string_view table, const catalog::NewColumn& column,
                         const std::vector<catalog::NewIndex>& indexes) {
    requireWritable();
    const catalog::CatalogObject object = alterableTable(table);
    change([&](const catalog::WriteContext& context) {
        catalog::addColumn(context, object, column);
        for (const auto& index : indexes) catalog::createIndex(context, object, index);
    });
}

void Database::dropColumn(std::string_view table, std::string_view column) {
    requireWritable();
    const catalog::CatalogObject object = alterableTable(table);
    change([&](const catalog::WriteContext& context) {
        catalog::dropColumn(context, object, column);
    });
}

void Database::dropTable(std::string_view name) {
    requireWritable();
    change([&](const catalog::WriteContext& context) { catalog::dropTable(context, name); });
}

}  // namespace engine
