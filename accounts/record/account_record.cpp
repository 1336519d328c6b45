#include "accounts/record/account_record.h"

#include <QString>

#include <cmath>

#include "platform/numbers.h"
#include "settings/program/program_settings.h"
#include "ui/conventions.h"
#include "ui/program.h"

namespace accounts {

using platform::Value;

namespace {

const std::string kCustomerPath = "M:\\" + std::string(kCustomerFile);

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

// A column of the table with the record's member it loads into and stores from.
struct Bound {
    const CustomerColumn* column;
    const MemberInfo* member;
};

const MemberInfo& memberOf(const CustomerColumn& c) {
    const MemberInfo* m = findAccountMember(c.member);
    // The column table and the record are one program: a column naming no
    // member is a mistake in one of them.
    if (!m) throw std::logic_error("the account record has no member " + std::string(c.member));
    return *m;
}

// The columns the record loads (in load order) or stores (in store order),
// without those that have no member.
std::vector<Bound> bound(const std::vector<const CustomerColumn*>& columns) {
    std::vector<Bound> out;
    for (const CustomerColumn* c : columns)
        if (!c->has(NotInRecord) && !c->member.empty()) out.push_back({c, &memberOf(*c)});
    return out;
}
const std::vector<Bound>& loadOrder() {
    static const std::vector<Bound> v = bound(customerColumnsInLoadOrder());
    return v;
}
const std::vector<Bound>& storeOrder() {
    static const std::vector<Bound> v = [] {
        std::vector<const CustomerColumn*> cs;
        for (const auto& c : customerColumns()) cs.push_back(&c);
        return bound(cs);
    }();
    return v;
}

// The member takes the value (which holds one), converted to its type.
void assign(AccountRecord& r, const MemberInfo& m, const Value& v) {
    std::visit(Overloaded{
                   [&](TextMember AccountRecord::*p) { r.*p = v.toText(); },
                   [&](NumberMember AccountRecord::*p) { r.*p = v.toDouble(); },
                   [&](MoneyMember AccountRecord::*p) { r.*p = v.toMoney(); },
                   [&](SingleMember AccountRecord::*p) {
                       double d = v.toDouble();
                       if (std::fabs(d) > 3.4028234663852886e38) throw platform::overflowError();
                       r.*p = static_cast<float>(d);
                   },
                   [&](Int16Member AccountRecord::*p) {
                       double d = std::nearbyint(v.toDouble());
                       if (d < -32768 || d > 32767) throw platform::overflowError();
                       r.*p = static_cast<int16_t>(d);
                   },
                   [&](AnyMember AccountRecord::*p) { r.*p = v; },
               },
               m.pointer);
}

// Text members get the text, number members 0.
void assignPlain(AccountRecord& r, const MemberInfo& m, std::string_view text) {
    std::visit(Overloaded{
                   [&](TextMember AccountRecord::*p) { r.*p = std::string(text); },
                   [&](NumberMember AccountRecord::*p) { r.*p = 0; },
                   [&](MoneyMember AccountRecord::*p) { r.*p = platform::Money(); },
                   [&](SingleMember AccountRecord::*p) { r.*p = 0; },
                   [&](Int16Member AccountRecord::*p) { r.*p = 0; },
                   [&](AnyMember AccountRecord::*p) { r.*p = Value(std::string(text)); },
               },
               m.pointer);
}

std::string& textMember(AccountRecord& r, const MemberInfo& m) {
    auto* p = std::get_if<TextMember AccountRecord::*>(&m.pointer);
    if (!p) throw std::logic_error(std::string(m.name) + " is not a text member");
    return r.**p;
}

// The value the store writes for the member: text cut to the column's width.
Value stored(const AccountRecord& r, const Bound& b) {
    return std::visit(Overloaded{
                          [&](TextMember AccountRecord::*p) {
                              const std::string& t = r.*p;
                              return Value(b.column->storeWidth > 0 ? firstCharacters(t, b.column->storeWidth) : t);
                          },
                          [&](NumberMember AccountRecord::*p) { return Value(r.*p); },
                          [&](MoneyMember AccountRecord::*p) { return Value(r.*p); },
                          [&](SingleMember AccountRecord::*p) { return Value(static_cast<double>(r.*p)); },
                          [&](Int16Member AccountRecord::*p) { return Value(static_cast<int>(r.*p)); },
                          [&](AnyMember AccountRecord::*p) { return r.*p; },
                      },
                      b.member->pointer);
}

bool isDate(ui::Program& p, const std::string& text) {
    return p.workstation().locale().recognise(text).has_value();
}

// One column into its member by the column's load rule.
void loadColumn(ui::Program& p, const Bound& b, LoadReport& report) {
    const CustomerColumn& c = *b.column;
    if (c.load == LoadRule::NotRead) return;
    AccountRecord& r = account(p);
    try {
        Value v = customerTable(p).field(c.name);
        switch (c.load) {
            case LoadRule::Value:
                if (v.isNull()) {
                    // Read as 0 rather than stopping here: the members after
                    // this one must not keep the previous account's values.
                    assignPlain(r, *b.member, "");
                    report.withoutValue.emplace_back(c.name);
                } else {
                    assign(r, *b.member, v);
                }
                break;
            case LoadRule::Text:
                assignPlain(r, *b.member, c.textDefault);
                if (v.isNonEmptyText()) assign(r, *b.member, v);
                break;
            case LoadRule::Zero:
                assignPlain(r, *b.member, "");
                if (!v.isNull() && v.toDouble() != 0) assign(r, *b.member, v);
                break;
            case LoadRule::Ecoa:
                assignPlain(r, *b.member, "");
                if (!v.isNull() && !(v.isText() && v.text() == " ")) assign(r, *b.member, v);
                break;
            case LoadRule::NotRead: break;
        }
    } catch (const ColumnFailure&) {
        throw;
    } catch (const platform::Failure& f) {
        throw ColumnFailure(f, std::string(c.name));
    }
}

// Writes the columns (the late-charge ones or the others); a refusal cancels
// the row's change.
void storeColumns(ui::Program& p, bool lateCharge) {
    platform::Recordset& t = customerTable(p);
    AccountRecord& r = account(p);
    try {
        for (const Bound& b : storeOrder()) {
            const CustomerColumn& c = *b.column;
            if (c.lateCharge != lateCharge) continue;
            if (c.has(UpperCaseOnStore)) {
                std::string& m = textMember(r, *b.member);
                m = upperCase(m);
            }
            if (c.has(EmptyStoredAsNoDate) && textMember(r, *b.member).empty())
                textMember(r, *b.member) = std::string(kNoDate);
            if (c.has(NonDateStoredAsNoDate) && !isDate(p, textMember(r, *b.member)))
                textMember(r, *b.member) = std::string(kNoDate);
            try {
                t.setField(c.name, stored(r, b));
            } catch (const platform::Failure& f) {
                throw ColumnFailure(f, std::string(c.name));
            }
        }
    } catch (const ColumnFailure&) {
        try {
            if (t.editMode() != platform::EditMode::None) t.cancelUpdate();
        } catch (const platform::Failure&) {
        }
        throw;
    }
}

}  // namespace

const std::vector<MemberInfo>& accountMembers() {
    static const std::vector<MemberInfo> members = {
#define VELMORA_MEMBER_INFO(type, name) {#name, MemberType::type, &AccountRecord::name},
        VELMORA_ACCOUNT_MEMBERS(VELMORA_MEMBER_INFO)
#undef VELMORA_MEMBER_INFO
    };
    return members;
}

const MemberInfo* findAccountMember(std::string_view name) {
    for (const auto& m : accountMembers())
        if (m.name == name) return &m;
    return nullptr;
}

std::string memberText(const AccountRecord& r, const MemberInfo& m) {
    return std::visit(Overloaded{
                          [&](TextMember AccountRecord::*p) { return r.*p; },
                          [&](NumberMember AccountRecord::*p) { return platform::numberText(r.*p); },
                          [&](MoneyMember AccountRecord::*p) { return platform::moneyText(r.*p); },
                          [&](SingleMember AccountRecord::*p) { return platform::singleText(r.*p); },
                          [&](Int16Member AccountRecord::*p) { return std::to_string(r.*p); },
                          [&](AnyMember AccountRecord::*p) {
                              const Value& v = r.*p;
                              return v.isNull() ? std::string("NULL") : v.toText();
                          },
                      },
                      m.pointer);
}

CustomerFile& customerFile(ui::Program& p) { return p.part<CustomerFile>(); }
AccountRecord& account(ui::Program& p) { return customerFile(p).account; }

platform::Recordset& customerTable(ui::Program& p) {
    auto& t = customerFile(p).CustomerTable;
    if (!t) throw platform::Failure(91, "Object variable or With block variable not set");
    return *t;
}

ColumnFailure::ColumnFailure(const platform::Failure& cause, std::string column)
    : platform::Failure(cause.number(), cause.description() + " (column " + column + ")", cause.file()),
      column_(std::move(column)) {}

void OpenCustomerFile(ui::Program& p) {
    auto db = p.engine().open(kCustomerPath);
    std::shared_ptr<platform::Recordset> table = db->openTable(kCustomerTable);
    CustomerFile& cf = customerFile(p);
    cf.CustomerTable = std::move(table);
    cf.CustomerDatabase = std::move(db);
}

void SeekAccount(ui::Program& p) {
    CustomerFile& cf = customerFile(p);
    cf.SeekErrorNumber = 0;
    try {
        OpenCustomerFile(p);
        platform::Recordset& t = *cf.CustomerTable;
        t.setIndex(kContractIndex);
        t.moveFirst();
        t.seek(platform::SeekOp::Equal, {Value(cf.AccountToFind)});
        if (!t.noMatch()) {
            t.edit();
            cf.account.contract = t.field("contract").toText();
        }
    } catch (const platform::Failure& f) {
        cf.SeekErrorNumber = f.number();
    }
}

LoadReport LoadAccountRecord(ui::Program& p) {
    LoadReport report;
    for (const Bound& b : loadOrder())
        if (!b.column->lateCharge) loadColumn(p, b, report);
    report.add(LoadLateChargeFields(p));
    AccountRecord& r = account(p);
    auto& s = p.shared();
    for (const Bound& b : loadOrder()) {
        if (!b.column->has(NormaliseDateOnLoad)) continue;
        std::string& m = textMember(r, *b.member);
        s.DateText = m;
        ui::CheckDate(p);
        if (s.DateText != "FAIL") m = s.DateText;
    }
    FillCreditBureauDefaults(p);
    return report;
}

LoadReport LoadLateChargeFields(ui::Program& p) {
    LoadReport report;
    for (const Bound& b : loadOrder())
        if (b.column->lateCharge) loadColumn(p, b, report);
    return report;
}

void StoreAccountRecord(ui::Program& p) {
    storeColumns(p, false);
    StoreLateChargeFields(p);
}

void StoreLateChargeFields(ui::Program& p) { storeColumns(p, true); }

void FillCreditBureauDefaults(ui::Program& p) {
    AccountRecord& r = account(p);
    for (const Bound& b : loadOrder()) {
        const CustomerColumn& c = *b.column;
        if (c.fill == FillRule::None) continue;
        std::string& m = textMember(r, *b.member);
        bool fill = false;
        switch (c.fill) {
            case FillRule::WhenEmpty: fill = m.empty(); break;
            case FillRule::WhenNotDate: fill = !isDate(p, m); break;
            case FillRule::WhenEmptyOrSpace: fill = m.empty() || m == " "; break;
            case FillRule::None: break;
        }
        if (fill) m = std::string(c.fillValue);
    }
}

void ResetAccountValues(ui::Program& p) {
    CustomerFile& cf = customerFile(p);
    cf.account = AccountRecord{};
    cf.AccountToFind.clear();
    cf.SeekErrorNumber = 0;
}

void registerSharedValues(ui::Program& p) {
    settings::hooks(p).resetOthers.push_back([&p] { ResetAccountValues(p); });
    CustomerFile* cf = &customerFile(p);
    for (const MemberInfo& m : accountMembers()) {
        const MemberInfo* mi = &m;
        p.registerShared("account." + std::string(m.name), [cf, mi] { return memberText(cf->account, *mi); });
    }
    p.registerShared("AccountToFind", [cf] { return cf->AccountToFind; });
    p.registerShared("SeekErrorNumber", [cf] { return platform::numberText(cf->SeekErrorNumber); });
}

std::string upperCase(std::string_view s) {
    QString q = QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    for (QChar& ch : q) {
        // One letter for one: letters without a single upper-case letter stay.
        if (!ch.isSurrogate()) ch = ch.toUpper();
    }
    return q.toStdString();
}

std::string firstCharacters(std::string_view s, int n) {
    size_t i = 0;
    int count = 0;
    while (i < s.size()) {
        if (count == n) break;
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        i = std::min(s.size(), i + len);
        ++count;
    }
    return std::string(s.substr(0, i));
}

}  // namespace accounts
