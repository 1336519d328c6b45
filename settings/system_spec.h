#pragma once
// The store's settings (WSPEC.DAT and WExtraData.Dat in M:\, with their
// one-time .old backups) and the workstation's settings (LocalSPEC.DAT at the
// local directory prefix): the shared in-memory records and the routines that
// load, save, back up and restore them. Everything a routine touches is passed
// in through SettingsEnv, so the routines run without a window.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/files.h"
#include "platform/money.h"
#include "platform/workstation.h"

namespace settings {

using platform::Money;

// Field names are the names the rest of the system uses for them.
struct SystemSpec {
    // WSPEC.DAT
    std::string spcity, spstate, spzip, spinsur;
    int16_t spnummo = 0;
    double spnum0 = 0, spirate = 0, spstfact = 0, spfilefee = 0, SPLATENO = 0;
    std::string spconame, spcostreet, spcocity, spcostate, spcozip, spcophone, spcotext7, spcotext8;
    std::string sptext0, LateChMethod;
    double TxtLastAccountNumber = 0;
    double TOPLATE = 0, LATEPCT = 0;
    Money Delivery;
    double Text20 = 0, BotLate = 0;

    // WExtraData.Dat
    std::string ExtraText1, ExtraText2, TxtConvertSource, TxtPrintTSNBefore, TxtStopDuringReceipt, TxtHowFigureTSN,
        IsLaborTaxable, IsDeliveryTaxable, TxtForceLate, TxtCreditGrantorCode, TxtCreditReporterName,
        TxtCreditReporterAddress, TxtTransUnionID, TxtInnovisID, TxtEquifaxID, TxtExperianID, TxtCreditGrantorPhone,
        TxtUseDptMark, TxtAddto5, TxtUseAccountTimer;
    int16_t TxtCreditBureauType = 0, TxtNoDaysReminder = 0, txInternalVersionNo = 0;
    double ExtraNumber71 = 0, TxtNextSkuNumber = 0;
    float ExtraSingle75 = 0;
    Money SensitiveCodeTimes11, Aquisition;
    Money ExtraMoney1, ExtraMoney2, ExtraMoney3, ExtraMoney4, ExtraMoney5, ExtraMoney6, ExtraMoney7, ExtraMoney8,
        ExtraMoney9, ExtraMoney10;

    bool operator==(const SystemSpec&) const = default;
};

struct LocalSpec {
    std::string TxtCanWriteReceipt;
    std::string TxtReceiptWidth;       // "W" wide or "N" narrow receipts, kept as read
    std::string TxtBackupDriveLetter;  // at most 3 characters (the entry box's limit)

    bool operator==(const LocalSpec&) const = default;
};

// How often each settings file has been opened and read (wholly or up to a
// failure); the first load reads the store's files twice because creating the
// main menu loads them once more.
struct ReadCounts {
    int wspec = 0;
    int extraData = 0;
    int localSpec = 0;
};

struct SettingsState {
    SystemSpec spec;
    LocalSpec local;
    double filler = 0;        // the one value behind every numeric filler of both store files
    std::string programDate;  // the date the tools treat as today
    std::string localPrefix;  // "" until ResetSharedValues, then "G:"
    ReadCounts reads;
};

struct SettingsEnv {
    platform::FileChannels& files;
    platform::Workstation& workstation;
    SettingsState& state;
    // First step of every LoadSystemSpec: creates the main menu hidden when it
    // does not exist yet (its own load calls LoadSystemSpec again) and sets its
    // tooltips. May be empty.
    std::function<void()> prepareMainMenu;
    // ResetSharedValues' clearing of the account record and the other shared
    // working values outside the settings. May be empty.
    std::function<void()> resetOtherValues;
};

inline constexpr const char* kWSpecFile = "M:\\WSPEC.DAT";
inline constexpr const char* kExtraDataFile = "M:\\WExtraData.Dat";
inline constexpr const char* kLocalSpecName = "LocalSPEC.DAT";
inline constexpr int kExtraDataLines = 105;
inline constexpr int kLocalSpecLines = 13;

// Reads both store files into state.spec. A file that is missing, ends early or
// holds a value out of its field's range makes the load restore the backups
// and read once more; fields read before the failure keep their new values.
// A missing backup fails with that copy's failure (53 naming the backup); files
// that cannot be read after the restore either fail with the reading failure,
// naming the file.
void LoadSystemSpec(SettingsEnv& env);
// Writes both store files from state.spec, each replaced atomically. A text
// value that needs quoting but holds a double quote cannot be written so that
// it reads back as it is; it is refused (failure 5) before anything is written.
void SaveSystemSpec(SettingsEnv& env);
// Closes every open file, copies the backups over both store files and loads
// them (without a further restore).
void RestoreSystemSpec(SettingsEnv& env);
// Makes each backup that does not exist yet; an existing backup is kept.
void BackupSystemSpec(SettingsEnv& env);
// Local directory prefix "G:"; clears the other subsystems' shared values and
// the store fields of WSPEC.DAT except LateChMethod, TxtLastAccountNumber,
// Delivery, Text20 and BotLate; the filler value becomes 0. The WExtraData.Dat
// fields are kept.
void ResetSharedValues(SettingsEnv& env);
// Reads LocalSPEC.DAT at the local prefix; any failure goes to the caller.
void LoadLocalSpec(SettingsEnv& env);
void SaveLocalSpec(SettingsEnv& env);

// The program path of LocalSPEC.DAT under the current local prefix.
std::string localSpecPath(const SettingsState& state);

}  // namespace settings
