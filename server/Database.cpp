#include "Database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace albumd {

namespace {

// Applied in order; each is idempotent so an existing database is simply brought up to date.
const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS users("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " name TEXT NOT NULL UNIQUE,"
    " password_hash TEXT NOT NULL,"
    " created INTEGER NOT NULL,"
    " space_limit INTEGER,"
    " album_picture_limit INTEGER)",
    "CREATE TABLE IF NOT EXISTS tickets("
    " digest BLOB PRIMARY KEY,"
    " user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
    " machine_key TEXT NOT NULL,"
    " created INTEGER NOT NULL,"
    " expires INTEGER NOT NULL,"
    " revoked INTEGER NOT NULL DEFAULT 0)",
    "CREATE INDEX IF NOT EXISTS tickets_user ON tickets(user_id)",
    "CREATE TABLE IF NOT EXISTS albums("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL,"
    " description TEXT NOT NULL,"
    " privacy INTEGER NOT NULL,"
    " question TEXT,"
    " answer_hash TEXT,"
    " created INTEGER NOT NULL)",
    "CREATE INDEX IF NOT EXISTS albums_user ON albums(user_id)",
    "CREATE TABLE IF NOT EXISTS photos("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " album_id INTEGER NOT NULL REFERENCES albums(id) ON DELETE CASCADE,"
    " user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
    " title TEXT NOT NULL,"
    " file TEXT NOT NULL UNIQUE,"
    " mime TEXT NOT NULL,"
    " size INTEGER NOT NULL,"
    " created INTEGER NOT NULL)",
    "CREATE INDEX IF NOT EXISTS photos_album ON photos(album_id)",
    "CREATE INDEX IF NOT EXISTS photos_user ON photos(user_id)",
    "CREATE TABLE IF NOT EXISTS feedback("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " user_id INTEGER REFERENCES users(id) ON DELETE SET NULL,"
    " contact TEXT NOT NULL,"
    " content TEXT NOT NULL,"
    " address TEXT NOT NULL,"
    " created INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS settings(key TEXT PRIMARY KEY, value INTEGER NOT NULL)",
    // Who may see an owner's albums kept for friends.
    "CREATE TABLE IF NOT EXISTS friends("
    " owner_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
    " friend_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
    " created INTEGER NOT NULL,"
    " PRIMARY KEY(owner_id, friend_id))",
    // Logins of the web pages, apart from the client's tickets: a page's cookie never opens the
    // API. Only digests are stored, as for tickets.
    "CREATE TABLE IF NOT EXISTS web_sessions("
    " digest BLOB PRIMARY KEY,"
    " user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
    " created INTEGER NOT NULL,"
    " expires INTEGER NOT NULL)",
    "CREATE INDEX IF NOT EXISTS web_sessions_user ON web_sessions(user_id)",
    "CREATE INDEX IF NOT EXISTS feedback_user ON feedback(user_id, created)",
    // The content hashes of stored pictures, by album (ContentHashIndex.h).
    "CREATE TABLE IF NOT EXISTS photo_hashes("
    " photo_id INTEGER PRIMARY KEY REFERENCES photos(id) ON DELETE CASCADE,"
    " album_id INTEGER NOT NULL,"
    " content_hash TEXT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS photo_hashes_album ON photo_hashes(album_id, content_hash)",
    // Resumable uploads in progress or just finished (ResumableUploads.h).
    "CREATE TABLE IF NOT EXISTS resumable_uploads("
    " id TEXT PRIMARY KEY,"
    " user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,"
    " album_id INTEGER NOT NULL,"
    " length INTEGER NOT NULL,"
    " title TEXT NOT NULL,"
    " content_hash TEXT NOT NULL,"
    " allow_duplicate INTEGER NOT NULL,"
    " expires INTEGER NOT NULL,"
    " result_status INTEGER,"
    " result_body TEXT)",
};

}  // namespace

std::unique_ptr<Database> Database::Open(const std::string& path, std::string& error) {
    // The file is made readable by its owner alone before SQLite opens it, whatever the umask;
    // SQLite gives its journal and WAL files the same mode.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || ::fchmod(fd, 0600) != 0) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return nullptr;
    }
    ::close(fd);
    sqlite3* handle = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &handle,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        error = handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc);
        sqlite3_close(handle);
        return nullptr;
    }
    std::unique_ptr<Database> db(new Database(handle));
    // The operator's commands may write while the server runs: wait for each other briefly.
    sqlite3_busy_timeout(handle, 5000);
    // WAL keeps readers going during a write; FULL makes a committed upload survive a power cut.
    const char* const pragmas[] = {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL",
                                   "PRAGMA foreign_keys=ON"};
    for (const char* pragma : pragmas) {
        if (!db->ExecFixed(pragma)) {
            error = sqlite3_errmsg(handle);
            return nullptr;
        }
    }
    for (const char* statement : kSchema) {
        if (!db->ExecFixed(statement)) {
            error = sqlite3_errmsg(handle);
            return nullptr;
        }
    }
    return db;
}

Database::~Database() {
    sqlite3_close(db_);
}

bool Database::ExecFixed(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool Database::Begin() {
    return ExecFixed("BEGIN IMMEDIATE");
}

bool Database::Commit() {
    if (ExecFixed("COMMIT"))
        return true;
    Rollback();
    return false;
}

void Database::Rollback() {
    if (!sqlite3_get_autocommit(db_)) {
        (void)ExecFixed("ROLLBACK");
    }
}

bool Database::BackupTo(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    ::close(fd);
    sqlite3* copy = nullptr;
    bool done = sqlite3_open_v2(path.c_str(), &copy, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    if (done) {
        // Pages are copied in steps; a step that finds the database busy with a write waits a
        // moment and goes on.
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", db_, "main");
        int rc = backup ? SQLITE_OK : SQLITE_ERROR;
        while (backup && (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED)) {
            rc = sqlite3_backup_step(backup, 256);
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
                sqlite3_sleep(20);
        }
        if (backup)
            sqlite3_backup_finish(backup);
        done = rc == SQLITE_DONE;
    }
    if (!done)
        error = std::string("backup failed: ") + (copy ? sqlite3_errmsg(copy) : "cannot open");
    sqlite3_close(copy);
    if (!done)
        ::unlink(path.c_str());
    return done;
}

std::int64_t Database::LastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

int Database::Changes() const {
    return sqlite3_changes(db_);
}

Statement::Statement(Database& db, const char* sql) {
    if (sqlite3_prepare_v2(db.Handle(), sql, -1, &stmt_, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement& Statement::Bind(int index, std::int64_t value) {
    if (!stmt_ || sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK)
        bindFailed_ = true;
    return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
    if (!stmt_ || sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT,
                                      SQLITE_UTF8) != SQLITE_OK) {
        bindFailed_ = true;
    }
    return *this;
}

Statement& Statement::BindBlob(int index, const void* data, std::size_t size) {
    if (!stmt_ || sqlite3_bind_blob64(stmt_, index, data, size, SQLITE_TRANSIENT) != SQLITE_OK) {
        bindFailed_ = true;
    }
    return *this;
}

Statement& Statement::BindNull(int index) {
    if (!stmt_ || sqlite3_bind_null(stmt_, index) != SQLITE_OK)
        bindFailed_ = true;
    return *this;
}

Statement::Step Statement::Next() {
    if (!stmt_ || bindFailed_)
        return Step::Error;
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return Step::Row;
    if (rc == SQLITE_DONE)
        return Step::Done;
    return Step::Error;
}

std::int64_t Statement::Int(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

std::string Statement::Text(int column) const {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    if (!text)
        return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

bool Statement::IsNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

}  // namespace albumd
