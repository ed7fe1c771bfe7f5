#include "ado/shared_databases.h"

#include <map>
#include <mutex>

namespace ado {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<engine::FileIdentity, std::weak_ptr<SharedDatabase>> open;

    void forgetClosed() {
        std::erase_if(open, [](const auto& entry) { return entry.second.expired(); });
    }
};

Registry& registry() {
    static Registry instance;
    return instance;
}

engine::AccessMode modeFor(Access access) {
    return access == Access::Read ? engine::AccessMode::ReadOnly
                                  : engine::AccessMode::ReadWriteIfAble;
}

}  // namespace

std::shared_ptr<SharedDatabase> openShared(const std::string& path, const std::string& password,
                                           Access access) {
    Registry& shared = registry();
    std::lock_guard lock(shared.mutex);
    shared.forgetClosed();

    const auto identity = engine::fileIdentity(path);
    const auto found = identity ? shared.open.find(*identity) : shared.open.end();
    if (found == shared.open.end()) {
        auto database = std::make_shared<SharedDatabase>(
            engine::Database::open(path, {.password = password, .mode = modeFor(access)}));
        // Identify what was opened: the path may have named another file a moment before.
        if (auto opened = engine::fileIdentity(path)) shared.open[*opened] = database;
        return database;
    }

    // Joining an open file takes its password all the same: opening the file again checks it.
    // A reader's lock leaves the writer's alone, so this works beside the writer; a writer is
    // opened only to replace a read-only database.
    auto database = found->second.lock();
    const bool upgrade = access == Access::WriteIfAble && !database->database().writable();
    auto again = engine::Database::open(path, {.password = password,
                                               .mode = upgrade ? engine::AccessMode::ReadWriteIfAble
                                                               : engine::AccessMode::ReadOnly});
    if (again->writable()) database->replace(std::move(again));
    return database;
}

size_t sharedDatabaseCount() {
    Registry& shared = registry();
    std::lock_guard lock(shared.mutex);
    shared.forgetClosed();
    return shared.open.size();
}

}  // namespace ado
