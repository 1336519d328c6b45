#pragma once
// The customer file's columns as data: one row per column of Table1 in
// cusfile.mdb, with what the account record's load and store do with it. The
// load, the store, the raw editors and the store tool are all driven by this
// one table, so a column's width or rule is changed here and nowhere else.
#include <string_view>
#include <vector>

#include "platform/engine/engine.h"

namespace accounts {

inline constexpr std::string_view kCustomerFile = "cusfile.mdb";
inline constexpr std::string_view kCustomerTable = "Table1";
// Index names; the engine matches them without regard to case, so the raw
// editor's "CONTRACT" is the same index as "contract".
inline constexpr std::string_view kContractIndex = "contract";
inline constexpr std::string_view kNameIndex = "NAME";
// The text that stands for a missing date.
inline constexpr std::string_view kNoDate = "01/01/1900";

// The type of the account record's member for the column.
enum class MemberType { Text, Number, Money, Single, Int16, Any };

// How the load reads a column into its member.
enum class LoadRule {
    Value,    // the value converted to the member's type; no value is a failure
    Text,     // the default, replaced by the value when that is non-empty text
    Zero,     // 0, replaced by the value when present and not 0
    Ecoa,     // "", replaced by the value unless it is the single space " " (an empty value is taken)
    NotRead,  // not read at all
};

// The credit-bureau fill-in after the load: when the member gets `fillValue`.
enum class FillRule {
    None,
    WhenEmpty,         // the member is ""
    WhenNotDate,       // the platform does not recognise the member as a date ("" included)
    WhenEmptyOrSpace,  // the member is "" or " "
};

enum ColumnFlag : unsigned {
    UpperCaseOnStore = 1u << 0,         // the member is upper-cased (in the record too) before it is written
    DateText = 1u << 1,                 // holds a date as the ten characters MM/DD/YYYY
    NormaliseDateOnLoad = 1u << 2,      // after the load: rewritten as MM/DD/YYYY when recognised as a date
    EmptyStoredAsNoDate = 1u << 3,      // before the store: "" becomes kNoDate (in the record too)
    NonDateStoredAsNoDate = 1u << 4,    // before the store: a text that is not a date becomes kNoDate
    NotInRecord = 1u << 5,              // no member: written only by Add New Accounts
};

struct CustomerColumn {
    int number = 0;                // 1..129 in store order; 0 for CURRENCYSPARE1
    std::string_view name;         // the column's name as the program spells it
    std::string_view member;       // the account record's member ("" when none)
    MemberType memberType = MemberType::Text;
    platform::ColumnType type = platform::ColumnType::Text;  // declared column type
    int size = 0;                  // declared characters of a Text column, else 0
    int storeWidth = 0;            // characters the store writes; 0 = uncut (or not text)
    LoadRule load = LoadRule::Value;
    std::string_view textDefault;  // the Text rule's default
    unsigned flags = 0;
    FillRule fill = FillRule::None;
    std::string_view fillValue;
    bool creditBureau = false;     // one of the eight columns the credit-bureau upgrade adds
    bool lateCharge = false;       // written and read by the late-charge steps (125..129)

    bool has(ColumnFlag f) const { return (flags & f) != 0; }
};

// Every column, in the order the store writes them: 1..124, the late-charge
// columns 125..129, then CURRENCYSPARE1.
const std::vector<CustomerColumn>& customerColumns();
// The same columns in the order the load reads them: as the store, except
// that mailflag (98) is read after prevemployer (101).
std::vector<const CustomerColumn*> customerColumnsInLoadOrder();
// The column of that name, any case; nullptr when there is none.
const CustomerColumn* findCustomerColumn(std::string_view name);

// Table1 of a customer file: every column (without the eight credit-bureau
// columns when asked, as a file from before that upgrade), number and money
// columns defaulting to 0, text columns without a default; the unique index
// "contract" and the index "NAME" (lastname, firstname, contract).
platform::TableDef customerTableDef(bool withCreditBureauColumns);

}  // namespace accounts
