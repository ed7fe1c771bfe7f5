#include "engine/database.h"

#include "engine/storage/posix_page_file.h"

namespace engine {

namespace {

std::unique_ptr<storage::PageFile> openFile(const std::string& path, AccessMode mode) {
    using storage::OpenMode;
    if (mode == AccessMode::ReadOnly) return storage::PosixPageFile::open(path, OpenMode::ReadOnly);
    try {
        return storage::PosixPageFile::open(path, OpenMode::ReadWrite);
    } catch (const EngineError& error) {
        if (mode == AccessMode::ReadWriteIfAble && error.code() == ErrorCode::ReadOnly) {
            return storage::PosixPageFile::open(path, OpenMode::ReadOnly);
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

TableReader::TableReader(Database& database, format::TableDefinition definition)
    : m_definition(std::move(definition)),
      m_scan(database.pager(), database.jetFormat(), m_definition) {}

bool TableReader::next(std::vector<format::Value>& values) { return m_scan.next(values); }

std::unique_ptr<Database> Database::open(const std::string& path, const OpenOptions& options) {
    return open(openFile(path, options.mode), options);
}

std::unique_ptr<Database> Database::open(std::unique_ptr<storage::PageFile> file,
                                         const OpenOptions& options) {
    const std::string path = file->path();
    uint32_t smallestPage = storage::pageSizeOf(storage::FileFormat::Jet3);
    if (file->size() < smallestPage) {
        throw EngineError(ErrorCode::UnrecognizedFormat,
                          "Unrecognized database format '" + path + "'.");
    }
    std::vector<uint8_t> first(std::min<uint64_t>(file->size(), 4096));
    file->read(0, first);
    auto header = storage::HeaderPage::parse(first, path);

    if (header.hasPassword() && !header.passwordMatches(options.password)) {
        throw EngineError(ErrorCode::InvalidPassword, "Not a valid password.");
    }
    if (header.encodingKey() != 0) {
        throw EngineError(ErrorCode::NotSupported,
                          "The database '" + path +
                              "' is encrypted, and this engine cannot yet read encrypted pages.");
    }
    auto pager = std::make_unique<storage::Pager>(std::move(file), header.pageSize());
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

format::TableDefinition Database::tableDefinition(std::string_view name) {
    const catalog::CatalogObject* table = catalog().findTable(name);
    if (!table) throw inputTableNotFound(name);
    return tableDefinitionAt(table->tablePage());
}

format::TableDefinition Database::tableDefinitionAt(PageNumber page) {
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

std::unique_ptr<TableReader> Database::readTable(std::string_view name) {
    return std::make_unique<TableReader>(*this, tableDefinition(name));
}

}  // namespace engine
