#include "tests/salvage/fixture.h"

#include <stdlib.h>

#include <fstream>
#include <random>
#include <stdexcept>

namespace salvage_test {

TempDir::TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "salvage-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

namespace {

class Db {
public:
    explicit Db(const fs::path& file) {
        if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db_));
    }
    ~Db() { sqlite3_close(db_); }
    void exec(const std::string& sql) {
        char* err = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            std::string m = err ? err : "?";
            sqlite3_free(err);
            throw std::runtime_error(m + " in " + sql);
        }
    }
    sqlite3_stmt* prepare(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in " + sql);
        return st;
    }
    sqlite3* get() { return db_; }

private:
    sqlite3* db_ = nullptr;
};

struct Stmt {
    sqlite3_stmt* st;
    ~Stmt() { sqlite3_finalize(st); }
    bool step() {
        int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(sqlite3_db_handle(st)));
        sqlite3_reset(st);
        return false;
    }
};

void bindText(sqlite3_stmt* st, int i, const std::string& s) {
    sqlite3_bind_text(st, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void openForWriting(Db& db, uint32_t pageSize) {
    db.exec("PRAGMA page_size=" + std::to_string(pageSize));
    db.exec("PRAGMA journal_mode=DELETE");
    db.exec("PRAGMA secure_delete=ON");
}

const char* kItems =
    "CREATE TABLE items(id INTEGER PRIMARY KEY, code TEXT NOT NULL, qty INTEGER, price REAL, note TEXT, memo)";
const char* kItemsIndex = "CREATE UNIQUE INDEX items_code ON items(code)";
const char* kArchive = "CREATE TABLE archive(k INTEGER, a TEXT, b TEXT, c INTEGER, d REAL, e TEXT, f INTEGER)";
const char* kCustomersOld = "CREATE TABLE customers(name TEXT, city TEXT, balance INTEGER)";
const char* kCustomersNow = "CREATE TABLE customers(name TEXT, city TEXT, balance INTEGER, email TEXT)";
const char* kCustomersIndex = "CREATE INDEX customers_city ON customers(city)";

void insertItems(Db& db, int from, int to) {
    Stmt ins{db.prepare("INSERT INTO items VALUES(?,?,?,?,?,?)")};
    for (int id = from; id <= to; ++id) {
        char code[16];
        snprintf(code, sizeof code, "C%06d", id);
        sqlite3_bind_int64(ins.st, 1, id);
        bindText(ins.st, 2, code);
        int64_t qty = id % 13 == 0 ? int64_t(id) * 1000000007LL : (int64_t(id) * 7919) % 2000001 - 1000000;
        sqlite3_bind_int64(ins.st, 3, qty);
        if (id % 11 == 0) sqlite3_bind_null(ins.st, 4);
        else sqlite3_bind_double(ins.st, 4, id * 0.25 + 0.01);
        if (id % 5 == 0) sqlite3_bind_null(ins.st, 5);
        else bindText(ins.st, 5, "note " + std::to_string(id) + " " + std::string(20 + id % 30, 'a' + id % 26));
        if (id % 50 == 0) {
            std::string big;
            while (big.size() < 6000 + size_t(id % 3000)) big += "long memo of item " + std::to_string(id) + "; ";
            bindText(ins.st, 6, big);
        } else if (id % 7 == 3) {
            std::string blob = {char(id & 0xff), char(0), char((id >> 8) & 0xff), char(0xfe), char(id % 3)};
            sqlite3_bind_blob(ins.st, 6, blob.data(), int(blob.size()), SQLITE_TRANSIENT);
        } else {
            bindText(ins.st, 6, "memo " + std::string(40 + id % 40, 'A' + id % 26));
        }
        ins.step();
        sqlite3_reset(ins.st);
    }
}

}  // namespace

void buildMain(const fs::path& file, int items, bool deleteRows) {
    fs::remove(file);
    Db db(file);
    openForWriting(db, 4096);
    db.exec("BEGIN");
    db.exec("CREATE TABLE velmora_schema(sql TEXT)");
    db.exec(kArchive);
    db.exec(kItems);
    db.exec(kItemsIndex);
    db.exec(kCustomersOld);
    {
        Stmt ins{db.prepare("INSERT INTO archive VALUES(?,?,?,?,?,?,?)")};
        for (int k = 1; k <= 400; ++k) {
            sqlite3_bind_int(ins.st, 1, k);
            bindText(ins.st, 2, "archived " + std::to_string(k));
            bindText(ins.st, 3, std::string(k % 17, 'x'));
            sqlite3_bind_int64(ins.st, 4, -int64_t(k) * 123456789);
            sqlite3_bind_double(ins.st, 5, k / 3.0);
            if (k % 4) bindText(ins.st, 6, "e");
            else sqlite3_bind_null(ins.st, 6);
            sqlite3_bind_int(ins.st, 7, k % 2);
            ins.step();
            sqlite3_reset(ins.st);
        }
    }
    insertItems(db, 1, items);
    {
        Stmt ins{db.prepare("INSERT INTO customers(name, city, balance) VALUES(?,?,?)")};
        for (int c = 1; c <= 1500; ++c) {
            bindText(ins.st, 1, "customer " + std::to_string(c));
            bindText(ins.st, 2, "city " + std::to_string(c % 40));
            sqlite3_bind_int(ins.st, 3, c * 10 - 7000);
            ins.step();
            sqlite3_reset(ins.st);
        }
    }
    db.exec("COMMIT");
    db.exec("ALTER TABLE customers ADD COLUMN email TEXT");
    db.exec("BEGIN");
    db.exec(kCustomersIndex);
    {
        Stmt ins{db.prepare("INSERT INTO customers VALUES(?,?,?,?)")};
        for (int c = 1501; c <= 3000; ++c) {
            bindText(ins.st, 1, "customer " + std::to_string(c));
            bindText(ins.st, 2, "city " + std::to_string(c % 40));
            sqlite3_bind_int(ins.st, 3, c);
            if (c % 3) bindText(ins.st, 4, "c" + std::to_string(c) + "@example.test");
            else sqlite3_bind_null(ins.st, 4);
            ins.step();
            sqlite3_reset(ins.st);
        }
    }
    {
        Stmt ins{db.prepare("INSERT INTO velmora_schema VALUES(?)")};
        for (const char* s : {kArchive, kItems, kItemsIndex, kCustomersNow, kCustomersIndex}) {
            bindText(ins.st, 1, s);
            ins.step();
            sqlite3_reset(ins.st);
        }
    }
    if (deleteRows) {
        db.exec("DELETE FROM items WHERE id % 97 = 0 OR id BETWEEN 12000 AND 12600");
        db.exec("DELETE FROM customers WHERE rowid % 89 = 0");
    }
    db.exec("COMMIT");
}

void buildSmall(const fs::path& file) {
    fs::remove(file);
    Db db(file);
    openForWriting(db, 1024);
    db.exec("BEGIN");
    db.exec(kItems);
    db.exec(kItemsIndex);
    db.exec(kCustomersOld);
    insertItems(db, 1, 300);
    db.exec("INSERT INTO customers VALUES('a','b',1),('c','d',2)");
    db.exec("COMMIT");
    db.exec("ALTER TABLE customers ADD COLUMN email TEXT");
    db.exec("INSERT INTO customers VALUES('e','f',3,'g')");
    db.exec("DELETE FROM items WHERE id % 9 = 0");
}

Layout readLayout(const fs::path& file) {
    Layout out;
    Db db(file);
    {
        Stmt st{db.prepare("PRAGMA page_count")};
        st.step();
        out.pageCount = uint32_t(sqlite3_column_int64(st.st, 0));
    }
    std::map<std::string, std::string> kinds;
    {
        Stmt st{db.prepare("SELECT type, name, rootpage FROM sqlite_master WHERE rootpage > 0")};
        while (st.step()) {
            std::string type = reinterpret_cast<const char*>(sqlite3_column_text(st.st, 0));
            std::string name = reinterpret_cast<const char*>(sqlite3_column_text(st.st, 1));
            kinds[name] = type;
            if (type == "table") {
                out.tables[name].name = name;
                out.tables[name].root = uint32_t(sqlite3_column_int64(st.st, 2));
            }
        }
    }
    for (auto& [name, t] : out.tables) {
        Stmt st{db.prepare("SELECT rowid FROM \"" + name + "\" ORDER BY rowid")};
        while (st.step()) t.rowids.push_back(sqlite3_column_int64(st.st, 0));
    }
    // dbstat lists each tree in path order: leaves come in rowid order, and an
    // overflow page's path names its leaf and cell.
    std::map<std::string, std::map<std::string, size_t>> leafStart;  // table -> leaf path -> first row index
    std::map<std::string, size_t> next;
    Stmt st{db.prepare("SELECT name, path, pageno, pagetype, ncell FROM dbstat ORDER BY name, path")};
    while (st.step()) {
        std::string name = reinterpret_cast<const char*>(sqlite3_column_text(st.st, 0));
        std::string path = reinterpret_cast<const char*>(sqlite3_column_text(st.st, 1));
        uint32_t page = uint32_t(sqlite3_column_int64(st.st, 2));
        std::string type = reinterpret_cast<const char*>(sqlite3_column_text(st.st, 3));
        size_t ncell = size_t(sqlite3_column_int64(st.st, 4));
        if (!kinds.count(name)) continue;  // the schema table itself
        if (kinds[name] != "table") {
            out.indexPages[name].push_back(page);
            continue;
        }
        TableLayout& t = out.tables[name];
        if (type == "internal") {
            t.interior.push_back(page);
        } else if (type == "leaf") {
            t.leaves.push_back(page);
            leafStart[name][path] = next[name];
            auto& on = t.rowsOnPage[page];
            for (size_t i = 0; i < ncell; ++i) on.push_back(t.rowids.at(next[name]++));
        } else if (type == "overflow") {
            size_t plus = path.find('+');
            size_t slash = path.rfind('/', plus);
            std::string leaf = path.substr(0, slash + 1);
            size_t cell = std::stoul(path.substr(slash + 1, plus - slash - 1), nullptr, 16);
            t.rowsOnPage[page].push_back(t.rowids.at(leafStart[name].at(leaf) + cell));
        }
    }
    for (auto& [name, t] : out.tables)
        if (next[name] != t.rowids.size()) throw std::runtime_error("dbstat does not account for every row of " + name);
    return out;
}

std::map<std::string, Rows> readRows(const fs::path& file, const std::vector<std::string>& tables) {
    std::map<std::string, Rows> out;
    Db db(file);
    for (const std::string& name : tables) {
        // An INTEGER PRIMARY KEY column is stored as NULL; its value is the rowid.
        int alias = -1;
        {
            Stmt info{db.prepare("PRAGMA table_info(\"" + name + "\")")};
            while (info.step()) {
                std::string type = reinterpret_cast<const char*>(sqlite3_column_text(info.st, 2));
                if (sqlite3_column_int(info.st, 5) == 1 && type == "INTEGER") alias = sqlite3_column_int(info.st, 0);
            }
        }
        Stmt st{db.prepare("SELECT rowid, * FROM \"" + name + "\"")};
        Rows& rows = out[name];
        while (st.step()) {
            std::vector<Cell> values;
            for (int c = 1; c < sqlite3_column_count(st.st); ++c) {
                Cell v;
                switch (sqlite3_column_type(st.st, c)) {
                    case SQLITE_INTEGER: v.kind = Cell::Integer; v.i = sqlite3_column_int64(st.st, c); break;
                    case SQLITE_FLOAT: v.kind = Cell::Real; v.r = sqlite3_column_double(st.st, c); break;
                    case SQLITE_TEXT:
                        v.kind = Cell::Text;
                        v.bytes.assign(reinterpret_cast<const char*>(sqlite3_column_text(st.st, c)),
                                       size_t(sqlite3_column_bytes(st.st, c)));
                        break;
                    case SQLITE_BLOB:
                        v.kind = Cell::Blob;
                        v.bytes.assign(static_cast<const char*>(sqlite3_column_blob(st.st, c)),
                                       size_t(sqlite3_column_bytes(st.st, c)));
                        break;
                    default: break;
                }
                if (c - 1 == alias) v = Cell{};
                values.push_back(std::move(v));
            }
            rows[sqlite3_column_int64(st.st, 0)] = std::move(values);
        }
    }
    return out;
}

void overwritePages(const fs::path& file, const std::set<uint32_t>& pages, uint32_t seed, uint32_t pageSize) {
    std::mt19937 rng(seed);
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    std::string junk(pageSize, '\0');
    for (uint32_t p : pages) {
        for (char& c : junk) c = char(rng());
        f.seekp(std::streamoff(p - 1) * pageSize);
        f.write(junk.data(), std::streamsize(junk.size()));
    }
    if (!f) throw std::runtime_error("cannot damage " + file.string());
}

void copyPage(const fs::path& source, uint32_t from, const fs::path& file, uint32_t to, uint32_t pageSize) {
    std::string page(pageSize, '\0');
    std::ifstream in(source, std::ios::binary);
    in.seekg(std::streamoff(from - 1) * pageSize);
    in.read(page.data(), std::streamsize(pageSize));
    std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(std::streamoff(to - 1) * pageSize);
    out.write(page.data(), std::streamsize(pageSize));
    if (!in || !out) throw std::runtime_error("cannot copy a page into " + file.string());
}

}  // namespace salvage_test
