// Transactions over one database handle.
#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "platform/failure.h"

namespace vtest {

class Transactions : public EngineFixture {};

TEST_F(Transactions, CommitWritesEveryRowAndRollbackDropsThem) {
    auto db = createWith("M:\\cusfile.mdb", accountsTable());
    auto rs = db->openTable("table1");
    db->beginTrans();
    add(*rs, {{"contract", Value("A1")}});
    add(*rs, {{"contract", Value("A2")}});
    db->rollback();
    EXPECT_EQ(0, rs->recordCount());
    db->beginTrans();
    add(*rs, {{"contract", Value("B1")}});
    add(*rs, {{"contract", Value("B2")}});
    db->commitTrans();
    EXPECT_EQ(2, rs->recordCount());
    // Another handle sees the committed rows.
    auto other = engine->open("M:\\cusfile.mdb");
    EXPECT_EQ(2, other->openTable("table1")->recordCount());
}

TEST_F(Transactions, CommitWithoutBeginIsRefused) {
    auto db = createWith("M:\\cusfile.mdb", accountsTable());
    try {
        db->commitTrans();
        FAIL() << "no failure";
    } catch (const platform::Failure& f) {
        EXPECT_EQ(3034, f.number());
    }
}

}  // namespace vtest
