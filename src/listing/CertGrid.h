#pragma once

#include "listing/TextArena.h"
#include "store/RecordLayout.h"

#include <array>
#include <cstdint>
#include <limits>
#include <QAbstractTableModel>
#include <QColor>
#include <QDateTime>
#include <QStringList>
#include <QTableView>
#include <vector>

// The rows of the certificate list. Each row is held as one packed text with the end offsets of
// its fields, so a register of a hundred thousand certificates costs a few dozen megabytes and no
// object per cell. Column 0, the running number, is not stored: it is the row's position. Each row
// also carries one byte with its expiry status, worked out from its valid-to text as the row is
// added, so painting the tints costs a lookup.
class CertListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = RecordLayout::kColumnCount;
    static constexpr int kStoredColumns = RecordLayout::kFieldCount; // columns 1..16
    static constexpr int kValidToColumn = RecordLayout::columnOf(RecordLayout::DtTo);

    enum class Expiry : std::uint8_t { Valid, Expiring, Expired };
    static QColor expiredTint();
    static QColor expiringTint();

    explicit CertListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static const QStringList& headings();
    QString cell(int row, int column) const; // row counted from 0, column 0..16 and the view's own

    // Columns a view adds after the record's (at most kMaxViewColumns), such as the days left in
    // the renewal queue: shown, sorted and searched like the others, never stored or printed. Set
    // after clear(), which drops them; `dates` marks those holding dates.
    static constexpr int kMaxViewColumns = 2;
    void setViewColumns(const QStringList& headings, const QList<bool>& dates);
    int viewColumnCount() const { return int(viewHeadings_.size()); }
    bool isDateColumn(int column) const;

    // Rows are expired when valid to `now` or earlier, and expiring when valid to at most `days`
    // days later (the list filters' own rule); rows loaded already are tinted anew.
    void setExpiryCutOff(const QDateTime& now, int days);
    int expiringDays() const { return expiringDays_; }
    Expiry expiry(int row) const;

    // The next row, from `from` on in the direction `step` (1 or -1) and wrapping round, whose
    // shown texts (the running number and the hidden record number aside) contain `needle`,
    // ignoring letter case; -1 when none does.
    int findRow(QStringView needle, int from, int step) const;

    // Narrows the rows to those whose texts contain `needle` as findRow matches them, or shows every
    // loaded row again when it is empty. The narrowing outlasts reloads: rows loaded later are
    // matched as they are announced. Typing more of the same text only looks at the rows left.
    void setFilterText(const QString& needle);
    const QString& filterText() const { return filter_; }
    // Every row loaded, whether the narrowing shows it or not.
    int loadedCount() const { return shown_; }

    void clear();
    // A load: rows appended between beginAppend and endAppend are held aside, and counted by
    // rowCount() only once endAppend has announced them to the views in one insertion.
    void beginAppend();
    // Appends one row: the 16 texts of columns 1..16, then the texts of the view's own columns.
    void append(const std::array<QString, kStoredColumns>& fields, const QStringList& viewCells = {});
    void endAppend();

    // The longest texts of a column, by character count: what decides its fitted width.
    QStringList widestCandidates(int column) const;

    // Puts the rows in the order of one column: dates as dates, a view's own column of whole
    // numbers (the days left) as signed numbers, runs of digits as numbers, letters
    // without regard to case, empty cells last either way; rows that tie keep the order they were
    // loaded in. Column 0 is that load order itself, and so is -1, which also marks no column as
    // sorted. The running number stays the position in the
    // list; nothing is read from the database. The order is kept: every later load comes sorted
    // by it.
    void sortBy(int column, Qt::SortOrder order);
    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }

Q_SIGNALS:
    // The rows or the expiry cut-off changed: what a count or legend shows may differ.
    void summaryChanged();

private:
    struct Row {
        const QChar* text; // the row's fields one after another, in the arena
        std::array<int, kStoredColumns + kMaxViewColumns> ends;
    };
    // The loaded row a view row stands for.
    int loadedRow(int row) const { return narrowed_ ? visible_[size_t(row)] : row; }
    QString loadedCell(int loaded, int column) const;
    // Each loaded row's cell of `column` as a whole number (kNoNumber when empty); false when a cell
    // holds anything else.
    static constexpr qint64 kNoNumber = std::numeric_limits<qint64>::min();
    bool wholeNumbers(int column, std::vector<qint64>& number) const;
    // Whether a loaded row's texts contain a needle already in lower case.
    bool rowContains(int loaded, QStringView lower, bool ascii) const;
    Expiry expiryOf(QStringView validTo) const;

    std::vector<Row> rows_; // the announced rows, then any still held aside by a load
    int shown_ = 0;         // how many loaded rows are announced (the views see those that match)
    QString filter_;
    bool narrowed_ = false;    // a filter text is set: the views see visible_
    std::vector<int> visible_; // the loaded rows that match it, in list order
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    std::vector<Expiry> expiry_;
    std::vector<int> loadPos_;                // each row's position when the list was loaded
    qint64 expiredBy_ = -1, expiringBy_ = -1; // cut-offs as YYYYMMDDhhmmss numbers
    int expiringDays_ = 0;
    QStringList viewHeadings_;
    QList<bool> viewDates_;
    TextArena arena_;
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
    // A column's width for printing: as the list was fitted to its contents, or as the user set
    // it; 0 for the hidden column. A column shortened only to fit the window prints in full.
    int printWidth(int column) const;
    // Scrolls the current row into view, up or down only.
    void showCurrentRow();
    // Shows the view's own columns right after "Valid To", fitted to a date.
    void placeViewColumns();

    // The widths the user dragged columns to (0: the column is fitted). They outlast reloads and
    // the window's resizing; a window may keep them for the next time.
    using Widths = std::array<int, CertListModel::kColumns>;
    const Widths& draggedWidths() const { return dragged_; }
    void setDraggedWidths(const Widths& widths);
    // Marks a heading and sorts by it, as clicks on it do; column -1 marks none and goes back to the
    // order the rows were loaded in.
    void sortAsMarked(int column, Qt::SortOrder order);

Q_SIGNALS:
    void afterRowColChange(int oldRow, int oldCol, int newRow, int newCol);
    // The user sorted by a heading or dragged a column's width.
    void viewChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // A click on a heading sorts by that column; a second click reverses.
    void sortByHeading(int column, Qt::SortOrder order);
    // Sets the fitted widths so that the columns up to "Valid To" fit the view where they can:
    // the long text columns give up width, and their cells are shortened in the middle.
    void applyFittedWidths();

    CertListModel* model_;
    std::array<int, CertListModel::kColumns> fitted_{};  // each column's width for its whole text
    std::array<int, CertListModel::kColumns> content_{}; // the same without room for the sort mark
    std::array<int, CertListModel::kColumns> applied_{}; // the width the fitting last set
    Widths dragged_{};
    bool userSized_ = false; // a column was dragged since the last fit
    bool applyingWidths_ = false;
};
