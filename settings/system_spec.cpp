#include "settings/system_spec.h"

#include <cfloat>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <variant>
#include <vector>

#include "platform/failure.h"
#include "platform/numbers.h"

namespace settings {

namespace {

constexpr const char* kWSpecBackup = "M:\\WSpec.old";
constexpr const char* kExtraDataBackup = "M:\\Wextradata.old";

// A numeric filler: read into the shared filler value, written from it.
struct Filler {};
// A field that is always written empty; whatever stands there is read and dropped.
struct Empty {};

using Target = std::variant<std::string SystemSpec::*, int16_t SystemSpec::*, double SystemSpec::*, float SystemSpec::*,
                            Money SystemSpec::*, Filler, Empty>;

struct Slot {
    const char* name;
    Target target;
};

using S = SystemSpec;

// WSPEC.DAT: five lines of comma-separated fields.
const std::vector<std::vector<Slot>>& wspecLayout() {
    static const std::vector<std::vector<Slot>> layout = {
        {{"spcity", &S::spcity}, {"spstate", &S::spstate}, {"spzip", &S::spzip}, {"spinsur", &S::spinsur},
         {"spnummo", &S::spnummo}},
        {{"spnum0", &S::spnum0}, {"spirate", &S::spirate}, {"spstfact", &S::spstfact}, {"spfilefee", &S::spfilefee},
         {"SPLATENO", &S::SPLATENO}, {"filler", Filler{}}, {"filler", Filler{}}, {"filler", Filler{}},
         {"filler", Filler{}}},
        {{"spconame", &S::spconame}, {"spcostreet", &S::spcostreet}, {"spcocity", &S::spcocity},
         {"spcostate", &S::spcostate}, {"spcozip", &S::spcozip}, {"spcophone", &S::spcophone},
         {"spcotext7", &S::spcotext7}, {"spcotext8", &S::spcotext8}},
        {{"sptext0", &S::sptext0}, {"LateChMethod", &S::LateChMethod},
         {"TxtLastAccountNumber", &S::TxtLastAccountNumber}, {"empty", Empty{}}, {"empty", Empty{}},
         {"empty", Empty{}}, {"empty", Empty{}}},
        {{"TOPLATE", &S::TOPLATE}, {"LATEPCT", &S::LATEPCT}, {"Delivery", &S::Delivery}, {"Text20", &S::Text20},
         {"BotLate", &S::BotLate}, {"filler", Filler{}}, {"filler", Filler{}}},
    };
    return layout;
}

// WExtraData.Dat: one value per line.
const std::vector<Slot>& extraDataLayout() {
    static const std::vector<Slot> layout = [] {
        std::vector<Slot> l = {
            {"ExtraText1", &S::ExtraText1},
            {"ExtraText2", &S::ExtraText2},
            {"TxtConvertSource", &S::TxtConvertSource},
            {"TxtPrintTSNBefore", &S::TxtPrintTSNBefore},
            {"TxtStopDuringReceipt", &S::TxtStopDuringReceipt},
            {"TxtHowFigureTSN", &S::TxtHowFigureTSN},
            {"IsLaborTaxable", &S::IsLaborTaxable},
            {"IsDeliveryTaxable", &S::IsDeliveryTaxable},
            {"TxtForceLate", &S::TxtForceLate},
            {"TxtCreditGrantorCode", &S::TxtCreditGrantorCode},
            {"TxtCreditReporterName", &S::TxtCreditReporterName},
            {"TxtCreditReporterAddress", &S::TxtCreditReporterAddress},
            {"TxtTransUnionID", &S::TxtTransUnionID},
            {"TxtInnovisID", &S::TxtInnovisID},
            {"TxtEquifaxID", &S::TxtEquifaxID},
            {"TxtExperianID", &S::TxtExperianID},
            {"TxtCreditBureauType", &S::TxtCreditBureauType},  // line 17; line 76 holds it again
            {"empty", Empty{}},
            {"TxtCreditGrantorPhone", &S::TxtCreditGrantorPhone},
            {"TxtUseDptMark", &S::TxtUseDptMark},
            {"TxtAddto5", &S::TxtAddto5},
            {"TxtUseAccountTimer", &S::TxtUseAccountTimer},
        };
        for (int i = 23; i <= 70; ++i) l.push_back({"empty", Empty{}});
        std::vector<Slot> tail = {
            {"ExtraNumber71", &S::ExtraNumber71},
            {"SensitiveCodeTimes11", &S::SensitiveCodeTimes11},
            {"TxtNoDaysReminder", &S::TxtNoDaysReminder},
            {"TxtNextSkuNumber", &S::TxtNextSkuNumber},
            {"ExtraSingle75", &S::ExtraSingle75},
            {"TxtCreditBureauType", &S::TxtCreditBureauType},  // read last, so this value stays
            {"Aquisition", &S::Aquisition},
            {"txInternalVersionNo", &S::txInternalVersionNo},
            {"ExtraMoney1", &S::ExtraMoney1},
            {"ExtraMoney2", &S::ExtraMoney2},
            {"ExtraMoney3", &S::ExtraMoney3},
            {"ExtraMoney4", &S::ExtraMoney4},
            {"ExtraMoney5", &S::ExtraMoney5},
            {"ExtraMoney6", &S::ExtraMoney6},
            {"ExtraMoney7", &S::ExtraMoney7},
            {"ExtraMoney8", &S::ExtraMoney8},
            {"ExtraMoney9", &S::ExtraMoney9},
            {"ExtraMoney10", &S::ExtraMoney10},
            {"empty", Empty{}},
        };
        l.insert(l.end(), tail.begin(), tail.end());
        for (int i = 90; i <= 105; ++i) l.push_back({"filler", Filler{}});
        if (l.size() != static_cast<size_t>(kExtraDataLines)) throw std::logic_error("WExtraData.Dat layout");
        return l;
    }();
    return layout;
}

template <class... F>
struct Overload : F... {
    using F::operator()...;
};
template <class... F>
Overload(F...) -> Overload<F...>;

// ---- reading

// Numbers in the settings files are read by the leading-number rule, which
// never fails; only a value out of its field's range does.
int16_t readInt16(const std::string& field) {
    double v = std::nearbyint(platform::leadingNumber(field));  // half to even, as the platform rounds
    if (v < INT16_MIN || v > INT16_MAX) throw platform::overflowError();
    return static_cast<int16_t>(v);
}

float readSingle(const std::string& field) {
    double v = platform::leadingNumber(field);
    if (std::fabs(v) > FLT_MAX) throw platform::overflowError();
    return static_cast<float>(v);
}

// Exact to four decimals: when the leading number is the whole field, the
// amount is taken from the text itself rather than through a double.
Money readMoneyField(const std::string& field) {
    double v = platform::leadingNumber(field);
    if (auto exact = platform::readMoney(field)) {
        double e = exact->toDouble();
        if (std::fabs(e - v) <= 1e-9 * std::max(1.0, std::fabs(v))) return *exact;
    }
    return Money::fromDouble(v);
}

void readSlot(platform::TextInput& in, const Slot& slot, SettingsState& st) {
    std::string field = in.readField();
    SystemSpec& spec = st.spec;
    std::visit(Overload{
                   [&](std::string S::*m) { spec.*m = field; },
                   [&](int16_t S::*m) { spec.*m = readInt16(field); },
                   [&](double S::*m) { spec.*m = platform::leadingNumber(field); },
                   [&](float S::*m) { spec.*m = readSingle(field); },
                   [&](Money S::*m) { spec.*m = readMoneyField(field); },
                   [&](Filler) { st.filler = platform::leadingNumber(field); },
                   [&](Empty) {},
               },
               slot.target);
}

// ---- writing

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Text is written as it is, unless the reader would split it (comma, line
// end), take it as quoted (leading double quote) or trim it (blanks at either
// end); then it is written in double quotes. The quoted form ends at the next
// double quote, so such a value holding one cannot be written at all.
std::string textField(const std::string& v, const char* name, const std::string& file) {
    bool needsQuotes = !v.empty() && (v.find_first_of(",\r\n") != std::string::npos || v.front() == '"' ||
                                      isBlank(v.front()) || isBlank(v.back()));
    if (!needsQuotes) return v;
    if (v.find('"') != std::string::npos)
        throw platform::Failure(5,
                                std::string("Cannot save ") + name + " in " + file +
                                    ": a value with a double quote and a comma, a line end, a leading double quote "
                                    "or blanks at either end would not read back as it is",
                                file);
    return "\"" + v + "\"";
}

std::string slotText(const Slot& slot, const SettingsState& st, const std::string& file) {
    const SystemSpec& spec = st.spec;
    return std::visit(Overload{
                          [&](std::string S::*m) { return textField(spec.*m, slot.name, file); },
                          [&](int16_t S::*m) { return platform::sequentialNumber(spec.*m); },
                          [&](double S::*m) { return platform::sequentialNumber(spec.*m); },
                          [&](float S::*m) { return platform::sequentialSingle(spec.*m); },
                          [&](Money S::*m) { return platform::sequentialMoney(spec.*m); },
                          [&](Filler) { return platform::sequentialNumber(st.filler); },
                          [&](Empty) { return std::string(); },
                      },
                      slot.target);
}

// All lines are composed before the file is opened, so a refused value leaves
// the file as it was.
void writeLines(platform::FileChannels& files, const std::string& path, const std::vector<std::string>& lines) {
    auto out = files.openOutput(path);
    try {
        for (const auto& l : lines) out->writeLine(l);
        out->close();
    } catch (...) {
        out->discard();
        throw;
    }
}

std::vector<std::string> wspecLines(const SettingsState& st) {
    std::vector<std::string> lines;
    for (const auto& line : wspecLayout()) {
        std::string text;
        for (size_t i = 0; i < line.size(); ++i) {
            if (i) text += ',';
            text += slotText(line[i], st, kWSpecFile);
        }
        lines.push_back(std::move(text));
    }
    return lines;
}

std::vector<std::string> extraDataLines(const SettingsState& st) {
    std::vector<std::string> lines;
    for (const auto& slot : extraDataLayout()) lines.push_back(slotText(slot, st, kExtraDataFile));
    return lines;
}

std::string localText(const std::string& v, const char* name, const std::string& file) {
    return textField(v, name, file);
}

// ---- load

// The reading failure once the backups have been put back and read as well.
platform::Failure unreadableAfterRestore(const platform::Failure& f, const std::string& file) {
    std::string backup = file == kWSpecFile ? kWSpecBackup : kExtraDataBackup;
    return platform::Failure(f.number(),
                             f.description() + ": the settings file " + file +
                                 " cannot be read, even after restoring it from " + backup,
                             file);
}

void loadSystemSpec(SettingsEnv& env, bool mayRestore) {
    if (env.prepareMainMenu) env.prepareMainMenu();
    SettingsState& st = env.state;
    st.programDate = env.workstation.today();

    std::string reading = kWSpecFile;
    try {
        {
            auto in = env.files.openInput(kWSpecFile);
            ++st.reads.wspec;
            for (const auto& line : wspecLayout())
                for (const auto& slot : line) readSlot(*in, slot, st);
            in->close();
        }
        reading = kExtraDataFile;
        {
            auto in = env.files.openInput(kExtraDataFile);
            ++st.reads.extraData;
            for (const auto& slot : extraDataLayout()) readSlot(*in, slot, st);
            in->close();
        }
    } catch (const platform::Failure& f) {
        if (!mayRestore) throw unreadableAfterRestore(f, reading);
        RestoreSystemSpec(env);
        return;
    }
    if (st.spec.TxtUseAccountTimer.empty()) st.spec.TxtUseAccountTimer = "Y";
}

}  // namespace

void LoadSystemSpec(SettingsEnv& env) { loadSystemSpec(env, true); }

void SaveSystemSpec(SettingsEnv& env) {
    std::vector<std::string> wspec = wspecLines(env.state);
    std::vector<std::string> extra = extraDataLines(env.state);
    writeLines(env.files, kWSpecFile, wspec);
    writeLines(env.files, kExtraDataFile, extra);
}

void RestoreSystemSpec(SettingsEnv& env) {
    env.files.closeAll();
    env.files.copy("M:\\wspec.old", "M:\\WSpec.dat");
    env.files.copy("M:\\wextradata.old", "M:\\Wextradata.dat");
    env.files.closeAll();
    // One restore per load: backups that cannot be read either end the load.
    loadSystemSpec(env, false);
}

void BackupSystemSpec(SettingsEnv& env) {
    if (!env.files.exists(kWSpecBackup)) env.files.copy("M:\\wspec.dat", kWSpecBackup);
    if (!env.files.exists(kExtraDataBackup)) env.files.copy("M:\\wextradata.dat", kExtraDataBackup);
}

void ResetSharedValues(SettingsEnv& env) {
    SettingsState& st = env.state;
    st.localPrefix = "G:";
    if (env.resetOtherValues) env.resetOtherValues();

    SystemSpec& spec = st.spec;
    const SystemSpec keep = spec;
    for (const auto& line : wspecLayout())
        for (const auto& slot : line)
            std::visit(Overload{
                           [&](auto S::*m) { spec.*m = {}; },
                           [&](Filler) {},
                           [&](Empty) {},
                       },
                       slot.target);
    spec.LateChMethod = keep.LateChMethod;
    spec.TxtLastAccountNumber = keep.TxtLastAccountNumber;
    spec.Delivery = keep.Delivery;
    spec.Text20 = keep.Text20;
    spec.BotLate = keep.BotLate;
    st.filler = 0;
}

std::string localSpecPath(const SettingsState& state) { return state.localPrefix + kLocalSpecName; }

void LoadLocalSpec(SettingsEnv& env) {
    SettingsState& st = env.state;
    auto in = env.files.openInput(localSpecPath(st));
    ++st.reads.localSpec;
    st.local.TxtCanWriteReceipt = in->readField();
    st.local.TxtReceiptWidth = in->readField();
    st.local.TxtBackupDriveLetter = in->readField();
    for (int i = 4; i <= kLocalSpecLines; ++i) in->readField();
    in->close();
}

void SaveLocalSpec(SettingsEnv& env) {
    const SettingsState& st = env.state;
    std::string path = localSpecPath(st);
    std::vector<std::string> lines = {
        localText(st.local.TxtCanWriteReceipt, "TxtCanWriteReceipt", path),
        localText(st.local.TxtReceiptWidth, "TxtReceiptWidth", path),
        localText(st.local.TxtBackupDriveLetter, "TxtBackupDriveLetter", path),
    };
    lines.resize(kLocalSpecLines);
    writeLines(env.files, path, lines);
}

}  // namespace settings
