// Fonts and printers need a GUI application; the offscreen platform needs no
// display.
#include <memory>

#include <gtest/gtest.h>
#include <QGuiApplication>

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_print";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QGuiApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
