#include "component/ClsMain.h"

#include <cmath>
#include <QAbstractButton>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QRadioButton>
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

// Sets a font size the font can really take: lowered by a tenth while the font takes a larger
// size than asked, never below a tenth, so the search always ends.
void scaleFont(QWidget* control, double factor) {
    QFont font = control->font();
    const double old = font.pointSizeF();
    if (old <= 0)
        return; // a pixel-sized font: nothing to scale in points
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

} // namespace

void ClsMain::Resize_For_Resolution(QWidget* MyForm, bool) {
    if (!MyForm)
        return;
    const double x = ScreenRatX, y = ScreenRatY, f = ScreenRatFS;
    if (x == 1 && y == 1 && f == 1)
        return;
    if (x <= 0 || y <= 0 || f <= 0)
        return;
    // Positions and sizes of controls follow the window's layouts; fonts are scaled one by one.
    for (QWidget* control : MyForm->findChildren<QWidget*>()) {
        if (qobject_cast<QMenu*>(control) || qobject_cast<QMenuBar*>(control) || qobject_cast<QProgressBar*>(control))
            continue;
        kyt::ErrorTrap::silent()([&] { scaleFont(control, f); });
    }
    kyt::ErrorTrap::silent()([&] {
        MyForm->move(int(MyForm->x() * x), int(MyForm->y() * y));
        MyForm->resize(int(MyForm->width() * x), int(MyForm->height() * y));
    });
}
