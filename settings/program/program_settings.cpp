#include "settings/program/program_settings.h"

#include "platform/numbers.h"
#include "settings/system_spec.h"
#include "ui/program.h"

namespace settings {

namespace {

struct HooksPart {
    ProgramHooks hooks;
};

SettingsEnv env(ui::Program& p) {
    ProgramHooks& h = hooks(p);
    return SettingsEnv{p.files(), p.workstation(), state(p), h.prepareMainMenu, [&h] {
                           for (auto& f : h.resetOthers)
                               if (f) f();
                       }};
}

std::string text(const std::string& s) { return s; }
std::string text(double d) { return platform::numberText(d); }
std::string text(float f) { return platform::singleText(f); }
std::string text(int16_t i) { return std::to_string(i); }
std::string text(platform::Money m) { return platform::moneyText(m); }

}  // namespace

ProgramHooks& hooks(ui::Program& p) { return p.part<HooksPart>().hooks; }
SettingsState& state(ui::Program& p) { return p.part<SettingsState>(); }

void LoadSystemSpec(ui::Program& p) {
    auto e = env(p);
    settings::LoadSystemSpec(e);
}
void SaveSystemSpec(ui::Program& p) {
    auto e = env(p);
    settings::SaveSystemSpec(e);
}
void RestoreSystemSpec(ui::Program& p) {
    auto e = env(p);
    settings::RestoreSystemSpec(e);
}
void BackupSystemSpec(ui::Program& p) {
    auto e = env(p);
    settings::BackupSystemSpec(e);
}
void ResetSharedValues(ui::Program& p) {
    auto e = env(p);
    settings::ResetSharedValues(e);
}
void LoadLocalSpec(ui::Program& p) {
    auto e = env(p);
    settings::LoadLocalSpec(e);
}
void SaveLocalSpec(ui::Program& p) {
    auto e = env(p);
    settings::SaveLocalSpec(e);
}

void registerSharedValues(ui::Program& p) {
    SettingsState* s = &state(p);
    p.registerShared("ProgramDate", [s] { return s->programDate; });
    p.registerShared("LocalPrefix", [s] { return s->localPrefix; });
#define VELMORA_SPEC(f) p.registerShared("settings." #f, [s] { return text(s->spec.f); });
    VELMORA_SPEC(spcity) VELMORA_SPEC(spstate) VELMORA_SPEC(spzip) VELMORA_SPEC(spinsur) VELMORA_SPEC(spnummo)
    VELMORA_SPEC(spnum0) VELMORA_SPEC(spirate) VELMORA_SPEC(spstfact) VELMORA_SPEC(spfilefee) VELMORA_SPEC(SPLATENO)
    VELMORA_SPEC(spconame) VELMORA_SPEC(spcostreet) VELMORA_SPEC(spcocity) VELMORA_SPEC(spcostate)
    VELMORA_SPEC(spcozip) VELMORA_SPEC(spcophone) VELMORA_SPEC(spcotext7) VELMORA_SPEC(spcotext8)
    VELMORA_SPEC(sptext0) VELMORA_SPEC(LateChMethod) VELMORA_SPEC(TxtLastAccountNumber) VELMORA_SPEC(TOPLATE)
    VELMORA_SPEC(LATEPCT) VELMORA_SPEC(Delivery) VELMORA_SPEC(Text20) VELMORA_SPEC(BotLate)
    VELMORA_SPEC(ExtraText1) VELMORA_SPEC(ExtraText2) VELMORA_SPEC(TxtConvertSource)
    VELMORA_SPEC(TxtPrintTSNBefore) VELMORA_SPEC(TxtStopDuringReceipt) VELMORA_SPEC(TxtHowFigureTSN)
    VELMORA_SPEC(IsLaborTaxable) VELMORA_SPEC(IsDeliveryTaxable) VELMORA_SPEC(TxtForceLate)
    VELMORA_SPEC(TxtCreditGrantorCode) VELMORA_SPEC(TxtCreditReporterName) VELMORA_SPEC(TxtCreditReporterAddress)
    VELMORA_SPEC(TxtTransUnionID) VELMORA_SPEC(TxtInnovisID) VELMORA_SPEC(TxtEquifaxID) VELMORA_SPEC(TxtExperianID)
    VELMORA_SPEC(TxtCreditGrantorPhone) VELMORA_SPEC(TxtUseDptMark) VELMORA_SPEC(TxtAddto5)
    VELMORA_SPEC(TxtUseAccountTimer) VELMORA_SPEC(TxtCreditBureauType) VELMORA_SPEC(TxtNoDaysReminder)
    VELMORA_SPEC(txInternalVersionNo) VELMORA_SPEC(ExtraNumber71) VELMORA_SPEC(TxtNextSkuNumber)
    VELMORA_SPEC(ExtraSingle75) VELMORA_SPEC(SensitiveCodeTimes11) VELMORA_SPEC(Aquisition)
#undef VELMORA_SPEC
    p.registerShared("local.TxtCanWriteReceipt", [s] { return s->local.TxtCanWriteReceipt; });
    p.registerShared("local.TxtReceiptWidth", [s] { return s->local.TxtReceiptWidth; });
    p.registerShared("local.TxtBackupDriveLetter", [s] { return s->local.TxtBackupDriveLetter; });
    p.registerShared("settings.reads.wspec", [s] { return std::to_string(s->reads.wspec); });
    p.registerShared("settings.reads.extradata", [s] { return std::to_string(s->reads.extraData); });
}

}  // namespace settings
