#include "tools/store/demo.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "accounts/customer_columns.h"
#include "platform/money.h"

using platform::Date;
using platform::Money;
using platform::Value;

namespace storetool {

namespace {

// std::mt19937 produces the same sequence everywhere; the distributions of
// <random> do not, so ranges are taken by hand.
class Rng {
public:
    explicit Rng(uint32_t seed) : g_(seed) {}
    int below(int n) { return static_cast<int>(g_() % static_cast<uint32_t>(n)); }
    int range(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(int percent) { return below(100) < percent; }
    template <class T, size_t N>
    const T& pick(const T (&a)[N]) {
        return a[below(static_cast<int>(N))];
    }

private:
    std::mt19937 g_;
};

constexpr uint32_t kSeed = 20050131;

const char* const kLastNames[] = {
    "JOHNSON", "WILLIAMS", "BROWN",   "JONES",   "MILLER",   "DAVIS",   "WILSON",  "ANDERSON", "TAYLOR",
    "THOMAS",  "MOORE",    "MARTIN",  "JACKSON", "THOMPSON", "WHITE",   "HARRIS",  "CLARK",    "LEWIS",
    "ROBINSON", "WALKER",  "YOUNG",   "ALLEN",   "KING",     "WRIGHT",  "SCOTT",   "GREEN",    "BAKER",
    "ADAMS",   "NELSON",   "HILL",    "CAMPBELL", "MITCHELL", "ROBERTS", "CARTER", "PHILLIPS", "EVANS",
    "TURNER",  "PARKER",   "COLLINS", "EDWARDS", "STEWART",  "MORRIS",  "MURPHY",  "COOK",     "ROGERS"};
const char* const kMaleNames[] = {"JAMES",   "JOHN",   "ROBERT", "MICHAEL", "WILLIAM", "DAVID",  "RICHARD",
                                  "CHARLES", "JOSEPH", "THOMAS", "DONALD",  "KENNETH", "STEVEN", "EDWARD",
                                  "BRIAN",   "RONALD", "GEORGE", "KEVIN",   "JASON",   "GARY"};
const char* const kFemaleNames[] = {"MARY",   "PATRICIA", "LINDA", "BARBARA", "ELIZABETH", "JENNIFER", "MARIA",
                                    "SUSAN",  "MARGARET", "DOROTHY", "LISA",  "NANCY",     "KAREN",    "BETTY",
                                    "HELEN",  "SANDRA",   "DONNA", "CAROL",   "RUTH",      "SHARON"};
const char* const kStreets[] = {"OAK ST",       "MAPLE AVE",   "ELM ST",       "CEDAR LN",    "PINE RIDGE RD",
                                "WALNUT ST",    "HICKORY DR",  "MAIN ST",      "CHURCH ST",   "MILL RD",
                                "DOGWOOD CIR",  "LAKEVIEW DR", "RIVERSIDE DR", "COUNTY RD 12", "BROADWAY"};
struct Town {
    const char* city;
    const char* state;
    const char* zip;   // first three digits
    const char* area;  // telephone area code
};
const Town kTowns[] = {{"KNOXVILLE", "TN", "379", "865"},     {"MARYVILLE", "TN", "378", "865"},
                       {"SEVIERVILLE", "TN", "378", "865"},   {"CHATTANOOGA", "TN", "374", "423"},
                       {"CLEVELAND", "TN", "373", "423"},     {"ATHENS", "TN", "373", "423"},
                       {"DALTON", "GA", "307", "706"},        {"ASHEVILLE", "NC", "288", "828"},
                       {"JOHNSON CITY", "TN", "376", "423"},  {"LONDON", "KY", "407", "606"}};
struct Employer {
    const char* name;
    const char* address;
};
const Employer kEmployers[] = {{"VALLEY MANUFACTURING", "1200 INDUSTRIAL PKWY"},
                               {"COUNTY SCHOOL SYSTEM", "400 W BROADWAY AVE"},
                               {"MEMORIAL HOSPITAL", "2300 HOSPITAL DR"},
                               {"CITY OF KNOXVILLE", "400 MAIN ST"},
                               {"FOOD CITY #214", "5941 CLINTON HWY"},
                               {"RIDGE TRUCKING INC", "88 DEPOT ST"},
                               {"SELF EMPLOYED", ""},
                               {"MOUNTAIN VIEW NURSING HOME", "17 SUNSET BLVD"},
                               {"TRI-STATE LUMBER", "2 RAILROAD AVE"},
                               {"RETIRED", ""}};
const char* const kRelations[] = {"MOTHER", "FATHER", "BROTHER", "SISTER", "AUNT", "UNCLE", "COUSIN", "FRIEND"};
const char* const kComments[] = {"GOOD CUSTOMER",          "CALL BEFORE DELIVERY",  "PAYS IN PERSON",
                                 "WORKS NIGHTS - CALL PM", "PREFERS MAIL REMINDER", "SECOND PURCHASE",
                                 "DELIVERED AND SET UP",   "ASK FOR WIFE"};
const char* const kAutos[] = {"2014 FORD F150", "2017 CHEVY MALIBU", "2012 TOYOTA CAMRY", "2019 NISSAN ALTIMA",
                              "2011 DODGE RAM", "2016 HONDA CIVIC"};
const char* const kBanks[] = {"FIRST NATIONAL BANK", "HOME FEDERAL", "CREDIT UNION", "AUTO FINANCE CO"};
const char* const kCreditRefs[] = {"HOME FURNITURE CO - PAID AS AGREED", "SEARS - OPEN, CURRENT",
                                   "CITY APPLIANCE - PAID", "FIRST NATIONAL BANK - AUTO LOAN",
                                   "RENT-A-CENTER - CLOSED", "MEDICAL BILLS - COLLECTION"};

// ---- dates

Date addDays(const Date& d, int days) { return platform::fromSerial(platform::toSerial(d) + days); }
Date addMonths(Date d, int months) {
    int m = d.year * 12 + (d.month - 1) + months;
    d.year = m / 12;
    d.month = m % 12 + 1;
    d.day = std::min(d.day, 28);
    return d;
}
std::string mdy(const Date& d) { return platform::formatMDY(d, '/'); }
Date dateOnly(Date d) {
    d.hour = d.minute = d.second = 0;
    return d;
}
bool before(const Date& a, const Date& b) { return platform::toSerial(a) < platform::toSerial(b); }

// ---- money in cents

Money cents(int64_t c) { return Money::fromTenThousandths(c * 100); }
int64_t percentOf(int64_t c, int tenthsOfPercent) { return (c * tenthsOfPercent + 500) / 1000; }

std::string digits(Rng& r, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + r.below(10));
    return s;
}
// Numbers from 900 on are never issued, so sample data cannot be anyone's.
std::string socialSecurity(Rng& r) { return std::to_string(r.range(900, 999)) + "-" + digits(r, 2) + "-" + digits(r, 4); }
// 555-0100 to 555-0199 are the exchange numbers reserved for fiction.
std::string phone(Rng& r, const Town& t) { return std::string(t.area) + "-555-01" + digits(r, 2); }
std::string street(Rng& r) { return std::to_string(r.range(100, 9899)) + " " + r.pick(kStreets); }
std::string zip(Rng& r, const Town& t) { return std::string(t.zip) + digits(r, 2); }

// One row to add, as column and value pairs.
class Row {
public:
    void set(std::string_view column, Value v) { fields_.emplace_back(column, std::move(v)); }
    void add(platform::Recordset& rs) const {
        rs.addNew();
        for (const auto& [c, v] : fields_) rs.setField(c, v);
        rs.update();
    }

private:
    std::vector<std::pair<std::string_view, Value>> fields_;
};

struct Account {
    std::string contract, last, first, spouseFirst;
    Town town{};
    Date purchase, firstDue;
    int tmon1 = 0, paid = 0;
    int64_t orig = 0, tax = 0, financed = 0, tamt1 = 0, tamt2 = 0;
    bool house = false;
    bool male = false;

    int64_t paymentAmount(int k) const { return k < tmon1 ? tamt1 : tamt2; }  // k from 0
    int64_t balanceAfter(int payments) const {
        int64_t b = financed;
        for (int k = 0; k < payments; ++k) b -= paymentAmount(k);
        return b;
    }
};

Account makeAccount(Rng& r, int i, const Date& today) {
    Account a;
    a.contract = demoAccountNumber(i);
    a.town = r.pick(kTowns);
    a.male = r.chance(50);
    a.last = r.pick(kLastNames);
    a.first = a.male ? r.pick(kMaleNames) : r.pick(kFemaleNames);
    a.spouseFirst = a.male ? r.pick(kFemaleNames) : r.pick(kMaleNames);
    a.purchase = addDays(today, -r.range(20, 700));
    a.firstDue = addMonths(a.purchase, 1);
    const int terms[] = {5, 11, 17, 23, 35};
    a.tmon1 = r.pick(terms);
    a.orig = r.range(299, 3999) * 100 + r.range(0, 99);
    return a;
}

void writeAccount(Rng& r, int index, Account& a, const DemoOptions& o, platform::Recordset& rs,
                  std::vector<Row>* payments, int& receipt) {
    const Date today = o.today;
    Row row;
    row.set("contract", a.contract);
    if (a.house) {
        // The store's own account: no person, no purchase.
        row.set("firstname", "HOUSE ACCOUNT");
        row.set("addressone", "100 MAIN ST");
        row.set("city", "KNOXVILLE");
        row.set("state", "TN");
        row.set("zipcode", "37902");
        row.set("pchdate", std::string(accounts::kNoDate));
        row.set("origduedate", std::string(accounts::kNoDate));
        row.set("dateopened", mdy(addMonths(today, -60)));
        row.set("mailflag", "N");
        row.set("stringspare2", "N");
        row.add(rs);
        return;
    }
    const Town& t = a.town;
    int n = a.tmon1 + 1;
    int64_t down = r.chance(60) ? percentOf(a.orig, 100) : 0;
    a.tax = percentOf(a.orig, 70);
    int64_t principal = a.orig + a.tax - down;
    int64_t fc = percentOf(principal, 9 * n);
    int64_t cl = r.chance(50) ? percentOf(principal, 10) : 0;
    int64_t ans = r.chance(30) ? percentOf(principal, 20) : 0;
    int64_t prop = r.chance(40) ? percentOf(principal, 15) : 0;
    int64_t unempl = r.chance(20) ? percentOf(principal, 12) : 0;
    int64_t fee = r.chance(50) ? 550 : 0;
    a.financed = principal + fc + cl + ans + prop + unempl + fee;
    a.tamt1 = (a.financed / n + 99) / 100 * 100;
    a.tamt2 = a.financed - a.tamt1 * a.tmon1;
    if (a.tamt2 <= 0) {
        a.tamt1 = a.financed / n;
        a.tamt2 = a.financed - a.tamt1 * a.tmon1;
    }

    int due = 0;
    for (Date d = a.firstDue; !before(today, d) && due < n; d = addMonths(d, 1)) ++due;
    int behind = 0;
    if (r.chance(25)) behind = std::min(due, r.range(1, 4));
    a.paid = due - behind;  // an account whose term has run and that is not behind is paid off
    int64_t balance = a.balanceAfter(a.paid);
    bool closed = balance == 0;

    Date lastPay = a.purchase;
    for (int k = 0; k < a.paid; ++k) {
        Date payDate = addDays(addMonths(a.firstDue, k), r.range(-4, 5));
        if (before(today, payDate)) payDate = today;
        if (before(payDate, lastPay)) payDate = lastPay;
        lastPay = payDate;
        if (payments && k >= a.paid - 6) {
            Row p;
            p.set("posteddate", mdy(payDate));
            p.set("AccountNumber", a.contract);
            p.set("Receipt", "R" + std::to_string(++receipt) + (r.chance(80) ? "/P" : "/L"));
            p.set("pddate", mdy(payDate));
            p.set("Ampaid", cents(a.paymentAmount(k)));
            p.set("Amdue", cents(a.paymentAmount(k)));
            p.set("Amlate", cents(0));
            p.set("Ambal", cents(a.balanceAfter(k + 1)));
            p.set("Operator", std::to_string(r.range(1, 3)));
            p.set("PriorBalance", cents(a.balanceAfter(k)));
            p.set("Spare1", a.first + " " + a.last);
            const char* how[] = {"CASH", "CHECK", "CARD", "MONEY ORDER"};
            p.set("Spare2", r.pick(how));
            payments->push_back(std::move(p));
        }
    }

    bool married = r.chance(55);
    Date dob{today.year - r.range(22, 75), r.range(1, 12), r.range(1, 28)};
    int age = today.year - dob.year - ((today.month < dob.month || (today.month == dob.month && today.day < dob.day)) ? 1 : 0);

    row.set("lastname", a.last);
    row.set("firstname", a.first);
    row.set("section", std::string(1, static_cast<char>('A' + r.below(4))));
    row.set("purchaserss", socialSecurity(r));
    row.set("zipcode", zip(r, t));
    row.set("hometele", phone(r, t));
    const char* phoneAt[] = {"HOME", "CELL", "NEIGHBOR", "MOTHER"};
    row.set("telelocation", r.pick(phoneAt));
    row.set("workphone", phone(r, t));
    row.set("addressone", street(r));
    if (r.chance(20)) row.set("addresstwo", "APT " + std::to_string(r.range(1, 40)));
    row.set("city", t.city);
    row.set("state", t.state);
    int years = r.range(0, 15);
    row.set("howlongthere", years ? std::to_string(years) + " YRS" : std::to_string(r.range(2, 11)) + " MOS");
    row.set("DoB", mdy(dob));
    row.set("purchaserage", static_cast<double>(age));
    if (married) {
        Date sdob = addDays(dob, r.range(-2000, 2000));
        row.set("spousename", a.spouseFirst + " " + a.last);
        row.set("spousess", socialSecurity(r));
        row.set("spousedob", mdy(sdob));
        row.set("spouseage", static_cast<double>(std::max(18, today.year - sdob.year)));
    } else {
        row.set("spouseage", 0.0);
    }
    row.set("curbal", cents(balance));
    row.set("pchdate", mdy(a.purchase));
    row.set("origduedate", mdy(a.firstDue));
    row.set("tmon1", static_cast<double>(a.tmon1));
    row.set("tamt1", cents(a.tamt1));
    row.set("tmon2", 1.0);
    row.set("tamt2", cents(a.tamt2));
    row.set("creditlimit", cents((a.financed / 50000 + 1) * 50000));
    row.set("Title", a.male ? "MR" : married ? "MRS" : "MS");
    row.set("status", closed ? "P" : "A");
    row.set("numberofchildren", static_cast<double>(r.range(0, 4)));
    if (years < 2) {
        const Town& pt = r.pick(kTowns);
        row.set("prevstreet", street(r));
        row.set("prevcity", pt.city);
        row.set("prevstate", pt.state);
        row.set("prevzipcode", zip(r, pt));
    }
    const char* homes[] = {"OWN", "RENT", "PARENTS", "BUYING"};
    row.set("homeowned", r.pick(homes));
    const Employer& e = r.pick(kEmployers);
    row.set("employer", e.name);
    row.set("employeraddress", e.address);
    row.set("employedhowlong", static_cast<double>(r.range(0, 25)));
    row.set("salary", cents(r.range(1500, 5200) * 100));
    if (married && r.chance(60)) {
        const Employer& se = r.pick(kEmployers);
        row.set("spouseemployer", se.name);
        row.set("spouseemployeraddress", se.address);
        row.set("spousesalary", cents(r.range(1200, 4800) * 100));
    } else {
        row.set("spousesalary", cents(0));
    }
    if (r.chance(25)) {
        const char* sources[] = {"CHILD SUPPORT", "SOCIAL SECURITY", "PART TIME JOB", "DISABILITY"};
        row.set("otherincome", cents(r.range(200, 900) * 100));
        row.set("otherincomedesc", r.pick(sources));
    } else {
        row.set("otherincome", cents(0));
    }
    if (r.chance(60)) {
        row.set("autodescription", r.pick(kAutos));
        row.set("autofinancedwith", r.pick(kBanks));
        row.set("autobalance", cents(r.range(0, 18000) * 100));
    } else {
        row.set("autobalance", cents(0));
    }
    const char* relative[] = {"relative1", "relative2", "relative3"};
    const char* relation[] = {"relation1", "relation2", "relation3"};
    const char* rphone[] = {"rphone1", "rphone2", "rphone3"};
    const char* radd[] = {"radd1", "radd2", "radd3"};
    for (int k = 0; k < 3; ++k) {
        row.set(relative[k], std::string(r.chance(50) ? r.pick(kMaleNames) : r.pick(kFemaleNames)) + " " +
                                 r.pick(kLastNames));
        row.set(relation[k], r.pick(kRelations));
        row.set(rphone[k], phone(r, t));
        row.set(radd[k], street(r) + " " + t.city);
    }
    if (r.chance(40)) row.set("CMNT", r.pick(kComments));
    row.set("credit1", r.pick(kCreditRefs));
    if (r.chance(50)) row.set("credit2", r.pick(kCreditRefs));
    row.set("origpurchase", cents(a.orig));
    row.set("SalesTax", cents(a.tax));
    row.set("financecharge", cents(fc));
    row.set("Cl", cents(cl));
    row.set("ans", cents(ans));
    row.set("Prop", cents(prop));
    row.set("unempl", cents(unempl));
    row.set("recordfee", cents(fee));
    row.set("downpayment", cents(down));
    // Aging: what is past due by bucket; the rest of the balance is current.
    int64_t bucket[4] = {0, 0, 0, 0};
    for (int k = 0; k < behind; ++k) bucket[std::min(behind - 1 - k, 3)] += a.paymentAmount(a.paid + k);
    int64_t pastDue = bucket[0] + bucket[1] + bucket[2] + bucket[3];
    row.set("current", cents(balance - pastDue));
    row.set("thirty", cents(bucket[0]));
    row.set("sixty", cents(bucket[1]));
    row.set("ninety", cents(bucket[2]));
    row.set("over", cents(bucket[3]));
    for (const char* c : {"pastc", "pastt", "pasts", "pastn", "pasto"}) row.set(c, cents(0));
    if (behind) {
        Date promise = addDays(today, r.range(1, 14));
        row.set("prompayamount", cents(a.tamt1));
        row.set("prompaydate", mdy(promise));
        row.set("stringspare1", "SAID WILL PAY " + mdy(promise));
    } else {
        row.set("prompayamount", cents(0));
    }
    bool repeat = r.chance(20);
    Date opened = a.purchase;
    if (repeat) {
        Date prior = addDays(a.purchase, -r.range(400, 2500));
        row.set("prioraccountnumber", "9" + digits(r, 4));
        row.set("priorpurchasedate", mdy(prior));
        opened = prior;
    }
    bool cosigner = r.chance(15);
    if (cosigner) {
        row.set("cosignerlastname", r.pick(kLastNames));
        row.set("cosignerfirstname", r.chance(50) ? r.pick(kMaleNames) : r.pick(kFemaleNames));
        row.set("cosignerstreet1", street(r));
        row.set("cosignercity", t.city);
        row.set("cosignerstate", t.state);
        row.set("cosignerzipcode", zip(r, t));
        row.set("cosignerphone", phone(r, t));
        row.set("cosignernotes", "PARENT OF BUYER");
        row.set("cosignerss", socialSecurity(r));
    }
    row.set("mailflag", r.chance(10) ? "N" : "Y");
    row.set("dateopened", mdy(opened));
    row.set("highbalance", cents(a.financed));
    if (r.chance(30)) row.set("prevemployer", r.pick(kEmployers).name);
    row.set("accountstatus", closed ? "13" : behind >= 3 ? "80" : behind == 2 ? "78" : behind == 1 ? "71" : "11");
    row.set("frequencypayment", "M");
    if (behind) row.set("dateofoccurrence", mdy(addMonths(a.firstDue, a.paid)));
    if (a.paid) row.set("datelastpay", mdy(lastPay));
    row.set("highcredit", cents(a.financed));
    bool junior = r.chance(8);
    row.set("generationcode", junior ? "J" : " ");
    row.set("portfoliotype", "I");
    if (closed) row.set("dateclosed", mdy(lastPay));
    row.set("stringspare2", "N");
    // Every third account has the credit-bureau columns without a value, as
    // rows the upgrade did not rewrite; the load fills them in.
    if (o.withCreditBureauColumns && r.below(3) != 0) {
        row.set("CBIDateofInfo", mdy(today));
        row.set("CBIDateof1stDel", behind ? mdy(addMonths(a.firstDue, a.paid)) : std::string(accounts::kNoDate));
        row.set("CBIECOACode", cosigner ? "2" : "1");
        row.set("CBIComplianceCondition", "  ");
        row.set("CBIOrigChargeOffAmount", cents(0));
        std::string profile;
        for (int k = 0; k < 24; ++k) profile += k < behind ? static_cast<char>('0' + std::min(behind - k, 6)) : k < due ? '0' : 'B';
        row.set("CBIPayHistoryProfile", profile);
        row.set("CBIGenerationCode", junior ? "J" : " ");
        row.set("CBIConsumerInfoCode", "  ");
    }
    row.set("currencyspare2", cents(0));
    row.set("numberspare1", 0);
    row.set("balancelastmonth", cents(a.balanceAfter(std::max(0, a.paid - 1))));
    row.set("paymentsthiscycle", cents(a.paid && lastPay.month == today.month && lastPay.year == today.year
                                           ? a.paymentAmount(a.paid - 1)
                                           : 0));
    row.set("latechargethismonth", cents(behind ? 1000 : 0));
    row.set("lastlatechargemonth", behind ? static_cast<double>(today.month) : 0.0);
    row.set("totalamountsforlatecharge", cents(behind * 1000));
    row.set("CURRENCYSPARE1", cents(r.chance(20) ? 2500 : 0));
    // The deliberate faults (the header lists them); a later set wins.
    if (index == 1) row.set("pchdate", "13/45/2005");
    if (index == 2) row.set("prompaydate", "2/30/2005 x");
    if (index == 3) row.set("origduedate", "");
    row.add(rs);
}


void fillInsurance(Rng& r, const std::vector<Account>& accts, const Date& today, platform::Recordset& rs) {
    const char* descriptions[] = {"SINGLE LIFE", "JOINT LIFE", "ACCIDENT & HEALTH", "PROPERTY",     "CL REFUND",
                                  "A&H REFUND",  "PROP REFUND", "UNEMPLOYMENT",     "UNEMPL REFUND"};
    for (int type = 1; type <= 9; ++type) {
        for (int k = 0; k < 3; ++k) {
            const Account& a = accts[1 + r.below(static_cast<int>(accts.size()) - 1)];
            Date d{today.year, today.month, r.range(1, std::max(1, today.day))};
            bool refund = type >= 5 && type != 8;
            int64_t amount = refund ? r.range(15, 250) * 100 + r.range(0, 99) : a.financed ? a.financed : 150000;
            Row row;
            row.set("accountnumber", a.contract);
            row.set("lastname", a.last);
            row.set("firstmiddle", a.first + " " + static_cast<char>('A' + r.below(26)) + ".");
            if (type == 2) {
                row.set("colastname", a.last);
                row.set("cofirstmiddle", a.spouseFirst);
            }
            row.set("insurancetype", type);
            row.set("amount", cents(amount));
            row.set("dateinsured", mdy(d));
            row.set("Description", descriptions[type - 1]);
            row.add(rs);
        }
    }
}

void fillMailList(Rng& r, int list, const std::vector<Account>& accts, platform::Recordset& rs) {
    int rows = 6 + 2 * list;
    const char* post[] = {"", "", "", "JR", "SR", "III"};
    for (int k = 0; k < rows; ++k) {
        Row row;
        const Town& t = r.pick(kTowns);
        bool customer = r.chance(50);
        const Account& a = accts[1 + r.below(static_cast<int>(accts.size()) - 1)];
        bool male = r.chance(50);
        std::string last = customer ? a.last : r.pick(kLastNames);
        std::string first = customer ? a.first : male ? r.pick(kMaleNames) : r.pick(kFemaleNames);
        row.set("lastname", last);
        row.set("firstmiddle", first);
        row.set("PostName", r.pick(post));
        row.set("Title", male ? "MR" : "MS");
        row.set("addressone", street(r));
        row.set("city", t.city);
        row.set("state", t.state);
        row.set("zipcode", zip(r, t));
        const char* ratings[] = {"R1", "R2", "R3", "A", "B"};
        row.set("rating1", r.pick(ratings));
        row.set("rating2", r.pick(ratings));
        row.set("rating3", r.pick(ratings));
        if (customer) row.set("accountno", a.contract);
        row.add(rs);
    }
}

struct Opened {
    std::shared_ptr<platform::Database> db;
    std::unique_ptr<platform::Recordset> rs;
};
Opened openTable(Store& s, const std::string& file) {
    Opened o;
    o.db = s.engine().open(Store::programPath(file));
    o.rs = o.db->openTable("Table1");
    // One write to disk per database, not one per row.
    o.db->beginTrans();
    return o;
}

}  // namespace

std::string demoAccountNumber(int i) { return (i == 5 ? "ab" : "") + std::to_string(10000 + i); }

void fillDemo(Store& store, const DemoOptions& o) {
    if (o.accounts < kDemoFaultyAccounts || o.accounts > kDemoMaxAccounts)
        throw StoreError("the number of demo accounts must be from " + std::to_string(kDemoFaultyAccounts) + " to " +
                         std::to_string(kDemoMaxAccounts));
    Rng r(kSeed);
    Date today = dateOnly(o.today);
    std::vector<Account> accts;
    std::vector<Row> payments;
    int receipt = 40000;
    {
        Opened cus = openTable(store, std::string(accounts::kCustomerFile));
        for (int i = 0; i < o.accounts; ++i) {
            Account a = makeAccount(r, i, today);
            a.house = i == 0;
            if (i == 4) a.last = " SMITH";
            writeAccount(r, i, a, o, *cus.rs, &payments, receipt);
            accts.push_back(a);
        }
        cus.db->commitTrans();
        cus.db->close();
    }
    {
        Opened detail = openTable(store, "detail.mdb");
        for (const auto& p : payments) p.add(*detail.rs);
        detail.db->commitTrans();
        detail.db->close();
    }
    {
        Opened ins = openTable(store, "insurance.mdb");
        fillInsurance(r, accts, today, *ins.rs);
        ins.db->commitTrans();
        ins.db->close();
    }
    for (int list = 1; list <= 5; ++list) {
        Opened mail = openTable(store, "mail" + std::to_string(list) + ".mdb");
        fillMailList(r, list, accts, *mail.rs);
        mail.db->commitTrans();
        mail.db->close();
    }
    {
        Opened com = openTable(store, "comment.mdb");
        for (size_t i = 1; i < accts.size(); ++i) {
            if (!r.chance(35)) continue;
            Row row;
            row.set("AccountNumber", accts[i].contract);
            row.set("CommentDate", mdy(addDays(today, -r.range(0, 60))));
            row.set("Comment", r.pick(kComments));
            row.add(*com.rs);
        }
        com.db->commitTrans();
        com.db->close();
    }
    struct Item {
        const char* sku;
        const char* description;
        int cost;  // dollars
    };
    const Item items[] = {{"SOF-1001", "SOFA, 3 CUSHION, BROWN", 420},     {"SOF-1002", "LOVESEAT, MATCHING", 310},
                          {"REC-2001", "RECLINER, ROCKER", 260},           {"BED-3001", "QUEEN BED, 5 PC SET", 690},
                          {"BED-3002", "TWIN BUNK BED", 240},             {"MAT-4001", "QUEEN MATTRESS SET", 380},
                          {"MAT-4002", "FULL MATTRESS SET", 300},         {"DIN-5001", "DINETTE, 5 PC", 290},
                          {"DIN-5002", "DINING TABLE, 6 CHAIRS", 610},    {"APP-6001", "REFRIGERATOR, 21 CU FT", 720},
                          {"APP-6002", "WASHER, TOP LOAD", 410},          {"APP-6003", "DRYER, ELECTRIC", 380},
                          {"ELE-7001", "TV, 55 INCH", 350},               {"TAB-8001", "COCKTAIL TABLE SET, 3 PC", 150},
                          {"LMP-9001", "TABLE LAMP, PAIR", 45}};
    {
        Opened stock = openTable(store, "stock.mdb");
        for (const auto& it : items) {
            Row row;
            row.set("Sku", it.sku);
            row.set("Description", it.description);
            row.set("OnHand", r.range(0, 12));
            row.set("Cost", cents(it.cost * 100));
            row.set("Price", cents(it.cost * 210 - 1));
            row.add(*stock.rs);
        }
        stock.db->commitTrans();
        stock.db->close();
    }
    {
        Opened trans = openTable(store, "trans.mdb");
        const char* kinds[] = {"S", "S", "S", "R", "A"};
        for (int k = 0; k < 25; ++k) {
            Row row;
            const char* kind = r.pick(kinds);
            row.set("Sku", r.pick(items).sku);
            row.set("TransDate", mdy(addDays(today, -r.range(0, 90))));
            row.set("Quantity", kind[0] == 'S' ? -r.range(1, 2) : r.range(1, 6));
            row.set("TransType", kind);
            row.add(*trans.rs);
        }
        trans.db->commitTrans();
        trans.db->close();
    }
    {
        Opened inv = openTable(store, "invoice.mdb");
        for (size_t i = 1; i < accts.size(); ++i) {
            Row row;
            row.set("InvoiceNumber", "I" + std::to_string(50000 + i));
            row.set("AccountNumber", accts[i].contract);
            row.set("InvoiceDate", mdy(accts[i].purchase));
            row.set("Amount", cents(accts[i].orig + accts[i].tax));
            row.add(*inv.rs);
        }
        inv.db->commitTrans();
        inv.db->close();
    }
}

}  // namespace storetool
