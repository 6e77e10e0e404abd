#pragma once

#include <array>
#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <vector>

// The rows of the print column grid: two text columns, "Column Heading" and "Print". A "Print"
// cell holds "-1" (ticked) or "0"; any text whose numeric value is not 0 counts as ticked. Row 0
// is the heading row: its cells hold the captions, and its "Print" cell carries a check box of its
// own, kept apart from the caption.
class PrintColumnModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kHeadingColumn = 0;
    static constexpr int kPrintColumn = 1;

    explicit PrintColumnModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A user's edit: asks beforeEdit, which may cancel it, stores the tick and reports afterEdit.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Keeps the heading row only, or adds empty rows up to `rows`.
    void setRows(int rows);
    QString text(int row, int column) const;
    // A program's change: no edit events.
    void setText(int row, int column, const QString& text);
    static bool ticked(const QString& printText);
    bool headingChecked() const { return ticked(headingTick_); }
    void setHeadingChecked(bool checked);

Q_SIGNALS:
    void beforeEdit(int row, int column, bool& cancel);
    void afterEdit(int row, int column);

private:
    std::vector<std::array<QString, 2>> rows_;
    QString headingTick_ = QStringLiteral("-1");
};

// Draws the "Print" column's check boxes in the middle of their cells and lets a click anywhere
// in such a cell toggle it.
class CentredCheckDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

protected:
    // The heading row is drawn in the bold form of the grid's own font, so it scales with it.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

// The print column grid `vsP`, addressed as the register addresses its grids: Rows(), TextMatrix,
// hidden rows; row 0 is the heading row and shows as one.
class PrintColumnGrid : public QTableView {
    Q_OBJECT
public:
    explicit PrintColumnGrid(QWidget* parent = nullptr);

    PrintColumnModel* columnModel() const { return model_; }
    int Rows() const { return model_->rowCount(); }
    void setRows(int rows);
    QString TextMatrix(int row, int column) const { return model_->text(row, column); }
    void setTextMatrix(int row, int column, const QString& text) { model_->setText(row, column, text); }
    // The heading row's check box.
    bool HeadingChecked() const { return model_->headingChecked(); }
    void setHeadingChecked(bool checked) { model_->setHeadingChecked(checked); }
    bool RowHidden(int row) const { return isRowHidden(row); }
    // Fits both columns' widths to their contents, and the grid's height to its rows.
    void autoFitColumns();
    void fitHeightToRows();

Q_SIGNALS:
    void beforeEdit(int row, int column, bool& cancel);
    void afterEdit(int row, int column);

protected:
    void changeEvent(QEvent* event) override;

private:
    PrintColumnModel* model_;
};
