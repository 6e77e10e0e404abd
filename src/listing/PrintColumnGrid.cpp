#include "listing/PrintColumnGrid.h"

#include "component/Module1.h"
#include "platform/WindowKit.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {
QStyleOptionButton checkOption(const QStyleOptionViewItem& item, bool ticked) {
    QStyleOptionButton box;
    const QStyle* style = item.widget ? item.widget->style() : QApplication::style();
    const QSize size(style->pixelMetric(QStyle::PM_IndicatorWidth, &item, item.widget),
                     style->pixelMetric(QStyle::PM_IndicatorHeight, &item, item.widget));
    box.rect = QStyle::alignedRect(item.direction, Qt::AlignCenter, size, item.rect);
    box.state = (item.state & QStyle::State_Enabled) | (ticked ? QStyle::State_On : QStyle::State_Off);
    return box;
}
} // namespace

PrintColumnModel::PrintColumnModel(QObject* parent) : QAbstractTableModel(parent) {
    setRows(1);
}

int PrintColumnModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int PrintColumnModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

bool PrintColumnModel::ticked(const QString& printText) {
    return Val(printText) != 0;
}

QString PrintColumnModel::text(int row, int column) const {
    if (row < 0 || row >= int(rows_.size()) || column < 0 || column > 1)
        return {};
    return rows_[size_t(row)][size_t(column)];
}

void PrintColumnModel::setText(int row, int column, const QString& text) {
    if (row < 0 || row >= int(rows_.size()) || column < 0 || column > 1)
        return;
    rows_[size_t(row)][size_t(column)] = text;
    Q_EMIT dataChanged(index(row, column), index(row, column));
}

void PrintColumnModel::setRows(int rows) {
    beginResetModel();
    rows_.resize(size_t(std::max(rows, 1)));
    rows_[0] = {QStringLiteral("Column Heading"), QStringLiteral("Print")};
    endResetModel();
}

QVariant PrintColumnModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int row = index.row();
    const int column = index.column();
    const bool headingRow = row == 0;
    switch (role) {
    case Qt::DisplayRole:
        // The heading row names both columns; elsewhere "Print" shows only its check box.
        return column == kHeadingColumn || headingRow ? text(row, column) : QVariant();
    case Qt::CheckStateRole:
        if (column != kPrintColumn)
            return {};
        // The heading row's box keeps its own tick in a cell property, its text being the caption.
        return ticked(headingRow ? headingTick_ : text(row, column)) ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole:
        return int(column == kPrintColumn || headingRow ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
    case Qt::BackgroundRole:
        // The heading row looks like a fixed row, as the list's heading does.
        return headingRow ? QVariant(QColor(232, 232, 232)) : QVariant();
    default:
        return {};
    }
}

Qt::ItemFlags PrintColumnModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) // the root is no cell
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == kPrintColumn)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

bool PrintColumnModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::CheckStateRole)
        return false;
    bool cancel = false;
    Q_EMIT beforeEdit(index.row(), index.column(), cancel);
    if (cancel)
        return false;
    const QString tick = value.toInt() == Qt::Checked ? QStringLiteral("-1") : QStringLiteral("0");
    if (index.row() == 0)
        headingTick_ = tick;
    else
        rows_[size_t(index.row())][size_t(index.column())] = tick;
    Q_EMIT dataChanged(index, index);
    Q_EMIT afterEdit(index.row(), index.column());
    return true;
}

void PrintColumnModel::setHeadingChecked(bool checked) {
    headingTick_ = checked ? QStringLiteral("-1") : QStringLiteral("0");
    Q_EMIT dataChanged(index(0, kPrintColumn), index(0, kPrintColumn));
}

// --- CentredCheckDelegate ----------------------------------------------------------------------

void CentredCheckDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    const QVariant check = index.data(Qt::CheckStateRole);
    if (!check.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QStyle* style = item.widget ? item.widget->style() : QApplication::style();
    // The heading row's caption stands beside its box; other rows show the box alone.
    const QString caption = item.text;
    item.text.clear();
    item.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
    QStyleOptionViewItem boxArea = item;
    if (!caption.isEmpty()) {
        const int textWidth = item.fontMetrics.horizontalAdvance(caption) + 8;
        boxArea.rect.setLeft(item.rect.center().x() + textWidth / 2 - 4);
        QRect textRect = item.rect;
        textRect.setRight(boxArea.rect.left());
        painter->save();
        painter->setFont(item.font);
        painter->drawText(textRect, Qt::AlignCenter, caption);
        painter->restore();
    }
    QStyleOptionButton box = checkOption(boxArea, check.toInt() == Qt::Checked);
    style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, item.widget);
}

bool CentredCheckDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) {
    if (!(index.flags() & Qt::ItemIsUserCheckable))
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const Qt::CheckState now = Qt::CheckState(index.data(Qt::CheckStateRole).toInt());
    const Qt::CheckState toggled = now == Qt::Checked ? Qt::Unchecked : Qt::Checked;
    switch (event->type()) {
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || !option.rect.contains(mouse->position().toPoint()))
            return false;
        return model->setData(index, toggled, Qt::CheckStateRole);
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // Taken, so that a double click toggles twice rather than starting anything else.
        return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
                       event->type() == QEvent::MouseButtonDblClick
                   ? model->setData(index, toggled, Qt::CheckStateRole)
                   : false;
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Space && key != Qt::Key_Select)
            return false;
        return model->setData(index, toggled, Qt::CheckStateRole);
    }
    default:
        return false;
    }
}

// --- PrintColumnGrid ---------------------------------------------------------------------------

PrintColumnGrid::PrintColumnGrid(QWidget* parent) : QTableView(parent), model_(new PrintColumnModel(this)) {
    setModel(model_);
    setItemDelegate(new CentredCheckDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    // Row 0 is the grid's own heading row, so the view's headers stay hidden.
    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    kyt::fitRowsToFont(this, 4);
    horizontalHeader()->setStretchLastSection(true);
    connect(model_, &PrintColumnModel::beforeEdit, this, &PrintColumnGrid::beforeEdit);
    connect(model_, &PrintColumnModel::afterEdit, this, &PrintColumnGrid::afterEdit);
}

void PrintColumnGrid::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        kyt::fitRowsToFont(this, 4);
        fitHeightToRows();
    }
}

void CentredCheckDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.row() == 0) {
        option->font.setBold(true);
        option->fontMetrics = QFontMetrics(option->font);
    }
}

void PrintColumnGrid::setRows(int rows) {
    model_->setRows(rows);
    for (int r = 0; r < Rows(); ++r)
        setRowHidden(r, false);
}

void PrintColumnGrid::fitHeightToRows() {
    // Every row in sight, so that the heading row and its box never scroll away.
    int height = 2 * frameWidth();
    for (int r = 0; r < Rows(); ++r)
        if (!isRowHidden(r))
            height += rowHeight(r);
    setMinimumHeight(height);
}

void PrintColumnGrid::autoFitColumns() {
    fitHeightToRows();
    resizeColumnToContents(PrintColumnModel::kHeadingColumn);
    setColumnWidth(PrintColumnModel::kHeadingColumn, columnWidth(PrintColumnModel::kHeadingColumn) + 16);
    const int box = style()->pixelMetric(QStyle::PM_IndicatorWidth) + 16;
    setColumnWidth(PrintColumnModel::kPrintColumn,
                   fontMetrics().horizontalAdvance(TextMatrix(0, PrintColumnModel::kPrintColumn)) + 2 * box);
}
