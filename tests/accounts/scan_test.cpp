// The bad-data scan with its real correction dialog, answered by a user that
// the test plays from the event loop while the dialog is shown modal.
#include "accounts_fixture.h"

#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <functional>

#include "accounts/scan/bad_data_scan.h"
#include "tools/store/demo.h"
#include "tools/store/store.h"
#include "ui/screen.h"

using namespace accounts;
using namespace accounts_test;

namespace {

// Answers every correction dialog as it comes up: `answer` looks at the
// dialog and fills in what the user types; then Command1 is clicked.
class User {
public:
    User(ui::Program& p, std::function<void(ui::Screen&)> answer) : p_(p), answer_(std::move(answer)) {
        timer_.setInterval(2);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start();
    }
    std::vector<std::string> seen;  // the dialog's first line, each time

private:
    void tick() {
        ui::Screen* f = p_.screens().existing("ErrorForm");
        if (!f || !f->visible() || busy_) return;
        busy_ = true;
        seen.push_back(f->c("Text1").text());
        answer_(*f);
        if (f->visible()) qobject_cast<QPushButton*>(f->c("Command1").widget())->click();
        busy_ = false;
    }
    ui::Program& p_;
    std::function<void(ui::Screen&)> answer_;
    QTimer timer_;
    bool busy_ = false;
};

class ScanTest : public AccountsFixture {
protected:
    void scan() {
        p().guard([this] { ScanForBadData(p()); });
        ASSERT_FALSE(p().ended());
        EXPECT_EQ(kScanDone, p().screens().get("Utility").c("Text1").text());
        EXPECT_FALSE(p().screens().get("ErrorForm").c("Command2").visible());
    }
    Fields row(const std::string& contract, const std::string& last, const std::string& pchdate = "03/04/2005") {
        return {{"contract", contract},       {"lastname", last},           {"firstname", "ann"},
                {"pchdate", pchdate},         {"origduedate", "04/04/2005"}, {"prompaydate", "05/05/2005"}};
    }
};

// While the correction dialog is open the row stays in edit mode: another
// workstation cannot edit it until the scan has stored it.
TEST_F(ScanTest, RowLockedWhileTheDialogIsOpen) {
    addRow(row("A1", "AARON"));
    addRow(row("B2", "BAKER", "13/45/2005"));
    auto other = platform::makeSqliteEngine(drives_, p().workstation().locale());
    auto rs = other->open("M:\\cusfile.mdb")->openTable("Table1");
    rs->setIndex("contract");
    int lockedError = 0;
    User user(p(), [&](ui::Screen& f) {
        EXPECT_EQ("On Account Number -> B2 PURCHASE DATE is BAD.", f.c("Text1").text());
        EXPECT_EQ("Old Purch. Date", f.c("LblBadMessage").caption());
        EXPECT_EQ("13/45/2005", f.c("TxtBadData").text());
        EXPECT_EQ("B2", f.c("TxtAccountNO").text());
        EXPECT_EQ("Please Click Here when Error is Corrected.", f.c("Command1").caption());
        EXPECT_EQ("B2 BAKER", p().screens().get("Utility").c("Text1").text());
        EXPECT_EQ(f.c("TxtFixedData").widget(), f.window()->focusWidget());
        EXPECT_TRUE(f.c("Command2").visible());
        rs->seek(platform::SeekOp::Equal, {Value("B2")});
        try {
            rs->edit();
        } catch (const platform::Failure& e) {
            lockedError = e.number();
        }
        f.c("TxtFixedData").setText("01/02/2005");
    });
    scan();
    EXPECT_EQ(1u, user.seen.size());
    EXPECT_EQ(3260, lockedError);
    EXPECT_EQ("01/02/2005", column("B2", "pchdate"));
    EXPECT_EQ("ANN", column("B2", "firstname"));
    // The first row in NAME order is never visited.
    EXPECT_EQ("ann", column("A1", "firstname"));
    rs->seek(platform::SeekOp::Equal, {Value("B2")});
    EXPECT_NO_THROW(rs->edit());
}

// A last name that begins with a space is asked for until it does not; an
// empty last name passes.
TEST_F(ScanTest, LastNameAskedUntilItHasNoLeadingSpace) {
    addRow({{"contract", "H0"}, {"pchdate", "03/04/2005"}, {"origduedate", "04/04/2005"}});
    addRow(row("E1", ""));
    addRow(row("S1", " SMITH"));
    std::vector<std::string> shownNames;
    std::vector<std::string> answers = {"  SMITH", "SMITH"};
    User user(p(), [&](ui::Screen& f) {
        EXPECT_EQ("LASTNAMECHECK", p().shared().ActionCode);
        EXPECT_FALSE(f.c("TxtFixedData").visible());
        shownNames.push_back(f.c("Text2").text());
        f.c("Text2").setText(answers.at(shownNames.size() - 1));
    });
    scan();
    EXPECT_EQ((std::vector<std::string>{" SMITH", "  SMITH"}), shownNames);
    EXPECT_EQ(2u, user.seen.size());
    EXPECT_EQ("On Account Number -> S1 Space as 1st letter of Last Name is BAD.", user.seen.at(0));
    EXPECT_EQ("SMITH", column("S1", "lastname"));
    EXPECT_EQ("", column("E1", "lastname"));
    EXPECT_EQ("ANN", column("E1", "firstname"));
}

// The demo store: every faulty account opens the dialog once, and every
// account after the first in NAME order is rewritten.
struct DemoScanTest : ScanTest {
    DemoScanTest() {
        // ScanTest's own file is replaced by the store tool's.
        std::filesystem::remove(root_ / "M" / "cusfile.mdb");
    }
};

TEST_F(DemoScanTest, EveryFaultIsCorrected) {
    {
        storetool::Store store(root_ / "M");
        storetool::createStore(store, true);
        storetool::DemoOptions o;
        o.today = platform::Workstation::dateOnly(p().workstation().now());
        storetool::fillDemo(store, o);
    }
    User user(p(), [](ui::Screen& f) {
        if (f.c("TxtFixedData").visible()) {
            f.c("TxtFixedData").setText("01/02/2005");
        } else {
            std::string name = f.c("Text2").text();
            f.c("Text2").setText(name.substr(name.find_first_not_of(' ')));
        }
    });
    scan();
    std::vector<std::string> expected = {
        "On Account Number -> 10004 Space as 1st letter of Last Name is BAD.",
        "On Account Number -> 10001 PURCHASE DATE is BAD.",
        "On Account Number -> 10002 Promise to Pay Date is BAD.",
        "On Account Number -> 10003 FIRST PAYMENT DATE is BAD.",
    };
    std::vector<std::string> seen = user.seen;
    std::sort(seen.begin(), seen.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, seen);
    EXPECT_EQ("01/02/2005", column("10001", "pchdate"));
    EXPECT_EQ("01/02/2005", column("10002", "prompaydate"));
    EXPECT_EQ("01/02/2005", column("10003", "origduedate"));
    EXPECT_EQ("SMITH", column("10004", "lastname"));
    EXPECT_EQ("AB10005", column("AB10005", "contract"));
    EXPECT_EQ("NULL", column("10000", "lastname"));  // first in NAME order: never rewritten
    auto db = p().engine().open("M:\\cusfile.mdb");
    auto rs = db->openTable("Table1");
    long long rewritten = 0, rows = 0;
    for (rs->moveFirst(); !rs->eof(); rs->moveNext()) {
        ++rows;
        if (!rs->field("CBIGenerationCode").isNull() && !rs->field("generationcode").isNull()) ++rewritten;
    }
    EXPECT_EQ(rows - 1, rewritten);
}

}  // namespace
