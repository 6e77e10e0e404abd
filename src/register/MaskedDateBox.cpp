#include "register/MaskedDateBox.h"

const QString MaskedDateBox::kDateMask = QStringLiteral("##/##/#### ##:##:##");

MaskedDateBox::MaskedDateBox(QWidget* parent) : QLineEdit(parent) {
    setMask(kDateMask);
}

void MaskedDateBox::setMask(const QString& mask) {
    mask_ = mask;
    if (mask.isEmpty()) {
        setInputMask(QString());
        return;
    }
    // Qt's notation: "9" is a required digit, and ";_" names the prompt character.
    QString qtMask = mask;
    qtMask.replace(QLatin1Char('#'), QLatin1Char('9'));
    setInputMask(qtMask + QStringLiteral(";_"));
}

QString MaskedDateBox::clipText() const {
    // The literals are no digits and the prompts are not part of text(), so the digits are what was typed.
    QString digits;
    for (const QChar c : text())
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
    return digits;
}

void MaskedDateBox::focusInEvent(QFocusEvent* event) {
    // The line edit moves the cursor to the first prompt when a masked box is tabbed into, which
    // would undo a selection made before; hence the signal after it.
    QLineEdit::focusInEvent(event);
    Q_EMIT focusEntered();
}

void MaskedDateBox::setDateText(QLineEdit* box, const QString& text) {
    auto* date = qobject_cast<MaskedDateBox*>(box);
    if (!date) {
        box->setText(text);
        return;
    }
    date->setMask(QString());
    date->setText(text);
    date->setMask(kDateMask);
}
