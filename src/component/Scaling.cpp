#include "component/ClsMain.h"

#include <cmath>
#include <QCheckBox>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWidget>

namespace {

// Font sizes are worked in four-place fixed point, as currency amounts are, and rounded to one
// decimal with a half going to the even neighbour: 8.25 becomes 8.2, 8.35 becomes 8.4.
double roundToTenthHalfEven(double v) {
    const qint64 fixed = std::llround(v * 10000.0);
    const qint64 sign = fixed < 0 ? -1 : 1;
    const qint64 magnitude = fixed * sign;
    qint64 tenths = magnitude / 1000;
    const qint64 rest = magnitude % 1000;
    if (rest > 500 || (rest == 500 && tenths % 2 == 1))
        ++tenths;
    return double(sign * tenths) / 10.0;
}

// Sets a font size the font can really take, from the control's own unscaled size `old`: lowered
// by a tenth while the font takes a larger size than asked, never below a tenth, so the search
// always ends. The size is set on the control itself, so that it no longer follows its parent's.
void scaleFont(QWidget* control, double old, double factor) {
    QFont font = control->font();
    double target = roundToTenthHalfEven(old * factor);
    if (qobject_cast<QCheckBox*>(control) || qobject_cast<QRadioButton*>(control))
        target *= 0.98;
    while (target > 0) {
        font.setPointSizeF(target);
        control->setFont(font);
        if (control->font().pointSizeF() <= target + 1e-9)
            return;
        target -= 0.1;
    }
    font.setPointSizeF(std::max(1.0, roundToTenthHalfEven(old * factor)));
    control->setFont(font);
}

bool keepsItsFont(const QWidget* control) {
    return qobject_cast<const QMenu*>(control) || qobject_cast<const QMenuBar*>(control) ||
           qobject_cast<const QProgressBar*>(control);
}

// The frame the window system adds around the window. Until a window manager has framed the
// window it reads as none; a title bar and borders of the style's own size are reserved then, so
// that the bottom of a window that fills the screen never lies under its edge.
QSize frameSize(const QWidget* form) {
    const QSize frame = form->frameGeometry().size() - form->geometry().size();
    if (!frame.isEmpty() || QGuiApplication::platformName() != QLatin1String("xcb"))
        return frame;
    const int border = form->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, form);
    return {2 * border, form->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, form) + 2 * border};
}

// Keeps the window, frame included, within the available area of its screen; centred there when
// `centre` is set. A window not placed yet keeps the place the toolkit gives it when shown (a
// dialog centred over its owner); only its size is kept within the screen.
void placeOnScreen(QWidget* form, bool centre, const QWidget* owner = nullptr) {
    const QScreen* screen = form->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize frame = frameSize(form);
    const QSize most = area.size() - frame;
    form->resize(std::min(form->width(), most.width()), std::min(form->height(), most.height()));
    if (!centre && !form->isVisible() && !form->testAttribute(Qt::WA_Moved))
        return;
    const QSize outer = form->size() + frame;
    QPoint at = form->frameGeometry().topLeft();
    if (owner)
        at = owner->frameGeometry().center() - QPoint(outer.width() / 2, outer.height() / 2);
    else if (centre)
        at = area.topLeft() + QPoint((area.width() - outer.width()) / 2, (area.height() - outer.height()) / 2);
    at.setX(std::clamp(at.x(), area.left(), area.right() + 1 - outer.width()));
    at.setY(std::clamp(at.y(), area.top(), area.bottom() + 1 - outer.height()));
    if (at != form->frameGeometry().topLeft())
        form->move(at);
}

// The frame that the window system adds is known only some time after the window is shown: the
// window is placed again then, and once more a little later for a window manager that frames it
// late. A window with an owner (the wizard over the register) is centred over it then, at the size
// its layout finally gave it.
class PlaceWhenShown : public QObject {
public:
    PlaceWhenShown(QWidget* form, bool centre) : QObject(form), centre_(centre) { form->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* form = static_cast<QWidget*>(watched);
            const bool centre = centre_;
            const QPointer<QWidget> owner = form->parentWidget() ? form->parentWidget()->window() : nullptr;
            for (int delay : {0, 250})
                QTimer::singleShot(delay, form, [form, centre, owner] {
                    placeOnScreen(form, centre, owner && owner->isVisible() ? owner.data() : nullptr);
                });
            form->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }

private:
    bool centre_;
};

} // namespace

void ClsMain::Resize_For_Resolution(QWidget* MyForm, bool RePosForm) {
    if (!MyForm)
        return;
    const double x = ScreenRatX, y = ScreenRatY, f = ScreenRatFS;
    const bool scale = !(x == 1 && y == 1 && f == 1) && x > 0 && y > 0 && f > 0;
    if (scale) {
        // Every control's size is read before any is changed: a control that takes its font from
        // its parent would otherwise be scaled again after the parent was.
        QList<QPair<QPointer<QWidget>, double>> unscaled;
        for (QWidget* control : MyForm->findChildren<QWidget*>())
            if (!keepsItsFont(control) && control->font().pointSizeF() > 0) // pixel-sized fonts stay
                unscaled.append({control, control->font().pointSizeF()});
        for (const auto& entry : unscaled)
            if (entry.first)
                scaleFont(entry.first, entry.second, f);
        // Positions and sizes of controls follow the window's layouts; the window's own scale.
        // A window not placed yet is left for the toolkit to place when shown.
        if (MyForm->isVisible() || MyForm->testAttribute(Qt::WA_Moved))
            MyForm->move(int(MyForm->x() * x), int(MyForm->y() * y));
        MyForm->resize(int(MyForm->width() * x), int(MyForm->height() * y));
    }
    // Asked to place the window, or grown by the factors: it is kept on the screen.
    if (RePosForm || scale) {
        placeOnScreen(MyForm, RePosForm);
        if (!MyForm->isVisible())
            new PlaceWhenShown(MyForm, RePosForm);
    }
}
