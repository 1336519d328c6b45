// CorrectDate: the tidying rules, each bad form, and the dialog asked again
// until the value passes. The dialog is answered by the test.
#include "accounts_fixture.h"

#include "accounts/scan/bad_data_scan.h"

using namespace accounts;
using namespace accounts_test;

namespace {

class CorrectDateTest : public AccountsFixture {
protected:
    // Runs CorrectDate with the answers given in turn; returns the values the
    // dialog was shown.
    std::vector<std::string> correct(std::string& value, std::vector<std::string> answers) {
        std::vector<std::string> shown;
        size_t next = 0;
        CorrectDate(p(), value, "12345 PURCHASE DATE", [&](const std::string& v, const std::string& d) {
            EXPECT_EQ("12345 PURCHASE DATE", d);
            EXPECT_EQ("CHECKDATE", p().shared().ActionCode);
            shown.push_back(v);
            if (next >= answers.size()) throw std::runtime_error("asked once more than expected for " + v);
            return answers[next++];
        });
        EXPECT_EQ("", p().shared().ActionCode);
        return shown;
    }
};

struct Passing {
    const char* given;
    const char* result;
};

TEST_F(CorrectDateTest, ValuesThatPassAfterTidying) {
    const std::vector<Passing> cases = {
        {"01/02/2005", "01/02/2005"},
        {"12/05/20 5", "12/05/2005"},   // a space as 9th character becomes 0
        {"02/29/2004", "02/28/2004"},   // no leap years: 29 February becomes the 28th
        {"02/30/2005", "02/28/2005"},
        {"04/31/2005", "04/30/2005"},
        {"06/31/2005", "06/30/2005"},
        {"09/31/2005", "09/30/2005"},
        {"11/31/2005", "11/30/2005"},
        {"01/31/2005", "01/31/2005"},
        {"12/31/1999", "12/31/1999"},
        {"10-12-2005", "10-12-2005"},   // dashes are separators too
        {"01/01/1900", "01/01/1900"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given);
        std::string v = c.given;
        EXPECT_TRUE(correct(v, {}).empty());
        EXPECT_EQ(c.result, v);
    }
}

TEST_F(CorrectDateTest, BadFormsOpenTheDialog) {
    const std::vector<const char*> bad = {
        "",             // fewer than 5 characters
        "1/2/",
        "01/02/20055",  // more than 10
        "13/45/2005",   // month above 12
        "00/10/2005",   // month below 1
        "01/32/2005",   // day above 31
        "01/00/2005",   // day below 1
        "01/02/0999",   // year below 1000
        "01.02.2005",   // separators
        "01/02.2005",
        "1/2/2005",     // third character not a separator
        "01/02",        // no year
        "1a/02/2005",   // passes the form, not a date for the platform
        "2/30/2005 x",
        "02/29/99",     // becomes 02/2829/99, whose year part 9/99 reads as 9
    };
    for (const char* b : bad) {
        SCOPED_TRACE(b);
        std::string v = b;
        auto shown = correct(v, {"03/04/2005"});
        ASSERT_EQ(1u, shown.size());
        EXPECT_EQ("03/04/2005", v);
    }
}

// The dialog comes back until what is typed passes; what is typed is tidied too.
TEST_F(CorrectDateTest, AskedAgainUntilTheValuePasses) {
    std::string v = "13/45/2005";
    auto shown = correct(v, {"", "13/01/2005", "04/31/2006"});
    EXPECT_EQ((std::vector<std::string>{"13/45/2005", "", "13/01/2005"}), shown);
    EXPECT_EQ("04/30/2006", v);
}

// The month-length rule rebuilds the text from its first three and last five
// characters, whatever the value's length.
TEST_F(CorrectDateTest, ShownValueIsTheTidiedOne) {
    std::string v = "02/30/20 5x";
    auto shown = correct(v, {"02/03/2005"});
    EXPECT_EQ((std::vector<std::string>{"02/282005x"}), shown);
}

// Without a program date the workstation's date stands in, so a sound date
// still passes.
TEST_F(CorrectDateTest, WithoutProgramDate) {
    settings::state(p()).programDate = "";
    std::string v = "05/06/2007";
    EXPECT_TRUE(correct(v, {}).empty());
}

}  // namespace
