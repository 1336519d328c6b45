#include "settings/store_settings.h"

#include "platform/failure.h"
#include "platform/workstation.h"

namespace settings {

StoreIdentity StoreIdentity::demo() {
    return {"Torvane Demo Furniture", "1200 Harbor Road", "Millbrook", "OH", "43001", "(614) 555-0142"};
}

SystemSpec defaultSystemSpec(const StoreIdentity& store) {
    SystemSpec s;
    s.spconame = store.name;
    s.spcostreet = store.street;
    s.spcocity = store.city;
    s.spcostate = store.state;
    s.spcozip = store.zip;
    s.spcophone = store.phone;
    // New accounts default to the store's own town.
    s.spcity = store.city;
    s.spstate = store.state;
    s.spzip = store.zip;

    s.SPLATENO = 10;
    s.LATEPCT = 0.05;
    s.TOPLATE = 10;
    s.BotLate = 1;
    s.LateChMethod = "P";

    s.TxtUseAccountTimer = "Y";
    s.TxtCreditBureauType = 1;
    s.txInternalVersionNo = 104;  // current data: no upgrade is due
    s.SensitiveCodeTimes11 = Money();  // no sensitive code
    return s;
}

LocalSpec defaultLocalSpec() { return {"YES", "W", ""}; }

void writeStoreSettings(platform::FileChannels& files, const StoreIdentity& store) {
    for (const char* f : {kWSpecFile, kExtraDataFile, "M:\\WSpec.old", "M:\\Wextradata.old"})
        if (files.exists(f)) throw platform::Failure(58, "File already exists", f);

    platform::Workstation workstation{std::filesystem::path()};
    SettingsState state;
    state.spec = defaultSystemSpec(store);
    state.local = defaultLocalSpec();
    state.localPrefix = "G:";
    SettingsEnv env{files, workstation, state, {}, {}};

    SaveSystemSpec(env);
    BackupSystemSpec(env);
    if (!files.exists(localSpecPath(state))) SaveLocalSpec(env);
}

}  // namespace settings
