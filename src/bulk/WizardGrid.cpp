#include "bulk/WizardGrid.h"

#include "platform/WindowKit.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>

#include <algorithm>

WizardGrid::WizardGrid(const QStringList& headings, QWidget* parent) : QTableWidget(0, int(headings.size()), parent) {
    setHorizontalHeaderLabels(headings);
    verticalHeader()->hide();
    kyt::fitRowsToFont(this, 6);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
    horizontalHeader()->setStretchLastSection(true);
    // Tab and Shift+Tab go to the next and previous control, as in the register's list; the arrow
    // keys move between cells. Otherwise a list of many files would hold the focus for three Tabs
    // a row.
    setTabKeyNavigation(false);
    connect(this, &QTableWidget::currentCellChanged, this, [this](int newRow, int newCol, int oldRow, int oldCol) {
        Q_EMIT afterRowColChange(oldRow + 1, oldCol, newRow + 1, newCol);
    });
}

void WizardGrid::changeEvent(QEvent* event) {
    QTableWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        kyt::fitRowsToFont(this, 6);
}

void WizardGrid::scrollColumnToLeft(int column) {
    QHeaderView* heading = horizontalHeader();
    if (heading->visualIndex(column) == columnCount() - 1)
        setColumnWidth(column, std::max(columnWidth(column), viewport()->width()));
    updateGeometries();
    QScrollBar* bar = horizontalScrollBar();
    bar->setValue(horizontalScrollMode() == ScrollPerItem ? heading->visualIndex(column)
                                                          : heading->sectionPosition(column));
}

int WizardGrid::Row() const {
    return currentRow() + 1;
}

int WizardGrid::Col() const {
    return currentColumn();
}

void WizardGrid::setCurrentCell(int row, int column) {
    QTableWidget::setCurrentCell(row - 1, column);
}

QString WizardGrid::TextMatrix(int row, int column) const {
    if (row == 0) {
        const QTableWidgetItem* heading = horizontalHeaderItem(column);
        return heading ? heading->text() : QString();
    }
    const QTableWidgetItem* cell = item(row - 1, column);
    return cell ? cell->text() : QString();
}

void WizardGrid::setTextMatrix(int row, int column, const QString& text) {
    if (row < 1 || row >= Rows() || column < 0 || column >= Cols())
        return;
    QTableWidgetItem* cell = item(row - 1, column);
    if (cell)
        cell->setText(text);
    else
        setItem(row - 1, column, new QTableWidgetItem(text));
}

void WizardGrid::setCellToolTip(int row, int column, const QString& tip) {
    setTextMatrix(row, column, TextMatrix(row, column));
    if (QTableWidgetItem* cell = item(row - 1, column))
        cell->setToolTip(tip);
}

int WizardGrid::addRow() {
    const int row = rowCount();
    insertRow(row);
    return row + 1;
}

void WizardGrid::removeRow(int row) {
    if (row >= 1)
        QTableWidget::removeRow(row - 1);
}

void WizardGrid::clearRows() {
    setRowCount(0);
}

void WizardGrid::autoFitColumns() {
    // The last column stretches to the grid's edge; fitting it too keeps a long status readable.
    horizontalHeader()->setStretchLastSection(false);
    resizeColumnsToContents();
    horizontalHeader()->setStretchLastSection(true);
}

int WizardGrid::findRow(int column, const QString& text, Qt::CaseSensitivity cs) const {
    for (int row = 1; row < Rows(); ++row)
        if (TextMatrix(row, column).compare(text, cs) == 0)
            return row;
    return 0;
}

bool WizardGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (index.isValid() && beforeEdit && !beforeEdit(index.row() + 1, index.column()))
        return false;
    return QTableWidget::edit(index, trigger, event);
}

void WizardGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (hint != QAbstractItemDelegate::EditNextItem && hint != QAbstractItemDelegate::EditPreviousItem) {
        QTableWidget::closeEditor(editor, hint);
        return;
    }
    const bool forward = hint == QAbstractItemDelegate::EditNextItem;
    QTableWidget::closeEditor(editor, QAbstractItemDelegate::NoHint);
    const int row = currentRow() + (forward ? 1 : -1);
    if (row >= 0 && row < rowCount())
        QTableWidget::setCurrentCell(row, currentColumn());
    else
        focusNextPrevChild(forward);
}
