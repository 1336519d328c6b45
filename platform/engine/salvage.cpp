#include "platform/engine/salvage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <limits>
#include <system_error>
#include <tuple>
#include <utility>

namespace platform::salvage {
namespace {

constexpr int kMaxDepth = 64;                   // real trees are far shallower; deeper means a loop
constexpr uint64_t kMaxPayload = 1ull << 30;    // above the library's own length limit
constexpr uint64_t kMaxColumns = 32767;         // the library's hard column limit
constexpr int64_t kMaxPages = 0x7fffffff;       // page numbers are 32-bit; the library stops at 2^31-1
constexpr uint64_t kDetectBytes = 16ull << 20;  // how much of the file page-size detection looks at

uint32_t get16(const uint8_t* p) { return (uint32_t(p[0]) << 8) | p[1]; }
uint32_t get32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// A varint in [p, end): the bytes it took, 0 when it runs past end.
size_t getVarint(const uint8_t* p, const uint8_t* end, uint64_t& v) {
    v = 0;
    const size_t avail = p < end ? size_t(end - p) : 0;
    for (size_t i = 0; i < 8; ++i) {
        if (i >= avail) return 0;
        v = (v << 7) | (p[i] & 0x7f);
        if (!(p[i] & 0x80)) return i + 1;
    }
    if (avail < 9) return 0;
    v = (v << 8) | p[8];
    return 9;
}

class Bitmap {
public:
    void reset(size_t n) { w_.assign(n / 64 + 1, 0); n_ = n; }
    bool test(uint64_t i) const { return i < n_ && (w_[i / 64] >> (i % 64)) & 1; }
    void set(uint64_t i) {
        if (i < n_) w_[i / 64] |= uint64_t(1) << (i % 64);
    }

private:
    std::vector<uint64_t> w_;
    size_t n_ = 0;
};

// Disjoint, non-adjacent closed rowid intervals, sorted.
class RangeSet {
public:
    bool contains(int64_t x) const {
        auto it = std::upper_bound(r_.begin(), r_.end(), x, [](int64_t v, const auto& iv) { return v < iv.first; });
        if (it == r_.begin()) return false;
        --it;
        return x <= it->second;
    }
    void add(int64_t lo, int64_t hi) {
        if (lo > hi) std::swap(lo, hi);
        auto first = std::partition_point(r_.begin(), r_.end(),
                                          [lo](const auto& iv) { return iv.second < lo && iv.second + 1 != lo; });
        auto last = first;
        while (last != r_.end() && (last->first <= hi || (hi != std::numeric_limits<int64_t>::max() && last->first == hi + 1))) {
            lo = std::min(lo, last->first);
            hi = std::max(hi, last->second);
            ++last;
        }
        first = r_.erase(first, last);
        r_.insert(first, {lo, hi});
    }

private:
    std::vector<std::pair<int64_t, int64_t>> r_;
};

// Which rowids a table already has: closed ranges plus the run the walk is in.
// Within a run with no damage, the tree has no rows between the rows it gave,
// so an orphan row with a rowid there is stale and must not come back.
struct Coverage {
    RangeSet closed;
    bool open = false;
    int64_t lo = 0, hi = 0;

    bool contains(int64_t r) const { return (open && r >= lo && r <= hi) || closed.contains(r); }
    void note(int64_t r) {
        if (open && r > hi) {
            hi = r;
            return;
        }
        close();
        open = true;
        lo = hi = r;
    }
    void close() {
        if (open) closed.add(lo, hi);
        open = false;
    }
};

struct PageView {
    const uint8_t* d = nullptr;
    uint32_t usable = 0;
    uint32_t hdr = 0;       // 100 on page 1
    uint8_t type = 0;
    uint32_t ncells = 0;
    uint32_t ptrArray = 0;  // offset of the cell pointer array
    uint32_t contentStart = 0;
    uint32_t rightChild = 0;

    bool interior() const { return type == 2 || type == 5; }
    // Offset of cell i, 0 when the pointer lies outside the cell content area.
    uint32_t cellOffset(uint32_t i) const {
        uint32_t off = get16(d + ptrArray + 2 * i);
        if (off < contentStart || off + 4 > usable) return 0;
        return off;
    }
};

bool parseHeader(const uint8_t* d, uint32_t usable, uint32_t pgno, PageView& v) {
    v = PageView{};
    v.d = d;
    v.usable = usable;
    v.hdr = pgno == 1 ? 100 : 0;
    v.type = d[v.hdr];
    if (v.type != 2 && v.type != 5 && v.type != 10 && v.type != 13) return false;
    uint32_t hlen = v.interior() ? 12 : 8;
    if (v.hdr + hlen > usable) return false;
    uint32_t freeblock = get16(d + v.hdr + 1);
    v.ncells = get16(d + v.hdr + 3);
    v.contentStart = get16(d + v.hdr + 5);
    if (v.contentStart == 0) v.contentStart = 65536;
    v.ptrArray = v.hdr + hlen;
    uint32_t ptrEnd = v.ptrArray + 2 * v.ncells;
    if (ptrEnd > usable || v.contentStart < ptrEnd || v.contentStart > usable) return false;
    if (freeblock != 0 && (freeblock < v.contentStart || freeblock + 4 > usable)) return false;
    if (v.interior()) v.rightChild = get32(d + v.hdr + 8);
    return true;
}

// A table-leaf cell as stored: rowid, payload size, the local part and the
// first overflow page.
struct LeafCell {
    int64_t rowid = 0;
    uint64_t payload = 0;
    const uint8_t* local = nullptr;
    uint32_t localLen = 0;
    uint32_t overflow = 0;
};

bool parseLeafCell(const PageView& v, uint32_t i, LeafCell& c) {
    uint32_t off = v.cellOffset(i);
    if (off == 0) return false;
    const uint8_t* p = v.d + off;
    const uint8_t* end = v.d + v.usable;
    uint64_t rid = 0;
    size_t n = getVarint(p, end, c.payload);
    if (n == 0) return false;
    p += n;
    n = getVarint(p, end, rid);
    if (n == 0) return false;
    p += n;
    c.rowid = static_cast<int64_t>(rid);
    if (c.payload > kMaxPayload) return false;
    const uint64_t u = v.usable;
    const uint64_t maxLocal = u - 35;
    uint64_t local = c.payload;
    if (c.payload > maxLocal) {
        const uint64_t minLocal = ((u - 12) * 32 / 255) - 23;
        const uint64_t k = minLocal + ((c.payload - minLocal) % (u - 4));
        local = k <= maxLocal ? k : minLocal;
    }
    const uint64_t need = local + (local < c.payload ? 4 : 0);
    if (need > uint64_t(end - p)) return false;
    c.local = p;
    c.localLen = static_cast<uint32_t>(local);
    c.overflow = local < c.payload ? get32(p + local) : 0;
    if (local < c.payload && c.overflow == 0) return false;
    return true;
}

uint64_t serialSize(uint64_t t) {
    static const uint8_t fixed[12] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, 0, 0};
    if (t < 12) return fixed[t];
    return (t - 12) / 2;
}

// The column count from a record header, when the header lies in [p, p+n).
bool recordColumns(const uint8_t* p, size_t n, uint64_t payload, uint64_t& cols) {
    const uint8_t* end = p + n;
    uint64_t h = 0;
    size_t hv = getVarint(p, end, h);
    if (hv == 0 || h < hv || h > payload || h > n) return false;
    const uint8_t* q = p + hv;
    const uint8_t* hend = p + h;
    uint64_t body = 0;
    cols = 0;
    while (q < hend) {
        uint64_t t = 0;
        size_t k = getVarint(q, hend, t);
        if (k == 0 || t == 10 || t == 11) return false;
        q += k;
        uint64_t s = serialSize(t);
        if (s > payload) return false;
        body += s;
        if (body > payload || ++cols > kMaxColumns) return false;
    }
    return body == payload - h;
}

bool decodeRecord(const uint8_t* p, size_t n, std::vector<Cell>& out) {
    out.clear();
    uint64_t cols = 0;
    if (!recordColumns(p, n, n, cols)) return false;
    uint64_t h = 0;
    size_t hv = getVarint(p, p + n, h);
    const uint8_t* q = p + hv;
    const uint8_t* hend = p + h;
    const uint8_t* body = hend;
    out.reserve(cols);
    while (q < hend) {
        uint64_t t = 0;
        q += getVarint(q, hend, t);
        uint64_t s = serialSize(t);
        Cell c;
        if (t == 0) {
            c.kind = Cell::Null;
        } else if (t <= 6) {
            uint64_t u = 0;
            for (uint64_t k = 0; k < s; ++k) u = (u << 8) | body[k];
            if (s < 8 && (body[0] & 0x80)) u |= ~uint64_t(0) << (8 * s);  // sign-extend
            c.kind = Cell::Integer;
            c.i = static_cast<int64_t>(u);
        } else if (t == 7) {
            uint64_t u = 0;
            for (int k = 0; k < 8; ++k) u = (u << 8) | body[k];
            c.kind = Cell::Real;
            std::memcpy(&c.r, &u, sizeof c.r);
        } else if (t == 8 || t == 9) {
            c.kind = Cell::Integer;
            c.i = t == 9;
        } else {
            c.kind = (t & 1) ? Cell::Text : Cell::Blob;
            c.bytes.assign(reinterpret_cast<const char*>(body), s);
        }
        body += s;
        out.push_back(std::move(c));
    }
    return true;
}

bool isText(const Cell& c) { return c.kind == Cell::Text; }

bool startsWithNoCase(const std::string& s, const char* prefix) {
    size_t n = std::strlen(prefix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
    return true;
}

bool equalsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool looksLikeMasterRow(const std::vector<Cell>& v) {
    if (v.size() != 5 || !isText(v[0]) || !isText(v[1]) || !isText(v[2]) || v[3].kind != Cell::Integer) return false;
    const std::string& t = v[0].bytes;
    if (t != "table" && t != "index" && t != "view" && t != "trigger") return false;
    if (v[3].i < 0 || v[3].i > kMaxPages) return false;
    return v[4].kind == Cell::Null || (isText(v[4]) && startsWithNoCase(v[4].bytes, "CREATE"));
}

bool looksLikeCopyRow(const std::vector<Cell>& v) {
    return v.size() == 1 && isText(v[0]) && startsWithNoCase(v[0].bytes, "CREATE ");
}

// --- a small lexer for CREATE statements -----------------------------------

struct Token {
    enum Kind { Word, Quoted, String, Punct } kind;
    std::string text;
};

std::vector<Token> lex(const std::string& s) {
    std::vector<Token> out;
    size_t i = 0, n = s.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) {
            ++i;
        } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            while (i < n && s[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            size_t e = s.find("*/", i + 2);
            i = e == std::string::npos ? n : e + 2;
        } else if (c == '"' || c == '`' || c == '[' || c == '\'') {
            char close = c == '[' ? ']' : static_cast<char>(c);
            std::string t;
            ++i;
            while (i < n) {
                if (s[i] == close) {
                    if (close != ']' && i + 1 < n && s[i + 1] == close) {
                        t += close;
                        i += 2;
                        continue;
                    }
                    break;
                }
                t += s[i++];
            }
            ++i;  // past the closing quote (or the end)
            out.push_back({c == '\'' ? Token::String : Token::Quoted, std::move(t)});
        } else if (std::isalnum(c) || c == '_' || c >= 0x80 || c == '$') {
            size_t b = i;
            while (i < n) {
                unsigned char d = static_cast<unsigned char>(s[i]);
                if (!(std::isalnum(d) || d == '_' || d >= 0x80 || d == '$')) break;
                ++i;
            }
            out.push_back({Token::Word, s.substr(b, i - b)});
        } else {
            out.push_back({Token::Punct, std::string(1, static_cast<char>(c))});
            ++i;
        }
    }
    return out;
}

bool isWord(const Token& t, const char* w) { return t.kind == Token::Word && equalsNoCase(t.text, w); }
bool isPunct(const Token& t, char c) { return t.kind == Token::Punct && t.text.size() == 1 && t.text[0] == c; }

// Reads "[schema.]name" at tokens[i]; advances i.
bool readName(const std::vector<Token>& t, size_t& i, std::string& name) {
    if (i >= t.size() || (t[i].kind != Token::Word && t[i].kind != Token::Quoted && t[i].kind != Token::String))
        return false;
    name = t[i++].text;
    if (i + 1 < t.size() && isPunct(t[i], '.') && t[i + 1].kind != Token::Punct) {
        name = t[i + 1].text;
        i += 2;
    }
    return true;
}

// Name and table of a CREATE TABLE / INDEX / VIEW / TRIGGER statement.
void describeCreate(const std::string& sql, std::string& kind, std::string& name, std::string& table) {
    std::vector<Token> t = lex(sql);
    size_t i = 0;
    if (i >= t.size() || !isWord(t[i], "CREATE")) return;
    ++i;
    while (i < t.size() && (isWord(t[i], "TEMP") || isWord(t[i], "TEMPORARY") || isWord(t[i], "UNIQUE") ||
                            isWord(t[i], "VIRTUAL")))
        ++i;
    if (i >= t.size() || t[i].kind != Token::Word) return;
    kind = t[i].text;
    for (char& c : kind) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    ++i;
    if (i + 2 < t.size() && isWord(t[i], "IF") && isWord(t[i + 1], "NOT") && isWord(t[i + 2], "EXISTS")) i += 3;
    if (!readName(t, i, name)) return;
    if (kind == "table" || kind == "view") {
        table = name;
    } else if (kind == "index") {
        if (i < t.size() && isWord(t[i], "ON")) {
            ++i;
            readName(t, i, table);
        }
    } else if (kind == "trigger") {
        for (; i < t.size(); ++i)
            if (isWord(t[i], "ON")) {
                ++i;
                readName(t, i, table);
                break;
            }
    }
}

}  // namespace

std::optional<int> columnCountOf(const std::string& sql) {
    std::vector<Token> t = lex(sql);
    size_t i = 0;
    if (i >= t.size() || !isWord(t[i], "CREATE")) return std::nullopt;
    ++i;
    while (i < t.size() && (isWord(t[i], "TEMP") || isWord(t[i], "TEMPORARY"))) ++i;
    if (i >= t.size() || !isWord(t[i], "TABLE")) return std::nullopt;
    ++i;
    if (i + 2 < t.size() && isWord(t[i], "IF") && isWord(t[i + 1], "NOT") && isWord(t[i + 2], "EXISTS")) i += 3;
    std::string name;
    if (!readName(t, i, name)) return std::nullopt;
    if (i >= t.size() || !isPunct(t[i], '(')) return std::nullopt;  // CREATE TABLE ... AS SELECT
    ++i;
    int depth = 0, columns = 0;
    bool segmentStart = true;
    for (; i < t.size(); ++i) {
        if (segmentStart && depth == 0) {
            segmentStart = false;
            if (isWord(t[i], "CONSTRAINT") || isWord(t[i], "PRIMARY") || isWord(t[i], "UNIQUE") ||
                isWord(t[i], "CHECK") || isWord(t[i], "FOREIGN")) {
                // A table constraint; it and everything after it are no columns.
                for (; i < t.size(); ++i) {
                    if (isPunct(t[i], '(')) ++depth;
                    else if (isPunct(t[i], ')') && depth-- == 0) return columns > 0 ? std::optional<int>(columns) : std::nullopt;
                }
                return std::nullopt;
            }
            ++columns;
        }
        if (isPunct(t[i], '(')) {
            ++depth;
        } else if (isPunct(t[i], ')')) {
            if (depth-- == 0) return columns > 0 ? std::optional<int>(columns) : std::nullopt;
        } else if (isPunct(t[i], ',') && depth == 0) {
            segmentStart = true;
        }
    }
    return std::nullopt;
}

struct Reader::Impl {
    int fd = -1;
    uint64_t fileSize = 0;
    bool headerOk = false;
    uint32_t pageSize = 4096;
    uint32_t usable = 4096;
    int64_t pages = 0;
    int encoding = 1;
    Bitmap freePages;   // on the freelist
    Bitmap visited;     // tree pages a walk has taken (each page at most once per pass)
    Bitmap rejected;    // pages the current walk refused: refused again without reading, so work stays bounded
    Bitmap overflow;    // pages read as part of a complete overflow chain
    std::vector<uint8_t> pageBuf, ovBuf, payloadBuf;
    std::vector<uint32_t> chainMark;  // per page: the chain that last used it (cycle check)
    uint32_t chainId = 0;
    std::optional<std::vector<SchemaEntry>> schemaCache;
    Stats* stats = nullptr;

    ~Impl() {
        if (fd >= 0) ::close(fd);
    }

    bool readAt(uint64_t offset, uint8_t* dst, size_t len) const {
        if (offset > fileSize || len > fileSize - offset) return false;
        size_t done = 0;
        while (done < len) {
            ssize_t r = ::pread(fd, dst + done, len - done, static_cast<off_t>(offset + done));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            done += static_cast<size_t>(r);
        }
        return true;
    }

    bool readPage(int64_t pgno, std::vector<uint8_t>& buf) const {
        if (pgno < 1 || pgno > pages) return false;
        buf.resize(pageSize);
        return readAt(uint64_t(pgno - 1) * pageSize, buf.data(), pageSize);
    }

    void open(const std::filesystem::path& file) {
        fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) throw std::system_error(errno, std::generic_category(), "salvage: cannot open the database file");
        struct stat st {};
        if (::fstat(fd, &st) != 0) throw std::system_error(errno, std::generic_category(), "salvage: cannot read the database file");
        fileSize = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;

        uint8_t h[100] = {};
        uint32_t reserved = 0;
        if (readAt(0, h, sizeof h) && std::memcmp(h, "SQLite format 3", 16) == 0) {
            uint32_t ps = get16(h + 16);
            if (ps == 1) ps = 65536;
            if (ps >= 512 && ps <= 65536 && (ps & (ps - 1)) == 0 && ps - h[20] >= 480) {
                headerOk = true;
                pageSize = ps;
                reserved = h[20];
                if (h[56] >= 1 && h[56] <= 3) encoding = h[56];
            }
        }
        if (!headerOk) pageSize = detectPageSize();
        usable = pageSize - reserved;
        pages = static_cast<int64_t>(std::min<uint64_t>(fileSize / pageSize, kMaxPages));
        freePages.reset(pages + 1);
        visited.reset(pages + 1);
        overflow.reset(pages + 1);
        chainMark.assign(pages + 1, 0);
        if (headerOk) readFreelist(get32(h + 32));
    }

    // The size at which most pages parse as b-tree pages, counted over the
    // same stretch of the file for every candidate so the counts compare.
    uint32_t detectPageSize() const {
        uint64_t span = std::min<uint64_t>(fileSize, kDetectBytes);
        int64_t best = 0;
        uint32_t bestSize = 4096;
        for (uint32_t ps = 512; ps <= 65536; ps *= 2) {
            int64_t count = 0;
            std::vector<uint8_t> buf(ps);
            for (uint64_t off = 0; off + ps <= span; off += ps) {
                if (!readAt(off, buf.data(), ps)) break;
                PageView v;
                if (!parseHeader(buf.data(), ps, off == 0 ? 1 : 2, v) || v.ncells == 0) continue;
                bool ok = true;
                for (uint32_t i = 0; i < v.ncells && ok; ++i) ok = v.cellOffset(i) != 0;
                if (ok) ++count;
            }
            if (count > best) {
                best = count;
                bestSize = ps;
            }
        }
        return bestSize;
    }

    void readFreelist(uint32_t trunk) {
        std::vector<uint8_t> buf;
        const uint32_t perTrunk = usable / 4 - 2;
        for (int64_t steps = 0; trunk != 0 && steps < pages; ++steps) {
            if (trunk > pages || freePages.test(trunk) || !readPage(trunk, buf)) return;
            freePages.set(trunk);
            uint32_t n = get32(buf.data() + 4);
            if (n > perTrunk) return;
            for (uint32_t i = 0; i < n; ++i) {
                uint32_t leaf = get32(buf.data() + 8 + 4 * i);
                if (leaf >= 2 && leaf <= pages) freePages.set(leaf);
            }
            trunk = get32(buf.data());
        }
    }

    // The whole payload of a cell, following its overflow chain; false when
    // the chain is cut, loops, or does not end where the size says it must.
    bool readPayload(const LeafCell& c, std::vector<uint8_t>& out) {
        out.assign(c.local, c.local + c.localLen);
        uint64_t remaining = c.payload - c.localLen;
        if (remaining == 0) return true;
        const uint64_t per = usable - 4;
        const uint64_t chainLen = (remaining + per - 1) / per;
        if (chainLen > uint64_t(pages)) return false;
        if (++chainId == 0) {
            std::fill(chainMark.begin(), chainMark.end(), 0);
            chainId = 1;
        }
        out.reserve(c.payload);
        uint32_t pg = c.overflow;
        std::vector<uint32_t> chain;
        for (uint64_t k = 0; k < chainLen; ++k) {
            if (pg < 2 || pg > pages || chainMark[pg] == chainId || visited.test(pg) || freePages.test(pg)) return false;
            chainMark[pg] = chainId;
            if (!readPage(pg, ovBuf)) return false;
            uint32_t next = get32(ovBuf.data());
            uint64_t take = std::min(remaining, per);
            out.insert(out.end(), ovBuf.data() + 4, ovBuf.data() + 4 + take);
            remaining -= take;
            chain.push_back(pg);
            if (k + 1 == chainLen && next != 0) return false;
            pg = next;
        }
        for (uint32_t p : chain) overflow.set(p);
        return true;
    }

    // Column count of a cell's record, reading the overflow only when the
    // header itself spills over.
    bool cellColumns(const LeafCell& c, uint64_t& cols) {
        if (recordColumns(c.local, c.localLen, c.payload, cols)) return true;
        if (c.localLen == c.payload) return false;
        if (!readPayload(c, payloadBuf)) return false;
        return recordColumns(payloadBuf.data(), payloadBuf.size(), payloadBuf.size(), cols);
    }

    bool readRow(const LeafCell& c, Row& row) {
        row.rowid = c.rowid;
        if (!readPayload(c, payloadBuf)) return false;
        return decodeRecord(payloadBuf.data(), payloadBuf.size(), row.values);
    }

    // What a tree walk tells its caller.
    struct Visitor {
        virtual ~Visitor() = default;
        virtual void damage() = 0;                       // a subtree or cells were skipped here
        virtual void cell(const LeafCell& c) = 0;        // in tree order
    };

    void walk(int64_t root, Visitor& vis) {
        rejected.reset(pages + 1);
        if (root < 1 || root > pages) {
            vis.damage();
            return;
        }
        node(static_cast<uint32_t>(root), std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(),
             true, 0, vis);
    }

    // Rows of the subtree at pgno have rowids in (lo, hi] (loOpen: lo itself excluded).
    void node(uint32_t pgno, int64_t lo, int64_t hi, bool loIncl, int depth, Visitor& vis) {
        // Free pages are not refused here: a damaged freelist must not cut a
        // tree, and a real free page is zeroed and fails to parse anyway.
        if (pgno < 1 || pgno > pages || depth > kMaxDepth || visited.test(pgno) || overflow.test(pgno) ||
            rejected.test(pgno)) {
            ++stats->pagesDamaged;
            vis.damage();
            return;
        }
        PageView v;
        if (!readPage(pgno, pageBuf) || !parseHeader(pageBuf.data(), usable, pgno, v) || (v.type != 5 && v.type != 13)) {
            rejected.set(pgno);
            ++stats->pagesDamaged;
            vis.damage();
            return;
        }
        auto inRange = [&](int64_t r) { return (loIncl ? r >= lo : r > lo) && r <= hi; };
        if (v.type == 5) {
            struct Child {
                uint32_t page;
                int64_t lo, hi;
                bool loIncl;
            };
            std::vector<Child> children;
            children.reserve(v.ncells + 1);
            int64_t prev = lo;
            bool prevIncl = loIncl;
            bool bad = false;
            for (uint32_t i = 0; i < v.ncells; ++i) {
                uint32_t off = v.cellOffset(i);
                uint64_t key = 0;
                if (off == 0 || off + 5 > v.usable || getVarint(pageBuf.data() + off + 4, pageBuf.data() + v.usable, key) == 0) {
                    bad = true;
                    children.push_back({0, 0, 0, false});  // a hole: its subtree is lost to the walk
                    continue;
                }
                int64_t k = static_cast<int64_t>(key);
                if (!inRange(k) || (!prevIncl && k <= prev) || (prevIncl && k < prev)) {
                    // A divider out of order: the keys of this page cannot be trusted.
                    bad = true;
                    children.push_back({0, 0, 0, false});
                    continue;
                }
                children.push_back({get32(pageBuf.data() + off), prev, k, prevIncl});
                prev = k;
                prevIncl = false;
            }
            children.push_back({v.rightChild, prev, hi, prevIncl});
            visited.set(pgno);
            ++stats->pagesReached;
            if (bad) ++stats->pagesDamaged;
            for (const Child& ch : children) {
                if (ch.page == 0) {
                    vis.damage();
                    continue;
                }
                node(ch.page, ch.lo, ch.hi, ch.loIncl, depth + 1, vis);
            }
            return;
        }
        // A leaf. Its rows must be in increasing order and inside the range its
        // parent gives; when they are not, the pointer that led here is wrong
        // and the page is left for the orphan scan.
        std::vector<LeafCell> cells(v.ncells);
        std::vector<bool> ok(v.ncells);
        bool any = false;
        int64_t prev = 0;
        for (uint32_t i = 0; i < v.ncells; ++i) {
            ok[i] = parseLeafCell(v, i, cells[i]);
            if (!ok[i]) continue;
            if (!inRange(cells[i].rowid) || (any && cells[i].rowid <= prev)) {
                rejected.set(pgno);
                ++stats->pagesDamaged;
                vis.damage();
                return;
            }
            prev = cells[i].rowid;
            any = true;
        }
        visited.set(pgno);
        ++stats->pagesReached;
        bool damaged = false;
        for (uint32_t i = 0; i < v.ncells; ++i) {
            if (!ok[i]) {
                damaged = true;
                ++stats->rowsUnreadable;
                vis.damage();
                continue;
            }
            vis.cell(cells[i]);
        }
        if (damaged) ++stats->pagesDamaged;
    }

    // Table-leaf pages that no walk took (and that are not free pages).
    template <typename F>
    void scanUnreached(F&& onPage) {
        std::vector<uint8_t> buf;
        for (int64_t pg = 1; pg <= pages; ++pg) {
            if (visited.test(pg) || freePages.test(pg) || overflow.test(pg)) continue;
            if (!readPage(pg, buf)) continue;
            PageView v;
            if (!parseHeader(buf.data(), usable, static_cast<uint32_t>(pg), v) || v.type != 13) continue;
            onPage(v);
        }
    }

    void resetPass() {
        visited.reset(pages + 1);
        overflow.reset(pages + 1);
    }
};

Reader::Reader(const std::filesystem::path& file) : impl_(std::make_unique<Impl>()) {
    impl_->stats = &stats_;
    impl_->open(file);
    stats_.pages = impl_->pages;
}

Reader::~Reader() = default;

bool Reader::headerValid() const { return impl_->headerOk; }
uint32_t Reader::pageSize() const { return impl_->pageSize; }
int64_t Reader::pageCount() const { return impl_->pages; }
int Reader::textEncoding() const { return impl_->encoding; }

std::vector<SchemaEntry> Reader::schema() {
    if (impl_->schemaCache) return *impl_->schemaCache;
    Impl& m = *impl_;
    Stats saved = stats_;
    m.resetPass();
    std::vector<SchemaEntry> out;
    auto known = [&](const std::string& type, const std::string& name) {
        return std::any_of(out.begin(), out.end(), [&](const SchemaEntry& e) { return e.type == type && e.name == name; });
    };
    auto addMaster = [&](const Row& row) {
        if (!looksLikeMasterRow(row.values) || known(row.values[0].bytes, row.values[1].bytes)) return;
        const auto& v = row.values;
        out.push_back({v[0].bytes, v[1].bytes, v[2].bytes, v[3].i, v[4].kind == Cell::Text ? v[4].bytes : std::string()});
    };

    struct MasterVisitor : Impl::Visitor {
        Impl& m;
        std::function<void(const Row&)> add;
        bool damaged = false;
        Row row;
        MasterVisitor(Impl& im, std::function<void(const Row&)> f) : m(im), add(std::move(f)) {}
        void damage() override { damaged = true; }
        void cell(const LeafCell& c) override {
            if (m.readRow(c, row)) add(row);
            else damaged = true;
        }
    } vis(m, addMaster);
    m.walk(1, vis);

    if (vis.damaged || !m.headerOk) {
        // The schema tree is incomplete: look on every other page for rows
        // shaped like schema rows, and for the statements kept in velmora_schema.
        std::vector<SchemaEntry> copies;
        Row row;
        m.scanUnreached([&](const PageView& v) {
            for (uint32_t i = 0; i < v.ncells; ++i) {
                LeafCell c;
                if (!parseLeafCell(v, i, c) || !m.readRow(c, row)) continue;
                if (looksLikeMasterRow(row.values)) {
                    addMaster(row);
                } else if (looksLikeCopyRow(row.values)) {
                    const std::string& sql = row.values[0].bytes;
                    if (std::any_of(copies.begin(), copies.end(), [&](const SchemaEntry& e) { return e.sql == sql; }))
                        continue;
                    SchemaEntry e{"copy", "", "", 0, sql};
                    std::string kind;
                    describeCreate(sql, kind, e.name, e.tableName);
                    copies.push_back(std::move(e));
                }
            }
        });
        out.insert(out.end(), copies.begin(), copies.end());
    }
    m.resetPass();
    stats_ = saved;
    m.schemaCache = out;
    return out;
}

void Reader::collect(const std::vector<TableTarget>& targets,
                     const std::function<void(size_t targetIndex, const Row&)>& sink) {
    std::vector<SchemaEntry> entries = schema();
    Impl& m = *impl_;
    m.resetPass();
    stats_ = Stats{};
    stats_.pages = m.pages;

    struct TargetState {
        Coverage cover;
        bool damaged = false;
    };
    std::vector<TargetState> state(targets.size());

    struct TreeVisitor : Impl::Visitor {
        Impl& m;
        const TableTarget& target;
        TargetState& st;
        size_t index;
        const std::function<void(size_t, const Row&)>& sink;
        Row row;
        TreeVisitor(Impl& im, const TableTarget& t, TargetState& s, size_t i, const std::function<void(size_t, const Row&)>& f)
            : m(im), target(t), st(s), index(i), sink(f) {}
        void damage() override {
            st.cover.close();
            st.damaged = true;
        }
        void cell(const LeafCell& c) override {
            if (st.cover.contains(c.rowid)) return;
            if (!m.readRow(c, row) || (target.columnCount > 0 && row.values.size() > size_t(target.columnCount))) {
                ++m.stats->rowsUnreadable;
                st.cover.close();  // the rowid stays open for an intact copy elsewhere
                return;
            }
            st.cover.note(c.rowid);
            ++m.stats->rowsFromTree;
            sink(index, row);
        }
    };
    for (size_t t = 0; t < targets.size(); ++t) {
        TreeVisitor vis(m, targets[t], state[t], t, sink);
        m.walk(targets[t].rootPage, vis);
        state[t].cover.close();
    }

    // The other trees are walked only to claim their pages, so that their
    // leaves are not taken for orphans of a target. Tables the caller did not
    // ask for still compete for orphan pages by width, so that their rows are
    // dropped rather than handed to a target.
    struct ClaimVisitor : Impl::Visitor {
        bool damaged = false;
        void damage() override { damaged = true; }
        void cell(const LeafCell&) override {}
    };
    struct Candidate {
        int columnCount;
        bool damaged;
        size_t target;  // targets.size(): not a target
    };
    std::vector<Candidate> candidates;
    for (size_t t = 0; t < targets.size(); ++t) candidates.push_back({targets[t].columnCount, state[t].damaged, t});
    {
        ClaimVisitor claim;
        m.walk(1, claim);
    }
    for (const SchemaEntry& e : entries) {
        if (e.type != "table" && e.type != "copy") continue;
        bool isTarget = std::any_of(targets.begin(), targets.end(), [&](const TableTarget& t) {
            return (e.rootPage > 0 && t.rootPage == e.rootPage) || (!e.name.empty() && equalsNoCase(t.name, e.name));
        });
        if (isTarget) continue;
        std::optional<int> width = columnCountOf(e.sql);
        if (e.type == "copy" && !width) continue;  // an index or view statement
        ClaimVisitor claim;
        if (e.rootPage < 1 || e.rootPage > m.pages) claim.damaged = true;  // no tree known: it may own orphans
        else if (!m.visited.test(e.rootPage)) m.walk(e.rootPage, claim);
        if (width) candidates.push_back({*width, claim.damaged, targets.size()});
    }

    // Orphan leaves: all records on one leaf belong to one table, so the page
    // goes to one target, chosen by its longest record.
    size_t copyTarget = targets.size();
    for (size_t t = 0; t < targets.size(); ++t)
        if (equalsNoCase(targets[t].name, "velmora_schema")) {
            copyTarget = t;
            break;
        }
    std::vector<Row> rows;
    m.scanUnreached([&](const PageView& v) {
        rows.clear();
        for (uint32_t i = 0; i < v.ncells; ++i) {
            LeafCell c;
            Row row;
            if (!parseLeafCell(v, i, c) || !m.readRow(c, row)) {
                ++stats_.rowsUnreadable;
                continue;
            }
            rows.push_back(std::move(row));
        }
        if (rows.empty()) return;
        bool master = std::all_of(rows.begin(), rows.end(), [](const Row& r) { return looksLikeMasterRow(r.values); });
        if (master) return;
        bool copies = std::all_of(rows.begin(), rows.end(), [](const Row& r) { return looksLikeCopyRow(r.values); });
        size_t chosen = targets.size();
        if (copies) {
            chosen = copyTarget;
        } else {
            size_t cols = 0;
            for (const Row& r : rows) cols = std::max(cols, r.values.size());
            // Damaged trees first (an orphan comes from a damaged tree), then
            // the closest fit (short records come from columns added later),
            // then tables of unknown width, then the earliest target.
            auto key = [&](const Candidate& c) {
                uint64_t gap = c.columnCount > 0 ? uint64_t(c.columnCount) - cols : std::numeric_limits<uint64_t>::max();
                return std::make_tuple(c.damaged ? 0 : 1, gap, c.target == targets.size() ? 1 : 0, c.target);
            };
            const Candidate* best = nullptr;
            for (const Candidate& c : candidates) {
                if (c.columnCount > 0 && size_t(c.columnCount) < cols) continue;
                if (!best || key(c) < key(*best)) best = &c;
            }
            if (best) chosen = best->target;
        }
        if (chosen >= targets.size()) return;
        ++stats_.orphanLeafPages;
        std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.rowid < b.rowid; });
        Coverage& cover = state[chosen].cover;
        bool have = false;
        int64_t lo = 0, hi = 0, last = 0;
        for (const Row& r : rows) {
            if ((have && r.rowid == last) || cover.contains(r.rowid)) continue;
            if (!have) lo = r.rowid;
            hi = last = r.rowid;
            have = true;
            ++stats_.rowsFromOrphans;
            sink(chosen, r);
        }
        if (have) cover.closed.add(lo, hi);
    });
}

}  // namespace platform::salvage
