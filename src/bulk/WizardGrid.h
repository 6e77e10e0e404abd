#pragma once

#include <functional>
#include <QTableWidget>

// A grid of texts addressed as the wizard addresses it: row 0 is the heading row, entry rows are
// 1..Rows()-1, and Row() is the current row (0 when there is none).
class WizardGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit WizardGrid(const QStringList& headings, QWidget* parent = nullptr);

    int Rows() const { return rowCount() + 1; }
    int Cols() const { return columnCount(); }
    int Row() const;
    int Col() const;
    void setCurrentCell(int row, int column);
    QString TextMatrix(int row, int column) const;
    void setTextMatrix(int row, int column, const QString& text);
    void setCellToolTip(int row, int column, const QString& tip);
    // Appends an empty entry row and returns its number.
    int addRow();
    void removeRow(int row);
    // Removes every entry row, keeping the heading row.
    void clearRows();
    // Fits every column's width to its contents; hidden columns stay hidden.
    void autoFitColumns();
    // Scrolls so that `column` is the leftmost column shown. The last column, when narrower than the
    // grid, is widened to the grid's width, as nothing to its right could make room for that.
    void scrollColumnToLeft(int column);
    // Row and column of the first cell in `column` equal to `text`, 0 when there is none.
    int findRow(int column, const QString& text, Qt::CaseSensitivity cs) const;

    // Asked before a cell is edited; editing is refused when it returns false.
    std::function<bool(int row, int column)> beforeEdit;

Q_SIGNALS:
    void afterRowColChange(int oldRow, int oldCol, int newRow, int newCol);

protected:
    void changeEvent(QEvent* event) override;
    using QTableWidget::edit;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    // Tab and Shift+Tab in an open cell go down and up the same column, as when typing a list of
    // passwords; past the first or last row they leave the grid.
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
};
