#pragma once
// Sample data for a new store: the same rows for the same options and month
// (a fixed seed), realistic enough to work the tools on, with a few rows that
// carry the faults the bad-data scan is there to find.
//
// The deliberate faults, by row (account i has the number 10000 + i):
//   10000    house account with no last name at all: first in NAME order,
//            so the scan (which passes over the first row) visits every
//            faulty row below
//   10001    purchase date (pchdate) "13/45/2005"
//   10002    promised payment date (prompaydate) "2/30/2005 x"
//   10003    empty first due date (origduedate "")
//   10004    last name " SMITH" (a leading space)
//   ab10005  account number in lower case
// Every other account is sound. Insurance rows (three of each of the nine
// types) are dated in the current month of `today`.
#include "platform/dates.h"
#include "tools/store/store.h"

namespace storetool {

inline constexpr int kDemoFaultyAccounts = 6;  // accounts 0..5 above
inline constexpr int kDemoDefaultAccounts = 60;
inline constexpr int kDemoMaxAccounts = 100000;

struct DemoOptions {
    int accounts = kDemoDefaultAccounts;  // at least kDemoFaultyAccounts
    bool withCreditBureauColumns = true;
    platform::Date today;                 // the host's date
};

// The account number of demo account i.
std::string demoAccountNumber(int i);

// Fills a store made by createStore with the same options.
void fillDemo(Store& store, const DemoOptions& options);

}  // namespace storetool
