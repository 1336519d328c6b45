// The engine over SQLite: one SQLite file per database, the engine's column
// types recorded as declared types, case-insensitive text keys, keyset
// navigation over indexes and row locking between edit and update.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <map>
#include <mutex>

#include "platform/codepage.h"
#include "platform/dates.h"
#include "platform/drives.h"
#include "platform/engine/repair.h"
#include "platform/engine/schema.h"
#include "platform/engine/sqlite_engine_internal.h"
#include "platform/files.h"
#include "platform/numbers.h"

namespace fs = std::filesystem;

namespace platform {

const ColumnDef* TableDef::column(std::string_view n) const {
    for (const auto& c : columns)
        if (equalsNoCase(c.name, n)) return &c;
    return nullptr;
}

SeekOp parseSeekOp(std::string_view op) {
    if (op == "=") return SeekOp::Equal;
    if (op == "<") return SeekOp::Less;
    if (op == "<=") return SeekOp::LessEqual;
    if (op == ">") return SeekOp::Greater;
    if (op == ">=") return SeekOp::GreaterEqual;
    throw Failure(3001, "Invalid argument.");
}

namespace sqlite_backend {

// ---- lock file

fs::path LockFile::pathFor(const fs::path& database) { return inUseLockPath(database); }

LockFile::LockFile(const fs::path& database, const std::string& shown) {
    fs::path p = pathFor(database);
    fd_ = ::open(p.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) throw Failure(3051, "The database engine cannot open the file '" + shown +
                                         "'. It is already opened exclusively by another user, or you need "
                                         "permission to view its data.",
                               shown);
}

LockFile::~LockFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool LockFile::setLock(short type, long long start) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(start);
    fl.l_len = 1;
    fl.l_pid = 0;
    for (;;) {
        if (::fcntl(fd_, F_OFD_SETLK, &fl) == 0) return true;
        if (errno != EINTR) return false;
    }
}

bool LockFile::tryShared() { return setLock(F_RDLCK, 0); }
bool LockFile::tryExclusive() { return setLock(F_WRLCK, 0); }
bool LockFile::tryLockRow(long long t, long long rowid) { return setLock(F_WRLCK, 1 + (t << 40) + rowid); }
void LockFile::unlockRow(long long t, long long rowid) { setLock(F_UNLCK, 1 + (t << 40) + rowid); }

// ---- errors

Failure inUse(const std::string& shown) {
    return Failure(3045, "Could not use '" + shown + "'; file already in use.", shown);
}
Failure notFound(const std::string& shown) {
    return Failure(3024, "Could not find file '" + shown + "'.", shown);
}
Failure unrecognized(const std::string& shown) {
    return Failure(3343, "Unrecognized database format '" + shown + "'.", shown);
}

Failure mapSqlError(const sq::SqlError& e, const std::string& shown) {
    switch (e.code & 0xFF) {
        case SQLITE_CONSTRAINT:
            return Failure(3022,
                           "The changes you requested to the table were not successful because they would create "
                           "duplicate values in the index, primary key, or relationship. Change the data in the "
                           "field or fields that contain duplicate data, remove the index, or redefine the index "
                           "to permit duplicate entries and try again.",
                           shown);
        case SQLITE_BUSY:
        case SQLITE_LOCKED: return Failure(3218, "Could not update; currently locked.", shown);
        case SQLITE_NOTADB: return unrecognized(shown);
        case SQLITE_CORRUPT:
            return Failure(3049, "Cannot open database '" + shown +
                                     "'. It may not be a database that your application recognizes, or the file "
                                     "may be corrupt.",
                           shown);
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_CANTOPEN:
            return Failure(3051, "The database engine cannot open the file '" + shown +
                                     "'. It is already opened exclusively by another user, or you need permission "
                                     "to view its data.",
                           shown);
        case SQLITE_FULL: return Failure(3026, "Not enough space on disk.", shown);
        case SQLITE_IOERR: return Failure(3043, "Disk or network error.", shown);
        default: return Failure(3000, "Reserved error (" + std::to_string(e.code) + "); " + e.message, shown);
    }
}

sqlite3* openConnection(const fs::path& host, const std::string& shown, bool create) {
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(host.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        sq::SqlError e{rc, db ? sqlite3_errmsg(db) : "open"};
        sqlite3_close(db);
        throw mapSqlError(e, shown);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 10000);
    try {
        sq::exec(db, "PRAGMA secure_delete=ON; PRAGMA synchronous=FULL; PRAGMA cache_size=-4096");
        if (create) sq::exec(db, "PRAGMA page_size=4096");
    } catch (const sq::SqlError& e) {
        sqlite3_close(db);
        throw mapSqlError(e, shown);
    }
    return db;
}

}  // namespace sqlite_backend

namespace {

using namespace sqlite_backend;

Failure noCurrent() { return Failure(3021, "No current record."); }
Failure closedObject() { return Failure(3420, "Object invalid or no longer set."); }
Failure conversionError() { return Failure(3421, "Data type conversion error."); }

// A stored value as SQLite holds it.
struct Cell {
    int type = SQLITE_NULL;
    long long i = 0;
    double d = 0;
    std::string t;
    bool operator==(const Cell&) const = default;
};

Cell cellFrom(sqlite3_stmt* s, int col) {
    Cell c;
    c.type = sqlite3_column_type(s, col);
    switch (c.type) {
        case SQLITE_INTEGER: c.i = sqlite3_column_int64(s, col); break;
        case SQLITE_FLOAT: c.d = sqlite3_column_double(s, col); break;
        case SQLITE_NULL: break;
        default: {
            c.type = SQLITE_TEXT;
            const unsigned char* t = sqlite3_column_text(s, col);
            c.t.assign(reinterpret_cast<const char*>(t ? t : reinterpret_cast<const unsigned char*>("")),
                       static_cast<size_t>(sqlite3_column_bytes(s, col)));
        }
    }
    return c;
}

void bindCell(sq::Stmt& s, int idx, const Cell& c) {
    switch (c.type) {
        case SQLITE_INTEGER: s.bindInt(idx, c.i); break;
        case SQLITE_FLOAT: s.bindDouble(idx, c.d); break;
        case SQLITE_TEXT: s.bindText(idx, c.t); break;
        default: s.bindNull(idx);
    }
}

size_t utf8Length(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

// The shared state of one open database handle.
struct Connection {
    sqlite3* db = nullptr;
    std::string shown;
    fs::path host;
    std::unique_ptr<LockFile> lock;
    const Locale* locale = nullptr;
    bool closed = false;

    void close() {
        if (closed) return;
        closed = true;
        if (db) sqlite3_close_v2(db);
        db = nullptr;
        lock.reset();
    }
    ~Connection() { close(); }
    void require() const {
        if (closed) throw closedObject();
    }
};

// Conversion between the engine's values and what SQLite stores.
Cell toStorage(const ColumnDef& c, const Value& v, const Locale& loc) {
    Cell out;
    if (v.isNull()) return out;
    auto number = [&]() -> double {
        if (v.isText()) {
            auto d = readNumber(v.text());
            if (!d) throw conversionError();
            return *d;
        }
        return v.toDouble();
    };
    switch (c.type) {
        case ColumnType::Text:
        case ColumnType::Memo: {
            out.type = SQLITE_TEXT;
            out.t = v.toText();
            if (c.type == ColumnType::Text && utf8Length(out.t) > static_cast<size_t>(c.size > 0 ? c.size : 255))
                throw Failure(3163,
                              "The field is too small to accept the amount of data you attempted to add. Try "
                              "inserting or pasting less data.");
            return out;
        }
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::Counter: {
            double d = std::nearbyint(number());
            double lo = c.type == ColumnType::Byte ? 0 : c.type == ColumnType::Integer ? -32768 : -2147483648.0;
            double hi = c.type == ColumnType::Byte ? 255 : c.type == ColumnType::Integer ? 32767 : 2147483647.0;
            if (d < lo || d > hi) throw Failure(3349, "Numeric field overflow.");
            out.type = SQLITE_INTEGER;
            out.i = static_cast<long long>(d);
            return out;
        }
        case ColumnType::Single: {
            double d = number();
            if (std::fabs(d) > 3.4028234663852886e38) throw Failure(3349, "Numeric field overflow.");
            out.type = SQLITE_FLOAT;
            out.d = static_cast<double>(static_cast<float>(d));
            return out;
        }
        case ColumnType::Double:
            out.type = SQLITE_FLOAT;
            out.d = number();
            return out;
        case ColumnType::Currency: {
            Money m;
            if (v.isText()) {
                auto r = readMoney(v.text());
                if (!r) throw conversionError();
                m = *r;
            } else {
                m = v.toMoney();
            }
            out.type = SQLITE_INTEGER;
            out.i = m.tenThousandths();
            return out;
        }
        case ColumnType::DateTime: {
            out.type = SQLITE_FLOAT;
            if (v.isText()) {
                auto d = loc.recognise(v.text());
                if (!d) throw conversionError();
                out.d = toSerial(*d);
            } else {
                out.d = v.toDouble();
            }
            return out;
        }
        case ColumnType::YesNo: {
            out.type = SQLITE_INTEGER;
            if (v.kind() == Value::Kind::Boolean) out.i = v.boolean() ? -1 : 0;
            else if (v.isText()) {
                std::string t = asciiLower(v.text());
                if (t == "true" || t == "yes" || t == "on") out.i = -1;
                else if (t == "false" || t == "no" || t == "off") out.i = 0;
                else out.i = number() != 0 ? -1 : 0;
            } else out.i = v.toDouble() != 0 ? -1 : 0;
            return out;
        }
    }
    return out;
}

Value fromStorage(const ColumnDef& c, const Cell& s, const Locale& loc) {
    if (s.type == SQLITE_NULL) return Value();
    double num = s.type == SQLITE_INTEGER ? static_cast<double>(s.i) : s.type == SQLITE_FLOAT ? s.d : 0;
    bool isNum = s.type != SQLITE_TEXT;
    switch (c.type) {
        case ColumnType::Text:
        case ColumnType::Memo:
            if (s.type == SQLITE_TEXT) return Value(s.t);
            return Value(s.type == SQLITE_INTEGER ? std::to_string(s.i) : numberText(s.d));
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::Counter:
            if (s.type == SQLITE_INTEGER) return Value(static_cast<int64_t>(s.i));
            if (isNum) return Value(static_cast<int64_t>(std::llround(num)));
            return Value(s.t);
        case ColumnType::Single:
            if (isNum) return Value(static_cast<double>(static_cast<float>(num)));
            return Value(s.t);
        case ColumnType::Double:
            if (isNum) return Value(num);
            return Value(s.t);
        case ColumnType::Currency:
            if (s.type == SQLITE_INTEGER) return Value(Money::fromTenThousandths(s.i));
            if (isNum) return Value(Money::fromDouble(num / 10000.0));
            return Value(s.t);
        case ColumnType::DateTime:
            if (isNum) return Value(loc.shortDate(fromSerial(num)));
            return Value(s.t);
        case ColumnType::YesNo:
            if (isNum) return Value(num != 0);
            return Value(s.t);
    }
    return Value();
}

class SqliteRecordset final : public Recordset {
public:
    SqliteRecordset(std::shared_ptr<Connection> conn, TableDef def, long long ordinal)
        : conn_(std::move(conn)), def_(std::move(def)), ordinal_(ordinal) {
        rowLocks_ = std::make_unique<LockFile>(conn_->host, conn_->shown);
        setIndex("");
    }
    ~SqliteRecordset() override { releaseLock(); }

    void setIndex(std::string_view name) override {
        require();
        discardEdit();
        uniqueIndex_ = false;
        if (name.empty()) {
            indexName_.clear();
            keyCols_.clear();
        } else {
            const IndexDef* found = nullptr;
            for (const auto& ix : def_.indexes)
                if (equalsNoCase(ix.name, name)) found = &ix;
            if (!found) throw Failure(3800, "'" + std::string(name) + "' is not an index in this table.");
            indexName_ = found->name;
            uniqueIndex_ = found->unique;
            keyCols_.clear();
            for (const auto& col : found->columns) keyCols_.push_back(columnIndex(col));
        }
        stmts_.clear();
        noMatch_ = false;
        moveFirst();
    }
    std::string index() const override { return indexName_; }

    void seek(SeekOp op, const std::vector<Value>& keys) override {
        require();
        if (indexName_.empty()) throw Failure(3019, "Operation invalid without a current index.");
        if (keys.empty() || keys.size() > keyCols_.size()) throw Failure(3001, "Invalid argument.");
        discardEdit();
        std::vector<Cell> vals;
        for (size_t i = 0; i < keys.size(); ++i) {
            const ColumnDef& c = def_.columns[keyCols_[i]];
            vals.push_back(keyToStorage(c, keys[i]));
        }
        size_t m = vals.size();
        bool found = false;
        bool asc = op == SeekOp::Equal || op == SeekOp::Greater || op == SeekOp::GreaterEqual;
        if (op == SeekOp::Equal || op == SeekOp::GreaterEqual || op == SeekOp::LessEqual)
            found = probeEqual(vals, m, asc);
        if (!found && op != SeekOp::Equal) {
            for (size_t j = m; j-- > 0 && !found;) found = probeStrict(vals, j, asc, m);
        }
        noMatch_ = !found;
        if (!found) {
            state_ = State::NoCurrent;
            havePos_ = false;
        }
    }
    bool noMatch() const override { return noMatch_; }

    void moveFirst() override { moveEnd(true); }
    void moveLast() override { moveEnd(false); }

    void moveNext() override {
        require();
        if (state_ == State::Eof || (state_ == State::NoCurrent && !havePos_)) throw noCurrent();
        discardEdit();
        if (state_ == State::Bof) { moveEnd(true); return; }
        if (!adjacent(true)) { state_ = State::Eof; havePos_ = false; }
    }
    void movePrevious() override {
        require();
        if (state_ == State::Bof || (state_ == State::NoCurrent && !havePos_)) throw noCurrent();
        discardEdit();
        if (state_ == State::Eof) { moveEnd(false); if (state_ == State::Eof) state_ = State::Bof; return; }
        if (!adjacent(false)) { state_ = State::Bof; havePos_ = false; }
    }
    bool bof() const override { return state_ == State::Bof || emptyBoth_; }
    bool eof() const override { return state_ == State::Eof || emptyBoth_; }

    long long recordCount() override {
        require();
        try {
            sq::Stmt s(conn_->db, "SELECT count(*) FROM " + sq::quoteIdent(def_.name));
            s.step();
            return s.colInt(0);
        } catch (const sq::SqlError& e) {
            throw mapSqlError(e, conn_->shown);
        }
    }

    void addNew() override {
        require();
        discardEdit();
        mode_ = EditMode::Add;
        buffer_.assign(def_.columns.size(), Cell{});
        for (size_t i = 0; i < def_.columns.size(); ++i)
            if (!def_.columns[i].defaultValue.isNull() && def_.columns[i].type != ColumnType::Counter)
                buffer_[i] = toStorage(def_.columns[i], def_.columns[i].defaultValue, *conn_->locale);
        dirty_.assign(def_.columns.size(), false);
    }

    void edit() override {
        require();
        if (state_ != State::OnRow) throw noCurrent();
        discardEdit();
        if (!rowLocks_->tryLockRow(ordinal_, rowid_))
            throw Failure(3260, "Couldn't update; currently locked by another user of '" + conn_->shown + "'.",
                          conn_->shown);
        lockedRow_ = rowid_;
        // Start from the row as it is now, not as it was when we moved to it.
        if (!fetch(rowid_)) {
            releaseLock();
            state_ = State::Deleted;
            throw Failure(3167, "Record is deleted.");
        }
        mode_ = EditMode::Edit;
        buffer_ = row_;
        dirty_.assign(def_.columns.size(), false);
    }

    void update() override {
        require();
        if (mode_ == EditMode::None) throw Failure(3020, "Update or CancelUpdate without AddNew or Edit.");
        try {
            if (mode_ == EditMode::Edit) {
                std::string sql = "UPDATE " + sq::quoteIdent(def_.name) + " SET ";
                bool any = false;
                for (size_t i = 0; i < buffer_.size(); ++i)
                    if (dirty_[i]) {
                        if (any) sql += ", ";
                        sql += sq::quoteIdent(def_.columns[i].name) + "=?" + std::to_string(i + 1);
                        any = true;
                    }
                if (any) {
                    sql += " WHERE rowid=?" + std::to_string(buffer_.size() + 1);
                    sq::Stmt s(conn_->db, sql);
                    for (size_t i = 0; i < buffer_.size(); ++i)
                        if (dirty_[i]) bindCell(s, static_cast<int>(i + 1), buffer_[i]);
                    s.bindInt(static_cast<int>(buffer_.size() + 1), rowid_);
                    s.step();
                    if (sqlite3_changes(conn_->db) == 0) {
                        discardEdit();
                        state_ = State::Deleted;
                        throw Failure(3167, "Record is deleted.");
                    }
                }
                long long r = rowid_;
                discardEdit();
                fetch(r);
            } else {
                std::string cols, qs;
                for (size_t i = 0; i < buffer_.size(); ++i) {
                    if (def_.columns[i].type == ColumnType::Counter && buffer_[i].type == SQLITE_NULL) continue;
                    if (!cols.empty()) { cols += ", "; qs += ", "; }
                    cols += sq::quoteIdent(def_.columns[i].name);
                    qs += "?" + std::to_string(i + 1);
                }
                std::string sql = "INSERT INTO " + sq::quoteIdent(def_.name) +
                                  (cols.empty() ? " DEFAULT VALUES" : " (" + cols + ") VALUES (" + qs + ")");
                sq::Stmt s(conn_->db, sql);
                for (size_t i = 0; i < buffer_.size(); ++i) bindCell(s, static_cast<int>(i + 1), buffer_[i]);
                s.step();
                lastAdded_ = sqlite3_last_insert_rowid(conn_->db);
                discardEdit();
                if (emptyBoth_) { emptyBoth_ = false; state_ = State::Bof; havePos_ = false; }
            }
        } catch (const sq::SqlError& e) {
            throw mapSqlError(e, conn_->shown);
        }
    }

    void cancelUpdate() override {
        require();
        if (mode_ == EditMode::None) throw Failure(3020, "Update or CancelUpdate without AddNew or Edit.");
        discardEdit();
    }

    void deleteRecord() override {
        require();
        if (state_ != State::OnRow) throw noCurrent();
        discardEdit();
        if (!rowLocks_->tryLockRow(ordinal_, rowid_))
            throw Failure(3260, "Couldn't update; currently locked by another user of '" + conn_->shown + "'.",
                          conn_->shown);
        try {
            sq::Stmt s(conn_->db, "DELETE FROM " + sq::quoteIdent(def_.name) + " WHERE rowid=?1");
            s.bindInt(1, rowid_);
            s.step();
        } catch (const sq::SqlError& e) {
            rowLocks_->unlockRow(ordinal_, rowid_);
            throw mapSqlError(e, conn_->shown);
        }
        rowLocks_->unlockRow(ordinal_, rowid_);
        state_ = State::Deleted;  // the position stays, so a move goes on from here
    }

    EditMode editMode() const override { return mode_; }

    Value field(std::string_view column) const override {
        require();
        size_t i = columnIndex(column);
        if (mode_ != EditMode::None) return fromStorage(def_.columns[i], buffer_[i], *conn_->locale);
        if (state_ == State::Deleted) throw Failure(3167, "Record is deleted.");
        if (state_ != State::OnRow) throw noCurrent();
        return fromStorage(def_.columns[i], row_[i], *conn_->locale);
    }

    void setField(std::string_view column, const Value& v) override {
        require();
        size_t i = columnIndex(column);
        if (mode_ == EditMode::None) throw Failure(3020, "Update or CancelUpdate without AddNew or Edit.");
        if (def_.columns[i].type == ColumnType::Counter) throw Failure(3164, "Field can't be updated.");
        buffer_[i] = toStorage(def_.columns[i], v, *conn_->locale);
        dirty_[i] = true;
    }

    const TableDef& definition() const override { return def_; }

    void close() override {
        discardEdit();
        state_ = State::NoCurrent;
        havePos_ = false;
        stmts_.clear();
        closed_ = true;
    }

private:
    enum class State { OnRow, Bof, Eof, NoCurrent, Deleted };

    // A closed record set, or one whose database was closed, is no longer set.
    void require() const {
        if (closed_) throw closedObject();
        conn_->require();
    }

    size_t columnIndex(std::string_view name) const {
        for (size_t i = 0; i < def_.columns.size(); ++i)
            if (equalsNoCase(def_.columns[i].name, name)) return i;
        throw Failure(3265, "Item not found in this collection.");
    }

    Cell keyToStorage(const ColumnDef& c, const Value& v) const {
        // A key for a text index is compared as text; for a date index a text
        // key is read as a date first; for a number index as a number.
        if (c.type == ColumnType::Text || c.type == ColumnType::Memo) {
            Cell out;
            if (v.isNull()) return out;
            out.type = SQLITE_TEXT;
            out.t = v.toText();
            return out;
        }
        return toStorage(c, v, *conn_->locale);
    }

    // Key expression i of the current order (the last one is the rowid).
    std::string keyExpr(size_t i) const {
        return i < keyCols_.size() ? sq::quoteIdent(def_.columns[keyCols_[i]].name) : std::string("rowid");
    }
    std::string orderBy(bool asc) const {
        std::string s = " ORDER BY ";
        for (size_t i = 0; i <= keyCols_.size(); ++i) {
            if (i) s += ", ";
            s += keyExpr(i) + (asc ? " ASC" : " DESC");
        }
        return s;
    }
    std::string selectHead() const { return "SELECT rowid, * FROM " + sq::quoteIdent(def_.name); }

    // Statements of the current order, kept prepared under a small key so
    // that a move builds no SQL text; `build` gives the text on first use.
    template <class Build>
    sq::Stmt& stmt(uint32_t key, Build&& build) {
        auto it = stmts_.find(key);
        if (it == stmts_.end()) {
            try {
                it = stmts_.emplace(key, sq::Stmt(conn_->db, build())).first;
            } catch (const sq::SqlError& e) {
                throw mapSqlError(e, conn_->shown);
            }
        }
        it->second.reset();
        return it->second;
    }
    enum StmtKind : uint32_t { kByRowid = 1, kEnd, kEqual, kNotNull, kAfter, kBefore, kIsNull };
    static uint32_t stmtKey(StmtKind kind, size_t level, bool asc) {
        return (static_cast<uint32_t>(kind) << 16) | (static_cast<uint32_t>(level) << 1) | (asc ? 1u : 0u);
    }

    // Runs a positioning query; on a row, makes it current.
    bool take(sq::Stmt& s) {
        try {
            if (!s.step()) return false;
        } catch (const sq::SqlError& e) {
            throw mapSqlError(e, conn_->shown);
        }
        loadFrom(s);
        // A statement left on its row keeps the file's read lock, and every
        // other user's write would wait for it: let go at once.
        sqlite3_reset(s.get());
        return true;
    }

    void loadFrom(sq::Stmt& s) {
        rowid_ = s.colInt(0);
        row_.resize(def_.columns.size());
        for (size_t i = 0; i < def_.columns.size(); ++i) row_[i] = cellFrom(s.get(), static_cast<int>(i + 1));
        pos_.clear();
        for (size_t k : keyCols_) pos_.push_back(row_[k]);
        Cell r;
        r.type = SQLITE_INTEGER;
        r.i = rowid_;
        pos_.push_back(r);
        havePos_ = true;
        state_ = State::OnRow;
        emptyBoth_ = false;
    }

    bool fetch(long long rowid) {
        sq::Stmt& s = stmt(stmtKey(kByRowid, 0, true), [&] { return selectHead() + " WHERE rowid=?1"; });
        s.bindInt(1, rowid);
        return take(s);
    }

    void moveEnd(bool first) {
        require();
        discardEdit();
        sq::Stmt& s = stmt(stmtKey(kEnd, 0, first), [&] { return selectHead() + orderBy(first) + " LIMIT 1"; });
        if (!take(s)) {
            state_ = first ? State::Eof : State::Bof;
            havePos_ = false;
            emptyBoth_ = true;
        }
    }

    // Rows whose first `prefix` keys equal vals and whose key `j` is beyond
    // vals[j] in the direction; the first such in that direction.
    bool probeLevel(const std::vector<Cell>& vals, size_t j, bool asc, bool equalOnly, size_t width) {
        size_t n = equalOnly ? width : j;
        // The WHERE text is only built when the statement is not prepared yet.
        auto run = [&](StmtKind kind, bool bindJ) {
            sq::Stmt& s = stmt(stmtKey(kind, n, asc), [&] {
                std::string w;
                for (size_t i = 0; i < n; ++i) {
                    if (!w.empty()) w += " AND ";
                    w += keyExpr(i) + " IS ?" + std::to_string(i + 1);
                }
                std::string k = keyExpr(j), q = "?" + std::to_string(n + 1), extra;
                switch (kind) {
                    case kNotNull: extra = k + " IS NOT NULL"; break;
                    case kAfter: extra = k + " > " + q; break;
                    case kBefore: extra = k + " < " + q; break;
                    case kIsNull: extra = k + " IS NULL"; break;
                    default: break;
                }
                if (!extra.empty()) w += (w.empty() ? "" : " AND ") + extra;
                return selectHead() + (w.empty() ? "" : " WHERE " + w) + orderBy(asc) + " LIMIT 1";
            });
            for (size_t i = 0; i < n; ++i) bindCell(s, static_cast<int>(i + 1), vals[i]);
            if (bindJ) bindCell(s, static_cast<int>(n + 1), vals[j]);
            return take(s);
        };
        if (equalOnly) return run(kEqual, false);
        const Cell& v = vals[j];
        if (asc) {
            if (v.type == SQLITE_NULL) return run(kNotNull, false);
            return run(kAfter, true);
        }
        if (v.type == SQLITE_NULL) return false;
        if (run(kBefore, true)) return true;
        return j < keyCols_.size() && run(kIsNull, false);
    }
    bool probeEqual(const std::vector<Cell>& vals, size_t m, bool asc) { return probeLevel(vals, 0, asc, true, m); }
    bool probeStrict(const std::vector<Cell>& vals, size_t j, bool asc, size_t) {
        return probeLevel(vals, j, asc, false, 0);
    }

    bool adjacent(bool forward) {
        if (!havePos_) return false;
        std::vector<Cell> vals = pos_;
        size_t from = vals.size();
        // In a unique index no other row shares a complete key without Nulls,
        // so the step among equal keys (by row id) can be left out.
        if (uniqueIndex_ && std::none_of(vals.begin(), vals.end() - 1,
                                         [](const Cell& c) { return c.type == SQLITE_NULL; }))
            from = vals.size() - 1;
        for (size_t j = from; j-- > 0;)
            if (probeLevel(vals, j, forward, false, 0)) return true;
        return false;
    }

    void releaseLock() {
        if (lockedRow_ >= 0 && rowLocks_) rowLocks_->unlockRow(ordinal_, lockedRow_);
        lockedRow_ = -1;
    }
    void discardEdit() {
        releaseLock();
        mode_ = EditMode::None;
        buffer_.clear();
        dirty_.clear();
    }

    std::shared_ptr<Connection> conn_;
    TableDef def_;
    long long ordinal_;
    std::unique_ptr<LockFile> rowLocks_;
    std::string indexName_;
    std::vector<size_t> keyCols_;
    std::map<uint32_t, sq::Stmt> stmts_;
    bool uniqueIndex_ = false;
    bool closed_ = false;

    State state_ = State::NoCurrent;
    bool emptyBoth_ = false;
    bool noMatch_ = false;
    bool havePos_ = false;
    std::vector<Cell> pos_;
    long long rowid_ = 0;
    std::vector<Cell> row_;

    EditMode mode_ = EditMode::None;
    std::vector<Cell> buffer_;
    std::vector<bool> dirty_;
    long long lockedRow_ = -1;
    long long lastAdded_ = 0;
};

// ---- statements

struct Tokens {
    std::vector<std::string> t;
    size_t i = 0;
    bool more() const { return i < t.size(); }
    const std::string& peek() const { static std::string e; return more() ? t[i] : e; }
    std::string next() { return more() ? t[i++] : std::string(); }
    bool take(const char* word) {
        if (more() && equalsNoCase(t[i], word)) { ++i; return true; }
        return false;
    }
};

Tokens tokenize(std::string_view s) {
    Tokens out;
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (std::isspace(static_cast<unsigned char>(c))) { ++i; continue; }
        if (c == '(' || c == ')' || c == ',' || c == ';') { out.t.emplace_back(1, c); ++i; continue; }
        if (c == '[' || c == '"' || c == '`') {
            char close = c == '[' ? ']' : c;
            size_t e = s.find(close, i + 1);
            if (e == std::string_view::npos) throw Failure(3075, "Syntax error in statement.");
            out.t.emplace_back(s.substr(i + 1, e - i - 1));
            i = e + 1;
            continue;
        }
        size_t j = i;
        while (j < s.size() && !std::isspace(static_cast<unsigned char>(s[j])) && s[j] != '(' && s[j] != ')' &&
               s[j] != ',' && s[j] != ';')
            ++j;
        out.t.emplace_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}

bool columnTypeFromWords(Tokens& tk, ColumnDef& c) {
    std::string w = asciiLower(tk.next());
    if (w == "text" || w == "char" || w == "varchar" || w == "string") {
        c.type = ColumnType::Text;
        c.size = 255;
        if (tk.take("(")) {
            auto n = readNumber(tk.next());
            if (!n || *n < 1 || *n > 255 || !tk.take(")")) return false;
            c.size = static_cast<int>(*n);
        }
        return true;
    }
    if (w == "memo" || w == "longtext") c.type = ColumnType::Memo;
    else if (w == "byte" || w == "tinyint") c.type = ColumnType::Byte;
    else if (w == "integer" || w == "short" || w == "smallint" || w == "integer2") c.type = ColumnType::Integer;
    else if (w == "long" || w == "int" || w == "integer4") c.type = ColumnType::Long;
    else if (w == "single" || w == "real" || w == "float4") c.type = ColumnType::Single;
    else if (w == "double" || w == "float" || w == "float8" || w == "number") c.type = ColumnType::Double;
    else if (w == "currency" || w == "money") c.type = ColumnType::Currency;
    else if (w == "date" || w == "datetime" || w == "time") c.type = ColumnType::DateTime;
    else if (w == "yesno" || w == "bit" || w == "logical") c.type = ColumnType::YesNo;
    else if (w == "counter" || w == "autoincrement") c.type = ColumnType::Counter;
    else return false;
    return true;
}

class SqliteDatabase final : public Database {
public:
    explicit SqliteDatabase(std::shared_ptr<Connection> c) : conn_(std::move(c)) {}
    // The connection stays open for as long as a record set of it lives (a
    // caller may keep only the record set); it closes with its last user.
    ~SqliteDatabase() override = default;

    std::unique_ptr<Recordset> openTable(std::string_view name) override {
        conn_->require();
        try {
            auto names = schema::tableNames(conn_->db);
            for (size_t i = 0; i < names.size(); ++i)
                if (equalsNoCase(names[i], name))
                    return std::make_unique<SqliteRecordset>(conn_, schema::readTable(conn_->db, names[i]),
                                                             static_cast<long long>(i));
        } catch (const sq::SqlError& e) {
            throw mapSqlError(e, conn_->shown);
        }
        throw Failure(3078, "The database engine cannot find the input table or query '" + std::string(name) +
                                "'. Make sure it exists and that its name is spelled correctly.");
    }

    void execute(std::string_view statement) override {
        conn_->require();
        Tokens tk = tokenize(statement);
        auto invalid = [&]() {
            return Failure(3129,
                           "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or "
                           "'UPDATE'.");
        };
        if (!tk.take("ALTER")) throw invalid();
        if (!tk.take("TABLE")) throw Failure(3293, "Syntax error in ALTER TABLE statement.");
        std::string table = tk.next();
        if (!tk.take("ADD")) throw Failure(3293, "Syntax error in ALTER TABLE statement.");
        tk.take("COLUMN");
        ColumnDef c;
        c.name = tk.next();
        if (c.name.empty() || !columnTypeFromWords(tk, c)) throw Failure(3293, "Syntax error in ALTER TABLE statement.");
        tk.take(";");
        if (tk.more()) throw Failure(3293, "Syntax error in ALTER TABLE statement.");
        if (c.type == ColumnType::Counter) throw Failure(3293, "Syntax error in ALTER TABLE statement.");
        try {
            std::string real;
            for (auto& n : schema::tableNames(conn_->db))
                if (equalsNoCase(n, table)) real = n;
            if (real.empty())
                throw Failure(3078, "The database engine cannot find the input table or query '" + table +
                                        "'. Make sure it exists and that its name is spelled correctly.");
            TableDef def = schema::readTable(conn_->db, real);
            if (def.column(c.name))
                throw Failure(3380, "Field '" + c.name + "' already exists in table '" + table + "'.");
            sq::exec(conn_->db, "BEGIN IMMEDIATE");
            try {
                sq::exec(conn_->db, "ALTER TABLE " + sq::quoteIdent(real) + " ADD COLUMN " + schema::columnSql(c));
                schema::refreshSchemaCopy(conn_->db);
                sq::exec(conn_->db, "COMMIT");
            } catch (...) {
                sqlite3_exec(conn_->db, "ROLLBACK", nullptr, nullptr, nullptr);
                throw;
            }
        } catch (const sq::SqlError& e) {
            throw mapSqlError(e, conn_->shown);
        }
    }

    void createTable(const TableDef& def) override {
        conn_->require();
        try {
            // Index names are kept once per file: say so rather than fail in the middle.
            for (const auto& ix : def.indexes) {
                sq::Stmt q(conn_->db, "SELECT 1 FROM sqlite_master WHERE type='index' AND name=?1 COLLATE NOCASE");
                q.bindText(1, ix.name);
                bool taken = q.step();
                for (const auto& other : def.indexes)
                    if (&other != &ix && equalsNoCase(other.name, ix.name)) taken = true;
                if (taken) throw Failure(3284, "Index already exists.");
            }
            sq::exec(conn_->db, "BEGIN IMMEDIATE");
            try {
                sq::exec(conn_->db, schema::createTableSql(def));
                for (const auto& ix : def.indexes) sq::exec(conn_->db, schema::createIndexSql(def.name, ix));
                schema::refreshSchemaCopy(conn_->db);
                sq::exec(conn_->db, "COMMIT");
            } catch (...) {
                sqlite3_exec(conn_->db, "ROLLBACK", nullptr, nullptr, nullptr);
                throw;
            }
        } catch (const sq::SqlError& e) {
            throw mapSqlError(e, conn_->shown);
        }
    }

    std::vector<std::string> tableNames() override {
        conn_->require();
        try {
            return schema::tableNames(conn_->db);
        } catch (const sq::SqlError& e) {
            throw mapSqlError(e, conn_->shown);
        }
    }

    TableDef tableDefinition(std::string_view name) override {
        conn_->require();
        for (auto& n : tableNames())
            if (equalsNoCase(n, name)) {
                try {
                    return schema::readTable(conn_->db, n);
                } catch (const sq::SqlError& e) {
                    throw mapSqlError(e, conn_->shown);
                }
            }
        throw Failure(3265, "Item not found in this collection.");
    }

    void beginTrans() override { run("BEGIN IMMEDIATE"); }
    void commitTrans() override { run("COMMIT"); }
    void rollback() override { run("ROLLBACK"); }

    const std::string& path() const override { return conn_->shown; }
    void close() override { conn_->close(); }

    std::shared_ptr<Connection> connection() const { return conn_; }

private:
    void run(const char* sql) {
        conn_->require();
        try {
            sq::exec(conn_->db, sql);
        } catch (const sq::SqlError& e) {
            if (std::string(sql) != "BEGIN IMMEDIATE" && (e.code & 0xFF) == SQLITE_ERROR)
                throw Failure(3034, "You tried to commit or rollback a transaction without first beginning a transaction.");
            throw mapSqlError(e, conn_->shown);
        }
    }

    std::shared_ptr<Connection> conn_;
};

class SqliteEngine final : public Engine {
public:
    SqliteEngine(const DriveMap& d, const Locale& l) : drives_(d), locale_(l) {}
    ~SqliteEngine() override { closeAll(); }

    std::shared_ptr<Database> open(const std::string& programPath) override {
        ProgramPath pp = DriveMap::parse(programPath);
        std::string shown = pp.text();
        fs::path host = resolve(pp);
        std::error_code ec;
        if (!fs::is_regular_file(host, ec)) throw notFound(shown);
        // The file itself is not opened here to look at its header: the
        // library's locks on it are process locks, and closing any descriptor
        // of the file would drop those of another handle (one in a
        // transaction, say). The library tells a file that is not a database.
        if (fs::file_size(host, ec) == 0 || ec) throw unrecognized(shown);
        auto conn = std::make_shared<Connection>();
        conn->shown = shown;
        conn->host = host;
        conn->locale = &locale_;
        conn->lock = std::make_unique<LockFile>(host, shown);
        if (!conn->lock->tryShared()) throw inUse(shown);
        conn->db = openConnection(host, shown, false);
        try {
            sq::Stmt s(conn->db, "SELECT count(*) FROM sqlite_master");
            s.step();
        } catch (const sq::SqlError& e) {
            throw mapSqlError(e, shown);
        }
        return remember(std::make_shared<SqliteDatabase>(conn));
    }

    std::shared_ptr<Database> create(const std::string& programPath) override {
        ProgramPath pp = DriveMap::parse(programPath);
        std::string shown = pp.text();
        fs::path host = resolve(pp);
        std::error_code ec;
        if (fs::exists(host, ec)) throw Failure(3204, "Database already exists.", shown);
        auto conn = std::make_shared<Connection>();
        conn->shown = shown;
        conn->host = host;
        conn->locale = &locale_;
        conn->lock = std::make_unique<LockFile>(host, shown);
        if (!conn->lock->tryShared()) throw inUse(shown);
        conn->db = openConnection(host, shown, true);
        try {
            schema::refreshSchemaCopy(conn->db);
        } catch (const sq::SqlError& e) {
            throw mapSqlError(e, shown);
        }
        return remember(std::make_shared<SqliteDatabase>(conn));
    }

    RepairReport repair(const std::string& programPath) override {
        ProgramPath pp = DriveMap::parse(programPath);
        return repair::repairInPlace(resolve(pp), pp.text());
    }

    void compact(const std::string& source, const std::string& destination) override {
        ProgramPath a = DriveMap::parse(source), b = DriveMap::parse(destination);
        fs::path hb = resolve(b);
        std::error_code ec;
        if (fs::exists(hb, ec)) throw Failure(3204, "Database already exists.", b.text());
        repair::compactInto(resolve(a), a.text(), hb, b.text());
    }

    void closeAll() override {
        std::lock_guard<std::mutex> g(mu_);
        for (auto& w : open_)
            if (auto c = w.lock()) c->close();
        open_.clear();
    }

private:
    fs::path resolve(const ProgramPath& pp) { return drives_.resolve(pp); }

    std::shared_ptr<Database> remember(std::shared_ptr<SqliteDatabase> d) {
        std::lock_guard<std::mutex> g(mu_);
        std::erase_if(open_, [](const auto& w) { return w.expired(); });
        open_.push_back(d->connection());
        return d;
    }

    const DriveMap& drives_;
    const Locale& locale_;
    std::mutex mu_;
    std::vector<std::weak_ptr<Connection>> open_;
};

}  // namespace

std::unique_ptr<Engine> makeSqliteEngine(const DriveMap& drives, const Locale& locale) {
    return std::make_unique<SqliteEngine>(drives, locale);
}

}  // namespace platform
