#include <gtest/gtest.h>

#include "platform/failure.h"
#include "settings/store_settings.h"
#include "settings/system_spec.h"
#include "settings_fixture.h"

namespace settings_test {
namespace {

using settings::StoreIdentity;

TEST_F(SettingsFixture, DemoStoreSettingsLoadBackWithTheirBackups) {
    settings::writeStoreSettings(*files_, StoreIdentity::demo());

    settings::LoadSystemSpec(*env_);
    const settings::SystemSpec& s = state_.spec;
    EXPECT_TRUE(s == settings::defaultSystemSpec(StoreIdentity::demo()));
    EXPECT_EQ(s.spconame, "Torvane Demo Furniture");
    EXPECT_FALSE(s.spcostreet.empty());
    EXPECT_FALSE(s.spcophone.empty());
    EXPECT_EQ(s.txInternalVersionNo, 104);
    EXPECT_EQ(s.TxtUseAccountTimer, "Y");
    EXPECT_EQ(s.SPLATENO, 10);
    EXPECT_EQ(s.LATEPCT, 0.05);
    EXPECT_EQ(s.TOPLATE, 10);
    EXPECT_EQ(s.BotLate, 1);
    EXPECT_EQ(s.LateChMethod, "P");
    EXPECT_NE(s.TxtCreditBureauType, 0);
    EXPECT_EQ(s.SensitiveCodeTimes11, platform::Money());
    EXPECT_EQ(state_.reads.wspec, 1);  // read as written, no restore

    EXPECT_EQ(slurp(M() / "WSpec.old"), slurp(M() / "WSPEC.DAT"));
    EXPECT_EQ(slurp(M() / "Wextradata.old"), slurp(M() / "WExtraData.Dat"));

    state_.localPrefix = "G:";
    settings::LoadLocalSpec(*env_);
    EXPECT_EQ(state_.local, settings::defaultLocalSpec());
}

TEST_F(SettingsFixture, EmptyStoreLoadsWithEmptyNameAndAddress) {
    settings::writeStoreSettings(*files_, StoreIdentity{});
    settings::LoadSystemSpec(*env_);
    EXPECT_EQ(state_.spec.spconame, "");
    EXPECT_EQ(state_.spec.spcophone, "");
    EXPECT_EQ(state_.spec.txInternalVersionNo, 104);
}

TEST_F(SettingsFixture, ExistingStoreSettingsAreNotOverwritten) {
    settings::writeStoreSettings(*files_, StoreIdentity::demo());
    const std::string wspec = slurp(M() / "WSPEC.DAT");
    try {
        settings::writeStoreSettings(*files_, StoreIdentity{});
        FAIL() << "overwrote a store";
    } catch (const platform::Failure& f) {
        EXPECT_EQ(f.number(), 58);
        EXPECT_EQ(f.file(), "M:\\WSPEC.DAT");
    }
    EXPECT_EQ(slurp(M() / "WSPEC.DAT"), wspec);

    // A leftover backup alone also stops it, as a restore would bring it back.
    fs::remove(M() / "WSPEC.DAT");
    fs::remove(M() / "WExtraData.Dat");
    fs::remove(M() / "WSpec.old");
    EXPECT_THROW(settings::writeStoreSettings(*files_, StoreIdentity{}), platform::Failure);
    EXPECT_FALSE(fs::exists(M() / "WSPEC.DAT"));
}

TEST_F(SettingsFixture, WorkstationSettingsAlreadyThereAreKept) {
    spit(G() / "LocalSPEC.DAT", "NO\r\nN\r\nE\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
    settings::writeStoreSettings(*files_, StoreIdentity::demo());
    state_.localPrefix = "G:";
    settings::LoadLocalSpec(*env_);
    EXPECT_EQ(state_.local, (settings::LocalSpec{"NO", "N", "E"}));
}

}  // namespace
}  // namespace settings_test
