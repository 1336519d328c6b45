// The database engine on real SQLite files: types, defaults, seeks,
// navigation, changes, statements and errors.
#include <sqlite3.h>
#include <sys/resource.h>

#include <chrono>
#include <iostream>

#include "engine_fixture.h"

using namespace platform;
using namespace vtest;

namespace {

class EngineTest : public EngineFixture {
protected:
    EngineTest() {
        db = createWith("M:\\cusfile.mdb", accountsTable());
        rs = db->openTable("table1");
    }

    // The sample rows, in table (rowid) order.
    void addSample() {
        struct R {
            const char* contract;
            Value last, first, due, amount;
        };
        const R rows[] = {
            {"AB123", "Smith", "John", "01/03/2005", "12.5"},
            {"CD001", "smith", "Anna", "12/31/2004", "100"},
            {"AB125", "Jones", "Bob", "03/15/2005", "12.50"},
            {"ZZ900", Value(), "Zed", Value(), Value()},
            {"EF777", "Smith", "John", "1/3/05", "$7.25"},
            {"AA001", "Adams", Value(), "06/01/2004", "-3"},
            {"YY100", "Young", "Amy", "02/28/2005", "1,000"},
        };
        for (const auto& r : rows) {
            rs->addNew();
            rs->setField("contract", r.contract);
            rs->setField("lastname", r.last);
            rs->setField("firstname", r.first);
            rs->setField("due", r.due);
            if (!r.amount.isNull()) rs->setField("amount", r.amount);
            rs->update();
        }
    }

    std::shared_ptr<Database> db;
    std::unique_ptr<Recordset> rs;
};

using Strings = std::vector<std::string>;

}  // namespace

TEST_F(EngineTest, TypesWidthsAndConversions) {
    struct Case {
        const char* column;
        Value in;
        Value out;        // what reads back (Null when a failure is expected)
        int failure = 0;  // expected failure number when writing
    };
    const Case cases[] = {
        {"contract", "ABCDEFGHIJ", "ABCDEFGHIJ"},
        {"contract", "ABCDEFGHIJK", {}, 3163},
        {"contract", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9",
         "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"},  // ten characters
        {"contract", 12345, "12345"},
        {"status", "AB", {}, 3163},
        {"note", std::string(5000, 'n'), std::string(5000, 'n')},
        {"b", 255, int64_t(255)},
        {"b", 256, {}, 3349},
        {"b", -1, {}, 3349},
        {"b", "12.50", int64_t(12)},  // rounds half to even
        {"b", 13.5, int64_t(14)},
        {"i", 32767, int64_t(32767)},
        {"i", -32768, int64_t(-32768)},
        {"i", 32768, {}, 3349},
        {"i", "12abc", {}, 3421},
        {"l", int64_t(2147483647), int64_t(2147483647)},
        {"l", 2147483648.0, {}, 3349},
        {"s", 0.5, 0.5},
        {"s", 1e300, {}, 3349},
        {"d", "12.50", 12.5},
        {"d", "$1,234.50", 1234.5},
        {"d", "12abc", {}, 3421},
        {"d", "", {}, 3421},
        {"d", Money::fromTenThousandths(123456), 12.3456},
        {"amount", "12.3456", Money::fromTenThousandths(123456)},
        {"amount", "1.23456", Money::fromTenThousandths(12346)},
        {"amount", 0.1, Money::fromTenThousandths(1000)},
        {"amount", 5, Money::fromTenThousandths(50000)},
        {"amount", "922337203685477.5807", Money::fromTenThousandths(INT64_MAX)},
        {"amount", "12abc", {}, 3421},
        {"due", "1/2/05", "01/02/2005"},
        {"due", "02/29/2004", "02/29/2004"},
        {"due", "02/29/2005", {}, 3421},
        {"due", "not a date", {}, 3421},
        {"due", "", {}, 3421},
        {"due", 38354.0, "01/02/2005"},
        {"flag", true, true},
        {"flag", "True", true},
        {"flag", 0, false},
        {"flag", -1, true},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.column) + " case " + std::to_string(n));
        std::string key = "R" + std::to_string(n++);
        rs->addNew();
        rs->setField("contract", key);
        int got = vtest::failureOf([&] {
            rs->setField(c.column, c.in);
            rs->update();
        });
        EXPECT_EQ(c.failure, got);
        if (got) {
            rs->cancelUpdate();
            continue;
        }
        rs->setIndex("contract");
        rs->seek(SeekOp::Equal, {std::string(c.column) == "contract" ? c.out : Value(key)});
        ASSERT_FALSE(rs->noMatch());
        EXPECT_EQ(c.out, rs->field(c.column));
        rs->deleteRecord();
    }
    EXPECT_EQ(0, rs->recordCount());  // refused rows were never written
}

TEST_F(EngineTest, MoneyStaysExactThroughTheFile) {
    for (int k = 0; k < 10; ++k) add(*rs, {{"contract", "M" + std::to_string(k)}, {"amount", "0.1"}});
    db->close();
    db = engine->open("M:\\cusfile.mdb");
    rs = db->openTable("TABLE1");
    Money sum;
    for (rs->moveFirst(); !rs->eof(); rs->moveNext()) sum += rs->field("amount").money();
    EXPECT_EQ(Money::fromWhole(1), sum);
}

TEST_F(EngineTest, DefaultsForNewRowsAndNullVersusEmpty) {
    rs->addNew();
    EXPECT_EQ(EditMode::Add, rs->editMode());
    EXPECT_EQ(Value(Money()), rs->field("amount"));  // defaults show in the new row at once
    rs->setField("contract", "N1");
    rs->setField("firstname", "");
    rs->update();
    rs->moveFirst();
    EXPECT_EQ(Value(Money()), rs->field("amount"));
    EXPECT_EQ(Value(0.0), rs->field("d"));
    EXPECT_EQ(Value(false), rs->field("flag"));
    EXPECT_EQ(Value("A"), rs->field("Status"));
    EXPECT_EQ(Value("01/01/1900"), rs->field("opened"));
    EXPECT_TRUE(rs->field("lastname").isNull());   // no value
    EXPECT_TRUE(rs->field("due").isNull());
    EXPECT_TRUE(rs->field("note").isNull());
    EXPECT_EQ(Value(""), rs->field("firstname"));  // the empty text is a value
    EXPECT_FALSE(rs->field("firstname").isNull());
    rs->edit();
    rs->setField("firstname", Value());
    rs->setField("amount", Value());
    rs->update();
    EXPECT_TRUE(rs->field("firstname").isNull());
    EXPECT_TRUE(rs->field("amount").isNull());
    // The declared defaults are part of the definition.
    TableDef def = db->tableDefinition("table1");
    EXPECT_EQ(Value("A"), def.column("STATUS")->defaultValue);
}

TEST_F(EngineTest, SeekWithEachComparison) {
    addSample();
    struct Case {
        const char* index;
        const char* op;
        std::vector<Value> keys;
        const char* found;  // "" for no match
    };
    const Case cases[] = {
        {"contract", "=", {"ab123"}, "AB123"},          {"contract", "=", {"AB124"}, ""},
        {"contract", "<", {"AB124"}, "AB123"},          {"contract", "<=", {"ab125"}, "AB125"},
        {"contract", ">", {"AB125"}, "CD001"},          {"contract", ">=", {"ab124"}, "AB125"},
        {"contract", "<", {"AA001"}, ""},               {"contract", ">", {"zz900"}, ""},
        {"NAME", "=", {"smith", "john"}, "AB123"},      {"NAME", "=", {"SMITH"}, "CD001"},
        {"NAME", ">=", {"Smith", "B"}, "AB123"},        {"NAME", ">", {"Smith", "John"}, "YY100"},
        {"NAME", ">", {"Smith"}, "YY100"},              {"NAME", "<", {"Smith", "John"}, "CD001"},
        {"NAME", "<=", {"Smith", "John"}, "EF777"},     {"NAME", "<=", {"smith"}, "EF777"},
        {"NAME", "<", {"Smith"}, "AB125"},              {"NAME", "<", {"Adams"}, "ZZ900"},
        {"NAME", "<", {"Adams", "A"}, "AA001"},         {"NAME", "=", {"Brown"}, ""},
        {"NAME", ">=", {"Brown"}, "AB125"},             {"NAME", ">", {"Young"}, ""},
        {"NAME", "<=", {"A"}, "ZZ900"},                 {"name", ">=", {"Jones", "Bob"}, "AB125"},
        {"due", "=", {"01/03/2005"}, "AB123"},          {"due", ">=", {"01/02/2005"}, "AB123"},
        {"due", "<=", {"01/02/2005"}, "CD001"},         {"due", "=", {"01/02/2005"}, ""},
        {"due", ">", {"1/3/05"}, "YY100"},              {"due", "<", {"01/03/2005"}, "CD001"},
        {"due", "<=", {"01/03/2005"}, "EF777"},         {"DUE", "<", {"06/01/2004"}, "ZZ900"},
        {"amount", "=", {"12.50"}, "AB123"},            {"amount", "=", {12.5}, "AB123"},
        {"amount", ">", {12.5}, "CD001"},               {"amount", "<", {Value(Money())}, "AA001"},
        {"amount", ">=", {"$7.25"}, "EF777"},           {"amount", "<=", {12.4999}, "EF777"},
        {"amount", "<=", {"-3.0001"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.index) + " " + c.op + " " + c.keys[0].toText());
        rs->setIndex(c.index);
        rs->seek(parseSeekOp(c.op), c.keys);
        EXPECT_EQ(*c.found == 0, rs->noMatch());
        if (*c.found) {
            EXPECT_EQ(c.found, rs->field("contract").toText());
        } else {
            EXPECT_FAILURE(3021, rs->field("contract"));
        }
    }
    // A seek positions within the index: the next row follows in its order.
    rs->setIndex("NAME");
    rs->seek(SeekOp::Equal, {"SMITH", "JOHN"});
    rs->moveNext();
    EXPECT_EQ("EF777", rs->field("contract").toText());
    rs->seek(SeekOp::Equal, {"nobody"});
    EXPECT_FAILURE(3021, rs->moveNext());
    // A text key on a date index that is not a date.
    rs->setIndex("due");
    EXPECT_FAILURE(3421, rs->seek(SeekOp::Equal, {"soon"}));
    // More keys than the index has.
    EXPECT_FAILURE(3001, rs->seek(SeekOp::Equal, {"01/03/2005", "x"}));
    EXPECT_FAILURE(3001, parseSeekOp("=="));
}

TEST_F(EngineTest, SeekNeedsAnIndex) {
    addSample();
    try {
        rs->seek(SeekOp::Equal, {"AB123"});
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(3019, f.number());
        EXPECT_EQ("Operation invalid without a current index.", f.description());
    }
    EXPECT_FAILURE(3800, rs->setIndex("nosuch"));
    rs->setIndex("CONTRACT");  // index names ignore case
    EXPECT_EQ("contract", rs->index());
    rs->setIndex("");
    EXPECT_FAILURE(3019, rs->seek(SeekOp::Equal, {"AB123"}));
}

TEST_F(EngineTest, NavigationInEachOrder) {
    addSample();
    struct Case {
        const char* index;
        Strings order;
    };
    const Case cases[] = {
        {"", {"AB123", "CD001", "AB125", "ZZ900", "EF777", "AA001", "YY100"}},
        {"contract", {"AA001", "AB123", "AB125", "CD001", "EF777", "YY100", "ZZ900"}},
        {"NAME", {"ZZ900", "AA001", "AB125", "CD001", "AB123", "EF777", "YY100"}},
        {"due", {"ZZ900", "AA001", "CD001", "AB123", "EF777", "YY100", "AB125"}},
        {"amount", {"AA001", "ZZ900", "EF777", "AB123", "AB125", "CD001", "YY100"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        rs->setIndex(c.index);
        EXPECT_EQ(c.order, walk(*rs));
        EXPECT_TRUE(rs->eof());
        EXPECT_FALSE(rs->bof());
        EXPECT_FAILURE(3021, rs->moveNext());
        EXPECT_FAILURE(3021, rs->field("contract"));
        rs->movePrevious();  // from the end back onto the last row
        EXPECT_EQ(c.order.back(), rs->field("contract").toText());
        Strings back(c.order.rbegin(), c.order.rend());
        EXPECT_EQ(back, walkBack(*rs));
        EXPECT_TRUE(rs->bof());
        EXPECT_FAILURE(3021, rs->movePrevious());
        rs->moveNext();  // from the start onto the first row
        EXPECT_EQ(c.order.front(), rs->field("contract").toText());
        rs->moveLast();
        EXPECT_EQ(c.order.back(), rs->field("contract").toText());
    }
}

TEST_F(EngineTest, EmptyTableAndRecordCount) {
    EXPECT_TRUE(rs->bof());
    EXPECT_TRUE(rs->eof());
    EXPECT_EQ(0, rs->recordCount());
    EXPECT_FAILURE(3021, rs->field("contract"));
    EXPECT_FAILURE(3021, rs->moveNext());
    EXPECT_FAILURE(3021, rs->edit());
    EXPECT_FAILURE(3021, rs->deleteRecord());
    add(*rs, {{"contract", "ONE"}});
    EXPECT_EQ(1, rs->recordCount());
    rs->moveNext();  // the new row is reached from the start
    EXPECT_EQ("ONE", rs->field("contract").toText());
    addSample();
    EXPECT_EQ(8, rs->recordCount());
}

TEST_F(EngineTest, AddEditUpdateCancelDelete) {
    addSample();
    rs->setIndex("contract");
    rs->seek(SeekOp::Equal, {"AB125"});
    // Adding leaves the current row where it was.
    add(*rs, {{"contract", "AB124"}});
    EXPECT_EQ("AB125", rs->field("contract").toText());
    rs->movePrevious();
    EXPECT_EQ("AB124", rs->field("contract").toText());

    // Cancel drops the change.
    rs->edit();
    EXPECT_EQ(EditMode::Edit, rs->editMode());
    rs->setField("lastname", "Changed");
    EXPECT_EQ(Value("Changed"), rs->field("lastname"));  // the edit buffer shows it
    rs->cancelUpdate();
    EXPECT_EQ(EditMode::None, rs->editMode());
    EXPECT_TRUE(rs->field("lastname").isNull());
    EXPECT_FAILURE(3020, rs->update());
    EXPECT_FAILURE(3020, rs->setField("lastname", "x"));

    // Update commits; the row keeps being current at its new place in the order.
    rs->edit();
    rs->setField("contract", "ZZ999");
    rs->update();
    EXPECT_EQ("ZZ999", rs->field("contract").toText());
    rs->moveNext();  // it is now the last one
    EXPECT_TRUE(rs->eof());
    rs->moveLast();
    EXPECT_EQ("ZZ999", rs->field("contract").toText());

    // Delete, then move next: the following row.
    rs->seek(SeekOp::Equal, {"AB125"});
    rs->deleteRecord();
    EXPECT_FAILURE(3167, rs->field("contract"));
    rs->moveNext();
    EXPECT_EQ("CD001", rs->field("contract").toText());
    // Deleting the last row leaves the end.
    rs->moveLast();
    rs->deleteRecord();
    rs->moveNext();
    EXPECT_TRUE(rs->eof());
    // Delete, then move previous: the row before.
    rs->seek(SeekOp::Equal, {"CD001"});
    rs->deleteRecord();
    rs->movePrevious();
    EXPECT_EQ("AB123", rs->field("contract").toText());
    EXPECT_EQ(Strings({"AA001", "AB123", "EF777", "YY100", "ZZ900"}), walk(*rs));
    EXPECT_EQ(5, rs->recordCount());

    // Deleting every row leaves an empty table.
    rs->moveFirst();
    while (!rs->eof()) {
        rs->deleteRecord();
        rs->moveNext();
    }
    rs->moveFirst();
    EXPECT_TRUE(rs->bof() && rs->eof());
    EXPECT_EQ(0, rs->recordCount());
}

TEST_F(EngineTest, UniqueIndexComparesTextWithoutCase) {
    add(*rs, {{"contract", "AB123"}});
    rs->addNew();
    rs->setField("contract", "ab123");
    EXPECT_FAILURE(3022, rs->update());
    EXPECT_EQ(EditMode::Add, rs->editMode());  // the new row can still be corrected
    rs->setField("contract", "ab124");
    rs->update();
    EXPECT_EQ(2, rs->recordCount());
    // An edit that would duplicate is refused and changes nothing.
    rs->setIndex("contract");
    rs->seek(SeekOp::Equal, {"AB124"});
    rs->edit();
    rs->setField("contract", "AB123");
    EXPECT_FAILURE(3022, rs->update());
    rs->cancelUpdate();
    EXPECT_EQ(Strings({"AB123", "ab124"}), walk(*rs));
    // Several rows without a key are allowed.
    add(*rs, {{"lastname", "x"}});
    add(*rs, {{"lastname", "y"}});
    EXPECT_EQ(4, rs->recordCount());
}

TEST_F(EngineTest, ErrorsCarryTheEnginesNumbersAndTexts) {
    try {
        engine->open("M:\\trans.mdb");
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(3024, f.number());
        EXPECT_EQ("Could not find file 'M:\\trans.mdb'.", f.description());
    }
    writeBytes(dir / "x.mdb", "Company,Address\r\nnot a database\r\n");
    try {
        engine->open("M:\\x.mdb");
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(3343, f.number());
        EXPECT_EQ("Unrecognized database format 'M:\\x.mdb'.", f.description());
    }
    writeBytes(dir / "empty.mdb", "");
    EXPECT_FAILURE(3343, engine->open("M:\\empty.mdb"));
    EXPECT_FAILURE(3204, engine->create("M:\\CUSFILE.MDB"));
    try {
        engine->create("M:\\cusfile.mdb");
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ("Database already exists.", f.description());
    }
    EXPECT_FAILURE(64, engine->open("M:\\..\\cusfile.mdb"));
    EXPECT_FAILURE(3078, db->openTable("table2"));
    add(*rs, {{"contract", "A"}});
    rs->moveFirst();
    try {
        rs->field("nosuch");
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(3265, f.number());
        EXPECT_EQ("Item not found in this collection.", f.description());
    }
    rs->edit();
    EXPECT_FAILURE(3265, rs->setField("nosuch", "x"));
    rs->cancelUpdate();
    EXPECT_EQ(Value("A"), rs->field("CONTRACT"));  // column names ignore case
    EXPECT_FAILURE(3380, db->execute("ALTER TABLE table1 add column LastName text (5)"));
    for (const char* bad : {"DROP TABLE table1", "SELECT * FROM table1", "", "   ", "DELETE FROM table1",
                            "UPDATE table1 SET contract='x'"}) {
        SCOPED_TRACE(bad);
        EXPECT_FAILURE(3129, db->execute(bad));
    }
    for (const char* bad : {"ALTER TABLE table1", "ALTER TABLE table1 add column c1",
                            "ALTER TABLE table1 add column c1 text (10", "ALTER TABLE table1 add column c1 widget",
                            "ALTER TABLE table1 add column c1 text (10) extra", "ALTER TABLE table1 drop column b"}) {
        SCOPED_TRACE(bad);
        EXPECT_NE(0, failureOf([&] { db->execute(bad); }));
    }
    EXPECT_FAILURE(3078, db->execute("ALTER TABLE table9 add column c1 text (10)"));
    EXPECT_EQ(accountsTable().columns.size(), db->tableDefinition("table1").columns.size());
    // Index names are kept once per database.
    TableDef other;
    other.name = "Other";
    other.columns = {{"x", ColumnType::Long, 0, {}}};
    other.indexes = {{"CONTRACT", {"x"}, false}};
    EXPECT_FAILURE(3284, db->createTable(other));
    EXPECT_EQ(std::vector<std::string>{"Table1"}, db->tableNames());
    // A closed record set, a closed database and its record sets refuse further use.
    auto second = db->openTable("table1");
    second->close();
    EXPECT_FAILURE(3420, second->moveFirst());
    EXPECT_FAILURE(3420, second->field("contract"));
    EXPECT_EQ(Value("A"), rs->field("contract"));
    db->close();
    EXPECT_FAILURE(3420, rs->moveFirst());
    EXPECT_FAILURE(3420, db->openTable("table1"));
}

TEST_F(EngineTest, AlterTableAddsColumnsOfEachType) {
    add(*rs, {{"contract", "OLD1"}});
    add(*rs, {{"contract", "OLD2"}});
    struct Case {
        const char* statement;
        const char* column;
        ColumnType type;
        int size;
    };
    const Case cases[] = {
        {"ALTER TABLE table1 add column CBIDateofInfo text (10) ", "CBIDateofInfo", ColumnType::Text, 10},
        {"alter table TABLE1 ADD COLUMN CBIECOACode TEXT(1)", "CBIECOACode", ColumnType::Text, 1},
        {"  ALTER \t TABLE   table1\n add   column   CBIOrigChargeOffAmount   currency  ", "CBIOrigChargeOffAmount",
         ColumnType::Currency, 0},
        {"ALTER TABLE table1 add column t2 text", "t2", ColumnType::Text, 255},
        {"ALTER TABLE table1 add column m1 memo", "m1", ColumnType::Memo, 0},
        {"ALTER TABLE table1 add column b1 byte", "b1", ColumnType::Byte, 0},
        {"ALTER TABLE table1 add column i1 integer", "i1", ColumnType::Integer, 0},
        {"ALTER TABLE table1 add column l1 long", "l1", ColumnType::Long, 0},
        {"ALTER TABLE table1 add column s1 single", "s1", ColumnType::Single, 0},
        {"ALTER TABLE table1 add column d1 double", "d1", ColumnType::Double, 0},
        {"ALTER TABLE table1 add column dt1 datetime", "dt1", ColumnType::DateTime, 0},
        {"ALTER TABLE table1 add column dt2 date", "dt2", ColumnType::DateTime, 0},
        {"ALTER TABLE table1 add column y1 yesno", "y1", ColumnType::YesNo, 0},
        {"ALTER TABLE table1 add column [with blank] text (3);", "with blank", ColumnType::Text, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.statement);
        db->execute(c.statement);
        TableDef def = db->tableDefinition("table1");
        const ColumnDef* col = def.column(c.column);
        ASSERT_TRUE(col);
        EXPECT_EQ(c.column, col->name);
        EXPECT_EQ(c.type, col->type);
        if (c.type == ColumnType::Text) {
            EXPECT_EQ(c.size, col->size);
        }
        EXPECT_TRUE(col->defaultValue.isNull());
    }
    // A record set opened afterwards sees the columns; old rows hold no value.
    auto fresh = db->openTable("table1");
    for (fresh->moveFirst(); !fresh->eof(); fresh->moveNext()) {
        for (const auto& c : cases) EXPECT_TRUE(fresh->field(c.column).isNull()) << c.column;
    }
    fresh->moveFirst();
    fresh->edit();
    EXPECT_FAILURE(3163, fresh->setField("CBIDateofInfo", "01/01/20055"));
    fresh->setField("CBIDateofInfo", "01/01/2005");
    fresh->setField("cbiorigchargeoffamount", "12.34");
    fresh->update();
    EXPECT_EQ(Value("01/01/2005"), fresh->field("CBIDATEOFINFO"));
    EXPECT_EQ(Value(Money::fromTenThousandths(123400)), fresh->field("CBIOrigChargeOffAmount"));
    // Reopened from the file, the columns are still there with their types.
    db->close();
    db = engine->open("M:\\cusfile.mdb");
    EXPECT_EQ(ColumnType::Text, db->tableDefinition("table1").column("CBIECOACode")->type);
    EXPECT_EQ(1, db->tableDefinition("table1").column("CBIECOACode")->size);
}

TEST_F(EngineTest, RecordSetOutlivesTheDatabaseObjectItCameFrom) {
    add(*rs, {{"contract", "K1"}});
    rs.reset();
    db.reset();
    auto table = engine->open("M:\\cusfile.mdb")->openTable("table1");
    EXPECT_EQ("K1", table->field("contract").toText());
    table->edit();
    table->setField("lastname", "Kept");
    table->update();
    EXPECT_EQ("Kept", table->field("lastname").toText());
    engine->closeAll();  // closes it all the same
    EXPECT_FAILURE(3420, table->moveFirst());
}

// Each move is one indexed step: walking a large table in an index needs no
// memory that grows with it. Not timed here (the benchmarks measure speed); the
// time is printed for the record.
TEST_F(EngineTest, NavigationOverALargeTable) {
    rs.reset();
    db->close();
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open((dir / "cusfile.mdb").c_str(), &raw));
        sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* ins = nullptr;
        sqlite3_prepare_v2(raw, "INSERT INTO Table1 (contract, lastname, firstname) VALUES (?1, ?2, ?3)", -1, &ins,
                           nullptr);
        for (int k = 0; k < 50000; ++k) {
            char c[16], l[16];
            std::snprintf(c, sizeof c, "K%06d", (k * 7919) % 50000);  // not in rowid order
            std::snprintf(l, sizeof l, "name%03d", k % 500);            // many equal keys
            sqlite3_bind_text(ins, 1, c, -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(ins, 2, l, -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(ins, 3, k % 3 ? "Ann" : "Bob", -1, SQLITE_STATIC);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
        sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(raw);
    }
    db = engine->open("M:\\cusfile.mdb");
    rs = db->openTable("table1");
    for (const char* index : {"NAME", "contract", ""}) {
        rs->setIndex(index);
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        auto t0 = std::chrono::steady_clock::now();
        long long n = 0;
        std::string prev;
        bool ordered = true;
        for (rs->moveFirst(); !rs->eof(); rs->moveNext()) {
            if (*index) {
                std::string key = rs->field(std::string(index) == "NAME" ? "lastname" : "contract").toText();
                ordered = ordered && prev <= key;
                prev = key;
            }
            ++n;
        }
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        getrusage(RUSAGE_SELF, &after);
        auto cpu = [](const rusage& u) {
            return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
        };
        std::cout << "  moveNext over 50000 rows in index '" << index << "': " << ms << " ms (" << cpu(after) - cpu(before)
                  << " ms CPU), peak memory "
                  << after.ru_maxrss / 1024 << " MB (+" << (after.ru_maxrss - before.ru_maxrss) / 1024 << " MB)\n";
        EXPECT_EQ(50000, n);
        EXPECT_TRUE(ordered);
    }
}
