#include "platform/engine/sqlite_util.h"

namespace platform::sq {

Stmt::Stmt(sqlite3* db, std::string_view sql) : db_(db) {
    int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &s_, nullptr);
    if (rc != SQLITE_OK) throw SqlError{rc, sqlite3_errmsg(db)};
}

Stmt& Stmt::operator=(Stmt&& o) noexcept {
    if (this != &o) {
        if (s_) sqlite3_finalize(s_);
        s_ = o.s_;
        db_ = o.db_;
        o.s_ = nullptr;
    }
    return *this;
}

Stmt::~Stmt() {
    if (s_) sqlite3_finalize(s_);
}

bool Stmt::step() {
    int rc = sqlite3_step(s_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    int ext = sqlite3_extended_errcode(db_);
    std::string msg = sqlite3_errmsg(db_);
    sqlite3_reset(s_);
    throw SqlError{ext ? ext : rc, msg};
}

void Stmt::reset() {
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
}

void Stmt::bindText(int i, std::string_view t) {
    sqlite3_bind_text(s_, i, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
}
void Stmt::bindInt(int i, long long v) { sqlite3_bind_int64(s_, i, v); }
void Stmt::bindDouble(int i, double v) { sqlite3_bind_double(s_, i, v); }
void Stmt::bindNull(int i) { sqlite3_bind_null(s_, i); }
void Stmt::bindValue(int i, sqlite3_value* v) { sqlite3_bind_value(s_, i, v); }

std::string Stmt::colText(int i) const {
    const unsigned char* t = sqlite3_column_text(s_, i);
    int n = sqlite3_column_bytes(s_, i);
    return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(n)) : std::string();
}

void exec(sqlite3* db, std::string_view sql) {
    char* err = nullptr;
    std::string s(sql);
    int rc = sqlite3_exec(db, s.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string m = err ? err : sqlite3_errmsg(db);
        sqlite3_free(err);
        throw SqlError{sqlite3_extended_errcode(db), m};
    }
}

std::string quoteIdent(std::string_view name) {
    std::string r = "\"";
    for (char c : name) {
        if (c == '"') r += '"';
        r += c;
    }
    return r + "\"";
}

std::string quoteText(std::string_view text) {
    std::string r = "'";
    for (char c : text) {
        if (c == '\'') r += '\'';
        r += c;
    }
    return r + "'";
}

}  // namespace platform::sq
