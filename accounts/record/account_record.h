#pragma once
// The account record: the program's one in-memory copy of a customer-file
// row, with the shared handles of the customer file and the routines that
// open it, find an account, and copy a row into the record and back. What
// each column's load and store do is read from the column table
// (accounts/customer_columns.h); nothing here names a column except through it.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "accounts/customer_columns.h"
#include "platform/engine/engine.h"
#include "platform/failure.h"
#include "platform/money.h"

namespace ui {
class Program;
}

namespace accounts {

// The member types of the record, by the column table's MemberType.
using TextMember = std::string;
using NumberMember = double;
using MoneyMember = platform::Money;
using SingleMember = float;
using Int16Member = int16_t;
using AnyMember = platform::Value;

// Every member, in the order of the column table (one generationcode for the
// columns generationcode and CBIGenerationCode), then the members that no
// column holds. X(type, name).
#define VELMORA_ACCOUNT_MEMBERS(X)                                                                                  \
    X(Text, contract) X(Text, lastname) X(Text, firstname) X(Text, section) X(Text, purchaserss)                    \
    X(Text, zipcode) X(Text, hometele) X(Text, telelocation) X(Text, workphone) X(Text, spousename)                 \
    X(Text, spousess) X(Text, addressone) X(Text, addresstwo) X(Text, city) X(Text, state) X(Text, howlongthere)    \
    X(Text, DoB) X(Text, spousedob) X(Number, purchaserage) X(Number, spouseage) X(Money, curbal)                   \
    X(Text, pchdate) X(Text, origduedate) X(Number, tmon1) X(Money, tamt1) X(Number, tmon2) X(Money, tamt2)         \
    X(Money, creditlimit) X(Text, Title) X(Text, status) X(Number, numberofchildren) X(Text, prevstreet)            \
    X(Text, prevcity) X(Text, prevstate) X(Text, prevzipcode) X(Text, homeowned) X(Text, employer)                  \
    X(Text, employeraddress) X(Number, employedhowlong) X(Money, salary) X(Text, spouseemployer)                    \
    X(Text, spouseemployeraddress) X(Money, spousesalary) X(Money, otherincome) X(Text, otherincomedesc)            \
    X(Text, autodescription) X(Text, autofinancedwith) X(Money, autobalance) X(Text, relative1)                     \
    X(Text, relation1) X(Text, rphone1) X(Text, radd1) X(Text, relative2) X(Text, relation2) X(Text, rphone2)       \
    X(Text, radd2) X(Text, relative3) X(Text, relation3) X(Text, rphone3) X(Text, radd3) X(Text, CMNT)              \
    X(Text, credit1) X(Text, credit2) X(Text, credit3) X(Money, origpurchase) X(Money, SalesTax)                    \
    X(Money, financecharge) X(Money, Cl) X(Money, ans) X(Money, Prop) X(Money, unempl) X(Money, recordfee)          \
    X(Money, downpayment) X(Money, current) X(Money, thirty) X(Money, sixty) X(Money, ninety) X(Money, over)        \
    X(Money, pastc) X(Money, pastt) X(Money, pasts) X(Money, pastn) X(Money, pasto) X(Money, prompayamount)         \
    X(Text, prompaydate) X(Text, prioraccountnumber) X(Text, priorpurchasedate) X(Text, cosignerlastname)           \
    X(Text, cosignerfirstname) X(Text, cosignerstreet1) X(Text, cosignerstreet2) X(Text, cosignercity)              \
    X(Text, cosignerstate) X(Text, cosignerzipcode) X(Text, cosignerphone) X(Text, cosignernotes)                   \
    X(Text, cosignerss) X(Text, mailflag) X(Text, dateopened) X(Money, highbalance) X(Text, prevemployer)           \
    X(Text, accountstatus) X(Text, frequencypayment) X(Text, dateofoccurrence) X(Text, datelastpay)                 \
    X(Money, highcredit) X(Text, associationcode) X(Text, generationcode) X(Text, portfoliotype)                    \
    X(Text, dateclosed) X(Text, stringspare1) X(Text, stringspare2) X(Text, stringspare3) X(Any, stringspare4)      \
    X(Text, CBIDateofInfo) X(Text, CBIDateof1stDel) X(Text, CBIECOACode) X(Text, CBIComplianceCondition)            \
    X(Money, CBIOrigChargeOffAmount) X(Text, CBIPayHistoryProfile) X(Text, CBIConsumerInfoCode)                     \
    X(Money, currencyspare2) X(Int16, numberspare1) X(Money, balancelastmonth) X(Money, paymentsthiscycle)          \
    X(Money, latechargethismonth) X(Single, lastlatechargemonth) X(Money, totalamountsforlatecharge)                \
    X(Money, fcst) X(Money, rebatefc) X(Money, hadlatecharge) X(Text, cosignerdob) X(Text, secondbene)              \
    X(Number, payout)

struct AccountRecord {
#define VELMORA_DECLARE_MEMBER(type, name) type##Member name{};
    VELMORA_ACCOUNT_MEMBERS(VELMORA_DECLARE_MEMBER)
#undef VELMORA_DECLARE_MEMBER
};

// A member of the record by name, for the column-driven load and store and for
// inspection.
using MemberPointer =
    std::variant<TextMember AccountRecord::*, NumberMember AccountRecord::*, MoneyMember AccountRecord::*,
                 SingleMember AccountRecord::*, Int16Member AccountRecord::*, AnyMember AccountRecord::*>;
struct MemberInfo {
    std::string_view name;
    MemberType type;
    MemberPointer pointer;
};
const std::vector<MemberInfo>& accountMembers();
const MemberInfo* findAccountMember(std::string_view name);
// The member's value as text: numbers in the platform's general form, money
// to four decimals at most, a member of any type that holds no value as "NULL".
std::string memberText(const AccountRecord& r, const MemberInfo& m);

// The account record with the customer file's shared handles.
struct CustomerFile {
    AccountRecord account;
    std::shared_ptr<platform::Database> CustomerDatabase;
    std::shared_ptr<platform::Recordset> CustomerTable;
    std::string AccountToFind;
    double SeekErrorNumber = 0;
};

CustomerFile& customerFile(ui::Program& p);
AccountRecord& account(ui::Program& p);
// The table handle; failure 91 when the customer file was never opened.
platform::Recordset& customerTable(ui::Program& p);

// A failure of the engine on one column of the account record: the engine's
// number, its description followed by the column's name.
class ColumnFailure : public platform::Failure {
public:
    ColumnFailure(const platform::Failure& cause, std::string column);
    const std::string& column() const { return column_; }

private:
    std::string column_;
};

// What a load found: the columns under the value rule that held no value
// (read as 0, or as the empty text for the account number), in load order.
struct LoadReport {
    std::vector<std::string> withoutValue;
    void add(const LoadReport& o) { withoutValue.insert(withoutValue.end(), o.withoutValue.begin(), o.withoutValue.end()); }
};

// Opens M:\cusfile.mdb shared and its Table1, replacing both handles.
void OpenCustomerFile(ui::Program& p);
// Finds AccountToFind by the index "contract" and begins an edit of it; engine
// errors go into SeekErrorNumber. The caller reads the table's no-match flag.
void SeekAccount(ui::Program& p);
// The current row into the record. A column without a value under the value
// rule is read as 0 and reported; any other engine failure (a missing column,
// a value that cannot be converted) is thrown as a ColumnFailure, so a caller
// never goes on to store a record that is part this row and part another.
LoadReport LoadAccountRecord(ui::Program& p);
// The record into the current row, which the caller has put in edit (or
// addition) mode and updates afterwards. A column the engine refuses (a
// credit-bureau member longer than its column) cancels the row's change, so
// nothing of it is written, and is thrown as a ColumnFailure.
void StoreAccountRecord(ui::Program& p);
LoadReport LoadLateChargeFields(ui::Program& p);
void StoreLateChargeFields(ui::Program& p);
void FillCreditBureauDefaults(ui::Program& p);

// Clears the record and the seek values (text empty, numbers 0); the handles stay.
void ResetAccountValues(ui::Program& p);
// Registers the reset with ResetSharedValues and every member as the shared
// value "account.<member>" (plus AccountToFind and SeekErrorNumber).
void registerSharedValues(ui::Program& p);

// Upper case as the platform's conversion does it, letter by letter (accented
// letters included; nothing changes length).
std::string upperCase(std::string_view s);
// The first n characters (not bytes) of a text.
std::string firstCharacters(std::string_view s, int n);

}  // namespace accounts
