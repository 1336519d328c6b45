// Several users of one database: another process (a forked child, as another
// workstation) and another handle of this process.
#include <fcntl.h>

#include "engine_fixture.h"
#include "platform/files.h"

using namespace platform;
using namespace vtest;

namespace {

class Shared : public EngineFixture {
protected:
    Shared() {
        auto db = createWith("M:\\cusfile.mdb", accountsTable());
        auto rs = db->openTable("table1");
        for (int k = 1; k <= 10; ++k) {
            char c[8];
            std::snprintf(c, sizeof c, "C%02d", k);
            add(*rs, {{"contract", c}, {"lastname", std::string("name") + c}});
        }
    }

    // The other workstation: its own engine in a child process, positioned on
    // a row by contract. Commands: 'e' edit, 'u' update (lastname set to
    // "peer"), 'c' cancel, 'x' update another row without an edit lock of
    // ours, 'r' repair, 'k' compact, 'o' open only; the answer is 'y' for
    // success or a letter for a failure (see Peer).
    struct OtherWorkstation {
        std::unique_ptr<Peer> peer;
        OtherWorkstation(Shared& t, const std::string& contract) {
            peer = std::make_unique<Peer>([&t, contract, db = std::shared_ptr<Database>(),
                                           rs = std::shared_ptr<Recordset>(),
                                           eng = std::shared_ptr<Engine>()](char cmd) mutable -> char {
                if (!eng) eng = makeSqliteEngine(t.drives, t.locale);
                if (cmd == 'r') return (eng->repair("M:\\cusfile.mdb"), 'y');
                if (cmd == 'k') return (eng->compact("M:\\cusfile.mdb", "M:\\peer-copy.mdb"), 'y');
                if (!db) {
                    db = eng->open("M:\\cusfile.mdb");
                    rs = std::shared_ptr<Recordset>(db->openTable("table1"));
                    rs->setIndex("contract");
                    rs->seek(SeekOp::Equal, {contract});
                }
                switch (cmd) {
                    case 'e': rs->edit(); return 'y';
                    case 'u': rs->setField("lastname", "peer"); rs->update(); return 'y';
                    case 'c': rs->cancelUpdate(); return 'y';
                    case 'n': return rs->field("lastname").toText() == "first" ? 'y' : 'n';
                    case 'x': {
                        auto other = db->openTable("table1");
                        other->setIndex("contract");
                        other->seek(SeekOp::Equal, {"C10"});
                        other->edit();
                        other->setField("firstname", "by peer");
                        other->update();
                        return 'y';
                    }
                    case 'o': return 'y';
                    case 'z': db->close(); db.reset(); rs.reset(); return 'y';
                }
                return '?';
            });
        }
        char ask(char c) { return peer->ask(c); }
    };

    // The answer Peer gives for a failure with this number.
    static char failed(int number) { return static_cast<char>('A' + number % 26); }

    std::unique_ptr<Recordset> openAt(std::shared_ptr<Database>& db, const std::string& contract) {
        db = engine->open("M:\\cusfile.mdb");
        auto rs = db->openTable("table1");
        rs->setIndex("contract");
        rs->seek(SeekOp::Equal, {contract});
        EXPECT_FALSE(rs->noMatch());
        return rs;
    }
};

}  // namespace

TEST_F(Shared, TwoProcessesEditingOneRow) {
    std::shared_ptr<Database> db;
    auto rs = openAt(db, "C03");
    OtherWorkstation other(*this, "C03");
    ASSERT_EQ('y', other.ask('o'));

    rs->edit();
    rs->setField("lastname", "first");
    EXPECT_EQ(failed(3260), other.ask('e'));  // locked while we edit
    EXPECT_EQ('y', other.ask('x'));           // other rows are free, and writing does not wait for us
    rs->update();
    EXPECT_EQ('y', other.ask('e'));  // free again after the update
    EXPECT_EQ('y', other.ask('n'));  // and the edit starts from our change
    EXPECT_FAILURE(3260, rs->edit());
    EXPECT_FAILURE(3260, rs->deleteRecord());
    EXPECT_EQ('y', other.ask('u'));
    rs->edit();  // free after the other's update; we see its change
    EXPECT_EQ(Value("peer"), rs->field("lastname"));
    rs->cancelUpdate();

    // A lock goes with the process that held it.
    EXPECT_EQ('y', other.ask('e'));
    other.peer.reset();
    rs->edit();
    rs->cancelUpdate();

    rs->setIndex("contract");
    rs->seek(SeekOp::Equal, {"C10"});
    EXPECT_EQ(Value("by peer"), rs->field("firstname"));
}

TEST_F(Shared, TwoHandlesOfOneProcessEditingOneRow) {
    std::shared_ptr<Database> db1, db2;
    auto a = openAt(db1, "C05");
    auto b = openAt(db2, "C05");
    auto c = db1->openTable("table1");  // a second record set of the same handle
    c->setIndex("contract");
    c->seek(SeekOp::Equal, {"C05"});
    a->edit();
    EXPECT_FAILURE(3260, b->edit());
    EXPECT_FAILURE(3260, c->edit());
    a->setField("lastname", "from a");
    a->update();
    b->edit();  // fresh: sees a's change although it sat on the row before
    EXPECT_EQ(Value("from a"), b->field("lastname"));
    b->setField("lastname", "from b");
    b->update();
    c->edit();
    EXPECT_EQ(Value("from b"), c->field("lastname"));
    c->cancelUpdate();
    // Moving away gives up an edit and its lock.
    a->edit();
    a->moveNext();
    EXPECT_EQ(EditMode::None, a->editMode());
    b->edit();
    b->cancelUpdate();
}

TEST_F(Shared, RepairAndCompactRefusedWhileOpenElsewhere) {
    std::string before = readBytes(dir / "cusfile.mdb");
    auto files = vtest::listDir(dir.path());
    {
        OtherWorkstation other(*this, "C01");
        ASSERT_EQ('y', other.ask('o'));
        try {
            engine->repair("M:\\cusfile.mdb");
            FAIL();
        } catch (const Failure& f) {
            EXPECT_EQ(3045, f.number());
            EXPECT_EQ("Could not use 'M:\\cusfile.mdb'; file already in use.", f.description());
        }
        EXPECT_FAILURE(3045, engine->compact("M:\\cusfile.mdb", "M:\\CusfileCompacted.mdb"));
        // Neither may the file be replaced or deleted under the other user.
        FileChannels channels(drives);
        writeBytes(dir / "CusfileCompacted.mdb", "x");
        EXPECT_FAILURE(70, channels.copy("M:\\CusfileCompacted.mdb", "M:\\Cusfile.mdb"));
        EXPECT_FAILURE(70, channels.remove("M:\\cusfile.mdb"));
        EXPECT_FAILURE(70, channels.copy("M:\\cusfile.mdb", "M:\\backup.mdb"));
        EXPECT_FALSE(std::filesystem::exists(dir / "backup.mdb"));
        std::filesystem::remove(dir / "CusfileCompacted.mdb");
    }
    {
        std::shared_ptr<Database> mine;
        auto rs = openAt(mine, "C01");
        OtherWorkstation other(*this, "C01");
        EXPECT_EQ(failed(3045), other.ask('r'));
        EXPECT_EQ(failed(3045), other.ask('k'));
        // Another handle of this process counts as well, even with only a
        // record set left of it.
        mine.reset();
        EXPECT_FAILURE(3045, engine->repair("M:\\cusfile.mdb"));
        EXPECT_FAILURE(3045, engine->compact("M:\\cusfile.mdb", "M:\\CusfileCompacted.mdb"));
        EXPECT_EQ("C01", rs->field("contract").toText());  // the open handle goes on working
    }
    EXPECT_EQ(before, readBytes(dir / "cusfile.mdb"));
    EXPECT_EQ(files, vtest::listDir(dir.path()));
    // Closed everywhere, both work.
    engine->repair("M:\\cusfile.mdb");
    engine->compact("M:\\cusfile.mdb", "M:\\CusfileCompacted.mdb");
    FileChannels(drives).copy("M:\\CusfileCompacted.mdb", "M:\\Cusfile.mdb");
    EXPECT_EQ(10, engine->open("M:\\cusfile.mdb")->openTable("table1")->recordCount());
}

TEST_F(Shared, OpenIsRefusedWhileARepairHoldsTheFile) {
    OtherWorkstation other(*this, "C01");  // forked first, so that it shares none of our descriptors
    // What a repair or compaction holds while it works: the in-use byte, exclusively.
    int fd = ::open(platform::inUseLockPath(dir / "cusfile.mdb").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_len = 1;
    ASSERT_EQ(0, ::fcntl(fd, F_OFD_SETLK, &fl));
    EXPECT_FAILURE(3045, engine->open("M:\\cusfile.mdb"));
    EXPECT_EQ(failed(3045), other.ask('o'));
    ::close(fd);
    EXPECT_EQ('y', other.ask('o'));
    EXPECT_NO_THROW(engine->open("M:\\cusfile.mdb"));
}

// The library's own locks on the database file are process locks, which the
// system drops when any descriptor of that file is closed in the process: the
// engine must not open and close the file itself while a handle of it may hold
// a lock (here: the write lock of a transaction), or another workstation could
// write at the same time.
TEST_F(Shared, OpeningASecondHandleKeepsTheFirstHandlesFileLocks) {
    // What another process sees of the library's write-intent lock byte.
    Peer probe([this](char) -> char {
        int fd = ::open((dir / "cusfile.mdb").c_str(), O_RDWR);
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = 0x40000001;  // the reserved byte of the library's lock range
        fl.l_len = 1;
        ::fcntl(fd, F_GETLK, &fl);
        ::close(fd);
        return fl.l_type == F_UNLCK ? 'u' : 'l';
    });
    auto db = engine->open("M:\\cusfile.mdb");
    auto rs = db->openTable("table1");
    db->beginTrans();
    add(*rs, {{"contract", "T1"}});
    ASSERT_EQ('l', probe.ask('?'));
    auto second = engine->open("M:\\cusfile.mdb");
    EXPECT_FAILURE(3045, engine->compact("M:\\cusfile.mdb", "M:\\copy.mdb"));
    EXPECT_FAILURE(3045, engine->repair("M:\\cusfile.mdb"));
    EXPECT_FAILURE(70, FileChannels(drives).copy("M:\\cusfile.mdb", "M:\\backup.mdb"));
    EXPECT_EQ('l', probe.ask('?'));  // still held
    db->commitTrans();
    EXPECT_EQ('u', probe.ask('?'));
}

TEST_F(Shared, NavigationStaysCorrectWhileAnotherProcessChangesRows) {
    std::shared_ptr<Database> db = engine->open("M:\\cusfile.mdb");
    auto rs = db->openTable("table1");
    auto byName = db->openTable("table1");
    byName->setIndex("NAME");
    // The other process deletes and adds rows between our moves.
    Peer other([this](char cmd) -> char {
        auto eng = makeSqliteEngine(drives, locale);
        auto odb = eng->open("M:\\cusfile.mdb");
        auto t = odb->openTable("table1");
        t->setIndex("contract");
        auto del = [&](const char* c) {
            t->seek(SeekOp::Equal, {c});
            t->deleteRecord();
        };
        switch (cmd) {
            case '1': del("C04"); add(*t, {{"contract", "N01"}, {"lastname", "nameC03a"}}); return 'y';
            case '2': del("C05"); del("C06"); return 'y';
            case '3': add(*t, {{"contract", "N02"}, {"lastname", "zzz"}}); return 'y';
            case '4': del("N02"); return 'y';
        }
        return '?';
    });
    rs->moveFirst();
    rs->moveNext();
    rs->moveNext();
    EXPECT_EQ("C03", rs->field("contract").toText());
    byName->seek(SeekOp::Equal, {"nameC03"});
    ASSERT_EQ('y', other.ask('1'));
    rs->moveNext();  // C04 is gone
    EXPECT_EQ("C05", rs->field("contract").toText());
    byName->moveNext();  // the new row sorts right after nameC03
    EXPECT_EQ("N01", byName->field("contract").toText());
    ASSERT_EQ('y', other.ask('2'));  // the current row itself goes too
    rs->moveNext();
    EXPECT_EQ("C07", rs->field("contract").toText());
    rs->movePrevious();
    EXPECT_EQ("C03", rs->field("contract").toText());
    ASSERT_EQ('y', other.ask('3'));
    rs->moveLast();
    EXPECT_EQ("N02", rs->field("contract").toText());
    ASSERT_EQ('y', other.ask('4'));
    rs->movePrevious();
    EXPECT_EQ("N01", rs->field("contract").toText());
    EXPECT_EQ((std::vector<std::string>{"C01", "C02", "C03", "C07", "C08", "C09", "C10", "N01"}), walk(*rs));
    EXPECT_EQ(8, rs->recordCount());
}
