#include "accounts/customer_columns.h"

#include "platform/codepage.h"

namespace accounts {

namespace {

using platform::ColumnType;

// text(N): the first N characters are written; the Text rule with "".
CustomerColumn text(int number, std::string_view name, int width) {
    CustomerColumn c;
    c.number = number;
    c.name = name;
    c.member = name;
    c.type = ColumnType::Text;
    c.size = width;
    c.storeWidth = width;
    c.load = LoadRule::Text;
    return c;
}

// A text column written uncut. Declared at the engine's text maximum.
CustomerColumn uncut(int number, std::string_view name, std::string_view textDefault = "") {
    CustomerColumn c = text(number, name, 255);
    c.storeWidth = 0;
    c.textDefault = textDefault;
    return c;
}

CustomerColumn dateText(int number, std::string_view name, std::string_view textDefault, unsigned flags = 0) {
    CustomerColumn c = uncut(number, name, textDefault);
    c.flags = DateText | flags;
    return c;
}

CustomerColumn numeric(int number, std::string_view name, MemberType member, ColumnType type,
                       LoadRule load = LoadRule::Value) {
    CustomerColumn c;
    c.number = number;
    c.name = name;
    c.member = name;
    c.memberType = member;
    c.type = type;
    c.load = load;
    return c;
}

CustomerColumn number(int n, std::string_view name) { return numeric(n, name, MemberType::Number, ColumnType::Double); }
CustomerColumn money(int n, std::string_view name, LoadRule load = LoadRule::Value) {
    return numeric(n, name, MemberType::Money, ColumnType::Currency, load);
}

CustomerColumn late(CustomerColumn c) {
    c.lateCharge = true;
    return c;
}

// One of the columns the credit-bureau upgrade adds, declared as it declares them.
CustomerColumn bureau(CustomerColumn c) {
    c.creditBureau = true;
    return c;
}

CustomerColumn filled(CustomerColumn c, FillRule rule, std::string_view value) {
    c.fill = rule;
    c.fillValue = value;
    return c;
}

CustomerColumn bureauText(int number, std::string_view name, int declared, std::string_view textDefault = "") {
    CustomerColumn c = text(number, name, declared);
    c.storeWidth = 0;  // written uncut: a longer member is refused by the engine
    c.textDefault = textDefault;
    return bureau(c);
}

std::vector<CustomerColumn> build() {
    constexpr unsigned kPurchaseDate = NormaliseDateOnLoad | EmptyStoredAsNoDate;
    std::vector<CustomerColumn> v;
    auto add = [&](CustomerColumn c) { v.push_back(c); };

    CustomerColumn contract = text(1, "contract", 10);
    contract.load = LoadRule::Value;
    contract.flags = UpperCaseOnStore;
    add(contract);
    add(text(2, "lastname", 20));
    add(text(3, "firstname", 15));
    add(text(4, "section", 10));
    add(text(5, "purchaserss", 11));
    add(text(6, "zipcode", 10));
    add(text(7, "hometele", 12));
    add(text(8, "telelocation", 20));
    add(text(9, "workphone", 12));
    add(text(10, "spousename", 25));
    add(text(11, "spousess", 11));
    add(text(12, "addressone", 35));
    add(text(13, "addresstwo", 35));
    add(text(14, "city", 20));
    add(text(15, "state", 2));
    add(text(16, "howlongthere", 10));
    add(dateText(17, "DoB", kNoDate));
    add(dateText(18, "spousedob", kNoDate));
    add(number(19, "purchaserage"));
    add(number(20, "spouseage"));
    add(money(21, "curbal"));
    add(dateText(22, "pchdate", "", kPurchaseDate));
    add(dateText(23, "origduedate", "", kPurchaseDate));
    add(number(24, "tmon1"));
    add(money(25, "tamt1"));
    add(number(26, "tmon2"));
    add(money(27, "tamt2"));
    add(money(28, "creditlimit"));
    add(text(29, "Title", 4));
    add(text(30, "status", 2));
    add(number(31, "numberofchildren"));
    add(text(32, "prevstreet", 35));
    add(text(33, "prevcity", 25));
    add(text(34, "prevstate", 2));
    add(text(35, "prevzipcode", 10));
    add(uncut(36, "homeowned"));
    add(text(37, "employer", 30));
    add(text(38, "employeraddress", 50));
    add(number(39, "employedhowlong"));
    add(money(40, "salary"));
    add(text(41, "spouseemployer", 30));
    add(text(42, "spouseemployeraddress", 50));
    add(money(43, "spousesalary"));
    add(money(44, "otherincome"));
    add(text(45, "otherincomedesc", 35));
    add(text(46, "autodescription", 35));
    add(text(47, "autofinancedwith", 25));
    add(money(48, "autobalance"));
    add(text(49, "relative1", 25));
    add(text(50, "relation1", 10));
    add(text(51, "rphone1", 12));
    add(text(52, "radd1", 35));
    add(text(53, "relative2", 25));
    add(text(54, "relation2", 10));
    add(text(55, "rphone2", 12));
    add(text(56, "radd2", 35));
    add(text(57, "relative3", 25));
    add(text(58, "relation3", 10));
    add(text(59, "rphone3", 12));
    add(text(60, "radd3", 35));
    add(text(61, "CMNT", 80));
    add(text(62, "credit1", 50));
    add(text(63, "credit2", 50));
    add(text(64, "credit3", 50));
    add(money(65, "origpurchase"));
    add(money(66, "SalesTax"));
    add(money(67, "financecharge"));
    add(money(68, "Cl"));
    add(money(69, "ans"));
    add(money(70, "Prop"));
    add(money(71, "unempl"));
    add(money(72, "recordfee"));
    add(money(73, "downpayment"));
    add(money(74, "current"));
    add(money(75, "thirty"));
    add(money(76, "sixty"));
    add(money(77, "ninety"));
    add(money(78, "over"));
    add(money(79, "pastc"));
    add(money(80, "pastt"));
    add(money(81, "pasts"));
    add(money(82, "pastn"));
    add(money(83, "pasto"));
    add(money(84, "prompayamount"));
    add(dateText(85, "prompaydate", kNoDate, NormaliseDateOnLoad | NonDateStoredAsNoDate));
    add(text(86, "prioraccountnumber", 20));
    add(dateText(87, "priorpurchasedate", kNoDate));
    add(text(88, "cosignerlastname", 35));
    add(text(89, "cosignerfirstname", 35));
    add(text(90, "cosignerstreet1", 35));
    add(text(91, "cosignerstreet2", 35));
    add(text(92, "cosignercity", 20));
    add(text(93, "cosignerstate", 2));
    add(text(94, "cosignerzipcode", 10));
    add(text(95, "cosignerphone", 12));
    add(text(96, "cosignernotes", 50));
    add(text(97, "cosignerss", 11));
    add(text(98, "mailflag", 1));
    add(dateText(99, "dateopened", kNoDate));
    add(money(100, "highbalance"));
    add(text(101, "prevemployer", 35));
    add(uncut(102, "accountstatus"));
    add(uncut(103, "frequencypayment"));
    add(uncut(104, "dateofoccurrence"));
    add(uncut(105, "datelastpay"));
    add(money(106, "highcredit", LoadRule::Zero));
    add(uncut(107, "associationcode"));
    // Written from the first character of the generation code; the member is
    // loaded from CBIGenerationCode, never from here.
    CustomerColumn generation = text(108, "generationcode", 1);
    generation.load = LoadRule::NotRead;
    add(generation);
    add(uncut(109, "portfoliotype"));
    add(filled(dateText(110, "dateclosed", ""), FillRule::WhenNotDate, kNoDate));
    add(uncut(111, "stringspare1"));
    add(uncut(112, "stringspare2", "N"));
    add(uncut(113, "stringspare3"));
    CustomerColumn spare4 = uncut(114, "stringspare4");
    spare4.memberType = MemberType::Any;
    spare4.type = ColumnType::Memo;
    spare4.size = 0;
    add(spare4);

    CustomerColumn info = bureauText(115, "CBIDateofInfo", 10, kNoDate);
    info.flags = DateText;
    add(filled(info, FillRule::WhenEmpty, kNoDate));
    CustomerColumn firstDel = bureauText(116, "CBIDateof1stDel", 10, kNoDate);
    firstDel.flags = DateText;
    add(filled(firstDel, FillRule::WhenNotDate, kNoDate));
    CustomerColumn ecoa = bureauText(117, "CBIECOACode", 1);
    ecoa.load = LoadRule::Ecoa;
    add(filled(ecoa, FillRule::WhenEmptyOrSpace, "1"));
    add(filled(bureauText(118, "CBIComplianceCondition", 2), FillRule::WhenEmpty, "  "));
    add(bureau(money(119, "CBIOrigChargeOffAmount")));
    add(filled(bureauText(120, "CBIPayHistoryProfile", 24), FillRule::WhenEmpty, "BBBBBBBBBBBBBBBBBBBBBBBB"));
    CustomerColumn cbiGeneration = bureauText(121, "CBIGenerationCode", 1);
    cbiGeneration.member = "generationcode";
    add(filled(cbiGeneration, FillRule::WhenEmpty, " "));
    add(filled(bureauText(122, "CBIConsumerInfoCode", 2), FillRule::WhenEmpty, "  "));
    add(money(123, "currencyspare2", LoadRule::Zero));
    add(numeric(124, "numberspare1", MemberType::Int16, ColumnType::Integer, LoadRule::Zero));

    add(late(money(125, "balancelastmonth")));
    add(late(money(126, "paymentsthiscycle")));
    add(late(money(127, "latechargethismonth")));
    add(late(numeric(128, "lastlatechargemonth", MemberType::Single, ColumnType::Single)));
    add(late(money(129, "totalamountsforlatecharge")));

    // The account's surcharge, written by Add New Accounts only.
    CustomerColumn surcharge = money(0, "CURRENCYSPARE1", LoadRule::NotRead);
    surcharge.member = "";
    surcharge.flags = NotInRecord;
    add(surcharge);
    return v;
}

platform::Value zeroOf(ColumnType t) {
    switch (t) {
        case ColumnType::Currency: return platform::Value(platform::Money());
        case ColumnType::Double:
        case ColumnType::Single: return platform::Value(0.0);
        default: return platform::Value(0);
    }
}

}  // namespace

const std::vector<CustomerColumn>& customerColumns() {
    static const std::vector<CustomerColumn> columns = build();
    return columns;
}

std::vector<const CustomerColumn*> customerColumnsInLoadOrder() {
    std::vector<const CustomerColumn*> out;
    const CustomerColumn* mailflag = nullptr;
    for (const auto& c : customerColumns()) {
        if (c.number == 98) {
            mailflag = &c;
            continue;
        }
        out.push_back(&c);
        if (c.number == 101) out.push_back(mailflag);
    }
    return out;
}

const CustomerColumn* findCustomerColumn(std::string_view name) {
    for (const auto& c : customerColumns())
        if (platform::equalsNoCase(c.name, name)) return &c;
    return nullptr;
}

platform::TableDef customerTableDef(bool withCreditBureauColumns) {
    platform::TableDef def;
    def.name = std::string(kCustomerTable);
    for (const auto& c : customerColumns()) {
        if (c.creditBureau && !withCreditBureauColumns) continue;
        platform::ColumnDef col;
        col.name = std::string(c.name);
        col.type = c.type;
        col.size = c.size;
        if (c.type != ColumnType::Text && c.type != ColumnType::Memo) col.defaultValue = zeroOf(c.type);
        def.columns.push_back(std::move(col));
    }
    def.indexes.push_back({std::string(kContractIndex), {"contract"}, true});
    def.indexes.push_back({std::string(kNameIndex), {"lastname", "firstname", "contract"}, false});
    return def;
}

}  // namespace accounts
