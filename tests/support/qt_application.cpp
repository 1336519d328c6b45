// Test programs with screens need a widget application; the offscreen
// platform needs no display. Linked into such tests as an object library.
#include <memory>

#include <gtest/gtest.h>
#include <QApplication>

#include "ui/program.h"

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        ui::quietPlatformNotes();
        static int argc = 1;
        static char name[] = "velmora-test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
