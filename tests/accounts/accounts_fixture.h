#pragma once
// A program over temporary drives with a real customer file (Table1 as the
// column table declares it, made through the engine), the account routines'
// shared values and screens registered, and the short date the program sets
// at start-up.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "accounts/customer_columns.h"
#include "accounts/record/account_record.h"
#include "accounts/scan/error_form.h"
#include "menus/utility_menu.h"
#include "platform/drives.h"
#include "platform/engine/engine.h"
#include "settings/program/program_settings.h"
#include "settings/system_spec.h"
#include "ui/program.h"

namespace platform {
inline void PrintTo(const Value& v, std::ostream* os) { *os << (v.isNull() ? std::string("NULL") : v.toText()); }
}  // namespace platform

namespace accounts_test {

namespace fs = std::filesystem;
using platform::Value;
using Fields = std::vector<std::pair<std::string, Value>>;

class AccountsFixture : public ::testing::Test {
protected:
    explicit AccountsFixture(bool withCustomerFile = true, bool withCreditBureauColumns = true) {
        std::random_device rd;
        root_ = fs::temp_directory_path() / ("velmora-accounts-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(root_ / "M");
        fs::create_directories(root_ / "G");
        drives_.set('M', root_ / "M");
        drives_.set('G', root_ / "G");
        program_ = std::make_unique<ui::Program>(ui::ProgramOptions{drives_, false, true});
        p().workstation().setShortDateFormat("MM/dd/yyyy");
        settings::state(p()).programDate = "06/15/2006";
        accounts::registerSharedValues(p());
        accounts::registerScreens(p());
        menus::registerUtilityMenu(p());
        if (withCustomerFile) {
            auto db = p().engine().create("M:\\cusfile.mdb");
            db->createTable(accounts::customerTableDef(withCreditBureauColumns));
            db->close();
        }
    }
    ~AccountsFixture() override {
        program_.reset();
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    ui::Program& p() { return *program_; }
    accounts::AccountRecord& record() { return accounts::account(p()); }

    // Adds a row through another handle of the file; columns not named keep
    // their declared defaults (0 for numbers, no value for texts).
    void addRow(const Fields& fields) {
        auto db = p().engine().open("M:\\cusfile.mdb");
        auto rs = db->openTable("Table1");
        rs->addNew();
        for (const auto& [c, v] : fields) rs->setField(c, v);
        rs->update();
    }
    // A column of the row with that account number, as text ("NULL" for no value).
    std::string column(const std::string& contract, const std::string& name) {
        auto db = p().engine().open("M:\\cusfile.mdb");
        auto rs = db->openTable("Table1");
        rs->setIndex("contract");
        rs->seek(platform::SeekOp::Equal, {Value(contract)});
        if (rs->noMatch()) return "(no row " + contract + ")";
        Value v = rs->field(name);
        return v.isNull() ? "NULL" : v.toText();
    }
    std::string shared(const std::string& name) {
        std::string v;
        EXPECT_TRUE(p().sharedValue(name, v)) << name;
        return v;
    }
    // Finds the account and loads it, as the account tools do.
    accounts::LoadReport seekAndLoad(const std::string& contract) {
        accounts::customerFile(p()).AccountToFind = contract;
        accounts::SeekAccount(p());
        EXPECT_EQ(0, accounts::customerFile(p()).SeekErrorNumber);
        EXPECT_FALSE(accounts::customerTable(p()).noMatch()) << contract;
        return accounts::LoadAccountRecord(p());
    }
    void storeAndUpdate() {
        accounts::StoreAccountRecord(p());
        accounts::customerTable(p()).update();
    }

    fs::path root_;
    platform::DriveMap drives_;
    std::unique_ptr<ui::Program> program_;
};

}  // namespace accounts_test
