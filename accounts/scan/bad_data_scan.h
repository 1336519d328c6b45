#pragma once
// The bad-data scan of the customer file: every account in the order of the
// index NAME (from the second one on) is loaded, its purchase, first-payment
// and promised-payment dates and its last name are checked and corrected on
// the correction dialog until they pass, and the account is stored back.
#include <functional>
#include <string>

namespace ui {
class Program;
}

namespace accounts {

// The utility menu's progress line during a scan, and its last text.
inline constexpr const char* kScanDone = "DONE  done   DONE   done  DONE    etc.";

// The click of "Scan Customer File for      BAD DATA".
void ScanForBadData(ui::Program& p);
// Whether a scan is running (a second one is not started meanwhile).
bool ScanRunning(ui::Program& p);

// Asks the user for a corrected date: shows the value and returns the text typed.
using CorrectionDialog = std::function<std::string(const std::string& value, const std::string& description)>;

// Changes `value` in place until it passes every check of a date text,
// asking on the correction dialog (ErrorForm) for each bad value. The caller
// sets OldValueLabel first; `description` names the value in the message.
void CorrectDate(ui::Program& p, std::string& value, const std::string& description);
// The same with another way of asking (tests answer for the user).
void CorrectDate(ui::Program& p, std::string& value, const std::string& description, const CorrectionDialog& ask);
// The correction dialog's date question: fills ErrorForm, shows it modal with
// the focus in TxtFixedData and returns TxtFixedData's text.
std::string AskDateOnErrorForm(ui::Program& p, const std::string& value, const std::string& description);

}  // namespace accounts
