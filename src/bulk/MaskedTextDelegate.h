#pragma once

#include <QStyledItemDelegate>

// Shows a cell's text as one "*" a character and edits it in a box masked alike, for passwords typed
// into a grid: someone looking over the user's shoulder sees only how long they are.
class MaskedTextDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant& value, const QLocale& locale) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
