#include "DataStore.h"

#include <filesystem>

namespace albumd {

std::unique_ptr<DataStore> DataStore::Open(std::string dataDir, HashCost cost,
                                           std::int64_t ticketLifetimeSeconds, std::string& error) {
    std::filesystem::path folder =
        dataDir.empty() ? std::filesystem::path(".") : std::filesystem::path(dataDir);
    dataDir = (folder / "").string();
    std::error_code ec;
    std::filesystem::create_directories(dataDir, ec);
    // Pictures and password hashes are the owner's alone, whatever the umask; a folder made
    // readable to others by an earlier version is closed too.
    if (!ec)
        std::filesystem::permissions(dataDir, std::filesystem::perms::owner_all, ec);
    if (ec) {
        error = "cannot create " + dataDir + ": " + ec.message();
        return nullptr;
    }
    auto db = Database::Open(dataDir + "albumd.db", error);
    if (!db)
        return nullptr;
    for (const char* journal : {"albumd.db-wal", "albumd.db-shm"}) {
        std::filesystem::permissions(
            dataDir + journal,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, ec);
    }
    return std::unique_ptr<DataStore>(
        new DataStore(std::move(dataDir), cost, std::move(db), ticketLifetimeSeconds));
}

DataStore::DataStore(std::string dir, HashCost cost, std::unique_ptr<Database> database,
                     std::int64_t ticketLifetimeSeconds)
    : dataDir(std::move(dir)),
      hashCost(cost),
      db(std::move(database)),
      accounts(*db, cost, ticketLifetimeSeconds),
      albums(*db),
      hashes(*db),
      feedback(*db),
      friends(*db),
      sessions(*db),
      files(dataDir),
      updates(dataDir) {}

}  // namespace albumd
