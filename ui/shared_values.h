#pragma once
// The values the screens and dialogs share across the whole program (one
// instance, owned by the Program).
#include <cstdint>
#include <string>

namespace ui {

struct SharedValues {
    // Password handshake
    std::string PasswordWait;
    int16_t PasswordLength = 0;
    std::string PasswordTyped;
    std::string EnteredPassword;
    // Confirmation and operation codes
    std::string ActionCode;
    double ConfirmAnswer = 0;
    std::string OldValueLabel;
    std::string FieldChanged;
    // Printing
    std::string PrintFlag;
    std::string ZeroBalanceChoice, ZeroOnHandChoice, CostChoice, SectionChoice;
    // Scratch values of many routines
    double ScratchNumber = 0;
    std::string ScratchText;
    // Screen conventions
    double MoneyValue = 0;
    std::string MoneyText;
    std::string DateText;
    int16_t DateIsValid = 0;
    double DateBoxColour = 0;
    double PriorValue = 0, EnteredValue = 0;
    double PriorValue2 = 0, EnteredValue2 = 0;  // the blank-on-entry fields' own pair
};

}  // namespace ui
