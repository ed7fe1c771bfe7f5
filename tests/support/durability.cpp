#include "support/durability.h"

#include "engine/table_copy.h"
#include "support/engine_files.h"

namespace support {

using engine::format::Value;

std::filesystem::path makeTwoTables(const TempDir& folder, const std::string& name,
                                    const BaseShape& shape) {
    auto path = folder / name;
    auto database = engine::Database::create(path, {.format = shape.format});
    auto columns = everyColumnType(shape.format);
    database->createTable("Base", columns,
                          [&columns, &shape, next = 0u](std::vector<Value>& row) mutable {
                              if (next == shape.rows) return false;
                              row = sampleRow(columns, ++next, shape.format);
                              return true;
                          });
    using engine::format::ColumnType;
    database->createTable(
        "Other",
        {{.name = "Id", .type = ColumnType::Long},
         {.name = "Name", .type = ColumnType::Text, .size = 50}},
        [next = 0](std::vector<Value>& row) mutable {
            if (next == 25) return false;
            ++next;
            row = {Value(int32_t{next * 7}), Value("other row " + std::to_string(next))};
            return true;
        });
    return path;
}

std::string nameOf(Change change) {
    switch (change) {
        case Change::MakeTable:
            return "make-table";
        case Change::Drop:
            return "drop";
        case Change::Rename:
            return "rename";
        case Change::CreateIndex:
            return "create index";
        case Change::AddColumn:
            return "add column";
    }
    return "?";
}

void runChange(engine::Database& database, Change change) {
    switch (change) {
        case Change::MakeTable:
            engine::copyTable(database, "Base", database, "Copied");
            break;
        case Change::Drop:
            database.dropTable("Base");
            break;
        case Change::Rename:
            engine::copyTable(database, "Base", database, "Renamed");
            database.dropTable("Base");
            break;
        case Change::CreateIndex:
            database.createIndex("Base", {.name = "ByLabelTotal",
                                          .columns = {"Label", "Total"},
                                          .descending = {false, true}});
            break;
        case Change::AddColumn:
            database.addColumn("Base", {.name = "Added", .type = engine::format::ColumnType::Memo});
            break;
    }
}

Tables tablesOf(const std::filesystem::path& path) {
    auto database = engine::Database::open(path);
    return {allRows(*database, "Base"), mdbExport(path, "Other")};
}

std::vector<std::string> journalsIn(const std::filesystem::path& folder) {
    std::vector<std::string> journals;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name.ends_with("-journal")) journals.push_back(name);
    }
    return journals;
}

ChangeSteps stepsOf(const std::filesystem::path& base, const std::filesystem::path& scratch,
                    Change change) {
    std::filesystem::copy_file(base, scratch, std::filesystem::copy_options::overwrite_existing);
    FaultyFileSystem counting(0, FaultyFileSystem::Fault::IoError);
    ChangeSteps steps;
    {
        auto database = engine::Database::open(
            scratch, {.mode = engine::AccessMode::ReadWrite, .fileSystem = &counting});
        steps.opened = counting.steps();
        runChange(*database, change);
        steps.log = counting.log();
    }
    std::filesystem::remove(scratch);
    return steps;
}

std::vector<uint64_t> commitSteps(const ChangeSteps& steps) {
    using Action = FaultyFileSystem::Action;
    std::vector<uint64_t> numbers;
    int journalWrites = 0;
    for (uint64_t index = steps.opened; index < steps.log.size(); ++index) {
        const auto& [action, path] = steps.log[index];
        const bool journal = path.ends_with("-journal");
        if (journal && action == Action::Create) journalWrites = 0;
        if (journal && action == Action::Write) ++journalWrites;
        if (journalWrites >= 2) numbers.push_back(index + 1);
        if (journal && action == Action::Remove) journalWrites = 0;
    }
    return numbers;
}

std::vector<uint64_t> sampledCommitSteps(const ChangeSteps& steps) {
    const auto all = commitSteps(steps);
    auto kindOf = [&](uint64_t step) { return steps.log[step - 1]; };
    auto alike = [&](uint64_t left, uint64_t right) {
        return right == left + 1 && kindOf(left).action == kindOf(right).action &&
               kindOf(left).path == kindOf(right).path;
    };
    std::vector<uint64_t> sampled;
    for (size_t start = 0; start < all.size();) {
        size_t end = start + 1;
        while (end < all.size() && alike(all[end - 1], all[end])) ++end;
        for (size_t pick : {start, (start + end - 1) / 2, end - 1}) {
            if (sampled.empty() || sampled.back() < all[pick]) sampled.push_back(all[pick]);
        }
        start = end;
    }
    return sampled;
}

uint64_t halfwayThroughCommit(const ChangeSteps& steps) {
    using Action = FaultyFileSystem::Action;
    // The writes to the database after the last flush of the journal.
    std::vector<uint64_t> inUse;
    for (uint64_t index = steps.opened; index < steps.log.size(); ++index) {
        const auto& [action, path] = steps.log[index];
        if (path.ends_with("-journal") && action == Action::Flush) inUse.clear();
        if (!path.ends_with("-journal") && action == Action::Write) inUse.push_back(index + 1);
    }
    return inUse.empty() ? 0 : inUse[inUse.size() / 2];
}

bool underSanitizers() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#else
    return false;
#endif
}

std::string problemsAfter(const std::filesystem::path& path, Change change, const Tables& before) {
    std::string problems;
    try {
        auto database = engine::Database::open(path, {.mode = engine::AccessMode::ReadWrite});
        problems += integrityProblems(*database);
        const auto& catalog = database->catalog();
        auto wholeOrAbsent = [&](const std::string& table, bool mayBeAbsent) {
            if (!catalog.findTable(table)) {
                if (!mayBeAbsent) problems += table + " is missing\n";
            } else if (allRows(*database, table) != before.base) {
                problems += table + " is not whole\n";
            }
        };
        switch (change) {
            case Change::MakeTable:
                wholeOrAbsent("Base", false);
                wholeOrAbsent("Copied", true);
                break;
            case Change::Drop:
                wholeOrAbsent("Base", true);
                break;
            case Change::Rename:
                wholeOrAbsent("Base", catalog.findTable("Renamed") != nullptr);
                wholeOrAbsent("Renamed", true);
                break;
            case Change::CreateIndex:
                // The integrity check holds every index to the rows, the new one too.
                wholeOrAbsent("Base", false);
                break;
            case Change::AddColumn: {
                // Base's rows as they were, each with a NULL for the new field once it is there.
                auto rows = allRows(*database, "Base");
                if (database->tableDefinition("Base").findColumn("Added")) {
                    for (auto& row : rows) {
                        if (!std::holds_alternative<std::monostate>(row.back())) {
                            problems += "Added holds a value\n";
                        }
                        row.pop_back();
                    }
                }
                if (rows != before.base) problems += "Base is not whole\n";
                break;
            }
        }
    } catch (const engine::EngineError& error) {
        problems += std::string("opening failed: ") + error.what() + "\n";
    }
    if (mdbExport(path, "Other") != before.other) problems += "Other changed\n";
    for (const auto& journal : journalsIn(path.parent_path())) {
        problems += "journal left: " + journal + "\n";
    }
    return problems;
}

}  // namespace support
