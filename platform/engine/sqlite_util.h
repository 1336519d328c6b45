#pragma once
// Small RAII helpers over the SQLite C API, shared by the engine's parts.
#include <sqlite3.h>

#include <string>
#include <string_view>

namespace platform::sq {

class Stmt {
public:
    Stmt() = default;
    Stmt(sqlite3* db, std::string_view sql);
    Stmt(Stmt&& o) noexcept : s_(o.s_), db_(o.db_) { o.s_ = nullptr; }
    Stmt& operator=(Stmt&& o) noexcept;
    ~Stmt();
    sqlite3_stmt* get() const { return s_; }
    explicit operator bool() const { return s_ != nullptr; }
    // SQLITE_ROW -> true, SQLITE_DONE -> false, anything else throws SqlError.
    bool step();
    void reset();
    void bindText(int i, std::string_view t);
    void bindInt(int i, long long v);
    void bindDouble(int i, double v);
    void bindNull(int i);
    void bindValue(int i, sqlite3_value* v);
    long long colInt(int i) const { return sqlite3_column_int64(s_, i); }
    double colDouble(int i) const { return sqlite3_column_double(s_, i); }
    std::string colText(int i) const;
    int colType(int i) const { return sqlite3_column_type(s_, i); }

private:
    sqlite3_stmt* s_ = nullptr;
    sqlite3* db_ = nullptr;
};

// A SQLite failure with its result code, before it is mapped to the engine's
// numbers by the caller.
struct SqlError {
    int code;
    std::string message;
};

void exec(sqlite3* db, std::string_view sql);
std::string quoteIdent(std::string_view name);
std::string quoteText(std::string_view text);

}  // namespace platform::sq
