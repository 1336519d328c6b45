// The account record's load and store against a real customer file.
#include "accounts_fixture.h"

#include <set>

#include "platform/engine/engine.h"
#include "platform/numbers.h"

using namespace accounts;
using namespace accounts_test;
using platform::Money;

namespace {

class RecordTest : public AccountsFixture {};

// A sound value for every column, different from its neighbours', as the
// row of an account that every tool has filled in.
Fields everyColumn(const std::string& contract) {
    Fields f;
    for (const auto& c : customerColumns()) {
        std::string name(c.name);
        Value v;
        int day = c.number % 28 + 1;
        switch (c.type) {
            case platform::ColumnType::Double: v = Value(c.number * 1.5); break;
            case platform::ColumnType::Currency: v = Value(Money::fromTenThousandths(c.number * 12345 + 1)); break;
            case platform::ColumnType::Single: v = Value(c.number + 0.25); break;
            case platform::ColumnType::Integer: v = Value(c.number); break;
            default:
                if (name == "contract") v = Value(contract);
                else if (c.has(DateText)) v = Value(std::string("03/") + (day < 10 ? "0" : "") + std::to_string(day) + "/2005");
                else if (name == "generationcode" || name == "CBIGenerationCode") v = Value("S");
                else if (name == "CBIECOACode") v = Value("2");
                else v = Value(name.substr(0, static_cast<size_t>(c.storeWidth > 0 ? c.storeWidth : c.size > 0 ? c.size : 255)));
        }
        f.emplace_back(name, v);
    }
    return f;
}

Money columnAmount(int number) { return Money::fromTenThousandths(number * 12345 + 1); }

TEST_F(RecordTest, EveryColumnHasAMemberOfItsType) {
    std::set<std::string> seen;
    for (const auto& c : customerColumns()) {
        if (c.has(NotInRecord)) continue;
        const MemberInfo* m = findAccountMember(c.member);
        ASSERT_NE(nullptr, m) << c.name;
        EXPECT_EQ(c.memberType, m->type) << c.name;
        seen.insert(std::string(c.member));
    }
    // 129 columns, one member for the two generation-code columns.
    EXPECT_EQ(128u, seen.size());
    for (const char* extra : {"fcst", "rebatefc", "hadlatecharge", "cosignerdob", "secondbene", "payout"})
        EXPECT_NE(nullptr, findAccountMember(extra)) << extra;
    EXPECT_EQ(134u, accountMembers().size());
}

// Load then store gives every column of a sound row back unchanged, so every
// member is read from and written to its own column.
TEST_F(RecordTest, SoundRowComesBackUnchanged) {
    Fields row = everyColumn("RT1");
    addRow(row);
    LoadReport report = seekAndLoad("RT1");
    EXPECT_TRUE(report.withoutValue.empty());
    EXPECT_EQ(platform::moneyText(columnAmount(21)), shared("account.curbal"));
    EXPECT_EQ("128.25", shared("account.lastlatechargemonth"));
    storeAndUpdate();
    for (const auto& [name, v] : row) EXPECT_EQ(v.toText(), column("RT1", name)) << name;
}

struct LoadStoreCase {
    const char* what;
    Fields row;                   // columns that differ from a sound row
    const char* member;
    const char* loaded;           // the member after the load
    Fields written;               // columns after the store
    const char* afterStore;       // the member after the store
    std::vector<std::string> withoutValue;
};

TEST_F(RecordTest, LoadAndStoreRules) {
    const std::string bees(24, 'B');
    const std::vector<LoadStoreCase> cases = {
        {"last name without a value", {{"lastname", Value()}}, "lastname", "", {{"lastname", ""}}, "", {}},
        {"empty date of birth", {{"DoB", ""}}, "DoB", "01/01/1900", {{"DoB", "01/01/1900"}}, "01/01/1900", {}},
        {"purchase date 1/2/2005", {{"pchdate", "1/2/2005"}}, "pchdate", "01/02/2005", {{"pchdate", "01/02/2005"}},
         "01/02/2005", {}},
        {"empty purchase date", {{"pchdate", ""}}, "pchdate", "", {{"pchdate", "01/01/1900"}}, "01/01/1900", {}},
        {"first due date without a value", {{"origduedate", Value()}}, "origduedate", "",
         {{"origduedate", "01/01/1900"}}, "01/01/1900", {}},
        {"promised date 13/45/2005", {{"prompaydate", "13/45/2005"}}, "prompaydate", "13/45/2005",
         {{"prompaydate", "01/01/1900"}}, "01/01/1900", {}},
        {"promised date without a value", {{"prompaydate", Value()}}, "prompaydate", "01/01/1900",
         {{"prompaydate", "01/01/1900"}}, "01/01/1900", {}},
        {"ECOA code of one space", {{"CBIECOACode", " "}}, "CBIECOACode", "1", {{"CBIECOACode", "1"}}, "1", {}},
        {"empty ECOA code", {{"CBIECOACode", ""}}, "CBIECOACode", "1", {{"CBIECOACode", "1"}}, "1", {}},
        {"empty payment history", {{"CBIPayHistoryProfile", ""}}, "CBIPayHistoryProfile", bees.c_str(),
         {{"CBIPayHistoryProfile", Value(bees)}}, bees.c_str(), {}},
        {"first delinquency not a date", {{"CBIDateof1stDel", "02/30/2005"}}, "CBIDateof1stDel", "01/01/1900",
         {{"CBIDateof1stDel", "01/01/1900"}}, "01/01/1900", {}},
        {"date of information without a value", {{"CBIDateofInfo", Value()}}, "CBIDateofInfo", "01/01/1900",
         {{"CBIDateofInfo", "01/01/1900"}}, "01/01/1900", {}},
        {"empty compliance condition", {{"CBIComplianceCondition", Value()}}, "CBIComplianceCondition", "  ",
         {{"CBIComplianceCondition", "  "}}, "  ", {}},
        {"empty consumer information", {{"CBIConsumerInfoCode", ""}}, "CBIConsumerInfoCode", "  ",
         {{"CBIConsumerInfoCode", "  "}}, "  ", {}},
        {"empty date closed", {{"dateclosed", ""}}, "dateclosed", "01/01/1900", {{"dateclosed", "01/01/1900"}},
         "01/01/1900", {}},
        {"generation code only in the old column", {{"generationcode", "J"}, {"CBIGenerationCode", Value()}},
         "generationcode", " ", {{"generationcode", " "}, {"CBIGenerationCode", " "}}, " ", {}},
        {"highest credit without a value", {{"highcredit", Value()}}, "highcredit", "0", {{"highcredit", "0"}}, "0",
         {}},
        {"current balance without a value", {{"curbal", Value()}}, "curbal", "0", {{"curbal", "0"}}, "0",
         {"curbal"}},
        {"late charge month without a value", {{"lastlatechargemonth", Value()}}, "lastlatechargemonth", "0",
         {{"lastlatechargemonth", "0"}}, "0", {"lastlatechargemonth"}},
        {"stringspare2 without a value", {{"stringspare2", Value()}}, "stringspare2", "N", {{"stringspare2", "N"}},
         "N", {}},
        {"special comment code without a value", {{"stringspare4", Value()}}, "stringspare4", "",
         {{"stringspare4", ""}}, "", {}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string contract = "LS" + std::to_string(++n);
        Fields row = everyColumn(contract);
        for (const auto& [name, v] : c.row)
            for (auto& [rn, rv] : row)
                if (rn == name) rv = v;
        addRow(row);
        LoadReport report = seekAndLoad(contract);
        EXPECT_EQ(c.loaded, shared(std::string("account.") + c.member));
        EXPECT_EQ(c.withoutValue, report.withoutValue);
        storeAndUpdate();
        EXPECT_EQ(c.afterStore, shared(std::string("account.") + c.member));
        for (const auto& [name, v] : c.written) EXPECT_EQ(v.toText(), column(contract, name)) << name;
    }
}

struct RecordStoreCase {
    const char* what;
    const char* member;
    std::string value;      // put into the record after the load
    const char* column;
    std::string written;    // the column after the store
    std::string afterStore; // the member after the store
};

TEST_F(RecordTest, StoreWidthsAndUpperCase) {
    const std::vector<RecordStoreCase> cases = {
        {"account number in lower case", "contract", "ab123", "contract", "AB123", "AB123"},
        {"account number of 12 characters", "contract", "abcdefghijkl", "contract", "ABCDEFGHIJ", "ABCDEFGHIJKL"},
        {"last name of 25 characters", "lastname", "ABCDEFGHIJKLMNOPQRSTUVWXY", "lastname", "ABCDEFGHIJKLMNOPQRST",
         "ABCDEFGHIJKLMNOPQRSTUVWXY"},
        {"state cut to two", "state", "TNX", "state", "TN", "TNX"},
        {"accented letters count as one", "city", "Mérida Ñandú Großstadt", "city", "Mérida Ñandú Großsta",
         "Mérida Ñandú Großstadt"},
        {"home owned uncut", "homeowned", std::string(60, 'y'), "homeowned", std::string(60, 'y'),
         std::string(60, 'y')},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string contract = "WS" + std::to_string(++n);
        addRow(everyColumn(contract));
        seekAndLoad(contract);
        record().*std::get<TextMember AccountRecord::*>(findAccountMember(c.member)->pointer) = c.value;
        storeAndUpdate();
        std::string key = std::string(c.column) == "contract" ? c.written : contract;
        EXPECT_EQ(c.written, column(key, c.column));
        EXPECT_EQ(c.afterStore, shared(std::string("account.") + c.member));
    }
}

TEST_F(RecordTest, UpperCaseKeepsEveryLetter) {
    EXPECT_EQ("JOSÉ MÜLLER-ÇAĞLAR", upperCase("josé müller-çağlar"));
    EXPECT_EQ("STRAßE", upperCase("straße"));  // no single upper-case letter: unchanged length
}

// A credit-bureau member longer than its column is refused: the change of the
// row is cancelled, so no column of it is written, and the caller learns which.
TEST_F(RecordTest, RefusedStoreLeavesTheRowUntouched) {
    int n = 0;
    for (const char* member : {"CBIECOACode", "generationcode", "CBIPayHistoryProfile"}) {
        SCOPED_TRACE(member);
        std::string contract = "RF" + std::to_string(++n);
        addRow(everyColumn(contract));
        seekAndLoad(contract);
        record().lastname = "CHANGED";
        record().curbal = Money::fromWhole(999);
        record().*std::get<TextMember AccountRecord::*>(findAccountMember(member)->pointer) = std::string(25, 'X');
        std::string expectedColumn = std::string(member) == "generationcode" ? "CBIGenerationCode" : member;
        try {
            StoreAccountRecord(p());
            ADD_FAILURE() << "the store was not refused";
        } catch (const ColumnFailure& f) {
            EXPECT_EQ(expectedColumn, f.column());
            EXPECT_EQ(3163, f.number());
            EXPECT_NE(std::string::npos, f.description().find(expectedColumn));
        }
        EXPECT_EQ(platform::EditMode::None, customerTable(p()).editMode());
        EXPECT_EQ("lastname", column(contract, "lastname"));
        EXPECT_EQ(platform::moneyText(columnAmount(21)), column(contract, "curbal"));
        // The row is free again for another editor.
        auto other = platform::makeSqliteEngine(drives_, p().workstation().locale());
        auto rs = other->open("M:\\cusfile.mdb")->openTable("Table1");
        rs->setIndex("contract");
        rs->seek(platform::SeekOp::Equal, {Value(contract)});
        EXPECT_NO_THROW(rs->edit());
        rs->cancelUpdate();
    }
}

// Amounts without a value are read as 0, so nothing of the account loaded
// before stays in the record, and the load names every such column.
TEST_F(RecordTest, ColumnsWithoutValueReadAsZeroAndAreReported) {
    addRow(everyColumn("FULL"));
    Fields empty = everyColumn("EMPTY");
    std::vector<std::string> valueRule;
    for (const CustomerColumn* c : customerColumnsInLoadOrder())
        if (c->load == LoadRule::Value && std::string(c->name) != "contract") valueRule.emplace_back(c->name);
    for (auto& [name, v] : empty)
        for (const auto& n : valueRule)
            if (n == name) v = Value();
    addRow(empty);
    seekAndLoad("FULL");
    customerTable(p()).cancelUpdate();
    LoadReport report = seekAndLoad("EMPTY");
    EXPECT_EQ(valueRule, report.withoutValue);
    EXPECT_EQ(41u, valueRule.size());
    for (const auto& n : valueRule) EXPECT_EQ("0", shared("account." + n)) << n;
    EXPECT_EQ("lastname", shared("account.lastname"));  // columns after them still loaded
    EXPECT_EQ("totalamountsforlatecharge", std::string(valueRule.back()));
}

TEST_F(RecordTest, AccountNumberWithoutValueReadsEmpty) {
    Fields row = everyColumn("X");
    row[0].second = Value();
    addRow(row);
    OpenCustomerFile(p());
    customerTable(p()).moveFirst();
    record().contract = "PREVIOUS";
    LoadReport report = LoadAccountRecord(p());
    EXPECT_EQ("", record().contract);
    ASSERT_FALSE(report.withoutValue.empty());
    EXPECT_EQ("contract", report.withoutValue.front());
}

struct FileWithoutCreditBureauColumns : AccountsFixture {
    FileWithoutCreditBureauColumns() : AccountsFixture(true, false) {}
};

// A missing column stops the load with the engine's failure naming the
// column, instead of leaving the rest of the record from another account.
TEST_F(FileWithoutCreditBureauColumns, MissingColumnReachesTheCaller) {
    addRow({{"contract", "OLD1"}, {"lastname", "OLDFILE"}});
    customerFile(p()).AccountToFind = "OLD1";
    SeekAccount(p());
    try {
        LoadAccountRecord(p());
        ADD_FAILURE() << "the load went on without the column";
    } catch (const ColumnFailure& f) {
        EXPECT_EQ("CBIDateofInfo", f.column());
        EXPECT_EQ(3265, f.number());
    }
}

TEST_F(RecordTest, SeekFindsLocksAndReports) {
    addRow(everyColumn("S1"));
    addRow(everyColumn("S2"));
    auto& cf = customerFile(p());
    cf.AccountToFind = "s2";  // the engine compares account numbers without regard to case
    SeekAccount(p());
    EXPECT_EQ(0, cf.SeekErrorNumber);
    ASSERT_FALSE(customerTable(p()).noMatch());
    EXPECT_EQ(platform::EditMode::Edit, customerTable(p()).editMode());
    EXPECT_EQ("S2", record().contract);
    // Another workstation cannot edit the row while it is in edit here.
    auto other = platform::makeSqliteEngine(drives_, p().workstation().locale());
    auto rs = other->open("M:\\cusfile.mdb")->openTable("Table1");
    rs->setIndex("contract");
    rs->seek(platform::SeekOp::Equal, {Value("S2")});
    try {
        rs->edit();
        ADD_FAILURE() << "the row was not locked";
    } catch (const platform::Failure& f) {
        EXPECT_EQ(3260, f.number());
    }

    cf.AccountToFind = "NONE";
    SeekAccount(p());
    EXPECT_EQ(0, cf.SeekErrorNumber);
    EXPECT_TRUE(customerTable(p()).noMatch());
    EXPECT_EQ(platform::EditMode::None, customerTable(p()).editMode());
    EXPECT_NO_THROW(rs->edit());  // the earlier edit was released with the old handles
}

struct NoCustomerFile : AccountsFixture {
    NoCustomerFile() : AccountsFixture(false) {}
};

TEST_F(NoCustomerFile, SeekKeepsTheErrorNumber) {
    customerFile(p()).AccountToFind = "1";
    SeekAccount(p());
    EXPECT_EQ(3024, customerFile(p()).SeekErrorNumber);
    EXPECT_THROW(OpenCustomerFile(p()), platform::Failure);
}

TEST_F(RecordTest, ResetSharedValuesClearsTheRecord) {
    addRow(everyColumn("R1"));
    seekAndLoad("R1");
    record().payout = 12;
    ASSERT_NE("", record().lastname);
    settings::ResetSharedValues(p());
    EXPECT_EQ("", shared("account.contract"));
    EXPECT_EQ("0", shared("account.curbal"));
    EXPECT_EQ("0", shared("account.payout"));
    EXPECT_EQ("", shared("account.CBIPayHistoryProfile"));
    EXPECT_EQ("", shared("AccountToFind"));
    // The handles stay: the caller still owns the row it is working on.
    EXPECT_EQ(platform::EditMode::Edit, customerTable(p()).editMode());
}

}  // namespace
