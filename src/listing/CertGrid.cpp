#include "listing/CertGrid.h"

#include "listing/CellOrder.h"
#include "platform/ShownText.h"

#include <algorithm>
#include <limits>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

namespace {
const QStringList kHeadings = [] {
    QStringList headings;
    for (int c = 0; c < RecordLayout::kColumnCount; ++c)
        headings << QString::fromUtf8(RecordLayout::heading(c));
    return headings;
}();

qint64 dateKey(const QDateTime& at) {
    return at.isValid() ? cellorder::dateKey(at.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))) : -1;
}

char32_t folded(QChar c) {
    const char16_t u = c.unicode();
    if (u < 128)
        return u >= u'A' && u <= u'Z' ? char32_t(u + 32) : char32_t(u);
    return QChar::toCaseFolded(char32_t(u));
}

// Whether `text` contains `needle` ignoring letter case, for a needle of ASCII characters already
// in lower case: compares character by character instead of folding whole texts, which keeps a
// find over a very large list quick.
bool containsAscii(QStringView text, QStringView needle) {
    const qsizetype n = needle.size();
    for (qsizetype i = 0; i + n <= text.size(); ++i) {
        qsizetype k = 0;
        while (k < n && folded(text[i + k]) == needle[k].unicode())
            ++k;
        if (k == n)
            return true;
    }
    return false;
}

bool centred(const CertListModel& model, int column) {
    return column == RecordLayout::kRunningNumberColumn || model.isDateColumn(column) ||
           column >= CertListModel::kColumns;
}

// The running number (column 0) and the record number (column 1, hidden) are fixed columns: the
// current cell never lies in them. A click or key that would put it there keeps the row and takes
// the current data column instead (the first one when there is none), so the current row and the
// record shown in the entry frame always change together.
// The selected row keeps its status in view: a tinted row is highlighted in a deeper shade of its
// tint with dark text, readable on both; other rows take the usual highlight.
class TintedSelectionDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!(option->state & QStyle::State_Selected))
            return;
        const auto* model = static_cast<const CertListModel*>(index.model());
        const CertListModel::Expiry expiry = model->expiry(index.row());
        if (expiry == CertListModel::Expiry::Valid)
            return;
        const QColor deep = expiry == CertListModel::Expiry::Expired ? QColor(232, 112, 112) : QColor(236, 172, 52);
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            option->palette.setColor(group, QPalette::Highlight, deep);
            option->palette.setColor(group, QPalette::HighlightedText, Qt::black);
        }
    }
};

class DataCellSelection : public QItemSelectionModel {
public:
    using QItemSelectionModel::QItemSelectionModel;

    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override {
        if (!index.isValid() || index.column() >= RecordLayout::kFirstDataColumn) {
            QItemSelectionModel::setCurrentIndex(index, command);
            return;
        }
        const QModelIndex current = currentIndex();
        const int column = current.isValid() && current.column() >= RecordLayout::kFirstDataColumn
                               ? current.column()
                               : RecordLayout::kFirstDataColumn;
        QItemSelectionModel::setCurrentIndex(model()->index(index.row(), column, index.parent()), command);
    }
};
} // namespace

CertListModel::CertListModel(QObject* parent) : QAbstractTableModel(parent) {}

QColor CertListModel::expiredTint() {
    return QColor(255, 196, 196);
}

QColor CertListModel::expiringTint() {
    return QColor(255, 226, 160);
}

void CertListModel::setExpiryCutOff(const QDateTime& now, int days) {
    expiredBy_ = dateKey(now);
    expiringBy_ = dateKey(now.addDays(days));
    if (expiringBy_ < 0 && expiredBy_ >= 0) // beyond the four-digit years: every later date
        expiringBy_ = std::numeric_limits<qint64>::max();
    expiringDays_ = days;
    // Rows already loaded take the new cut-offs at once: a changed day setting shows without a reload.
    for (size_t row = 0; row < rows_.size(); ++row)
        expiry_[row] = expiryOf(loadedCell(int(row), kValidToColumn));
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::BackgroundRole});
    Q_EMIT summaryChanged();
}

CertListModel::Expiry CertListModel::expiryOf(QStringView validTo) const {
    const qint64 key = cellorder::dateKey(validTo);
    return key < 0              ? Expiry::Valid
           : key <= expiredBy_  ? Expiry::Expired
           : key <= expiringBy_ ? Expiry::Expiring
                                : Expiry::Valid;
}

CertListModel::Expiry CertListModel::expiry(int row) const {
    return row >= 0 && row < rowCount() ? expiry_[size_t(loadedRow(row))] : Expiry::Valid;
}

bool CertListModel::rowContains(int loaded, QStringView lower, bool ascii) const {
    const Row& r = rows_[size_t(loaded)];
    // The hidden record number aside.
    for (size_t field = RecordLayout::Nm; field < r.ends.size(); ++field) {
        const int start = r.ends[field - 1];
        const QStringView text(r.text + start, r.ends[field] - start);
        if (ascii ? containsAscii(text, lower) : text.contains(lower, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

int CertListModel::findRow(QStringView needle, int from, int step) const {
    const int count = rowCount();
    if (needle.isEmpty() || count == 0)
        return -1;
    const QString lower = needle.toString().toLower();
    const bool ascii = std::all_of(lower.begin(), lower.end(), [](QChar c) { return c.unicode() < 128; });
    for (int k = 0; k < count; ++k) {
        const int row = ((from + k * step) % count + count) % count;
        if (rowContains(loadedRow(row), lower, ascii))
            return row;
    }
    return -1;
}

void CertListModel::setFilterText(const QString& needle) {
    if (needle == filter_)
        return;
    const QString lower = needle.toLower();
    const bool ascii = std::all_of(lower.begin(), lower.end(), [](QChar c) { return c.unicode() < 128; });
    // Rows that do not contain the old text cannot contain a longer one holding it.
    const bool withinLeft = narrowed_ && lower.contains(filter_.toLower());
    std::vector<int> matching;
    if (!needle.isEmpty()) {
        if (withinLeft) {
            for (int loaded : visible_)
                if (rowContains(loaded, lower, ascii))
                    matching.push_back(loaded);
        } else {
            for (int loaded = 0; loaded < shown_; ++loaded)
                if (rowContains(loaded, lower, ascii))
                    matching.push_back(loaded);
        }
    }
    // The rows go and come as a removal and an insertion, not as a reset, which would lose the
    // views' column widths and hidden column.
    if (rowCount() > 0) {
        beginRemoveRows({}, 0, rowCount() - 1);
        narrowed_ = true;
        visible_.clear();
        endRemoveRows();
    }
    filter_ = needle;
    const int count = needle.isEmpty() ? shown_ : int(matching.size());
    if (count > 0)
        beginInsertRows({}, 0, count - 1);
    narrowed_ = !needle.isEmpty();
    visible_.swap(matching);
    if (count > 0)
        endInsertRows();
    Q_EMIT summaryChanged();
}

const QStringList& CertListModel::headings() {
    return kHeadings;
}

int CertListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : narrowed_ ? int(visible_.size()) : shown_;
}

int CertListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns + viewColumnCount();
}

void CertListModel::setViewColumns(const QStringList& headings, const QList<bool>& dates) {
    beginResetModel();
    viewHeadings_ = headings.mid(0, kMaxViewColumns);
    viewDates_ = dates;
    endResetModel();
}

bool CertListModel::isDateColumn(int column) const {
    if (column >= kColumns)
        return viewDates_.value(column - kColumns);
    return column > RecordLayout::kRunningNumberColumn && RecordLayout::isDate(RecordLayout::fieldAt(column));
}

QString CertListModel::cell(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    if (column == RecordLayout::kRunningNumberColumn)
        return QString::number(row + 1);
    return loadedCell(loadedRow(row), column);
}

QString CertListModel::loadedCell(int loaded, int column) const {
    const Row& r = rows_[size_t(loaded)];
    const int field = RecordLayout::fieldAt(column);
    const int start = field == 0 ? 0 : r.ends[size_t(field - 1)];
    return QString(r.text + start, r.ends[size_t(field)] - start);
}

QVariant CertListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return shown::visibleControls(cell(index.row(), index.column()));
    if (role == Qt::TextAlignmentRole)
        return int(centred(*this, index.column()) ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
    if (role == Qt::BackgroundRole) {
        switch (expiry(index.row())) {
        case Expiry::Expired:
            return expiredTint();
        case Expiry::Expiring:
            return expiringTint();
        case Expiry::Valid:
            break;
        }
    }
    return {};
}

QVariant CertListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns + viewColumnCount())
        return {};
    if (role == Qt::DisplayRole)
        return section < kColumns ? kHeadings[section] : viewHeadings_[section - kColumns];
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role == Qt::InitialSortOrderRole) // a first click on a heading sorts upwards
        return int(Qt::AscendingOrder);
    return {};
}

void CertListModel::clear() {
    beginResetModel();
    rows_.clear();
    shown_ = 0;
    visible_.clear();
    expiry_.clear();
    loadPos_.clear();
    arena_.reset();
    widest_ = {};
    viewHeadings_.clear();
    viewDates_.clear();
    endResetModel();
    Q_EMIT summaryChanged();
}

void CertListModel::beginAppend() {
    rows_.reserve(std::max<size_t>(rows_.capacity(), 1024));
    expiry_.reserve(rows_.capacity());
    loadPos_.reserve(rows_.capacity());
}

void CertListModel::append(const std::array<QString, kStoredColumns>& fields, const QStringList& viewCells) {
    Row r;
    qsizetype total = 0;
    for (const QString& f : fields)
        total += f.size();
    const int extra = std::min(int(viewCells.size()), viewColumnCount());
    for (int k = 0; k < extra; ++k)
        total += viewCells[k].size();
    // Plain copies into the arena: this runs once per certificate on every reload.
    QChar* out = arena_.allocate(size_t(total));
    r.text = out;
    int end = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        out = std::copy(fields[i].constBegin(), fields[i].constEnd(), out);
        end += int(fields[i].size());
        r.ends[i] = end;
    }
    for (int k = 0; k < kMaxViewColumns; ++k) {
        if (k < extra) {
            out = std::copy(viewCells[k].constBegin(), viewCells[k].constEnd(), out);
            end += int(viewCells[k].size());
        }
        r.ends[size_t(kStoredColumns + k)] = end;
    }
    const int rowNo = int(rows_.size());
    expiry_.push_back(expiryOf(fields[RecordLayout::DtTo]));
    rows_.push_back(std::move(r));
    loadPos_.push_back(rowNo);
    // Keep the three longest texts of each column, by characters, for fitting the widths.
    const Row& added = rows_.back();
    for (int c = RecordLayout::columnOf(RecordLayout::SrNo); c < kColumns; ++c) {
        const int f = RecordLayout::fieldAt(c);
        const int len = added.ends[size_t(f)] - (f == 0 ? 0 : added.ends[size_t(f - 1)]);
        auto& best = widest_[size_t(c)];
        if (len <= best.back().length)
            continue;
        size_t k = best.size() - 1;
        while (k > 0 && len > best[k - 1].length) {
            best[k] = best[k - 1];
            --k;
        }
        best[k] = {rowNo, len};
    }
}

void CertListModel::endAppend() {
    const int total = int(rows_.size());
    if (total > shown_ && narrowed_) {
        const QString lower = filter_.toLower();
        const bool ascii = std::all_of(lower.begin(), lower.end(), [](QChar c) { return c.unicode() < 128; });
        std::vector<int> matching;
        for (int loaded = shown_; loaded < total; ++loaded)
            if (rowContains(loaded, lower, ascii))
                matching.push_back(loaded);
        if (!matching.empty())
            beginInsertRows({}, int(visible_.size()), int(visible_.size() + matching.size()) - 1);
        visible_.insert(visible_.end(), matching.begin(), matching.end());
        shown_ = total;
        if (!matching.empty())
            endInsertRows();
    } else if (total > shown_) {
        beginInsertRows({}, shown_, total - 1);
        shown_ = total;
        endInsertRows();
    }
    // A reload comes in the order the list was last sorted by.
    if (sortColumn_ >= 0)
        sortBy(sortColumn_, sortOrder_);
    Q_EMIT summaryChanged();
}

QStringList CertListModel::widestCandidates(int column) const {
    QStringList out;
    if (column < 0 || column >= kColumns) // a view's own columns are fitted when placed
        return out;
    if (column == RecordLayout::kRunningNumberColumn) {
        if (shown_ > 0)
            out << QString::number(shown_);
        return out;
    }
    // Widths fit every loaded row, so that narrowing the list does not make its columns jump.
    for (const Widest& w : widest_[size_t(column)])
        if (w.row >= 0 && w.row < shown_)
            out << loadedCell(w.row, column);
    return out;
}

// --- CertGrid --------------------------------------------------------------------------------

CertGrid::CertGrid(QWidget* parent) : QTableView(parent), model_(new CertListModel(this)) {
    setModel(model_);
    QItemSelectionModel* initial = selectionModel();
    setSelectionModel(new DataCellSelection(model_, this));
    delete initial;
    setItemDelegate(new TintedSelectionDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    // Long texts lose their middle: both ends of a serial number or an e-mail address stay
    // readable, and the whole text is in the cell's tool tip.
    setTextElideMode(Qt::ElideMiddle);
    setColumnHidden(RecordLayout::kRecordNumberColumn, true);
    // A click on a heading sorts the rows by it and marks it; a click on the marked heading
    // reverses the order. No heading is marked while the list is in its loaded order.
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    horizontalHeader()->setSortIndicatorShown(true);
    connect(horizontalHeader(), &QHeaderView::sortIndicatorChanged, this, &CertGrid::sortByHeading);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        // A view's own columns are fitted as they are placed, not kept: the kept widths are the list's.
        if (applyingWidths_ || size <= 0 || column == RecordLayout::kRecordNumberColumn ||
            column >= CertListModel::kColumns)
            return;
        userSized_ = true;
        dragged_[size_t(column)] = size;
        Q_EMIT viewChanged();
    });
    // Tab and Shift+Tab go to the next and previous control; the arrow keys move between cells.
    setTabKeyNavigation(false);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& now, const QModelIndex& before) {
                Q_EMIT afterRowColChange(before.isValid() ? before.row() + 1 : 0,
                                         before.isValid() ? before.column() : 0, now.isValid() ? now.row() + 1 : 0,
                                         now.isValid() ? now.column() : 0);
            });
}

int CertGrid::Row() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() + 1 : 0;
}

int CertGrid::Col() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() : 0;
}

void CertGrid::setRow(int row) {
    if (row < FixedRows() || row >= Rows()) {
        selectionModel()->clearCurrentIndex();
        clearSelection();
        return;
    }
    // The selection model keeps the current column, or takes the first data column.
    selectionModel()->setCurrentIndex(model_->index(row - 1, 0),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QString CertGrid::TextMatrix(int row, int column) const {
    if (row == 0)
        return column >= 0 && column < Cols() ? CertListModel::headings()[column] : QString();
    return model_->cell(row - 1, column);
}

void CertGrid::clearRows() {
    model_->clear();
    // The rows loaded next come in the order marked.
    const QSignalBlocker quiet(horizontalHeader());
    horizontalHeader()->setSortIndicator(model_->sortColumn(), model_->sortOrder());
}

void CertGrid::setDraggedWidths(const Widths& widths) {
    dragged_ = widths;
    dragged_[size_t(RecordLayout::kRecordNumberColumn)] = 0;
    if (model_->rowCount() > 0)
        applyFittedWidths();
}

void CertGrid::sortAsMarked(int column, Qt::SortOrder order) {
    if (column < -1 || column >= Cols())
        return;
    {
        const QSignalBlocker quiet(horizontalHeader());
        horizontalHeader()->setSortIndicator(column, order);
    }
    model_->sortBy(column, order);
}

void CertGrid::autoFitColumns() {
    const QFontMetrics cells = fontMetrics();
    const QFontMetrics heads = horizontalHeader()->fontMetrics();
    const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 12;
    // Room for the mark that shows the sorted column.
    const int mark = heads.height();
    for (int c = 0; c < Cols(); ++c) {
        const int heading = heads.horizontalAdvance(CertListModel::headings()[c]) + padding;
        int cellsWidth = 0;
        for (const QString& text : model_->widestCandidates(c))
            cellsWidth = std::max(cellsWidth, cells.horizontalAdvance(text) + padding);
        fitted_[size_t(c)] = std::min(std::max(heading + mark, cellsWidth), 600);
        content_[size_t(c)] = std::min(std::max(heading, cellsWidth), 600);
    }
    userSized_ = false;
    applyFittedWidths();
}

void CertGrid::applyFittedWidths() {
    const QFontMetrics heads = horizontalHeader()->fontMetrics();
    const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 12;
    std::array<int, CertListModel::kColumns> width = fitted_;
    // The view's width once the window is laid out; before that, the width the window opens at.
    const int view = viewport()->width() > 200 ? viewport()->width() : 960;
    int needed = 0;
    for (int c = 0; c <= CertListModel::kValidToColumn; ++c)
        if (c != RecordLayout::kRecordNumberColumn)
            needed += width[size_t(c)];
    if (needed > view) {
        // The widest of the long text columns give up width first, none below its heading.
        int excess = needed - view;
        for (int pass = 0; pass < 64 && excess > 0; ++pass) {
            int widest = -1;
            for (int c :
                 {RecordLayout::columnOf(RecordLayout::Nm), RecordLayout::columnOf(RecordLayout::Typ),
                  RecordLayout::columnOf(RecordLayout::SerialNo), RecordLayout::columnOf(RecordLayout::IssAuth)}) {
                const int least = heads.horizontalAdvance(CertListModel::headings()[c]) + padding + heads.height();
                if (width[size_t(c)] > least && (widest < 0 || width[size_t(c)] > width[size_t(widest)]))
                    widest = c;
            }
            if (widest < 0)
                break;
            const int least = heads.horizontalAdvance(CertListModel::headings()[widest]) + padding + heads.height();
            const int step = std::min({excess, width[size_t(widest)] - least, std::max(8, excess / 4)});
            width[size_t(widest)] -= step;
            excess -= step;
        }
    }
    // The columns after "Valid To" take at most a quarter of the view each.
    for (int c = CertListModel::kValidToColumn + 1; c < Cols(); ++c) {
        const int least = heads.horizontalAdvance(CertListModel::headings()[c]) + padding + heads.height();
        width[size_t(c)] = std::min(width[size_t(c)], std::max(least, view / 4));
    }
    applied_ = width;
    // A dragged width stands; it prints as shown.
    for (int c = 0; c < Cols(); ++c)
        if (dragged_[size_t(c)] > 0) {
            width[size_t(c)] = dragged_[size_t(c)];
            applied_[size_t(c)] = -1;
        }
    applyingWidths_ = true;
    for (int c = 0; c < Cols(); ++c)
        if (c != RecordLayout::kRecordNumberColumn)
            setColumnWidth(c, width[size_t(c)]);
    setColumnHidden(RecordLayout::kRecordNumberColumn, true);
    applyingWidths_ = false;
}

int CertGrid::printWidth(int column) const {
    if (column < 0 || column >= Cols() || isColumnHidden(column))
        return 0;
    const int shown = columnWidth(column);
    return shown == applied_[size_t(column)] ? content_[size_t(column)] : shown;
}

void CertGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    // Until the user widens a column by hand, the columns keep fitting the view.
    if (!userSized_ && model_->rowCount() > 0)
        applyFittedWidths();
}

void CertGrid::sortByHeading(int column, Qt::SortOrder order) {
    if (column < 0)
        return;
    model_->sortBy(column, order);
    showCurrentRow();
    Q_EMIT viewChanged();
}

void CertGrid::placeViewColumns() {
    QHeaderView* header = horizontalHeader();
    const QFontMetrics cells = fontMetrics();
    const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 12;
    for (int k = 0; k < model_->viewColumnCount(); ++k) {
        const int column = CertListModel::kColumns + k;
        header->moveSection(header->visualIndex(column), header->visualIndex(CertListModel::kValidToColumn) + 1 + k);
        const int heading = header->fontMetrics().horizontalAdvance(
            model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
        const int date = cells.horizontalAdvance(QStringLiteral("00/00/0000 00:00:00"));
        setColumnWidth(column, padding + header->fontMetrics().height() +
                                   std::max(heading, model_->isDateColumn(column) ? date : 0));
    }
}

void CertGrid::showCurrentRow() {
    if (!currentIndex().isValid())
        return;
    // The columns in view stay: the heading just clicked, or the text just typed, is not scrolled away.
    QScrollBar* across = horizontalScrollBar();
    const int left = across->value();
    scrollTo(currentIndex(), QAbstractItemView::EnsureVisible);
    across->setValue(left);
}
