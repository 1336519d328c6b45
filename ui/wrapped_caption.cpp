#include "ui/wrapped_caption.h"

#include <QEvent>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace ui {

namespace {

class WrappedCaption : public QObject {
public:
    explicit WrappedCaption(Control& c) : QObject(c.widget()), control_(c) { c.widget()->installEventFilter(this); }

    bool eventFilter(QObject* o, QEvent* e) override {
        auto* b = qobject_cast<QPushButton*>(o);
        if (!b || e->type() != QEvent::Paint) return false;
        QStylePainter p(b);
        QStyleOptionButton opt;
        opt.initFrom(b);
        opt.state |= b->isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
        p.drawControl(QStyle::CE_PushButtonBevel, opt);
        QRect r = b->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, b).adjusted(2, 2, -2, -2);
        int64_t fore = control_.foreColor() == colour::Default ? colour::Black : control_.foreColor();
        QColor pen = b->isEnabled() ? QColor(static_cast<int>(fore & 0xFF), static_cast<int>((fore >> 8) & 0xFF),
                                             static_cast<int>((fore >> 16) & 0xFF))
                                    : QColor(128, 128, 128);
        p.setPen(pen);
        p.setFont(b->font());
        p.drawText(r, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, b->text());
        if (b->hasFocus()) {
            QStyleOptionFocusRect fr;
            fr.initFrom(b);
            fr.rect = r;
            p.drawPrimitive(QStyle::PE_FrameFocusRect, fr);
        }
        return true;
    }

private:
    Control& control_;
};


}  // namespace

void WrapCaption(Control& button) {
    if (qobject_cast<QPushButton*>(button.widget())) new WrappedCaption(button);
}

}  // namespace ui
