#pragma once
// Parts of the SQLite backend shared between the record-set code and the
// repair/compaction code.
#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "platform/engine/engine.h"
#include "platform/engine/sqlite_util.h"
#include "platform/failure.h"

namespace platform::sqlite_backend {

// The lock file beside a database: byte 0 is held shared by every open
// handle and exclusively by a repair or compaction; bytes from 1 on lock rows
// (open-file-description locks, so two handles of one process also exclude
// each other, and a killed process leaves no stale lock).
class LockFile {
public:
    LockFile(const std::filesystem::path& database, const std::string& shown);
    ~LockFile();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;
    bool tryShared();
    bool tryExclusive();
    bool tryLockRow(long long tableOrdinal, long long rowid);
    void unlockRow(long long tableOrdinal, long long rowid);
    static std::filesystem::path pathFor(const std::filesystem::path& database);

private:
    bool setLock(short type, long long start);
    int fd_ = -1;
};

Failure mapSqlError(const sq::SqlError& e, const std::string& shown);
Failure inUse(const std::string& shown);
Failure notFound(const std::string& shown);
Failure unrecognized(const std::string& shown);

// Opens a SQLite connection with the engine's settings.
sqlite3* openConnection(const std::filesystem::path& host, const std::string& shown, bool create);

}  // namespace platform::sqlite_backend
