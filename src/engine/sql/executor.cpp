#include "engine/sql/executor.h"

#include "engine/sql/condition.h"
#include "engine/sql/parser.h"
#include "engine/sql/table_scope.h"
#include "engine/sql/table_statements.h"
#include "engine/storage/unicode.h"

namespace engine::sql {

namespace {

bool sameFile(const std::string& left, const std::string& right) {
    const auto leftIdentity = fileIdentity(left);
    return leftIdentity && leftIdentity == fileIdentity(right);
}

[[noreturn]] void readOnly() {
    throw EngineError(ErrorCode::ReadOnly, "Cannot update. Database or object is read-only.");
}

// A file a statement names, checked for a format the engine at work knows.
void requireKnownFormat(const std::string& path, const ExecuteOptions& options) {
    if (!options.opensAceFiles && storage::isAce(fileFormatOf(path))) {
        throw EngineError(ErrorCode::UnrecognizedFormat,
                          "Unrecognized database format '" + path + "'.");
    }
}

// The database a statement reads its source table from.
struct Source {
    std::shared_ptr<Database> file;  // another file, open for the statement; null for the own
    Database* database = nullptr;
};

Source openSource(Database& own, const TableReference& table, const ExecuteOptions& options) {
    if (!table.database) return {nullptr, &own};
    requireKnownFormat(table.database->path, options);
    std::shared_ptr<Database> file = Database::open(
        table.database->path, {.password = table.database->password, .mode = AccessMode::ReadOnly});
    if (sameFile(table.database->path, own.path())) return {nullptr, &own};
    return {file, file.get()};
}

// The WHERE condition of a query, as a selection's filter.
void addFilter(Selection& selection, const SelectStatement& select, const TableScope& scope) {
    if (!select.where) return;
    auto condition = std::make_shared<const Condition>(*select.where, scope);
    selection.filterColumns = condition->columns();
    selection.filter = [condition](const std::vector<format::Value>& row) {
        return condition->holds(row);
    };
}

Selection selectionFor(const SelectStatement& select, const TableScope& scope) {
    const auto& columns = scope.definition().columns;
    Selection selection;
    for (const auto& item : select.items) {
        if (const auto* all = std::get_if<AllColumns>(&item)) {
            if (!scope.isNamedBy(all->qualifier)) throw unknownField(all->qualifier + ".*");
            for (size_t index = 0; index < columns.size(); ++index) {
                selection.columns.push_back({index, columns[index].name});
            }
            continue;
        }
        const auto& output = std::get<OutputColumn>(item);
        const auto* reference = std::get_if<ColumnRef>(&output.expression.node);
        if (!reference) {
            throw EngineError(ErrorCode::NotSupported,
                              "Only fields can be selected (*, table.*, a field or a field AS "
                              "name); values calculated from them are not supported.");
        }
        const size_t index = scope.column(*reference);
        selection.columns.push_back(
            {index, output.alias.empty() ? columns[index].name : output.alias});
    }
    for (size_t index = 0; index < selection.columns.size(); ++index) {
        for (size_t earlier = 0; earlier < index; ++earlier) {
            if (storage::equalsIgnoringCase(selection.columns[earlier].name,
                                            selection.columns[index].name)) {
                throw EngineError(ErrorCode::DuplicateField,
                                  "Cannot define field more than once: two fields of the result "
                                  "are named '" +
                                      selection.columns[index].name + "'.");
            }
        }
    }
    addFilter(selection, select, scope);
    selection.distinct = select.distinct;
    return selection;
}

// The rows of a plain SELECT, read as the table gives them.
class StreamedRows final : public ResultRows {
public:
    explicit StreamedRows(std::unique_ptr<SelectedRows> rows) : m_rows(std::move(rows)) {}
    const std::vector<std::string>& names() const override { return m_rows->names(); }
    bool next(std::vector<format::Value>& row) override { return m_rows->next(row); }

private:
    std::unique_ptr<SelectedRows> m_rows;
};

// Rows read whole before the first is given, for a statement that changes the table it reads.
class HeldRows final : public ResultRows {
public:
    explicit HeldRows(ResultRows& rows) : m_names(rows.names()) {
        std::vector<format::Value> row;
        while (rows.next(row)) m_rows.push_back(row);
    }
    const std::vector<std::string>& names() const override { return m_names; }
    bool next(std::vector<format::Value>& row) override {
        if (m_next == m_rows.size()) return false;
        row = std::move(m_rows[m_next++]);
        return true;
    }

private:
    std::vector<std::string> m_names;
    std::vector<std::vector<format::Value>> m_rows;
    size_t m_next = 0;
};

// The rows of a SELECT without INTO, from the source the statement names.
std::unique_ptr<QueryRows> queryRows(Source source, const SelectStatement& select) {
    const std::string& table = select.from.table.name;
    auto definition = storedTable(*source.database, table);
    const TableScope scope(definition, table, select.from.alias,
                           source.database->catalog().nameOrder());
    if (needsShaping(select)) {
        Selection filter;
        addFilter(filter, select, scope);
        return std::make_unique<QueryRows>(
            source.file, shapedRows(*source.database, definition, select, scope, filter));
    }
    Selection selection = selectionFor(select, scope);
    return std::make_unique<QueryRows>(
        source.file, std::make_unique<StreamedRows>(std::make_unique<SelectedRows>(
                         *source.database, std::move(definition), std::move(selection))));
}

std::unique_ptr<QueryRows> runSelect(Database& own, const SelectStatement& select,
                                     const ExecuteOptions& options) {
    if (select.into && options.readOnly) readOnly();
    Source source = openSource(own, select.from.table, options);
    if (!select.into) return queryRows(std::move(source), select);
    if (needsShaping(select)) {
        throw EngineError(ErrorCode::NotSupported,
                          "A make-table query (SELECT ... INTO) cannot group, aggregate, sort or "
                          "take the TOP rows; create the table and fill it with INSERT INTO ... "
                          "SELECT instead.");
    }

    const std::string& table = select.from.table.name;
    auto definition = storedTable(*source.database, table);
    const TableScope scope(definition, table, select.from.alias,
                           source.database->catalog().nameOrder());
    Selection selection = selectionFor(select, scope);

    std::shared_ptr<Database> destinationFile;
    Database* destination = &own;
    if (const auto& file = select.into->database; file && !sameFile(file->path, own.path())) {
        requireKnownFormat(file->path, options);
        destinationFile = options.openDestination
                              ? options.openDestination(file->path)
                              : std::shared_ptr<Database>(
                                    Database::open(file->path, {.mode = AccessMode::ReadWrite}));
        destination = destinationFile.get();
        if (source.file && sameFile(source.database->path(), destination->path())) {
            // A reader of the file being written would hold up its commit: let it go.
            source.database = destination;
            source.file.reset();
        }
    }
    copyTable(*source.database, table, *destination, select.into->name, selection,
              options.progress);
    return nullptr;
}

size_t runInsert(Database& own, const InsertStatement& insert, const ExecuteOptions& options) {
    if (!insert.select) return insertRows(own, insert, nullptr);
    Source source = openSource(own, insert.select->from.table, options);
    const bool readsItself = source.database == &own && [&] {
        auto read = own.findInTables(insert.select->from.table.name);
        auto filled = own.findInTables(insert.table);
        return read && filled && read->id == filled->id;
    }();
    auto rows = queryRows(std::move(source), *insert.select);
    if (!readsItself) return insertRows(own, insert, &rows->rows());
    HeldRows held(rows->rows());
    return insertRows(own, insert, &held);
}

}  // namespace

format::TableDefinition storedTable(Database& database, std::string_view name) {
    auto object = database.findInTables(name);
    if (!object) throw inputTableNotFound(name);
    if (!object->isLocalTable()) {
        throw EngineError(ErrorCode::NotSupported,
                          "'" + object->name +
                              "' is a linked table or a query; only tables stored in the file "
                              "can be read.");
    }
    return database.tableDefinitionAt(object->tablePage());
}

bool onlyReads(std::string_view statement) {
    try {
        const Statement parsed = parseStatement(statement);
        const auto* select = std::get_if<SelectStatement>(&parsed);
        return select && !select->into;
    } catch (const EngineError&) {
        return false;
    }
}

std::unique_ptr<QueryRows> execute(Database& database, std::string_view statement,
                                   const ExecuteOptions& options) {
    const Statement parsed = parseStatement(statement);
    if (const auto* select = std::get_if<SelectStatement>(&parsed)) {
        return runSelect(database, *select, options);
    }
    if (options.readOnly) readOnly();
    if (const auto* create = std::get_if<CreateTableStatement>(&parsed)) {
        createTable(database, *create);
    } else if (const auto* insert = std::get_if<InsertStatement>(&parsed)) {
        runInsert(database, *insert, options);
    } else if (const auto* remove = std::get_if<DeleteStatement>(&parsed)) {
        deleteRows(database, *remove);
    } else if (const auto* update = std::get_if<UpdateStatement>(&parsed)) {
        updateRows(database, *update);
    } else if (const auto* index = std::get_if<CreateIndexStatement>(&parsed)) {
        createIndex(database, *index);
    } else if (const auto* alter = std::get_if<AlterTableStatement>(&parsed)) {
        alterTable(database, *alter);
    } else if (const auto* dropped = std::get_if<DropIndexStatement>(&parsed)) {
        database.dropIndex(dropped->table, dropped->index);
    } else {
        dropTable(database, std::get<DropTableStatement>(parsed));
    }
    return nullptr;
}

}  // namespace engine::sql
