// velmora-store run as a program against a temporary drive map, and the
// customer-file column table it builds on.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "accounts/customer_columns.h"
#include "platform/dates.h"
#include "platform/drives.h"
#include "platform/engine/engine.h"

namespace fs = std::filesystem;
using platform::ColumnType;
using platform::Value;

namespace {

const std::vector<std::string> kTwelve = {"cusfile.mdb", "detail.mdb",  "comment.mdb",   "stock.mdb",
                                          "trans.mdb",   "invoice.mdb", "insurance.mdb", "mail1.mdb",
                                          "mail2.mdb",   "mail3.mdb",   "mail4.mdb",     "mail5.mdb"};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct Result {
    int status = -1;
    std::string out, err;
};

class StoreTool : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "velmora-store-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        root_ = tmpl;
        m_ = root_ / "M";
        fs::create_directories(root_ / "G");
        fs::create_directories(root_ / "config");
        // The tool reads its drive map from the environment it inherits.
        setenv("VELMORA_DRIVE_M", m_.c_str(), 1);
        setenv("VELMORA_DRIVE_G", (root_ / "G").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    }
    void TearDown() override {
        engine_.reset();
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    Result run(const std::vector<std::string>& args) {
        std::string cmd = quote(std::string(VELMORA_BIN_DIR) + "/velmora-store");
        for (auto& a : args) cmd += " " + quote(a);
        cmd += " >" + quote((root_ / "out").string()) + " 2>" + quote((root_ / "err").string());
        int rc = std::system(cmd.c_str());
        Result r;
        r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
        r.out = slurp(root_ / "out");
        r.err = slurp(root_ / "err");
        return r;
    }

    platform::Engine& engine(const fs::path& dir) {
        drives_ = platform::DriveMap();
        drives_.set('M', dir);
        engine_ = platform::makeSqliteEngine(drives_, locale_);
        return *engine_;
    }

    // The line of `check` output about one file.
    static std::string lineOf(const std::string& out, const std::string& file) {
        std::istringstream in(out);
        std::string line;
        while (std::getline(in, line))
            if (line.rfind(file + " ", 0) == 0) return line;
        return "";
    }

    fs::path root_, m_;
    platform::DriveMap drives_;
    platform::Locale locale_{"MM/dd/yyyy"};
    std::unique_ptr<platform::Engine> engine_;
};

TEST_F(StoreTool, CreateThenCheckReportsTwelveSoundDatabases) {
    Result c = run({"create"});  // the directory of drive M, created on the way
    ASSERT_EQ(c.status, 0) << c.err;
    Result k = run({"check"});
    EXPECT_EQ(k.status, 0) << k.out << k.err;
    for (const auto& f : kTwelve) {
        std::string line = lineOf(k.out, f);
        EXPECT_NE(line.find("Table1 0 rows"), std::string::npos) << line;
        EXPECT_NE(line.find("sound"), std::string::npos) << line;
    }
    // The indexes the tools select by name exist.
    auto& e = engine(m_);
    std::vector<std::pair<std::string, std::string>> indexes = {
        {"cusfile.mdb", "CONTRACT"}, {"cusfile.mdb", "NAME"}, {"detail.mdb", "PDDATE"}, {"insurance.mdb", "dateinsured"}};
    for (auto& [file, index] : indexes) {
        auto db = e.open("M:\\" + file);
        auto rs = db->openTable("table1");
        EXPECT_NO_THROW(rs->setIndex(index)) << file << " " << index;
    }
}

TEST_F(StoreTool, CreateRefusesAnExistingStoreAndTouchesNothing) {
    // A whole store holding an account.
    ASSERT_EQ(run({"create"}).status, 0);
    {
        auto db = engine(m_).open("M:\\cusfile.mdb");
        auto rs = db->openTable("Table1");
        rs->addNew();
        rs->setField("contract", "12345");
        rs->update();
        engine_.reset();
    }
    std::string before = slurp(m_ / "cusfile.mdb");
    Result again = run({"create"});
    EXPECT_NE(again.status, 0);
    EXPECT_NE(again.err.find("cusfile.mdb"), std::string::npos) << again.err;
    EXPECT_EQ(slurp(m_ / "cusfile.mdb"), before);

    // A directory holding only one of the twelve under another case, or the
    // journal a lost database left behind.
    for (std::string leftover : {"MAIL3.MDB", "detail.mdb-journal"}) {
        fs::path other = root_ / ("other-" + leftover);
        fs::create_directories(other);
        std::ofstream(other / leftover) << "whatever the store had here";
        Result one = run({"create", other.string()});
        EXPECT_NE(one.status, 0);
        EXPECT_NE(one.err.find(leftover), std::string::npos) << one.err;
        std::vector<std::string> left;
        for (auto& entry : fs::directory_iterator(other)) left.push_back(entry.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{leftover});
        EXPECT_EQ(slurp(other / leftover), "whatever the store had here");
    }
}

TEST_F(StoreTool, BeforeCreditBureauLacksExactlyTheEightColumns) {
    ASSERT_EQ(run({"create", (root_ / "new").string()}).status, 0);
    ASSERT_EQ(run({"create", (root_ / "old").string(), "--before-credit-bureau"}).status, 0);
    auto columns = [&](const fs::path& dir) {
        std::map<std::string, platform::ColumnDef> m;
        auto db = engine(dir).open("M:\\cusfile.mdb");
        for (auto& c : db->tableDefinition("Table1").columns) m[c.name] = c;
        db.reset();
        engine_.reset();
        return m;
    };
    auto now = columns(root_ / "new"), old = columns(root_ / "old");
    std::map<std::string, std::pair<ColumnType, int>> added;
    for (auto& [name, c] : now)
        if (!old.count(name)) added[name] = {c.type, c.type == ColumnType::Text ? c.size : 0};
    for (auto& [name, c] : old) EXPECT_TRUE(now.count(name)) << name;
    // As the upgrade declares them.
    std::map<std::string, std::pair<ColumnType, int>> expected = {
        {"CBIDateofInfo", {ColumnType::Text, 10}},        {"CBIDateof1stDel", {ColumnType::Text, 10}},
        {"CBIECOACode", {ColumnType::Text, 1}},           {"CBIComplianceCondition", {ColumnType::Text, 2}},
        {"CBIOrigChargeOffAmount", {ColumnType::Currency, 0}}, {"CBIPayHistoryProfile", {ColumnType::Text, 24}},
        {"CBIGenerationCode", {ColumnType::Text, 1}},     {"CBIConsumerInfoCode", {ColumnType::Text, 2}}};
    EXPECT_EQ(added, expected);
    EXPECT_EQ(old.size(), 122u);  // columns 1..114, 123..129 and CURRENCYSPARE1
}

TEST_F(StoreTool, DemoLoadsBackWithTheRightTypesAndTheListedFaults) {
    Result d = run({"demo", "--accounts", "12"});
    ASSERT_EQ(d.status, 0) << d.err;
    auto& e = engine(m_);

    auto cusfile = e.open("M:\\cusfile.mdb");
    auto rs = cusfile->openTable("Table1");
    std::map<std::string, std::map<std::string, Value>> byAccount;
    for (rs->moveFirst(); !rs->eof(); rs->moveNext()) {
        std::map<std::string, Value> row;
        for (const auto& c : accounts::customerColumns()) {
            Value v = rs->field(c.name);
            switch (c.type) {
                case ColumnType::Text:
                case ColumnType::Memo:
                    EXPECT_TRUE(v.isNull() || v.isText()) << c.name;
                    break;
                case ColumnType::Currency: EXPECT_EQ(v.kind(), Value::Kind::Money) << c.name; break;
                case ColumnType::Double:
                case ColumnType::Single: EXPECT_EQ(v.kind(), Value::Kind::Double) << c.name; break;
                case ColumnType::Integer: EXPECT_EQ(v.kind(), Value::Kind::Integer) << c.name; break;
                default: ADD_FAILURE() << c.name;
            }
            row[std::string(c.name)] = v;
        }
        byAccount[row["contract"].text()] = row;
    }
    ASSERT_EQ(byAccount.size(), 12u);

    // The faults the help lists, and nothing else wrong in the sound accounts.
    EXPECT_TRUE(byAccount["10000"]["lastname"].isNull());
    EXPECT_EQ(byAccount["10001"]["pchdate"], Value("13/45/2005"));
    EXPECT_EQ(byAccount["10002"]["prompaydate"], Value("2/30/2005 x"));
    EXPECT_EQ(byAccount["10003"]["origduedate"], Value(""));
    EXPECT_EQ(byAccount["10004"]["lastname"], Value(" SMITH"));
    EXPECT_TRUE(byAccount.count("ab10005"));
    for (int i = 6; i < 12; ++i) {
        auto& row = byAccount[std::to_string(10000 + i)];
        for (const char* date : {"pchdate", "origduedate", "DoB"}) {
            ASSERT_TRUE(row[date].isText()) << i << date;
            EXPECT_TRUE(locale_.recognise(row[date].text())) << i << date;
            EXPECT_EQ(row[date].text().size(), 10u) << i << date;
        }
        EXPECT_NE(row["lastname"].text().front(), ' ');
        EXPECT_EQ(row["tmon2"], Value(1.0));
    }
    rs->setIndex("NAME");
    EXPECT_EQ(rs->field("contract"), Value("10000"));  // the scan passes over the first row only

    // Nine insurance types, several rows each, all in the current month.
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    std::map<int64_t, int> perType;
    auto insurance = e.open("M:\\insurance.mdb");
    auto ins = insurance->openTable("Table1");
    for (ins->moveFirst(); !ins->eof(); ins->moveNext()) {
        ++perType[ins->field("insurancetype").integer()];
        auto d = locale_.recognise(ins->field("dateinsured").text());
        ASSERT_TRUE(d);
        EXPECT_EQ(d->month, tm.tm_mon + 1);
        EXPECT_EQ(d->year, tm.tm_year + 1900);
    }
    EXPECT_EQ(perType.size(), 9u);
    for (auto& [type, n] : perType) EXPECT_GE(n, 2) << type;
    auto rows = [&](const std::string& file) {
        auto db = e.open("M:\\" + file);  // a record set lives only as long as its database
        return db->openTable("Table1")->recordCount();
    };
    EXPECT_GT(rows("detail.mdb"), 0);
    for (int i = 1; i <= 5; ++i) EXPECT_GT(rows("mail" + std::to_string(i) + ".mdb"), 0) << i;
}

TEST_F(StoreTool, CheckReportsMissingForeignAndUnreadableDatabasesAsDamaged) {
    ASSERT_EQ(run({"demo", m_.string(), "--accounts", "6"}).status, 0);
    ASSERT_EQ(run({"check", m_.string()}).status, 0);
    fs::remove(m_ / "stock.mdb");
    std::ofstream(m_ / "trans.mdb", std::ios::trunc) << "not a database at all\r\n";
    fs::resize_file(m_ / "cusfile.mdb", fs::file_size(m_ / "cusfile.mdb") / 2);
    Result k = run({"check", m_.string()});
    EXPECT_NE(k.status, 0);
    for (const auto& f : kTwelve) {
        std::string line = lineOf(k.out, f);
        bool hurt = f == "stock.mdb" || f == "trans.mdb" || f == "cusfile.mdb";
        EXPECT_NE(line.find(hurt ? "damaged" : "sound"), std::string::npos) << line;
    }
    EXPECT_NE(lineOf(k.out, "stock.mdb").find("missing"), std::string::npos);
}

TEST_F(StoreTool, UsageErrorsAndHelp) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;  // in the output or the error output
    };
    const Case cases[] = {
        {{}, 2, "Usage"},
        {{"frobnicate"}, 2, "unknown command"},
        {{"create", "--bogus"}, 2, "unknown option '--bogus'"},
        {{"check", "--before-credit-bureau"}, 2, "unknown option"},
        {{"demo", "--accounts", "5"}, 2, "--accounts"},
        {{"demo", "--accounts", "12x"}, 2, "--accounts"},
        {{"create", "a", "b"}, 2, "only one directory"},
        {{"--help"}, 0, "check [DIR]"},
        {{"demo", "--help"}, 0, "ab10005"},
    };
    for (const auto& c : cases) {
        Result r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.says;
        EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
    }
    EXPECT_FALSE(fs::exists(m_));  // nothing was made along the way
}

// The column table against the facts stated about the columns apart from
// the table itself.
TEST(CustomerColumns, RulesAgreeWithTheFileDescription) {
    const auto& cols = accounts::customerColumns();
    ASSERT_EQ(cols.size(), 130u);
    for (int i = 0; i < 129; ++i) EXPECT_EQ(cols[i].number, i + 1);
    EXPECT_EQ(cols.back().name, "CURRENCYSPARE1");
    EXPECT_EQ(cols.back().load, accounts::LoadRule::NotRead);

    std::set<int> value, zero, bureau, late, filled;
    for (const auto& c : cols) {
        if (c.load == accounts::LoadRule::Value) value.insert(c.number);
        if (c.load == accounts::LoadRule::Zero) zero.insert(c.number);
        if (c.creditBureau) bureau.insert(c.number);
        if (c.lateCharge) late.insert(c.number);
        if (c.fill != accounts::FillRule::None) filled.insert(c.number);
    }
    // Columns whose missing value ends the load.
    std::set<int> expectValue = {1, 19, 20, 21, 24, 25, 26, 27, 28, 31, 39, 40, 43, 44, 48, 100, 119};
    for (int n = 65; n <= 84; ++n) expectValue.insert(n);
    for (int n = 125; n <= 129; ++n) expectValue.insert(n);
    EXPECT_EQ(value, expectValue);
    EXPECT_EQ(zero, (std::set<int>{106, 123, 124}));
    EXPECT_EQ(bureau, (std::set<int>{115, 116, 117, 118, 119, 120, 121, 122}));
    EXPECT_EQ(late, (std::set<int>{125, 126, 127, 128, 129}));
    EXPECT_EQ(filled, (std::set<int>{110, 115, 116, 117, 118, 120, 121, 122}));

    auto order = accounts::customerColumnsInLoadOrder();
    ASSERT_EQ(order.size(), cols.size());
    auto at = [&](int n) {
        return std::find_if(order.begin(), order.end(), [&](auto* c) { return c->number == n; }) - order.begin();
    };
    EXPECT_EQ(at(98), at(101) + 1);
    EXPECT_EQ(at(99), at(97) + 1);

    // Both generation-code columns belong to one member; only the bureau one is read.
    auto* gen = accounts::findCustomerColumn("GENERATIONCODE");
    auto* cbiGen = accounts::findCustomerColumn("cbigenerationcode");
    ASSERT_TRUE(gen && cbiGen);
    EXPECT_EQ(gen->load, accounts::LoadRule::NotRead);
    EXPECT_EQ(gen->storeWidth, 1);
    EXPECT_EQ(cbiGen->member, "generationcode");
    EXPECT_EQ(cbiGen->storeWidth, 0);
}

}  // namespace
