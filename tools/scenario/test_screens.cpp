#include "tools/scenario/test_screens.h"

#include <memory>
#include <vector>

#include "ui/conventions.h"
#include "ui/program.h"
#include "ui/screen.h"

namespace scenario {

using namespace ui;

namespace {

// Tab positions are the controls' places in the table, 0 to 15, so Enter on
// the last one wraps to the first (a label, passed over to txtfirst).
std::vector<ControlDef> testControls() {
    Look title{colour::Blue, colour::White, "Times New Roman", 17.25, true, false, true, Align::Center, false};
    Look box{colour::White, colour::Black};
    Look money{colour::White, colour::Black, "Courier New", 9.75, false, false, false, Align::Left, true};
    Look label{colour::Blue, colour::White};
    Look multi = box;
    multi.multiline = true;
    auto field = [&](const char* name, int top, const char* text, int tab, const Look& l = Look{colour::White, colour::Black}) {
        return ControlDef{name, Kind::TextBox, 2400, top, 2535, 315, text, l, tab};
    };
    auto moneyField = [&](const char* name, int top, const char* text, int tab) {
        ControlDef d{name, Kind::TextBox, 2400, top, 1335, 315, text, money, tab};
        d.maxLength = 15;
        return d;
    };
    ControlDef hidden = field("txthidden", 4440, "hidden", 11);
    hidden.visible = false;
    ControlDef disabled = field("txtdisabled", 4800, "disabled", 12);
    disabled.enabled = false;
    return {
        {"Label1", Kind::Label, 0, 120, 9600, 495, "Test Conventions", title, 0},
        field("txtfirst", 720, "", 1, box),
        field("txtdate", 1080, "", 2, box),
        {"Label2", Kind::Label, 5160, 1080, 2535, 315, "a label holds a tab position", label, 3},
        moneyField("txtrestore", 1440, "    $12.50", 4),
        moneyField("txtsalestax", 1800, "     $5.00", 5),
        moneyField("txtblank", 2160, "   $100.00", 6),
        moneyField("txtstored", 2520, " $1,234.50", 7),
        field("txtselect", 2880, "select me", 8),
        field("txtempty", 3240, "gone", 9),
        field("txtkeep", 3600, "KEEP", 10),
        hidden,
        disabled,
        {"txtmulti", Kind::TextBox, 2400, 5160, 2535, 615, "", multi, 13},
        field("txtdate2", 5880, "99/99/9999", 14),
        field("txtlast", 6240, "", 15),
    };
}

class TestConventions : public Screen {
public:
    explicit TestConventions(Program& p)
        : Screen(p, ScreenDef{"TestConventions", "Test Conventions", colour::Blue, "MS Sans Serif", 8.25, false, true},
                 testControls()) {
        onScreenKeyPress([this](int& k) { AdvanceOnEnter(*this, k); });
        FieldOptions salesTax;
        salesTax.rememberOnChange = true;
        FieldOptions stored;
        stored.stored = [] { return 1234.5; };
        attach(*this, {
                           {"txtdate", Behaviour::DateBox},
                           {"txtdate2", Behaviour::DateBox},
                           {"txtrestore", Behaviour::MoneyReformat},
                           {"txtsalestax", Behaviour::MoneyReformat, salesTax},
                           {"txtblank", Behaviour::MoneyBlankOnEntry},
                           {"txtstored", Behaviour::MoneyShowStored, stored},
                           {"txtselect", Behaviour::SelectAll},
                           {"txtempty", Behaviour::EmptyOnFocus},
                           {"txtkeep", Behaviour::RememberAndPutBack},
                       });
    }
    void load() override {
        PageSetUp(*this);
        // As the program's start-up does before any screen is shown.
        program().workstation().setShortDateFormat("MM/dd/yyyy");
    }
};

}  // namespace

void registerTestScreens(Program& p) {
    p.screens().add("TestConventions", [](Program& pr) { return std::make_unique<TestConventions>(pr); });
}

}  // namespace scenario
