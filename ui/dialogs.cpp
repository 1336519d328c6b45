#include "ui/dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

#include <cstdio>

#include "ui/program.h"

namespace ui {

void Dialogs::message(const std::string& text, const std::string& title) {
    messages_.push_back({title, text});
    if (messageOks_ > 0) {
        --messageOks_;
        return;
    }
    if (program_.headless() || !qApp) {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
        std::fflush(stderr);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.exec();
    program_.checkEnded();
}

std::optional<std::string> Dialogs::input(const std::string& prompt, const std::string& title,
                                          const std::string& defaultText, int leftTwips, int topTwips) {
    inputPrompts_.push_back({title, prompt});
    if (!inputs_.empty()) {
        auto a = inputs_.front();
        inputs_.pop_front();
        return a;
    }
    if (program_.headless() || !qApp) return std::nullopt;
    QInputDialog dlg;
    dlg.setWindowTitle(QString::fromStdString(title));
    dlg.setLabelText(QString::fromStdString(prompt));
    dlg.setTextValue(QString::fromStdString(defaultText));
    if (leftTwips >= 0 && topTwips >= 0) dlg.move(leftTwips / 15, topTwips / 15);
    bool ok = dlg.exec() == QDialog::Accepted;
    program_.checkEnded();
    if (!ok) return std::nullopt;
    return dlg.textValue().toStdString();
}

}  // namespace ui
