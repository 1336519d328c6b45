#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "platform/failure.h"
#include "platform/numbers.h"
#include "settings/system_spec.h"
#include "settings_fixture.h"

namespace settings_test {
namespace {

using platform::Money;
using settings::SystemSpec;

Money money(int64_t tenThousandths) { return Money::fromTenThousandths(tenThousandths); }

// Every field set, with the values that trip up a comma-separated file.
SystemSpec fullSpec() {
    SystemSpec s;
    s.spcity = "Millbrook";
    s.spstate = "OH";
    s.spzip = "43001-2200";
    s.spinsur = "Y";
    s.spnummo = -12;
    s.spnum0 = -0.5;
    s.spirate = 21.75;
    s.spstfact = 0.0625;
    s.spfilefee = 1e16;
    s.SPLATENO = 10;
    s.spconame = "Torvane, Inc.";  // comma
    s.spcostreet = "  12 Elm St  ";  // blanks the reader would trim
    s.spcocity = "5\" foam city";  // a double quote that needs no quoting
    s.spcostate = "OH";
    s.spcozip = "43001";
    s.spcophone = "(614) 555-0142";
    s.spcotext7 = "two\r\nlines";
    s.spcotext8 = "Caf\xC3\xA9";  // a code-page character
    s.sptext0 = ",";
    s.LateChMethod = "P";
    s.TxtLastAccountNumber = 123456;
    s.TOPLATE = 10;
    s.LATEPCT = 0.25;
    s.Delivery = money(-123456789);  // -12345.6789
    s.Text20 = 0.5;
    s.BotLate = -1.5;

    s.ExtraText1 = "a,b,c";
    s.ExtraText2 = "\t tab";
    s.TxtConvertSource = "DOS";
    s.TxtPrintTSNBefore = "Y";
    s.TxtStopDuringReceipt = "N";
    s.TxtHowFigureTSN = "1";
    s.IsLaborTaxable = "Y";
    s.IsDeliveryTaxable = "N";
    s.TxtForceLate = "N";
    s.TxtCreditGrantorCode = "CG123";
    s.TxtCreditReporterName = "Torvane Credit";
    s.TxtCreditReporterAddress = "PO Box 7, Millbrook, OH";
    s.TxtTransUnionID = "TU1";
    s.TxtInnovisID = "IN2";
    s.TxtEquifaxID = "EQ3";
    s.TxtExperianID = "EX4";
    s.TxtCreditGrantorPhone = "555-0100";
    s.TxtUseDptMark = "Y";
    s.TxtAddto5 = "N";
    s.TxtUseAccountTimer = "N";
    s.TxtCreditBureauType = 32767;
    s.TxtNoDaysReminder = -32768;
    s.txInternalVersionNo = 104;
    s.ExtraNumber71 = -1e-5;
    s.TxtNextSkuNumber = 100001;
    s.ExtraSingle75 = -0.75f;
    s.SensitiveCodeTimes11 = Money::fromWhole(1234 * 11);
    s.Aquisition = money(1);  // .0001
    s.ExtraMoney1 = money(std::numeric_limits<int64_t>::max());
    s.ExtraMoney2 = money(std::numeric_limits<int64_t>::min());
    s.ExtraMoney3 = money(5000);
    s.ExtraMoney4 = money(-5000);
    s.ExtraMoney5 = money(123456789012345);
    s.ExtraMoney6 = money(99999);
    s.ExtraMoney7 = money(-1);
    s.ExtraMoney8 = money(10000);
    s.ExtraMoney9 = money(0);
    s.ExtraMoney10 = money(4200000);
    return s;
}

SystemSpec emptySpec() {
    SystemSpec s;
    s.TxtUseAccountTimer = "Y";  // the load turns an empty one into "Y"
    return s;
}

SystemSpec smallNumbersSpec() {
    SystemSpec s = emptySpec();
    s.spnum0 = 123456789012345;  // 15 digits, the platform's precision
    s.spirate = -1e-300;
    s.ExtraSingle75 = 123.456f;
    s.LATEPCT = -0.05;
    s.Delivery = money(-5000);  // -.5
    s.spconame = "12\" sofa\"";  // double quotes that need no quoting
    s.spcostreet = " ";
    return s;
}

struct RoundTripCase {
    const char* name;
    SystemSpec spec;
    double filler;
};

class RoundTrip : public SettingsFixture, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(RoundTrip, EveryFieldReadsBackAsWritten) {
    const RoundTripCase& c = GetParam();
    saveSpec(c.spec, c.filler);
    state_ = {};
    settings::LoadSystemSpec(*env_);
    EXPECT_TRUE(state_.spec == c.spec);
    EXPECT_EQ(state_.filler, c.filler);
    EXPECT_EQ(state_.reads.wspec, 1);
    EXPECT_EQ(state_.reads.extraData, 1);
    // Fields compared one by one only to say which one differs.
    EXPECT_EQ(state_.spec.spcostreet, c.spec.spcostreet);
    EXPECT_EQ(state_.spec.spcotext7, c.spec.spcotext7);
    EXPECT_EQ(state_.spec.ExtraMoney2, c.spec.ExtraMoney2);
    EXPECT_EQ(state_.spec.TxtCreditBureauType, c.spec.TxtCreditBureauType);
}

INSTANTIATE_TEST_SUITE_P(Specs, RoundTrip,
                         ::testing::Values(RoundTripCase{"full", fullSpec(), -2.5},
                                           RoundTripCase{"empty", emptySpec(), 0},
                                           RoundTripCase{"small", smallNumbersSpec(), 0.5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsFixture, SavedWSpecHasTheExactLayout) {
    SystemSpec s;
    s.spcity = "Millbrook";
    s.spstate = "OH";
    s.spzip = "43001";
    s.spinsur = "Y";
    s.spnummo = 12;
    s.spirate = 21.5;
    s.spstfact = -1.25;
    s.spfilefee = 3;
    s.SPLATENO = 10;
    s.spconame = "Torvane, Inc.";
    s.spcostreet = "12 Elm St";
    s.spcocity = "Millbrook";
    s.spcostate = "OH";
    s.spcozip = "43001";
    s.spcophone = "555-0142";
    s.LateChMethod = "P";
    s.TxtLastAccountNumber = 1500;
    s.TOPLATE = 10;
    s.LATEPCT = 0.25;
    s.Delivery = money(499500);
    s.BotLate = 0.5;
    saveSpec(s, 7);

    EXPECT_EQ(slurp(M() / "WSPEC.DAT"),
              "Millbrook,OH,43001,Y, 12 \r\n"
              " 0 , 21.5 ,-1.25 , 3 , 10 , 7 , 7 , 7 , 7 \r\n"
              "\"Torvane, Inc.\",12 Elm St,Millbrook,OH,43001,555-0142,,\r\n"
              ",P, 1500 ,,,,\r\n"
              " 10 , .25 , 49.95 , 0 , .5 , 7 , 7 \r\n");
}

TEST_F(SettingsFixture, ExtraDataHasOneHundredFiveLinesWithTheBureauTypeTwice) {
    SystemSpec s = fullSpec();
    s.ExtraText1 = "first";
    s.TxtCreditBureauType = 3;
    s.TxtUseAccountTimer = "Y";
    s.txInternalVersionNo = 104;
    s.ExtraMoney10 = money(12345);
    saveSpec(s, 1);
    auto l = lines(slurp(M() / "WExtraData.Dat"));
    ASSERT_EQ(l.size(), 105u);
    EXPECT_EQ(l[0], "first");
    EXPECT_EQ(l[16], " 3 ");
    EXPECT_EQ(l[17], "");
    EXPECT_EQ(l[21], "Y");
    for (int i = 23; i <= 70; ++i) EXPECT_EQ(l[i - 1], "") << "line " << i;
    EXPECT_EQ(l[75], " 3 ");
    EXPECT_EQ(l[77], " 104 ");
    EXPECT_EQ(l[87], " 1.2345 ");
    EXPECT_EQ(l[88], "");
    for (int i = 90; i <= 105; ++i) EXPECT_EQ(l[i - 1], " 1 ") << "line " << i;

    // The value at line 76 is the one that stays.
    l[16] = "9";
    std::string bytes;
    for (auto& x : l) bytes += x + "\r\n";
    spit(M() / "WExtraData.Dat", bytes);
    settings::LoadSystemSpec(*env_);
    EXPECT_EQ(state_.spec.TxtCreditBureauType, 3);
}

TEST_F(SettingsFixture, EmptyAccountTimerLoadsAsY) {
    SystemSpec s = fullSpec();
    s.TxtUseAccountTimer = "";
    saveSpec(s);
    ASSERT_EQ(lines(slurp(M() / "WExtraData.Dat"))[21], "");
    settings::LoadSystemSpec(*env_);
    EXPECT_EQ(state_.spec.TxtUseAccountTimer, "Y");
}

TEST_F(SettingsFixture, WSpecJoinedIntoOneLineLoadsTheSame) {
    SystemSpec s = fullSpec();
    s.spcotext7 = "one line";
    saveSpec(s, -2.5);
    std::string bytes = slurp(M() / "WSPEC.DAT");
    auto l = lines(bytes);
    ASSERT_EQ(l.size(), 5u);
    ASSERT_TRUE(l[3].ends_with(",,,,"));
    std::string one = l[0] + "," + l[1] + "," + l[2] + "," + l[3] + "," + l[4] + "\r\n";
    spit(M() / "WSPEC.DAT", one);
    state_ = {};
    settings::LoadSystemSpec(*env_);
    EXPECT_TRUE(state_.spec == s);
    EXPECT_EQ(state_.filler, -2.5);
}

TEST_F(SettingsFixture, FieldsAreReadByTheSequentialRules) {
    saveSpec(fullSpec());
    spit(M() / "WSPEC.DAT",
         "  Millbrook  ,\"a, b\",,Y, 3.5 \r\n"
         "12abc,$15,,-3.5e1, 1 , 4 ,x,, 2 \r\n"
         ",,,,,,,\r\n"
         ",,, 3 ,junk,, \r\n"
         " 12.34567 ,, 1.5 ,,,, 9 \r\n");
    settings::LoadSystemSpec(*env_);
    const SystemSpec& s = state_.spec;
    EXPECT_EQ(s.spcity, "Millbrook");
    EXPECT_EQ(s.spstate, "a, b");
    EXPECT_EQ(s.spzip, "");
    EXPECT_EQ(s.spnummo, 4);  // rounded, half to even
    EXPECT_EQ(s.spnum0, 12);
    EXPECT_EQ(s.spirate, 0);
    EXPECT_EQ(s.spstfact, 0);
    EXPECT_EQ(s.spfilefee, -35);
    EXPECT_EQ(s.TxtLastAccountNumber, 0);
    EXPECT_EQ(s.TOPLATE, 12.34567);
    EXPECT_EQ(s.Delivery, money(15000));
    EXPECT_EQ(state_.reads.wspec, 1);
}

TEST_F(SettingsFixture, QuarterIsWrittenWithOneBlankEachSide) {
    SystemSpec s;
    s.LATEPCT = 0.25;
    saveSpec(s);
    EXPECT_EQ(lines(slurp(M() / "WSPEC.DAT"))[4], " 0 , .25 , 0 , 0 , 0 , 0 , 0 ");
}

TEST_F(SettingsFixture, ValueThatCannotReadBackIsRefusedBeforeAnythingIsWritten) {
    saveSpec(fullSpec());
    const std::string wspec = slurp(M() / "WSPEC.DAT"), extra = slurp(M() / "WExtraData.Dat");
    for (const char* bad : {"\"Best\" Furniture", "Say \"hi\", ok", " \"x"}) {
        SystemSpec s = fullSpec();
        s.TxtExperianID = bad;  // in the second file, so the first must stay too
        state_.spec = s;
        try {
            settings::SaveSystemSpec(*env_);
            ADD_FAILURE() << "saved " << bad;
        } catch (const platform::Failure& f) {
            EXPECT_EQ(f.number(), 5);
            EXPECT_NE(f.description().find("TxtExperianID"), std::string::npos);
            EXPECT_EQ(f.file(), "M:\\WExtraData.Dat");
        }
        EXPECT_EQ(slurp(M() / "WSPEC.DAT"), wspec);
        EXPECT_EQ(slurp(M() / "WExtraData.Dat"), extra);
    }
    EXPECT_EQ(files_->openCount(), 0u);
}

TEST_F(SettingsFixture, BackupIsMadeOnce) {
    SystemSpec a = fullSpec();
    saveSpec(a);
    settings::BackupSystemSpec(*env_);
    const std::string wspecA = slurp(M() / "WSPEC.DAT"), extraA = slurp(M() / "WExtraData.Dat");
    EXPECT_EQ(slurp(M() / "WSpec.old"), wspecA);
    EXPECT_EQ(slurp(M() / "Wextradata.old"), extraA);

    SystemSpec b = a;
    b.spconame = "Changed";
    b.TxtNextSkuNumber = 5;
    saveSpec(b);
    settings::BackupSystemSpec(*env_);
    EXPECT_EQ(slurp(M() / "WSpec.old"), wspecA);
    EXPECT_EQ(slurp(M() / "Wextradata.old"), extraA);
    EXPECT_NE(slurp(M() / "WSPEC.DAT"), wspecA);
}

TEST_F(SettingsFixture, BackupFindsFilesWithoutRegardToCase) {
    saveSpec(fullSpec());
    spit(M() / "wspec.OLD", "old backup");
    settings::BackupSystemSpec(*env_);
    EXPECT_EQ(slurp(M() / "wspec.OLD"), "old backup");
    EXPECT_FALSE(fs::exists(M() / "WSpec.old"));
    EXPECT_TRUE(fs::exists(M() / "Wextradata.old"));
}

struct Damage {
    const char* name;
    void (*apply)(const fs::path& m);
};

class Restore : public SettingsFixture, public ::testing::WithParamInterface<Damage> {};

TEST_P(Restore, BackupsAreCopiedBackAndRead) {
    SystemSpec a = fullSpec();
    saveSpec(a, 4);
    settings::BackupSystemSpec(*env_);
    SystemSpec b = a;
    b.spcity = "Newer";
    b.TxtNextSkuNumber = 77;
    saveSpec(b, 5);
    GetParam().apply(M());

    state_ = {};
    settings::LoadSystemSpec(*env_);
    EXPECT_TRUE(state_.spec == a);
    EXPECT_EQ(state_.filler, 4);
    EXPECT_EQ(slurp(M() / "WSpec.old"), slurp(drives_.resolve("M:\\WSPEC.DAT")));
    EXPECT_EQ(slurp(M() / "Wextradata.old"), slurp(drives_.resolve("M:\\WExtraData.Dat")));
    EXPECT_EQ(files_->openCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Damages, Restore,
    ::testing::Values(
        Damage{"MissingWSpec", [](const fs::path& m) { fs::remove(m / "WSPEC.DAT"); }},
        Damage{"ShortWSpec",
               [](const fs::path& m) {
                   auto l = SettingsFixture::lines(SettingsFixture::slurp(m / "WSPEC.DAT"));
                   SettingsFixture::spit(m / "WSPEC.DAT", SettingsFixture::join(l, 2));
               }},
        Damage{"ShortExtraData",
               [](const fs::path& m) {
                   auto l = SettingsFixture::lines(SettingsFixture::slurp(m / "WExtraData.Dat"));
                   SettingsFixture::spit(m / "WExtraData.Dat", SettingsFixture::join(l, 104));
               }},
        Damage{"MissingExtraData", [](const fs::path& m) { fs::remove(m / "WExtraData.Dat"); }},
        Damage{"VersionOutOfRange",
               [](const fs::path& m) {
                   auto l = SettingsFixture::lines(SettingsFixture::slurp(m / "WExtraData.Dat"));
                   l[77] = " 40000 ";
                   SettingsFixture::spit(m / "WExtraData.Dat", SettingsFixture::join(l, l.size()));
               }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsFixture, MissingBackupEndsTheLoadAndKeepsWhatWasRead) {
    SystemSpec b = fullSpec();
    b.spcity = "Short";
    b.spirate = -7.5;
    saveSpec(b);
    spit(M() / "WSPEC.DAT", join(lines(slurp(M() / "WSPEC.DAT")), 2));
    state_ = {};
    try {
        settings::LoadSystemSpec(*env_);
        FAIL() << "load succeeded without a backup";
    } catch (const platform::Failure& f) {
        EXPECT_EQ(f.number(), 53);
        EXPECT_EQ(f.file(), "M:\\wspec.old");
    }
    EXPECT_EQ(state_.spec.spcity, "Short");
    EXPECT_EQ(state_.spec.spirate, -7.5);
    EXPECT_EQ(state_.reads.wspec, 1);

    // With only the second backup missing, the copy of that one fails.
    saveSpec(b);
    settings::BackupSystemSpec(*env_);
    fs::remove(M() / "Wextradata.old");
    fs::remove(M() / "WExtraData.Dat");
    try {
        settings::LoadSystemSpec(*env_);
        FAIL() << "load succeeded without a backup";
    } catch (const platform::Failure& f) {
        EXPECT_EQ(f.number(), 53);
        EXPECT_EQ(f.file(), "M:\\wextradata.old");
    }
}

TEST_F(SettingsFixture, UnreadableBackupsEndTheLoadWithoutLooping) {
    saveSpec(fullSpec());
    settings::BackupSystemSpec(*env_);
    spit(M() / "WSpec.old", join(lines(slurp(M() / "WSpec.old")), 3));
    fs::remove(M() / "WSPEC.DAT");
    try {
        settings::LoadSystemSpec(*env_);
        FAIL() << "load succeeded";
    } catch (const platform::Failure& f) {
        EXPECT_EQ(f.number(), 62);
        EXPECT_EQ(f.file(), "M:\\WSPEC.DAT");
        EXPECT_NE(f.description().find("M:\\WSpec.old"), std::string::npos);
    }
    EXPECT_EQ(state_.reads.wspec, 1);  // the restored copy; the first open found no file
    EXPECT_EQ(state_.reads.extraData, 0);

    // The same for the second file, with a value out of range.
    saveSpec(fullSpec());
    spit(M() / "WSpec.old", slurp(drives_.resolve("M:\\WSPEC.DAT")));
    auto l = lines(slurp(M() / "WExtraData.Dat"));
    l[72] = "70000";
    spit(M() / "Wextradata.old", join(l, l.size()));
    spit(M() / "WExtraData.Dat", join(l, 10));
    state_.reads = {};
    try {
        settings::LoadSystemSpec(*env_);
        FAIL() << "load succeeded";
    } catch (const platform::Failure& f) {
        EXPECT_EQ(f.number(), 6);
        EXPECT_EQ(f.file(), "M:\\WExtraData.Dat");
    }
    EXPECT_EQ(state_.reads.extraData, 2);
}

TEST_F(SettingsFixture, FirstLoadReadsBothFilesTwiceThroughTheMainMenu) {
    saveSpec(fullSpec());
    bool menuExists = false;
    int tooltipsSet = 0;
    env_->prepareMainMenu = [&] {
        if (!menuExists) {
            menuExists = true;
            settings::LoadSystemSpec(*env_);  // the main menu's own load
        }
        ++tooltipsSet;
    };
    settings::LoadSystemSpec(*env_);
    EXPECT_EQ(state_.reads.wspec, 2);
    EXPECT_EQ(state_.reads.extraData, 2);
    EXPECT_EQ(tooltipsSet, 2);
    settings::LoadSystemSpec(*env_);
    EXPECT_EQ(state_.reads.wspec, 3);
    EXPECT_EQ(state_.reads.extraData, 3);
}

TEST_F(SettingsFixture, LoadSetsTheProgramDateFromTheWorkstation) {
    saveSpec(fullSpec());
    workstation_.setShortDateFormat("MM/dd/yyyy");
    workstation_.setDate(2005, 12, 28);
    state_.programDate = "01/01/1900";
    settings::LoadSystemSpec(*env_);
    EXPECT_EQ(state_.programDate, "12/28/2005");
}

TEST_F(SettingsFixture, ResetKeepsTheLateChargeFieldsAndExtraData) {
    SystemSpec full = fullSpec();
    state_.spec = full;
    state_.filler = -2.5;
    int othersCleared = 0;
    env_->resetOtherValues = [&] { ++othersCleared; };
    settings::ResetSharedValues(*env_);

    // Everything of WExtraData.Dat stays.
    SystemSpec extraOnly = full;
    extraOnly.spcity = extraOnly.spstate = extraOnly.spzip = extraOnly.spinsur = "";
    extraOnly.spnummo = 0;
    extraOnly.spnum0 = extraOnly.spirate = extraOnly.spstfact = extraOnly.spfilefee = extraOnly.SPLATENO = 0;
    extraOnly.spconame = extraOnly.spcostreet = extraOnly.spcocity = extraOnly.spcostate = "";
    extraOnly.spcozip = extraOnly.spcophone = extraOnly.spcotext7 = extraOnly.spcotext8 = extraOnly.sptext0 = "";
    extraOnly.TOPLATE = extraOnly.LATEPCT = 0;
    EXPECT_TRUE(state_.spec == extraOnly);
    EXPECT_EQ(state_.spec.LateChMethod, "P");
    EXPECT_EQ(state_.spec.BotLate, -1.5);
    EXPECT_EQ(state_.spec.spcity, "");
    EXPECT_EQ(state_.spec.ExtraMoney1, full.ExtraMoney1);
    EXPECT_EQ(state_.filler, 0);
    EXPECT_EQ(state_.localPrefix, "G:");
    EXPECT_EQ(othersCleared, 1);
}

TEST_F(SettingsFixture, LocalSpecRoundTripAndLayout) {
    state_.localPrefix = "G:";
    state_.local = {"YES", "N", "D:\\"};
    settings::SaveLocalSpec(*env_);
    EXPECT_EQ(slurp(G() / "LocalSPEC.DAT"), "YES\r\nN\r\nD:\\\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");

    state_.local = {"No, never", " ", ""};
    settings::SaveLocalSpec(*env_);
    state_.local = {};
    settings::LoadLocalSpec(*env_);
    EXPECT_EQ(state_.local, (settings::LocalSpec{"No, never", " ", ""}));
    EXPECT_EQ(state_.reads.localSpec, 1);
}

TEST_F(SettingsFixture, LocalSpecMissingOrShortIsAFailureForTheCaller) {
    state_.localPrefix = "G:";
    try {
        settings::LoadLocalSpec(*env_);
        FAIL();
    } catch (const platform::Failure& f) {
        EXPECT_EQ(f.number(), 53);
        EXPECT_EQ(f.file(), "G:LocalSPEC.DAT");
    }
    spit(G() / "localspec.dat", "YES\r\nW\r\n");
    try {
        settings::LoadLocalSpec(*env_);
        FAIL();
    } catch (const platform::Failure& f) {
        EXPECT_EQ(f.number(), 62);
    }
    EXPECT_EQ(state_.local.TxtCanWriteReceipt, "YES");  // read before the end
    EXPECT_EQ(files_->openCount(), 0u);
}

}  // namespace
}  // namespace settings_test
