#pragma once

#include <QLineEdit>

// A date-and-time box with a fixed mask: "##/##/#### ##:##:##", where "#" takes one digit and "/",
// " " and ":" are fixed. Untyped positions show "_". The mask can be taken off and put back, so a
// stored text can be set as it is and then shaped by the mask.
class MaskedDateBox : public QLineEdit {
    Q_OBJECT
public:
    static const QString kDateMask; // "##/##/#### ##:##:##"

    explicit MaskedDateBox(QWidget* parent = nullptr);

    // The mask in "#" notation; an empty mask takes it off and leaves the text free.
    void setMask(const QString& mask);
    QString mask() const { return mask_; }
    // Puts a date text in as it is and lets the mask shape it (the mask comes off while the text
    // goes in); an empty text leaves the box empty. A date box given by its line-edit pointer.
    static void setDateText(QLineEdit* box, const QString& text);
    // The typed digits alone, without literals and prompts; 14 of them make a complete date.
    QString clipText() const;

Q_SIGNALS:
    // The box has taken the focus and finished its own focus handling, so a selection made now stays.
    void focusEntered();

protected:
    void focusInEvent(QFocusEvent* event) override;

private:
    QString mask_;
};
