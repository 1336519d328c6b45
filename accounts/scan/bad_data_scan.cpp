#include "accounts/scan/bad_data_scan.h"

#include <QString>

#include <cmath>
#include <utility>
#include <vector>

#include "accounts/record/account_record.h"
#include "platform/codepage.h"
#include "platform/dates.h"
#include "platform/numbers.h"
#include "settings/program/program_settings.h"
#include "settings/system_spec.h"
#include "ui/conventions.h"
#include "ui/dialogs.h"
#include "ui/program.h"
#include "ui/screen.h"

namespace accounts {

namespace {

struct ScanState {
    bool running = false;
};

// Left, Mid and Right on characters, as the platform's text functions count
// them: out of range gives what is there (or nothing).
QString left(const QString& s, int n) { return s.left(n); }
QString mid(const QString& s, int start1, int n) { return start1 - 1 < s.size() ? s.mid(start1 - 1, n) : QString(); }
QString right(const QString& s, int n) { return s.right(n); }

double leading(const QString& s) { return platform::leadingNumber(s.toStdString()); }
double rounded(double d) { return std::nearbyint(d); }  // to even, as the platform rounds

bool isSeparator(const QString& ch) { return ch == "-" || ch == "/"; }

// Steps 2 and 3: the 9th-character rule and the month lengths (no leap years).
QString tidied(QString v) {
    if (v.size() >= 9 && v[8] == ' ') v[8] = '0';
    if (left(v, 2) == "02" && leading(mid(v, 4, 2)) > 28) v = left(v, 3) + "28" + right(v, 5);
    QString m = left(v, 2);
    if ((m == "04" || m == "09" || m == "06" || m == "11") && leading(mid(v, 4, 2)) > 30)
        v = left(v, 3) + "30" + right(v, 5);
    return v;
}

bool badForm(const QString& v) {
    if (v.size() < 5 || v.size() > 10) return true;
    double month = rounded(leading(left(v, 2)));
    if (month < 1 || month > 12) return true;
    double day = rounded(leading(mid(v, 4, 2)));
    if (day < 1 || day > 31) return true;
    if (rounded(leading(right(v, 4))) < 1000) return true;
    return !isSeparator(mid(v, 3, 1)) || !isSeparator(mid(v, 6, 1));
}

// The platform's date arithmetic must take the value: the months from it to
// the program date are counted (and not used).
bool platformTakes(ui::Program& p, const std::string& value) {
    const platform::Locale& loc = p.workstation().locale();
    auto from = loc.recognise(value);
    if (!from) return false;
    auto to = loc.recognise(settings::state(p).programDate);
    // Without a program date (settings not loaded) the workstation's date
    // stands in, so that no value could ever pass.
    platform::Date today = to ? *to : platform::Workstation::dateOnly(p.workstation().now());
    (void)platform::monthsBetween(*from, today);
    return true;
}

void askLastName(ui::Program& p, ui::Screen& form, AccountRecord& r) {
    while (!r.lastname.empty() && r.lastname[0] == ' ') {
        p.shared().ActionCode = "LASTNAMECHECK";
        form.c("Text1").setText("On Account Number -> " + r.contract + " Space as 1st letter of Last Name" +
                                " is BAD.");
        form.c("Text2").setText(r.lastname);
        form.c("Command1").setCaption(
            "PLEASE CLICK on Last Name (second yellow line) ABOVE to fix to MM/DD/YYYY format and then CLICK HERE");
        form.showModal();
        r.lastname = form.c("Text2").text();
    }
}

// Date checks of one member: CheckDate's form first, then CorrectDate.
void checkDate(ui::Program& p, std::string& member, const char* oldLabel, const std::string& description) {
    auto& s = p.shared();
    s.DateText = member;
    ui::CheckDate(p);
    if (s.DateText != "FAIL") member = s.DateText;
    s.OldValueLabel = oldLabel;
    CorrectDate(p, member, description);
}

std::vector<std::string> indexColumns(platform::Recordset& t, std::string_view index) {
    for (const auto& ix : t.definition().indexes)
        if (platform::equalsNoCase(ix.name, index)) return ix.columns;
    return {};
}

std::vector<platform::Value> keyOf(platform::Recordset& t, const std::vector<std::string>& columns) {
    std::vector<platform::Value> key;
    for (const auto& c : columns) key.push_back(t.field(c));
    return key;
}

// After a row's key changed (a last name without its leading space moves in
// the NAME order), the scan goes on from where the row was, so the rows
// between its old and its new place are not passed over.
void backToOldPlace(platform::Recordset& t, const std::vector<platform::Value>& oldKey) {
    t.seek(platform::SeekOp::LessEqual, oldKey);
    if (t.noMatch()) t.moveFirst();
}

std::string zeroedNote(const std::vector<std::pair<std::string, std::vector<std::string>>>& zeroed) {
    std::string text = "These accounts had amounts without a value; they were stored as 0:";
    constexpr size_t kShown = 20;
    for (size_t i = 0; i < zeroed.size() && i < kShown; ++i) {
        text += "\r\n" + zeroed[i].first + ": ";
        for (size_t k = 0; k < zeroed[i].second.size(); ++k) text += (k ? ", " : "") + zeroed[i].second[k];
    }
    if (zeroed.size() > kShown) text += "\r\n... and " + std::to_string(zeroed.size() - kShown) + " more accounts.";
    return text;
}

}  // namespace

bool ScanRunning(ui::Program& p) { return p.part<ScanState>().running; }

void ScanForBadData(ui::Program& p) {
    ScanState& state = p.part<ScanState>();
    if (state.running) return;
    state.running = true;
    struct Done {
        ScanState& s;
        ~Done() { s.running = false; }
    } done{state};

    ui::Screen& form = p.screens().get("ErrorForm");
    ui::Control& progress = p.screens().get("Utility").c("Text1");
    form.c("Command2").setVisible(true);
    progress.setVisible(true);

    OpenCustomerFile(p);
    // The scan's own hold on the table: it stays valid for the loop whatever
    // a routine run meanwhile does with the shared handles.
    std::shared_ptr<platform::Recordset> table = customerFile(p).CustomerTable;
    platform::Recordset& t = *table;
    t.setIndex(kNameIndex);
    t.moveFirst();
    const std::vector<std::string> keyColumns = indexColumns(t, kNameIndex);
    AccountRecord& r = account(p);
    std::vector<std::pair<std::string, std::vector<std::string>>> zeroed;

    // An empty file has no first row to move on from: nothing to scan.
    bool empty = t.bof() && t.eof();
    while (!empty) {
        t.moveNext();
        if (t.eof()) break;
        customerFile(p).CustomerTable = table;
        LoadReport report = LoadAccountRecord(p);
        std::vector<platform::Value> oldKey = keyOf(t, keyColumns);
        t.edit();
        p.yield();
        progress.setText(r.contract + " " + r.lastname);

        checkDate(p, r.pchdate, "Old Purch. Date", r.contract + " " + "PURCHASE DATE");
        checkDate(p, r.origduedate, "Old 1st Pay. Date", r.contract + " " + "FIRST PAYMENT DATE");
        checkDate(p, r.prompaydate, "Old Prom. Pay. Date", r.contract + " " + "Promise to Pay Date");
        askLastName(p, form, r);

        r.contract = upperCase(r.contract);
        r.lastname = upperCase(r.lastname);
        r.firstname = upperCase(r.firstname);
        customerFile(p).CustomerTable = table;
        StoreAccountRecord(p);
        t.update();
        if (!report.withoutValue.empty()) zeroed.emplace_back(r.contract, report.withoutValue);
        if (keyOf(t, keyColumns) != oldKey) backToOldPlace(t, oldKey);
    }

    p.files().closeAll();
    progress.setText(kScanDone);
    form.c("Command2").setVisible(false);
    // Amounts that had no value were read and stored as 0; the user is told
    // which, so they can be checked on the accounts.
    if (!zeroed.empty()) p.dialogs().message(zeroedNote(zeroed), "Velmora");
}

void CorrectDate(ui::Program& p, std::string& value, const std::string& description) {
    CorrectDate(p, value, description, [&p](const std::string& v, const std::string& d) {
        return AskDateOnErrorForm(p, v, d);
    });
}

void CorrectDate(ui::Program& p, std::string& value, const std::string& description, const CorrectionDialog& ask) {
    auto& s = p.shared();
    for (;;) {
        s.ActionCode = "CHECKDATE";
        QString v = tidied(QString::fromStdString(value));
        value = v.toStdString();
        bool bad = badForm(v) || !platformTakes(p, value);
        if (!bad) break;
        value = ask(value, description);
    }
    s.ActionCode = "";
}

std::string AskDateOnErrorForm(ui::Program& p, const std::string& value, const std::string& description) {
    ui::Screen& form = p.screens().get("ErrorForm");
    form.c("Text1").setText("On Account Number -> " + description + " is BAD.");
    // The second line is the last-name question's: no other account's name
    // stays on it.
    form.c("Text2").setText("");
    for (const char* name : {"TxtAccountNO", "TxtBadData", "TxtFixedData"}) form.c(name).setVisible(true);
    form.c("TxtFixedData").setText("");
    form.c("TxtBadData").setText(value);
    form.c("TxtAccountNO").setText(account(p).contract);
    for (const char* name : {"Label1", "Label2", "LblBadMessage"}) form.c(name).setVisible(true);
    form.c("LblBadMessage").setCaption(p.shared().OldValueLabel);
    form.c("Command1").setCaption("Please Click Here when Error is Corrected.");
    form.c("TxtFixedData").setFocus();
    form.showModal();
    return form.c("TxtFixedData").text();
}

}  // namespace accounts
