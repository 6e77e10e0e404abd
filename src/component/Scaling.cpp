#include "component/ClsMain.h"

#include <QWidget>

// TODO(scaling): positions, sizes and fonts by the host's factors.
void ClsMain::Resize_For_Resolution(QWidget* MyForm, bool) {
    if (!MyForm || (ScreenRatX == 1 && ScreenRatY == 1 && ScreenRatFS == 1))
        return;
    if (ScreenRatX <= 0 || ScreenRatY <= 0 || ScreenRatFS <= 0)
        return;
    MyForm->resize(int(MyForm->width() * ScreenRatX), int(MyForm->height() * ScreenRatY));
}
