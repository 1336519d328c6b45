#include "ui/program.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "platform/failure.h"
#include "ui/dialogs.h"
#include "ui/screen.h"

namespace ui {

Program::Program(ProgramOptions options) : options_(std::move(options)) {
    files_ = std::make_unique<platform::FileChannels>(options_.drives);
    workstation_ = std::make_unique<platform::Workstation>(platform::Workstation::defaultStateFile(options_.drives));
    engine_ = platform::makeSqliteEngine(options_.drives, workstation_->locale());
    dialogs_ = std::make_unique<Dialogs>(*this);
    screens_ = std::make_unique<Screens>(*this);
}

Program::~Program() {
    screens_.reset();
    if (engine_) engine_->closeAll();
}

void Program::registerShared(const std::string& name, std::function<std::string()> get) {
    named_[name] = std::move(get);
}

bool Program::sharedValue(const std::string& name, std::string& out) const {
    auto it = named_.find(name);
    if (it == named_.end()) return false;
    out = it->second();
    return true;
}

void Program::guard(const std::function<void()>& routine) {
    if (ended_) return;
    ++guardDepth_;
    std::string failure;
    try {
        routine();
    } catch (const ProgramEnded&) {
    } catch (const platform::Failure& f) {
        failure = "Error " + std::to_string(f.number()) + ": " + f.description();
        if (!f.file().empty() && f.description().find(f.file()) == std::string::npos) failure += " (" + f.file() + ")";
    } catch (const std::exception& e) {
        failure = std::string("Error 5: ") + e.what();
    }
    --guardDepth_;
    if (!failure.empty() && !ended_) {
        // The failure convention: the box with number and description, then the end.
        try {
            dialogs_->message(failure, "Velmora");
        } catch (const ProgramEnded&) {
        }
        end(1);
    }
}

void Program::checkEnded() const {
    if (ended_) throw ProgramEnded{};
}

void Program::yield() {
    checkEnded();
    if (qApp) QCoreApplication::processEvents(QEventLoop::AllEvents);
    checkEnded();
}

void Program::waitWhile(const std::function<bool()>& condition) {
    checkEnded();
    while (condition()) {
        if (!qApp) throw platform::Failure(5, "Invalid procedure call or argument");
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        checkEnded();
    }
}

void Program::end(int status) {
    if (ended_) return;
    ended_ = true;
    status_ = status;
    try {
        files_->closeAll();
    } catch (...) {
    }
    engine_->closeAll();
    for (Screen* s : screens_->all())
        for (auto& c : s->controls())
            if (c->timer()) c->timer()->stop();
    std::fflush(stdout);
    std::fflush(stderr);
    if (options_.exitProcess) std::_Exit(status);
    for (auto& h : endedHooks_) h(status);
}

int Program::displayWidthTwips() const {
    if (auto* s = QGuiApplication::primaryScreen()) return s->geometry().width() * 15;
    return 9600;
}
int Program::displayHeightTwips() const {
    if (auto* s = QGuiApplication::primaryScreen()) return s->geometry().height() * 15;
    return 7200;
}

}  // namespace ui

namespace ui {
namespace {
QtMessageHandler previousHandler = nullptr;
void filterNotes(QtMsgType type, const QMessageLogContext& ctx, const QString& msg) {
    if (msg.contains("This plugin does not support") || msg.contains("XDG_RUNTIME_DIR")) return;
    if (previousHandler) previousHandler(type, ctx, msg);
}
}  // namespace
void quietPlatformNotes() { previousHandler = qInstallMessageHandler(filterNotes); }
}  // namespace ui
