#include "tools/store/store.h"

#include "platform/files.h"

#include <system_error>

#include "accounts/customer_columns.h"
#include "platform/codepage.h"
#include "platform/failure.h"

namespace fs = std::filesystem;
using platform::ColumnDef;
using platform::ColumnType;
using platform::IndexDef;
using platform::TableDef;

namespace storetool {

namespace {

ColumnDef text(const char* name, int size) { return {name, ColumnType::Text, size, {}}; }
ColumnDef typed(const char* name, ColumnType t) { return {name, t, 0, {}}; }

TableDef table(std::vector<ColumnDef> cols, std::vector<IndexDef> indexes = {}) {
    TableDef t;
    t.name = "Table1";
    t.columns = std::move(cols);
    t.indexes = std::move(indexes);
    return t;
}

// Payment history. The raw editor shows posteddate twice (once as "Posted
// Date (MM/DD/YYYY)", once as "Posted Date"); it is one column.
TableDef detailTable() {
    return table({typed("posteddate", ColumnType::DateTime), text("AccountNumber", 15), text("Receipt", 15),
                  typed("pddate", ColumnType::DateTime), typed("Ampaid", ColumnType::Currency),
                  typed("Amdue", ColumnType::Currency), typed("Amlate", ColumnType::Currency),
                  typed("Ambal", ColumnType::Currency), text("Operator", 15),
                  typed("PriorBalance", ColumnType::Currency), text("Spare1", 50), text("Spare2", 50)},
                 {{"PDDATE", {"pddate"}, false}});
}

// Names are as wide as the customer file's widest name columns.
TableDef insuranceTable() {
    return table({text("accountnumber", 15), text("lastname", 50), text("firstmiddle", 50), text("colastname", 50),
                  text("cofirstmiddle", 50), typed("insurancetype", ColumnType::Integer),
                  typed("amount", ColumnType::Currency), typed("dateinsured", ColumnType::DateTime),
                  text("Description", 50)},
                 {{"dateinsured", {"dateinsured"}, false}});
}

// Each column holds at least what the editor's box can take, even where the
// editor cuts it shorter on store.
TableDef mailTable() {
    return table({typed("sequencenumber", ColumnType::Counter), text("lastname", 35), text("firstmiddle", 40),
                  text("PostName", 5), text("Title", 4), text("addressone", 35), text("addresstwo", 35),
                  text("city", 25), text("state", 2), text("zipcode", 10), text("rating1", 5), text("rating2", 5),
                  text("rating3", 25), text("accountno", 10)});
}

// The next four belong to the store system's other programs; this program
// only repairs them. Their tables are kept small and plausible.
TableDef commentTable() {
    return table({text("AccountNumber", 15), typed("CommentDate", ColumnType::DateTime),
                  typed("Comment", ColumnType::Memo)},
                 {{"AccountNumber", {"AccountNumber", "CommentDate"}, false}});
}
TableDef stockTable() {
    return table({text("Sku", 20), text("Description", 50), typed("OnHand", ColumnType::Long),
                  typed("Cost", ColumnType::Currency), typed("Price", ColumnType::Currency)},
                 {{"Sku", {"Sku"}, true}});
}
TableDef transTable() {
    return table({text("Sku", 20), typed("TransDate", ColumnType::DateTime), typed("Quantity", ColumnType::Long),
                  text("TransType", 2)},
                 {{"TransDate", {"TransDate"}, false}});
}
TableDef invoiceTable() {
    return table({text("InvoiceNumber", 15), text("AccountNumber", 15), typed("InvoiceDate", ColumnType::DateTime),
                  typed("Amount", ColumnType::Currency)},
                 {{"InvoiceNumber", {"InvoiceNumber"}, true}});
}

}  // namespace

std::vector<DatabaseDef> storeDatabases(bool withCreditBureauColumns) {
    std::vector<DatabaseDef> dbs;
    dbs.push_back({std::string(accounts::kCustomerFile), accounts::customerTableDef(withCreditBureauColumns)});
    dbs.push_back({"detail.mdb", detailTable()});
    dbs.push_back({"comment.mdb", commentTable()});
    dbs.push_back({"stock.mdb", stockTable()});
    dbs.push_back({"trans.mdb", transTable()});
    dbs.push_back({"invoice.mdb", invoiceTable()});
    dbs.push_back({"insurance.mdb", insuranceTable()});
    for (int i = 1; i <= 5; ++i) dbs.push_back({"mail" + std::to_string(i) + ".mdb", mailTable()});
    return dbs;
}

std::vector<std::string> storeFileNames() {
    std::vector<std::string> names;
    for (auto& d : storeDatabases(true)) names.push_back(d.file);
    return names;
}

Store::Store(const fs::path& dir)
    : dir_(fs::absolute(dir)), drives_(platform::DriveMap::fromEnvironment()), locale_("MM/dd/yyyy") {
    drives_.set('M', dir_);
    engine_ = platform::makeSqliteEngine(drives_, locale_);
}

Store::~Store() {
    if (engine_) engine_->closeAll();
}

std::string Store::programPath(std::string_view file) { return "M:\\" + std::string(file); }

fs::path defaultDataDirectory() {
    auto root = platform::DriveMap::fromEnvironment().root('M');
    if (!root) throw StoreError("no directory is mapped to drive M");
    return *root;
}

void createStore(Store& store, bool withCreditBureauColumns) {
    std::error_code ec;
    if (fs::exists(store.dir(), ec) && !fs::is_directory(store.dir(), ec))
        throw StoreError(store.dir().string() + " exists and is not a directory");
    if (!fs::exists(store.dir(), ec)) {
        fs::create_directories(store.dir(), ec);
        if (ec) throw StoreError("cannot create " + store.dir().string() + ": " + ec.message());
    }
    auto dbs = storeDatabases(withCreditBureauColumns);
    std::string present;
    // A journal left without its database is what remains of a lost file, and
    // SQLite deletes it when a new file of that name is made: it counts too.
    for (auto& d : dbs)
        for (const std::string& name : {d.file, d.file + "-journal"})
            if (store.drives().exists(Store::programPath(name)))
                present += (present.empty() ? "" : ", ") +
                           store.drives().resolve(Store::programPath(name)).filename().string();
    if (!present.empty())
        throw StoreError("refusing to create a store in " + store.dir().string() + ": it already holds " + present +
                         "; nothing was changed");

    std::vector<fs::path> made;
    try {
        for (auto& d : dbs) {
            std::string path = Store::programPath(d.file);
            auto db = store.engine().create(path);
            made.push_back(store.drives().resolve(path));
            db->createTable(d.table);
            db->close();
        }
    } catch (...) {
        // Only files this run made are removed; anything else stays.
        store.engine().closeAll();
        for (auto& p : made) {
            fs::remove(p, ec);
            fs::remove(p.string() + "-journal", ec);
        }
        throw;
    }
}

void removeStoreFiles(Store& store) {
    store.engine().closeAll();
    std::error_code ec;
    for (auto& name : storeFileNames()) {
        fs::path p = store.drives().resolve(Store::programPath(name));
        fs::remove(p, ec);
        fs::remove(p.string() + "-journal", ec);
    }
}

std::vector<CheckLine> checkStore(Store& store) {
    std::vector<CheckLine> lines;
    for (auto& name : storeFileNames()) {
        CheckLine line;
        line.file = name;
        std::string path = Store::programPath(name);
        try {
            if (!store.drives().exists(path)) {
                line.problem = "missing";
                lines.push_back(line);
                continue;
            }
            auto db = store.engine().open(path);
            bool hasTable1 = false;
            for (auto& t : db->tableNames()) {
                hasTable1 = hasTable1 || platform::equalsNoCase(t, "Table1");
                auto rs = db->openTable(t);
                const auto& def = rs->definition();
                TableCount count{t, 0};
                rs->moveFirst();
                while (!rs->eof()) {
                    for (const auto& c : def.columns) (void)rs->field(c.name);
                    ++count.rows;
                    rs->moveNext();
                }
                rs->close();
                line.tables.push_back(count);
            }
            db->close();
            if (!hasTable1) line.problem = "it has no table Table1";
            else line.sound = true;
        } catch (const std::exception& e) {
            line.problem = e.what();
        }
        lines.push_back(line);
    }
    store.engine().closeAll();
    return lines;
}

std::vector<CheckLine> checkSettings(Store& store) {
    // Each settings file must hold all its fields; the check reads only, so
    // it never restores or rewrites anything.
    struct File {
        const char* path;
        int fields;
    };
    const File files[] = {{"M:\\WSPEC.DAT", 36}, {"M:\\WExtraData.Dat", 105}, {"M:\\WSpec.old", 36},
                          {"M:\\Wextradata.old", 105}, {"G:LocalSPEC.DAT", 13}};
    platform::FileChannels channels(store.drives());
    std::vector<CheckLine> lines;
    for (const auto& f : files) {
        CheckLine line;
        line.file = platform::DriveMap::parse(f.path).name;
        try {
            if (!channels.exists(f.path)) {
                line.problem = "missing";
            } else {
                auto in = channels.openInput(f.path);
                for (int i = 0; i < f.fields; ++i) f.fields == 13 ? (void)in->readLine() : (void)in->readField();
                in->close();
                line.sound = true;
            }
        } catch (const std::exception& e) {
            line.problem = e.what();
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace storetool
