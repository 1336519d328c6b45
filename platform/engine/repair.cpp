#include "platform/engine/repair.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>

#include "platform/codepage.h"
#include "platform/engine/salvage.h"
#include "platform/engine/schema.h"
#include "platform/engine/sqlite_engine_internal.h"
#include "platform/files.h"
#include "platform/numbers.h"

namespace fs = std::filesystem;

namespace platform::repair {

using namespace sqlite_backend;

namespace {

bool isDamageCode(int code) {
    int c = code & 0xFF;
    return c == SQLITE_CORRUPT || c == SQLITE_NOTADB || c == SQLITE_IOERR || c == SQLITE_FORMAT ||
           c == SQLITE_RANGE || c == SQLITE_MISMATCH || c == SQLITE_SCHEMA || c == SQLITE_ERROR;
}

struct SchemaRow {
    std::string type, name, table, sql;
    long long root = 0;
};

struct Temp {
    fs::path path;
    bool keep = false;
    ~Temp() {
        if (!keep && !path.empty()) {
            ::unlink(path.c_str());
            ::unlink((path.string() + "-journal").c_str());
        }
    }
};

fs::path tempPathFor(const fs::path& target) {
    return target.parent_path() / ("." + target.filename().string() + ".rebuild-tmp");
}

void fsyncFile(const fs::path& p, const std::string& shown) {
    int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw fromErrno(errno, shown);
    int rc = ::fsync(fd);
    ::close(fd);
    if (rc != 0) throw fromErrno(errno, shown);
}

struct Db {
    sqlite3* db = nullptr;
    ~Db() {
        if (db) sqlite3_close_v2(db);
    }
};

sqlite3* openBuild(const fs::path& tmp, const std::string& shown) {
    ::unlink(tmp.c_str());
    ::unlink((tmp.string() + "-journal").c_str());
    sqlite3* db = openConnection(tmp, shown, true);
    try {
        sq::exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-16384");
    } catch (const sq::SqlError& e) {
        sqlite3_close(db);
        throw mapSqlError(e, shown);
    }
    return db;
}

std::vector<SchemaRow> readMaster(sqlite3* db, const std::string& dbName) {
    std::vector<SchemaRow> rows;
    sq::Stmt s(db, "SELECT type, name, tbl_name, rootpage, sql FROM " + dbName +
                       ".sqlite_master WHERE sql IS NOT NULL ORDER BY rowid");
    while (s.step()) rows.push_back({s.colText(0), s.colText(1), s.colText(2), s.colText(4), s.colInt(3)});
    return rows;
}

bool isUserTable(const SchemaRow& r) {
    return r.type == "table" && asciiLower(r.name).rfind("sqlite_", 0) != 0 &&
           !equalsNoCase(r.name, schema::kSchemaCopyTable);
}

std::string columnList(const TableDef& d) {
    std::string s;
    for (size_t i = 0; i < d.columns.size(); ++i) {
        if (i) s += ", ";
        s += sq::quoteIdent(d.columns[i].name);
    }
    return s;
}

// Moves rows that would break a unique index into "<table>_conflicts", then
// creates the index. Returns the number of rows moved.
long long createIndexKeepingConflicts(sqlite3* db, const std::string& indexSql, RepairReport& rep) {
    try {
        sq::exec(db, indexSql);
        return 0;
    } catch (const sq::SqlError& e) {
        if ((e.code & 0xFF) != SQLITE_CONSTRAINT) throw;
    }
    // Which table and columns: read from a scratch copy of the index.
    std::string scratch = indexSql;
    size_t on = asciiUpper(scratch).find(" ON ");
    if (on == std::string::npos) throw sq::SqlError{SQLITE_ERROR, "index statement"};
    std::string tail = scratch.substr(on + 4);
    sq::exec(db, "CREATE INDEX velmora_scratch_ix ON " + tail);
    std::string table;
    std::vector<std::string> cols;
    {
        sq::Stmt t(db, "SELECT tbl_name FROM sqlite_master WHERE name='velmora_scratch_ix'");
        if (t.step()) table = t.colText(0);
        sq::Stmt c(db, "PRAGMA index_info(velmora_scratch_ix)");
        while (c.step()) cols.push_back(c.colText(2));
    }
    sq::exec(db, "DROP INDEX velmora_scratch_ix");
    TableDef def = schema::readTable(db, table);
    TableDef conflicts = def;
    conflicts.name = def.name + "_conflicts";
    conflicts.indexes.clear();
    sq::exec(db, "CREATE TABLE IF NOT EXISTS " +
                     schema::createTableSql(conflicts).substr(std::strlen("CREATE TABLE ")));
    // One left by an earlier repair lacks the columns added since.
    TableDef existing = schema::readTable(db, conflicts.name);
    for (auto col : def.columns) {
        if (existing.column(col.name)) continue;
        col.defaultValue = Value();
        if (col.type == ColumnType::Counter) col.type = ColumnType::Long;
        sq::exec(db, "ALTER TABLE " + sq::quoteIdent(existing.name) + " ADD COLUMN " + schema::columnSql(col));
    }
    std::string notNull, group;
    for (size_t i = 0; i < cols.size(); ++i) {
        if (i) { notNull += " AND "; group += ", "; }
        notNull += sq::quoteIdent(cols[i]) + " IS NOT NULL";
        group += sq::quoteIdent(cols[i]);
    }
    std::string q = sq::quoteIdent(def.name);
    std::string pick = "SELECT rowid FROM " + q + " WHERE " + notNull + " AND rowid NOT IN (SELECT min(rowid) FROM " +
                       q + " WHERE " + notNull + " GROUP BY " + group + ")";
    std::string cl = columnList(def);
    std::string c = sq::quoteIdent(conflicts.name);
    // The rows to move, decided once; a conflicts table left by an earlier
    // repair may already hold rows under the same row ids, so those rows get
    // new ids there instead of being mistaken for rows already moved.
    sq::exec(db, "DROP TABLE IF EXISTS temp.velmora_pick");
    sq::exec(db, "CREATE TEMP TABLE velmora_pick (id INTEGER PRIMARY KEY, clash INTEGER)");
    sq::exec(db, "INSERT INTO temp.velmora_pick SELECT rowid, rowid IN (SELECT rowid FROM " + c + ") FROM " + q +
                     " WHERE rowid IN (" + pick + ")");
    sq::exec(db, "INSERT INTO " + c + " (rowid, " + cl + ") SELECT rowid, " + cl + " FROM " + q +
                     " WHERE rowid IN (SELECT id FROM temp.velmora_pick WHERE clash = 0) ORDER BY rowid");
    sq::exec(db, "INSERT INTO " + c + " (" + cl + ") SELECT " + cl + " FROM " + q +
                     " WHERE rowid IN (SELECT id FROM temp.velmora_pick WHERE clash = 1) ORDER BY rowid");
    sq::exec(db, "DELETE FROM " + q + " WHERE rowid IN (SELECT id FROM temp.velmora_pick)");
    long long moved = sqlite3_changes(db);
    sq::exec(db, "DROP TABLE temp.velmora_pick");
    sq::exec(db, indexSql);
    rep.notes.push_back(std::to_string(moved) + " rows of table " + def.name + " broke the unique index on " + group +
                        "; they are kept in table " + conflicts.name + ".");
    return moved;
}

void finishSchema(sqlite3* db, const std::vector<std::string>& indexSql, RepairReport& rep) {
    for (const auto& ix : indexSql) rep.rowsInConflict += createIndexKeepingConflicts(db, ix, rep);
    schema::refreshSchemaCopy(db);
}

long long countRows(sqlite3* db) {
    long long n = 0;
    for (auto& t : schema::tableNames(db)) {
        sq::Stmt s(db, "SELECT count(*) FROM " + sq::quoteIdent(t));
        s.step();
        n += s.colInt(0);
    }
    return n;
}

// The sound path: every table read through the library into a fresh file.
// Throws SqlError with a damage code when the library meets damage.
void rebuildThroughLibrary(const fs::path& src, const fs::path& tmp, const std::string& shown, RepairReport& rep) {
    ::unlink(tmp.c_str());
    ::unlink((tmp.string() + "-journal").c_str());
    std::vector<SchemaRow> master;
    {
        // The library's own copy into a fresh file: every page of every table
        // and index is read (which is where damage shows), rows keep their
        // order and row ids, indexes are copied rather than sorted anew.
        Db in;
        try {
            in.db = openConnection(src, shown, false);
        } catch (const Failure& f) {
            throw sq::SqlError{SQLITE_NOTADB, f.description()};  // unreadable: salvage it
        }
        master = readMaster(in.db, "main");
        sq::Stmt v(in.db, "VACUUM INTO ?1");
        v.bindText(1, tmp.string());
        v.step();
    }
    Db out;
    out.db = openConnection(tmp, shown, false);
    // A copied unique index holds what the old one held; a damaged one may
    // have let duplicates in. Those rows are set apart and the index rebuilt.
    std::vector<std::string> rebuild;
    for (auto& r : master) {
        if (r.type != "index" || asciiUpper(r.sql).rfind("CREATE UNIQUE", 0) != 0) continue;
        std::string cols, notNull;
        {
            sq::Stmt info(out.db, "PRAGMA index_info(" + sq::quoteIdent(r.name) + ")");
            while (info.step()) {
                std::string c = sq::quoteIdent(info.colText(2));
                cols += (cols.empty() ? "" : ", ") + c;
                notNull += (notNull.empty() ? "" : " AND ") + c + " IS NOT NULL";
            }
        }
        bool duplicates;
        {
            sq::Stmt dup(out.db, "SELECT 1 FROM " + sq::quoteIdent(r.table) + " WHERE " + notNull + " GROUP BY " +
                                     cols + " HAVING count(*) > 1 LIMIT 1");
            duplicates = dup.step();
        }
        if (duplicates) {
            sq::exec(out.db, "DROP INDEX " + sq::quoteIdent(r.name));
            rebuild.push_back(r.sql);
        }
    }
    finishSchema(out.db, rebuild, rep);
    rep.rowsKept = countRows(out.db);
    sqlite3_close_v2(out.db);
    out.db = nullptr;
}

void bindSalvaged(sq::Stmt& s, int i, const salvage::Cell& c) {
    switch (c.kind) {
        case salvage::Cell::Integer: s.bindInt(i, c.i); break;
        case salvage::Cell::Real: s.bindDouble(i, c.r); break;
        case salvage::Cell::Text: s.bindText(i, c.bytes); break;
        case salvage::Cell::Blob:
            sqlite3_bind_blob(s.get(), i, c.bytes.data(), static_cast<int>(c.bytes.size()), SQLITE_TRANSIENT);
            break;
        default: s.bindNull(i);
    }
}

// The damaged path: rows read page by page.
void rebuildBySalvage(const fs::path& src, const fs::path& tmp, const std::string& shown, RepairReport& rep,
                      bool headerOk) {
    salvage::Reader reader(src);
    std::vector<SchemaRow> master;
    // The library may still read the schema when only data pages are damaged.
    if (headerOk) {
        try {
            Db in;
            in.db = openConnection(src, shown, false);
            master = readMaster(in.db, "main");
        } catch (const sq::SqlError&) {
            master.clear();
        } catch (const Failure&) {
            master.clear();
        }
    }
    if (master.empty()) {
        for (auto& e : reader.schema()) {
            if (e.sql.empty()) continue;
            SchemaRow r;
            r.sql = e.sql;
            r.root = e.rootPage;
            std::string up = asciiUpper(e.sql);
            if (e.type == "copy") r.type = up.rfind("CREATE TABLE", 0) == 0 ? "table" : "index";
            else r.type = e.type;
            r.name = e.name;
            r.table = e.tableName;
            bool dup = false;
            for (auto& m : master)
                if (m.sql == r.sql) {
                    dup = true;
                    if (!m.root && r.root) m.root = r.root;
                }
            if (!dup) master.push_back(r);
        }
    }
    std::vector<SchemaRow> tables;
    std::vector<std::string> indexes;
    const SchemaRow* sequence = nullptr;
    for (auto& r : master) {
        if (r.type == "table" && equalsNoCase(r.name, "sqlite_sequence") && r.root) sequence = &r;
        if (r.type == "index") indexes.push_back(r.sql);
        if (r.type != "table") continue;
        if (r.name.empty()) {
            // A statement from the schema copy: the table name follows CREATE TABLE.
            Db probe;
            probe.db = openBuild(tmp, shown);
            try {
                sq::exec(probe.db, r.sql);
                auto names = schema::tableNames(probe.db);
                if (!names.empty()) r.name = names.front();
            } catch (const sq::SqlError&) {
            }
        }
        if (!r.name.empty() && isUserTable(r)) tables.push_back(r);
    }
    if (tables.empty()) throw unrecognized(shown);

    Db out;
    out.db = openBuild(tmp, shown);
    sq::exec(out.db, "BEGIN");
    std::vector<salvage::TableTarget> targets;
    std::vector<TableDef> defs;
    for (auto& t : tables) {
        sq::exec(out.db, t.sql);
        defs.push_back(schema::readTable(out.db, t.name));
        targets.push_back({t.name, t.root, static_cast<int>(defs.back().columns.size())});
    }
    // The counters' high-water marks, so that a counter does not hand out a
    // number again; walking that tree also keeps its pages out of the orphans
    // offered to the tables.
    std::vector<std::pair<std::string, long long>> counters;
    size_t sequenceTarget = targets.size();
    if (sequence) targets.push_back({"sqlite_sequence", sequence->root, 2});
    std::map<std::pair<size_t, size_t>, sq::Stmt> inserts;
    long long dropped = 0;
    reader.collect(targets, [&](size_t ti, const salvage::Row& row) {
        if (ti == sequenceTarget) {
            if (row.values.size() == 2 && row.values[0].kind == salvage::Cell::Text &&
                row.values[1].kind == salvage::Cell::Integer)
                counters.emplace_back(row.values[0].bytes, row.values[1].i);
            return;
        }
        const TableDef& d = defs[ti];
        size_t k = row.values.size();
        if (k > d.columns.size()) { ++dropped; return; }
        auto key = std::make_pair(ti, k);
        auto it = inserts.find(key);
        if (it == inserts.end()) {
            std::string cols = "rowid", qs = "?1";
            for (size_t i = 0; i < k; ++i) {
                cols += ", " + sq::quoteIdent(d.columns[i].name);
                qs += ", ?" + std::to_string(i + 2);
            }
            it = inserts.emplace(key, sq::Stmt(out.db, "INSERT OR IGNORE INTO " + sq::quoteIdent(d.name) + " (" +
                                                           cols + ") VALUES (" + qs + ")")).first;
        }
        sq::Stmt& s = it->second;
        s.reset();
        s.bindInt(1, row.rowid);
        for (size_t i = 0; i < k; ++i) bindSalvaged(s, static_cast<int>(i + 2), row.values[i]);
        s.step();
    });
    inserts.clear();
    bool hasSeq = false;
    {
        sq::Stmt q(out.db, "SELECT 1 FROM sqlite_master WHERE name='sqlite_sequence'");
        hasSeq = q.step();
    }
    for (auto& [name, seq] : counters) {
        bool known = false;
        for (auto& t : tables) known = known || t.name == name;
        if (!hasSeq || !known) continue;
        sq::Stmt up(out.db, "UPDATE sqlite_sequence SET seq = max(seq, ?2) WHERE name = ?1");
        up.bindText(1, name);
        up.bindInt(2, seq);
        up.step();
        if (sqlite3_changes(out.db) == 0) {
            sq::Stmt ins(out.db, "INSERT INTO sqlite_sequence (name, seq) VALUES (?1, ?2)");
            ins.bindText(1, name);
            ins.bindInt(2, seq);
            ins.step();
        }
    }
    sq::exec(out.db, "COMMIT");
    finishSchema(out.db, indexes, rep);
    rep.rowsKept = countRows(out.db);
    const auto& st = reader.stats();
    rep.notes.push_back("Damage found: " + std::to_string(st.pagesDamaged) + " damaged pages of " +
                        std::to_string(st.pages) + "; " + std::to_string(rep.rowsKept) + " rows salvaged" +
                        (st.rowsUnreadable + dropped ? ", " + std::to_string(st.rowsUnreadable + dropped) +
                                                            " unreadable rows lost"
                                                      : std::string()) +
                        ".");
    sqlite3_close_v2(out.db);
    out.db = nullptr;
}

std::string stamp() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
    return buf;
}

// Keeps the damaged original under a clear name beside the result.
std::string keepOriginal(const fs::path& host, const std::string& shown) {
    std::string stem = host.stem().string(), ext = host.extension().string();
    fs::path kept;
    for (int n = 0;; ++n) {
        kept = host.parent_path() / (stem + ".damaged-" + stamp() + (n ? "-" + std::to_string(n) : "") + ext);
        std::error_code ec;
        if (!fs::exists(kept, ec)) break;
    }
    if (::link(host.c_str(), kept.c_str()) != 0) atomicCopyFile(host, kept, shown, kept.filename().string());
    // A journal left with the damaged file belongs to it, not to the new file.
    fs::path journal = host.string() + "-journal";
    std::error_code ec;
    if (fs::exists(journal, ec)) ::rename(journal.c_str(), (kept.string() + "-journal").c_str());
    syncDirectory(host.parent_path());
    std::string drivePart = shown.substr(0, shown.find(':') + 1);
    return drivePart + (drivePart == "G:" ? "" : "\\") + kept.filename().string();
}

}  // namespace

bool looksLikeDatabase(const fs::path& host) {
    int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char head[16] = {};
    ssize_t n = ::pread(fd, head, sizeof head, 0);
    ::close(fd);
    return n == 16 && std::memcmp(head, "SQLite format 3\0", 16) == 0;
}

RepairReport repairInPlace(const fs::path& host, const std::string& shown) {
    std::error_code ec;
    if (!fs::is_regular_file(host, ec)) throw notFound(shown);
    LockFile lock(host, shown);
    if (!lock.tryExclusive()) throw inUse(shown);
    RepairReport rep;
    Temp tmp{tempPathFor(host)};
    bool headerOk = looksLikeDatabase(host);
    bool rebuilt = false;
    if (headerOk) {
        try {
            rebuildThroughLibrary(host, tmp.path, shown, rep);
            rebuilt = true;
        } catch (const sq::SqlError& e) {
            if (!isDamageCode(e.code)) throw mapSqlError(e, shown);
            rep = RepairReport();
        }
    }
    if (!rebuilt) {
        try {
            rebuildBySalvage(host, tmp.path, shown, rep, headerOk);
        } catch (const sq::SqlError& e) {
            throw mapSqlError(e, shown);
        } catch (const std::system_error&) {
            throw unrecognized(shown);
        }
        rep.damaged = true;
    }
    fsyncFile(tmp.path, shown);
    if (rep.damaged) {
        rep.keptOriginal = keepOriginal(host, shown);
        rep.notes.push_back("The damaged original is kept as " + rep.keptOriginal + ".");
    }
    if (::rename(tmp.path.c_str(), host.c_str()) != 0) throw fromErrno(errno, shown);
    tmp.keep = true;
    syncDirectory(host.parent_path());
    return rep;
}

void compactInto(const fs::path& source, const std::string& shownSource, const fs::path& destination,
                 const std::string& shownDestination) {
    std::error_code ec;
    if (!fs::is_regular_file(source, ec)) throw notFound(shownSource);
    LockFile lock(source, shownSource);
    if (!lock.tryExclusive()) throw inUse(shownSource);
    // Only now, with no handle of it open anywhere, may the file be opened
    // directly (closing a descriptor drops this process's library locks on it).
    if (!looksLikeDatabase(source)) throw unrecognized(shownSource);
    Temp tmp{tempPathFor(destination)};
    RepairReport rep;
    try {
        rebuildThroughLibrary(source, tmp.path, shownSource, rep);
    } catch (const sq::SqlError& e) {
        throw mapSqlError(e, shownSource);
    }
    fsyncFile(tmp.path, shownDestination);
    // Put in place without replacing a destination that appeared meanwhile.
    if (::link(tmp.path.c_str(), destination.c_str()) != 0) {
        int e = errno;
        if (e == EEXIST) throw Failure(3204, "Database already exists.", shownDestination);
        if (fs::exists(destination, ec)) throw Failure(3204, "Database already exists.", shownDestination);
        if (::rename(tmp.path.c_str(), destination.c_str()) != 0) throw fromErrno(errno, shownDestination);
        tmp.keep = true;
    }
    syncDirectory(destination.parent_path());
}

}  // namespace platform::repair
