#include "bulk/MaskedTextDelegate.h"

#include "platform/WindowKit.h"

#include <QLineEdit>

QString MaskedTextDelegate::displayText(const QVariant& value, const QLocale&) const {
    return QString(value.toString().size(), QLatin1Char('*'));
}

QWidget* MaskedTextDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* box = qobject_cast<QLineEdit*>(editor))
        kyt::maskWithStars(box);
    return editor;
}
