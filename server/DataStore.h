// Everything albumd keeps in its data folder, opened together: the database ("albumd.db") with the
// accounts, albums and feedback stored in it, the picture files and the update files. Both the
// server and the operator's commands open it; opening has no side effects on the files, so a
// command can run beside a serving albumd.
#pragma once

#include <memory>
#include <string>

#include "Accounts.h"
#include "AlbumStore.h"
#include "ContentHashIndex.h"
#include "Database.h"
#include "Feedback.h"
#include "Friends.h"
#include "PhotoFiles.h"
#include "UpdateFiles.h"
#include "WebSessions.h"

namespace albumd {

class DataStore {
public:
    // `dataDir` is created when missing; a trailing '/' is added when absent.
    [[nodiscard]] static std::unique_ptr<DataStore> Open(std::string dataDir, HashCost cost,
                                                         std::int64_t ticketLifetimeSeconds,
                                                         std::string& error);

    const std::string dataDir;
    const HashCost hashCost;
    std::unique_ptr<Database> db;
    Accounts accounts;
    AlbumStore albums;
    ContentHashIndex hashes;
    FeedbackStore feedback;
    FriendStore friends;
    WebSessions sessions;
    PhotoFiles files;
    UpdateFiles updates;

private:
    DataStore(std::string dir, HashCost cost, std::unique_ptr<Database> database,
              std::int64_t ticketLifetimeSeconds);
};

}  // namespace albumd
