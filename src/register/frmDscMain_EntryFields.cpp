#include "component/ClsMain.h"
#include "component/Module1.h"
#include "register/frmDscMain.h"
#include "register/MaskedDateBox.h"

#include <QApplication>
#include <QDate>
#include <QKeyEvent>
#include <QTime>

namespace {
const QColor kFocusBackground(255, 224, 192);
const QColor kPlainBackground(Qt::white);
constexpr int kEnter = 13;
constexpr int kEmailIndex = 6;
constexpr int kCompleteDateDigits = 14;

void setBackground(QLineEdit* box, const QColor& colour) {
    QPalette p = box->palette();
    p.setColor(QPalette::Base, colour);
    box->setPalette(p);
}

// Moves the focus on as a Tab key press would, through the window's own key handling, so that the
// check on leaving a field runs just as it does for a typed Tab.
void SendTab(QWidget* from) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : from;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    QCoreApplication::sendEvent(target, &press);
    QCoreApplication::sendEvent(target, &release);
}

// "DD/MM/YYYY HH:MM:SS" naming a day of the calendar and a time of day (hours 00 to 23). Date and
// time are checked apart, so no time zone can declare a wall-clock time missing.
bool IsRealDateTime(const QString& text) {
    if (text.size() != 19)
        return false;
    const QDate date = QDate::fromString(text.left(10), QStringLiteral("dd/MM/yyyy"));
    const QTime time = QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss"));
    return date.isValid() && time.isValid() && text[10] == QLatin1Char(' ');
}

MaskedDateBox* dateBox(QLineEdit* box) {
    return qobject_cast<MaskedDateBox*>(box);
}
} // namespace

void frmDscMain::watchEntryFields() {
    for (int i = 0; i < 2; ++i) {
        MaskedDateBox* box = dateBox(txtdts[size_t(i)]);
        connect(box, &MaskedDateBox::focusEntered, this, [this, i] { txtdts_GotFocus(i); });
        validation_->watch(box, [this, i] {
            bool cancel = false;
            txtdts_Validate(i, cancel);
            return !cancel;
        });
    }
    validation_->watch(txtfields[kEmailIndex], [this] {
        bool cancel = false;
        txtfields_Validate(kEmailIndex, cancel);
        return !cancel;
    });
}

bool frmDscMain::routeEntryEvent(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::FocusIn && type != QEvent::FocusOut && type != QEvent::KeyPress)
        return false;
    const auto textIndex = [&]() -> int {
        for (int i = 0; i < int(txtfields.size()); ++i)
            if (txtfields[size_t(i)] && watched == txtfields[size_t(i)])
                return i;
        return -1;
    }();
    const int dateIndex = watched == txtdts[0] ? 0 : watched == txtdts[1] ? 1 : -1;

    if (type == QEvent::FocusIn) {
        // A date box reports its focus itself, after its own focus handling (MaskedDateBox).
        if (textIndex >= 0)
            txtfields_GotFocus(textIndex);
        return false;
    }
    if (type == QEvent::FocusOut) {
        if (textIndex >= 0)
            txtfields_LostFocus(textIndex);
        else if (dateIndex >= 0)
            txtdts_LostFocus(dateIndex);
        return false;
    }

    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    int ascii = kEnter;
    const auto isCombo = [watched](QComboBox* c) { return watched == c || watched == c->lineEdit(); };
    if (textIndex >= 0)
        txtfields_KeyPress(textIndex, ascii);
    else if (dateIndex >= 0)
        txtdts_KeyPress(dateIndex, ascii);
    else if (isCombo(cbodsctype))
        cbodsctype_KeyPress(ascii);
    else if (isCombo(cboidproof))
        cboidproof_KeyPress(ascii);
    else if (isCombo(cboaddrproof))
        cboaddrproof_KeyPress(ascii);
    return ascii == 0;
}

void frmDscMain::txtfields_GotFocus(int Index) {
    QLineEdit* box = txtfields[size_t(Index)];
    setBackground(box, kFocusBackground);
    box->selectAll();
}

void frmDscMain::txtfields_LostFocus(int Index) {
    setBackground(txtfields[size_t(Index)], kPlainBackground);
}

void frmDscMain::txtfields_KeyPress(int Index, int& KeyAscii) {
    // Every text box here is single-line; the Enter itself is left to the box.
    if (KeyAscii == kEnter)
        SendTab(txtfields[size_t(Index)]);
}

void frmDscMain::txtfields_Validate(int Index, bool& Cancel) {
    if (Index != kEmailIndex)
        return;
    if (!IsValidEmail(txtfields[size_t(Index)]->text())) {
        Cancel = true;
        kyt::ErrorTrap::silent()(
            [&] { ClsObj->services().dialogs->information(this, QStringLiteral("Invalid E-mail Address.")); });
    }
}

void frmDscMain::txtdts_GotFocus(int Index) {
    QLineEdit* box = txtdts[size_t(Index)];
    setBackground(box, kFocusBackground);
    box->setSelection(0, box->displayText().size());
}

void frmDscMain::txtdts_LostFocus(int Index) {
    setBackground(txtdts[size_t(Index)], kPlainBackground);
}

void frmDscMain::txtdts_KeyPress(int Index, int& KeyAscii) {
    if (KeyAscii == kEnter)
        SendTab(txtdts[size_t(Index)]);
}

void frmDscMain::txtdts_Validate(int Index, bool& Cancel) {
    MaskedDateBox* box = dateBox(txtdts[size_t(Index)]);
    const QString digits = box->clipText();
    if (digits.isEmpty())
        return;
    if (digits.size() != kCompleteDateDigits || !IsRealDateTime(box->text())) {
        Cancel = true;
        kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("TXTDTS_VALIDATE"));
        trap([&] { ClsObj->services().dialogs->information(this, QStringLiteral("Invalid Date.")); });
    }
}

void frmDscMain::cbodsctype_KeyPress(int& KeyAscii) {
    if (KeyAscii == kEnter)
        SendTab(cbodsctype);
}

void frmDscMain::cboidproof_KeyPress(int& KeyAscii) {
    if (KeyAscii == kEnter)
        SendTab(cboidproof);
}

void frmDscMain::cboaddrproof_KeyPress(int& KeyAscii) {
    if (KeyAscii == kEnter)
        SendTab(cboaddrproof);
}
