#pragma once

#include <QLineEdit>
#include <QStyledItemDelegate>

// A single-line entry box that holds its text exactly as typed or loaded and draws bidirectional
// controls as marks such as "<U+202E>" (shown::visibleControls), so that a name reordered by them
// cannot pass for another on screen while what is saved is what the box holds. A text without such
// controls is drawn as any line edit draws it.
class MarkedLineEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int scrolled_ = 0; // how far the drawn text is moved left to keep the cursor in view, in pixels
};

// Draws the items of a list, such as a combo box's drop-down, with the same marks.
class MarkedItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant& value, const QLocale& locale) const override;
};
