// Money text, dates, page set-up, the confirmation screen's table and the
// password entry's key rule.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/money.h"
#include "platform/numbers.h"
#include "ui/conventions.h"
#include "ui/dialog_screens.h"
#include "ui/password.h"
#include "ui/program.h"
#include "ui/screen.h"

namespace fs = std::filesystem;
using platform::Money;

namespace {

// A program over fresh temporary drives.
class ProgramFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "velmora-ui-XXXXXX").string();
        ASSERT_TRUE(::mkdtemp(tmpl.data()));
        root_ = tmpl;
        fs::create_directories(root_ / "M");
        fs::create_directories(root_ / "G");
        platform::DriveMap d;
        d.set('M', root_ / "M");
        d.set('G', root_ / "G");
        program_ = std::make_unique<ui::Program>(ui::ProgramOptions{d, false, true});
        ui::registerDialogScreens(*program_);
    }
    void TearDown() override {
        program_.reset();
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    ui::Program& p() { return *program_; }
    ui::SharedValues& shared() { return program_->shared(); }

private:
    fs::path root_;
    std::unique_ptr<ui::Program> program_;
};

}  // namespace

TEST(FormatMoney, TableOfCases) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0, "     $0.00"},          {1234.5, " $1,234.50"},     {99999.99, "$99,999.99"},
        {-12.3, "   -$12.30"},      {0.005, "     $0.01"},      {-0.005, "    -$0.01"},
        {2.675, "     $2.68"},      {1.005, "     $1.01"},      {0.125, "     $0.13"},
        {-0.004, "     $0.00"},     {-0.0, "     $0.00"},       {999.995, " $1,000.00"},
        {999999.995, "$1,000,000.00"}, {100000, "$100,000.00"}, {-10000, "-$10,000.00"},
        {-9999.99, "-$9,999.99"},   {1e15, "$1,000,000,000,000,000.00"},
        {123456789.126, "$123,456,789.13"}, {0.1 + 0.2, "     $0.30"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(c.text, ui::FormatMoney(c.value));
    }
    // A text is read by the leading-number rule.
    EXPECT_EQ("     $1.00", ui::FormatMoney(std::string("1,500")));
    EXPECT_EQ("     $0.00", ui::FormatMoney(std::string("")));
    EXPECT_EQ("     $0.00", ui::FormatMoney(std::string("$15")));
    EXPECT_EQ("    $12.35", ui::FormatMoney(std::string(" 12.345abc")));
    EXPECT_THROW(ui::FormatMoney(std::nan("")), platform::Failure);
    EXPECT_THROW(ui::FormatMoney(HUGE_VAL), platform::Failure);
}

TEST(FormatMoney, AmountsAreExactAndRoundHalfAwayFromZero) {
    struct Case {
        int64_t tenThousandths;
        const char* text;
    };
    const Case cases[] = {
        {0, "     $0.00"},       {12345000, " $1,234.50"},   {50, "     $0.01"},   {49, "     $0.00"},
        {-50, "    -$0.01"},     {-49, "     $0.00"},      {999999950, "$100,000.00"},
        {INT64_MAX, "$922,337,203,685,477.58"}, {INT64_MIN, "-$922,337,203,685,477.58"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tenThousandths);
        EXPECT_EQ(c.text, ui::FormatMoney(Money::fromTenThousandths(c.tenThousandths)));
    }
}

// The screens read money fields back by number reading: every money text,
// the wide ones included, reads back as the value it shows.
TEST(FormatMoney, EveryMoneyTextReadsBack) {
    const double values[] = {0, 0.01, -0.01, 12.3, -12.3, 99999.99, 100000, -10000, 1234567.89, -987654321.5, 1e13};
    for (double v : values) {
        SCOPED_TRACE(v);
        std::string t = ui::FormatMoney(v);
        EXPECT_GE(t.size(), 10u);
        auto back = platform::readNumber(t);
        ASSERT_TRUE(back.has_value()) << t;
        EXPECT_EQ(std::round(v * 100) / 100, *back) << t;
    }
}

TEST_F(ProgramFixture, MoneyToTextAndShowMoney) {
    shared().MoneyValue = -1234.567;
    ui::MoneyToText(p());
    EXPECT_EQ("-$1,234.57", shared().MoneyText);
    // A box limited to 15 characters is widened for a wider money text.
    ui::Screen s(p(), ui::ScreenDef{"T"}, {{"txtmoney", ui::Kind::TextBox, 0, 0, 1335, 285, "", {}, 0, "", 15}});
    ui::ShowMoney(s.c("txtmoney"), 1234567890123.0);
    EXPECT_EQ("$1,234,567,890,123.00", s.c("txtmoney").text());
    ui::ShowMoney(s.c("txtmoney"), 5);
    EXPECT_EQ("     $5.00", s.c("txtmoney").text());
}

TEST_F(ProgramFixture, CheckDate) {
    p().workstation().setShortDateFormat("MM/dd/yyyy");
    struct Case {
        const char* text;
        const char* result;  // "FAIL" for no date
    };
    const Case cases[] = {
        {"1/2/2005", "01/02/2005"}, {"3/4/05", "03/04/2005"}, {"12/31/1999", "12/31/1999"},
        {"13/45/2005", "FAIL"},     {"02/30/2005", "FAIL"},   {"", "FAIL"},
        {"##/##/####", "FAIL"},     {"1/2/2005x", "FAIL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        shared().DateText = c.text;
        ui::CheckDate(p());
        bool date = std::string(c.result) != "FAIL";
        EXPECT_EQ(c.result, shared().DateText);
        EXPECT_EQ(date ? -1 : 0, shared().DateIsValid);
        EXPECT_EQ(date ? 16777215.0 : 8438015.0, shared().DateBoxColour);
    }
}

TEST_F(ProgramFixture, PageSetUp) {
    int w = p().displayWidthTwips(), h = p().displayHeightTwips();
    ui::Screen s(p(), ui::ScreenDef{"T"}, {{"cmdexit", ui::Kind::Button, 8160, 6600, 1335, 735, "&]  Exit", {}, 0}});
    ui::PageSetUp(s);
    EXPECT_EQ((w - 9600) / 2, s.left());
    EXPECT_EQ((h - 7200) / 2, s.top());
    EXPECT_EQ(9600, s.width());
    EXPECT_EQ(7200, s.height());
    EXPECT_EQ(8160, s.c("cmdexit").left());
    // The printer choice screen: 8200 high, placed as a 7200 page; the back button moved.
    ui::PageSetUp(s, ui::MoveExit::Yes, 8200);
    EXPECT_EQ((h - 7200) / 2, s.top());
    EXPECT_EQ(8200, s.height());
    EXPECT_EQ(8040, s.c("cmdexit").left());
    EXPECT_EQ(6240, s.c("cmdexit").top());
}

TEST_F(ProgramFixture, ConfirmationButtonsByActionCode) {
    struct Case {
        const char* code;
        bool goOn;
        double answer;   // ConfirmAnswer afterwards (the caller set 1)
        double scratch;  // ScratchNumber afterwards (it was 7)
        bool postingShown;
    };
    const Case cases[] = {
        {"DELETE MAIL RECORD", true, 12, 7, false}, {"DELETE MAIL RECORD", false, 13, 0, false},
        {"ADD LATE CHARGES", true, 1, 7, false},    {"ADD LATE CHARGES", false, 1, 0, false},
        {"POSTHANDSALE", true, 1, 7, true},         {"POSTHANDSALE", false, 1, 0, true},
        {"SOMETHING ELSE", true, 12, 7, false},     {"SOMETHING ELSE", false, 13, 0, false},
    };
    auto& sure = p().screens().get<ui::AreYouSure>("AreYouSure");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.code) + (c.goOn ? " go on" : " go back"));
        p().screens().get(ui::kHandSalePostingScreen).hide();
        p().screens().get(ui::kHandSaleScreen).show();
        shared().ActionCode = c.code;
        shared().ConfirmAnswer = 1;
        shared().ScratchNumber = 7;
        sure.show();
        if (c.goOn) sure.Command2_Click();
        else sure.Command1_Click();
        EXPECT_FALSE(sure.visible());
        EXPECT_EQ(c.answer, shared().ConfirmAnswer);
        EXPECT_EQ(c.scratch, shared().ScratchNumber);
        EXPECT_EQ(c.postingShown, p().screens().get(ui::kHandSalePostingScreen).visible());
        // Only going on from a posting hides the sales-side screen.
        EXPECT_EQ(!(c.postingShown && c.goOn), p().screens().get(ui::kHandSaleScreen).visible());
    }
}

TEST_F(ProgramFixture, PasswordKeyRule) {
    constexpr int none = 0, shiftKey = 1, ctrl = 2, alt = 4;
    struct Key {
        int code, shift;
        std::string text;
    };
    struct Case {
        const char* what;
        int16_t length;
        int maxLength;  // the box's limit (0 none)
        std::vector<Key> keys;
        std::string typed;
        bool complete;
    };
    const Key enter{ui::key::Enter, none, "\r"}, backspace{ui::key::Backspace, none, "\b"},
        del{ui::key::Delete, none, "\x7f"}, escape{ui::key::Escape, none, "\x1b"}, left{ui::key::Left, none, ""},
        shiftAlone{ui::key::Shift, shiftKey, ""}, caps{ui::key::CapsLock, none, ""}, star{0, shiftKey, "*"};
    auto ch = [](char c) { return Key{0, none, std::string(1, c)}; };
    const Case cases[] = {
        {"characters add", 9, 0, {ch('a'), ch('B'), ch('1'), ch(' ')}, "aB1 ", false},
        {"a star first is held", 9, 0, {star, ch('x')}, "*x", false},
        {"a later star removes", 9, 0, {ch('a'), ch('b'), star}, "a", false},
        {"two stars leave nothing", 9, 0, {star, star}, "", false},
        {"keys without a character remove", 9, 0, {ch('a'), ch('b'), ch('c'), ch('d'), ch('e'), ch('f'), enter, backspace}, "abcd", false},
        {"more keys without a character", 9, 0, {ch('a'), ch('b'), ch('c'), ch('d'), del, escape, left, shiftAlone}, "", false},
        {"nothing held, nothing removed", 9, 0, {caps, enter, ch('z')}, "z", false},
        {"with Ctrl or Alt no character", 9, 0, {ch('a'), ch('b'), ch('c'), {'V', ctrl, "\x16"}, {'X', alt, "x"}}, "a", false},
        {"a character of any script", 9, 0, {{0, none, "\xc3\xa9"}, ch('a'), backspace}, "\xc3\xa9", false},
        {"the length completes", 3, 0, {ch('a'), ch('b'), ch('c')}, "abc", true},
        {"a star completes a one-character entry", 1, 0, {star}, "*", true},
        {"a full box refuses the character", 9, 2, {ch('a'), ch('b'), ch('c')}, "a", false},
    };
    auto& pb = p().screens().get<ui::PasswordBox>("Passwordbox");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ui::ResetPasswordEntry(p());
        shared().PasswordLength = c.length;
        pb.c("Text2").setMaxLength(c.maxLength);
        for (const auto& k : c.keys) EXPECT_TRUE(pb.Text2_KeyDown(k.code, k.shift, k.text));
        EXPECT_EQ(c.typed, shared().PasswordTyped);
        EXPECT_EQ(c.complete ? "go" : "wait", shared().PasswordWait);
        EXPECT_EQ(c.complete ? c.typed : "", shared().EnteredPassword);
        if (!c.complete) {
            // One star per character held, never a typed character.
            size_t n = 0;
            for (unsigned char b : c.typed) n += (b & 0xC0) != 0x80;
            EXPECT_EQ(std::string(n, '*'), pb.c("Text2").text());
        } else {
            EXPECT_EQ(0, pb.c("Text2").maxLength());  // the limit is lifted
        }
    }
    // Tab is left to move the focus.
    EXPECT_FALSE(pb.Text2_KeyDown(ui::key::Tab, none, "\t"));
    // More characters than the mask row has stars show the whole row.
    ui::ResetPasswordEntry(p());
    shared().PasswordLength = 0;
    pb.c("Text2").setMaxLength(0);
    for (int i = 0; i < 110; ++i) pb.Text2_KeyDown('A', none, "a");
    EXPECT_EQ(110u, shared().PasswordTyped.size());
    EXPECT_EQ(std::string(107, '*'), pb.c("Text2").text());
    EXPECT_EQ("wait", shared().PasswordWait);
}

TEST_F(ProgramFixture, ProcessPasswordCompletesWithWhatIsHeld) {
    auto& pb = p().screens().get<ui::PasswordBox>("Passwordbox");
    shared().PasswordLength = 9;
    ui::ShowPasswordEntry(p());
    EXPECT_TRUE(pb.visible());
    EXPECT_EQ(9, pb.c("Text2").maxLength());
    EXPECT_EQ("wait", shared().PasswordWait);
    pb.Cancel_Click();
    EXPECT_EQ("go", shared().PasswordWait);
    EXPECT_EQ("", shared().EnteredPassword);
    EXPECT_FALSE(pb.visible());
    EXPECT_EQ(0, pb.c("Text2").maxLength());
}

TEST(Password, SensitiveCode) {
    struct Case {
        const char* entry;
        int64_t storedTimes11;  // whole units
        bool match;
    };
    const Case cases[] = {
        {"1234", 13574, true}, {"12 34", 13574, true}, {"1234abc", 13574, true}, {"1235", 13574, false},
        {"", 0, true},         {"abc", 13574, false},  {"1e300", 13574, false},  {"9999", 109989, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        EXPECT_EQ(c.match, ui::SensitiveCodeMatches(c.entry, Money::fromWhole(c.storedTimes11)));
    }
    // A code with decimals, stored as money.
    EXPECT_TRUE(ui::SensitiveCodeMatches("1000.1", Money::fromTenThousandths(110011000)));
}
