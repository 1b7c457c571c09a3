// albumd's SQLite database: one connection in WAL mode, the schema, and `Statement`, the only way
// the service talks SQL (every value is bound to a prepared statement, never pasted into text).
// The connection is shared by the server's threads; a caller holds `Lock()` for each unit of
// work, so a transaction is never interleaved with another thread's statements.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace albumd {

// What an operation on the stored data came to.
enum class StoreResult { Ok, NotFound, Exists, Invalid, Fault };

class Database {
public:
    // Opens (creating when missing) the database file and brings its schema up to date.
    // nullptr with `error` set on failure.
    [[nodiscard]] static std::unique_ptr<Database> Open(const std::string& path,
                                                        std::string& error);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    [[nodiscard]] std::unique_lock<std::mutex> Lock() { return std::unique_lock(mutex_); }

    // Transaction control; the caller holds the lock. BEGIN IMMEDIATE takes the write lock at
    // once so the checks made inside the transaction still hold when it commits.
    [[nodiscard]] bool Begin();
    [[nodiscard]] bool Commit();
    void Rollback();

    // Copies the database to a new file `path` (0600) with SQLite's online backup, a consistent
    // copy while the server goes on writing. False with `error` set when `path` exists or the
    // copy fails (the partial file is removed).
    [[nodiscard]] bool BackupTo(const std::string& path, std::string& error);

    [[nodiscard]] std::int64_t LastInsertId() const;
    [[nodiscard]] int Changes() const;
    [[nodiscard]] sqlite3* Handle() const { return db_; }

private:
    explicit Database(sqlite3* db) : db_(db) {}
    [[nodiscard]] bool ExecFixed(const char* sql);

    sqlite3* db_;
    std::mutex mutex_;
};

// One prepared statement. Binding indexes start at 1, column indexes at 0. A statement that
// failed to prepare reports Step::Error from Next().
class Statement {
public:
    Statement(Database& db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, std::string_view text);
    Statement& BindBlob(int index, const void* data, std::size_t size);
    Statement& BindNull(int index);

    enum class Step { Row, Done, Error };
    [[nodiscard]] Step Next();
    // Runs a statement that returns no rows; true on success.
    [[nodiscard]] bool Run() { return Next() == Step::Done; }
    // Calls `read` for the first row: Ok when there was one, NotFound when there was none,
    // Fault when stepping fails.
    template <class Read>
    [[nodiscard]] StoreResult FindOne(Read read) {
        switch (Next()) {
            case Step::Row:
                read();
                return StoreResult::Ok;
            case Step::Done:
                return StoreResult::NotFound;
            case Step::Error:
                break;
        }
        return StoreResult::Fault;
    }
    // Calls `visit` for every row; false when stepping fails.
    template <class Visit>
    [[nodiscard]] bool ForEachRow(Visit visit) {
        for (;;) {
            switch (Next()) {
                case Step::Row:
                    visit();
                    break;
                case Step::Done:
                    return true;
                case Step::Error:
                    return false;
            }
        }
    }

    [[nodiscard]] std::int64_t Int(int column) const;
    [[nodiscard]] std::string Text(int column) const;
    [[nodiscard]] bool IsNull(int column) const;

private:
    sqlite3_stmt* stmt_ = nullptr;
    bool bindFailed_ = false;
};

}  // namespace albumd
