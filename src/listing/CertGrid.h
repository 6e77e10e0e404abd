#pragma once

#include "listing/TextArena.h"

#include <array>
#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>
#include <vector>

// The rows of the certificate list. Each row is held as one packed text with the end offsets of
// its fields, so a register of a hundred thousand certificates costs a few dozen megabytes and no
// object per cell. Column 0, the running number, is not stored: it is the row's position.
class CertListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 17;
    static constexpr int kStoredColumns = kColumns - 1; // columns 1..16

    explicit CertListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static const QStringList& headings();
    QString cell(int row, int column) const; // row counted from 0, column 0..16

    void clear();
    void beginAppend();
    // Appends one row: the 16 texts of columns 1..16.
    void append(const std::array<QString, kStoredColumns>& fields);
    void endAppend();

    // The longest texts of a column, by character count: what decides its fitted width.
    QStringList widestCandidates(int column) const;

private:
    struct Row {
        const QChar* text; // the row's fields one after another, in the arena
        std::array<int, kStoredColumns> ends;
    };
    std::vector<Row> rows_;
    TextArena arena_;
    int appendStart_ = -1;
    struct Widest {
        int row = -1;
        int length = -1;
    };
    std::array<std::array<Widest, 3>, kColumns> widest_{}; // the 3 longest texts of each column
};

// The list grid `vs`: a table view over CertListModel, addressed as the register addresses it:
// row 0 is the heading row, certificate rows are 1..Rows()-1, and Row() is the current row
// (0 when there is none).
class CertGrid : public QTableView {
    Q_OBJECT
public:
    explicit CertGrid(QWidget* parent = nullptr);

    CertListModel* listModel() const { return model_; }
    int Rows() const { return model_->rowCount() + FixedRows(); }
    int FixedRows() const { return 1; }
    int Cols() const { return CertListModel::kColumns; }
    int Row() const;
    int Col() const;
    void setRow(int row);
    QString TextMatrix(int row, int column) const;
    // Removes every certificate row, keeping the heading row.
    void clearRows();
    // Fits every column's width to its contents; the hidden column stays hidden.
    void autoFitColumns();
    // Scrolls the current row into view.
    void showCurrentRow();

Q_SIGNALS:
    void afterRowColChange(int oldRow, int oldCol, int newRow, int newCol);

private:
    CertListModel* model_;
};
