// The engine's front door: open or create a database file, list its objects, read its tables,
// create, fill and drop tables.
//
//   auto database = engine::Database::open("/data/sales.mdb", {.password = "secret"});
//   for (const auto& object : database->catalog().objects()) ...
//   auto reader = database->readTable("Orders");
//   std::vector<engine::format::Value> row;
//   while (reader->next(row)) ...
//
// Every change (createTable, insertRows, dropTable) is all or nothing: it commits whole or leaves
// the file as it was, also when the process dies in the middle (see storage/pager.h). A change
// whose failure could not be undone leaves the database refusing every further change; the
// next open undoes it. Readers in other processes see the state before a change or after it.
//
// Errors are engine::EngineError (error.h).
#pragma once

#include "engine/catalog/catalog.h"
#include "engine/catalog/column_value.h"
#include "engine/catalog/complex_columns.h"
#include "engine/catalog/new_column.h"
#include "engine/catalog/write_context.h"
#include "engine/format/rows/table_definition.h"
#include "engine/format/rows/table_scan.h"
#include "engine/format/rows/value.h"
#include "engine/storage/file_system.h"
#include "engine/storage/header_page.h"
#include "engine/storage/page_file.h"
#include "engine/storage/pager.h"

#include <chrono>
#include <compare>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace engine {

enum class AccessMode {
    ReadOnly,
    ReadWrite,        // fails when the file cannot be written
    ReadWriteIfAble,  // writes when the file allows it, else opens read-only
};

struct OpenOptions {
    std::string password;  // UTF-8, used exactly as given; empty = none
    AccessMode mode = AccessMode::ReadOnly;
    storage::FileSystem* fileSystem = nullptr;  // the operating system's when null
    // How long to wait for other programs to let go of the file: a reader for a commit to end,
    // a writer for readers to finish before it overwrites pages they read. Then FileInUse.
    std::chrono::milliseconds lockTimeout{20000};
};

struct CreateOptions {
    storage::FileFormat format = storage::FileFormat::Jet4;
    // Protects the new file when not empty: Jet 3 and Jet 4 files keep it in their header; ACE
    // files are encrypted with it (Access 2007 files as that version reads them, later ones
    // with the agile scheme of Access 2010 and later).
    std::string password;
    // Jet 3 and Jet 4: also encode every page (the product's "encrypt database"), with or
    // without a password. ACE files are encrypted exactly when they have a password.
    bool encodePages = false;
    // The sort order the database's text sorts by (an LCID; General by default). The catalogue's
    // names must have keys this engine knows in it (format/indexes/text_index_key.h).
    uint16_t sortLcid = 0x0409;
    storage::FileSystem* fileSystem = nullptr;
};

// Gives the rows to store, one per call, as values in column order; false when there are none
// left.
using RowSource = std::function<bool(std::vector<format::Value>& row)>;

namespace catalog {
class NewTable;
class TableProperties;
}

// What a new table takes beside its columns, rows and indexes, when it copies another whole.
struct TableExtras {
    // The table's and its columns' properties (captions, formats, validation ...), stored as
    // they are. Jet 4 and later. The properties the columns' own requests make (a calculated
    // column's expression, Required) are set on top of them.
    const catalog::TableProperties* properties = nullptr;
    // The AutoNumber column numbers on from after this (a copy's next value stays the
    // source's), or after the largest number a row gives, whichever is larger.
    uint32_t lastAutoNumber = 0;
};

// Fills a new table (without indexes) by appending its rows to it, as values or as stored rows
// (catalog::NewTable).
using TableFill = std::function<void(catalog::NewTable& table)>;

class Database;

// The rows of one table, read in order, one at a time. At the end of the rows the catalogue is
// read afresh: a table that another process dropped (or dropped and made anew on the same
// pages) while it was read throws Corrupt instead of ending as though it were whole.
class TableReader {
public:
    TableReader(Database& database, format::TableDefinition definition);
    const format::TableDefinition& definition() const { return m_definition; }
    // Moves to the next row; false at the end.
    bool next(std::vector<format::Value>& values);
    // The same, for callers that want the stored bytes (valid until the next call).
    bool nextRaw();
    storage::Bytes rowBytes() const { return m_scan.rowBytes(); }

private:
    Database& m_database;
    format::TableDefinition m_definition;
    format::TableScan m_scan;
    std::optional<catalog::CatalogObject> m_listing;
};

class Database {
public:
    // Opens the file at path. Throws FileNotFound, UnrecognizedFormat, InvalidPassword,
    // FileInUse, ReadOnly, Corrupt or NotSupported.
    static std::unique_ptr<Database> open(const std::string& path, const OpenOptions& options = {});
    // Opens a database held by any page file, for reading only.
    static std::unique_ptr<Database> open(std::unique_ptr<storage::PageFile> file,
                                          const OpenOptions& options);
    // Creates a new, empty database and opens it for writing. The file appears under path only
    // once it is whole; a failure leaves nothing behind. Throws IoError when anything is at path
    // (a link to nothing too), DiskFull ...
    static std::unique_ptr<Database> create(const std::string& path, const CreateOptions& options);
    // The same without opening it afterwards: once this returns, the file is whole.
    static void make(const std::string& path, const CreateOptions& options);
    ~Database();

    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const std::string& path() const { return m_pager->path(); }
    storage::FileFormat format() const { return m_header.format(); }
    const format::JetFormat& jetFormat() const { return *m_jetFormat; }
    const storage::HeaderPage& header() const { return m_header; }
    bool writable() const { return m_pager->writable(); }
    storage::Pager& pager() { return *m_pager; }

    // The catalogue as last read; valid until the next change to the database (creating a
    // table keeps it up to date).
    const catalog::Catalog& catalog();
    // The object of the Tables container with this name (names compare as the catalogue's
    // index compares them): from the catalogue when it has been read, else through its index,
    // without reading it whole.
    std::optional<catalog::CatalogObject> findInTables(std::string_view name);
    // The definition of a local table, its calculated columns typed by their results
    // (catalog/table_properties.h). Throws InputTableNotFound when there is none.
    format::TableDefinition tableDefinition(std::string_view name);
    format::TableDefinition tableDefinitionAt(PageNumber page);
    std::unique_ptr<TableReader> readTable(std::string_view name);
    // What a complex column holds: attachments, several values, or a memo's history.
    catalog::ComplexKind complexKind(const format::ColumnDefinition& column);

    // How the catalogue lists the local table whose definition starts on tablePage; nullopt when
    // it does not. A read of the table takes it at its start and gives it to requireReadWhole at
    // its end. That reads the catalogue afresh from the file and throws Corrupt unless it still
    // lists the same table (by the same name, on the same page, made at the same time). The row
    // count a definition keeps is a counter the product does not always keep up to date, so a
    // read returns the rows the table's pages hold, however many it counts.
    std::optional<catalog::CatalogObject> listingOf(PageNumber tablePage);
    void requireReadWhole(const std::optional<catalog::CatalogObject>& listing);

    // Creates a table with the indexes asked for and fills it with the rows given; the table
    // exists only once all of them are stored. Throws TableExists ("Table 'x' already
    // exists."), InvalidName, ReadOnly, DuplicateKey ...
    void createTable(const std::string& name, const std::vector<catalog::NewColumn>& columns,
                     const RowSource& rows = {}, const std::vector<catalog::NewIndex>& indexes = {},
                     const TableExtras& extras = {});
    // The same for a table without indexes whose rows fill appends itself.
    void createTable(const std::string& name, const std::vector<catalog::NewColumn>& columns,
                     const TableFill& fill);
    // Appends rows to an existing table, keeping its indexes.
    void insertRows(std::string_view name, const RowSource& rows);
    // Removes the rows of a table for which matches returns true, keeping its indexes. matches
    // is given the row with the columns reads names decoded (by position; every column when
    // not given). Returns how many went.
    size_t deleteRows(std::string_view name,
                      const std::function<bool(const std::vector<format::Value>&)>& matches,
                      const std::optional<std::vector<size_t>>& reads = std::nullopt);
    // Sets values in the rows of a table for which matches returns true (given rows as for
    // deleteRows), and writes each such row back (in its place when it still fits), keeping the
    // table's indexes. Returns how many changed. A unique index that would then hold a key twice
    // throws DuplicateKey, and nothing changes.
    size_t updateRows(std::string_view name,
                      const std::function<bool(const std::vector<format::Value>&)>& matches,
                      const std::vector<catalog::ColumnValue>& values,
                      const std::optional<std::vector<size_t>>& reads = std::nullopt);
    // Throws TableNotFound ("Table 'x' does not exist.").
    void dropTable(std::string_view name);
    // Adds an index to a table, its entries made from the table's rows; catalog/index_changes.h
    // says what it refuses. A table that is missing is InputTableNotFound; a system table
    // ReadOnly.
    void createIndex(std::string_view table, const catalog::NewIndex& index);
    // Drops an index of a table: NoSuchIndex when it has none of that name.
    void dropIndex(std::string_view table, std::string_view index);
    // Adds a column to a table with the indexes given (on it and the table's other columns), in
    // one change; or drops a column. catalog/column_changes.h says what they refuse.
    void addColumn(std::string_view table, const catalog::NewColumn& column,
                   const std::vector<catalog::NewIndex>& indexes = {});
    void dropColumn(std::string_view table, std::string_view column);

private:
    Database(std::unique_ptr<storage::Pager> pager, storage::HeaderPage header);
    // Creates the table and gives it to fill before entering it into the catalogue.
    void makeTable(
        const std::string& name, const std::vector<catalog::NewColumn>& columns,
        const std::vector<catalog::NewIndex>& indexes, const TableExtras& extras,
        const std::function<void(const catalog::WriteContext&, catalog::NewTable&)>& fill);
    static std::unique_ptr<Database> onPager(std::unique_ptr<storage::Pager> pager,
                                             const OpenOptions& options);
    // Runs body as one change: journaled, committed whole, rolled back on any error. The
    // catalogue as read is dropped unless keepCatalog says the caller brings it up to date.
    void change(const std::function<void(const catalog::WriteContext&)>& body,
                bool keepCatalog = false);
    void requireWritable() const;
    // The local user table of that name, which a change may alter.
    catalog::CatalogObject alterableTable(std::string_view name);
    // Throws NotSupported unless this engine can compute the catalogue key of a new object's
    // name exactly in the file's sort order.
    void requireNameKey(const std::string& name) const;

    std::unique_ptr<storage::Pager> m_pager;
    storage::HeaderPage m_header;
    const format::JetFormat* m_jetFormat;
    bool m_readingOnly = false;
    std::optional<catalog::Catalog> m_catalog;
    std::optional<std::map<int32_t, catalog::ComplexKind>> m_complexKinds;
};

// "The database engine cannot find the input table or query 'name'. ..."
EngineError inputTableNotFound(std::string_view name);

// Which file a path names, however the path spells it: its device and inode.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    auto operator<=>(const FileIdentity&) const = default;
};

// nullopt when no file is at path.
std::optional<FileIdentity> fileIdentity(const std::string& path);

// The format of the database file at path, read from its header page, which needs no password.
// Throws FileNotFound, UnrecognizedFormat.
storage::FileFormat fileFormatOf(const std::string& path);

}  // namespace engine
