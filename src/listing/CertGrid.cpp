#include "listing/CertGrid.h"

#include <QHeaderView>
#include <QItemSelectionModel>

namespace {
const QStringList kHeadings = {QStringLiteral("Sr. No."),
                               QString(),
                               QStringLiteral("Certificate Name"),
                               QStringLiteral("Type of DSC"),
                               QStringLiteral("Serial No."),
                               QStringLiteral("Issuing Authority"),
                               QStringLiteral("Valid From"),
                               QStringLiteral("Valid To"),
                               QStringLiteral("E-mail Id"),
                               QStringLiteral("Mobile No."),
                               QStringLiteral("Tel. No."),
                               QStringLiteral("ID Proof Type"),
                               QStringLiteral("ID Proof No."),
                               QStringLiteral("ID Proof File Name"),
                               QStringLiteral("Address Proof Type"),
                               QStringLiteral("Address Proof No."),
                               QStringLiteral("Address Proof File Name")};

bool centred(int column) {
    return column == 0 || column == 6 || column == 7;
}

// The running number (column 0) and the record number (column 1, hidden) are fixed columns: the
// current cell never lies in them. A click or key that would put it there keeps the row and takes
// the current data column instead (the first one when there is none), so the current row and the
// record shown in the entry frame always change together.
class DataCellSelection : public QItemSelectionModel {
public:
    using QItemSelectionModel::QItemSelectionModel;

    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override {
        if (!index.isValid() || index.column() >= kFirstDataColumn) {
            QItemSelectionModel::setCurrentIndex(index, command);
            return;
        }
        const QModelIndex current = currentIndex();
        const int column =
            current.isValid() && current.column() >= kFirstDataColumn ? current.column() : kFirstDataColumn;
        QItemSelectionModel::setCurrentIndex(model()->index(index.row(), column, index.parent()), command);
    }

    static constexpr int kFirstDataColumn = 2;
};
} // namespace

CertListModel::CertListModel(QObject* parent) : QAbstractTableModel(parent) {}

const QStringList& CertListModel::headings() {
    return kHeadings;
}

int CertListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int CertListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QString CertListModel::cell(int row, int column) const {
    if (row < 0 || row >= int(rows_.size()) || column < 0 || column >= kColumns)
        return {};
    if (column == 0)
        return QString::number(row + 1);
    const Row& r = rows_[size_t(row)];
    const int field = column - 1;
    const int start = field == 0 ? 0 : r.ends[size_t(field - 1)];
    return QString(r.text + start, r.ends[size_t(field)] - start);
}

QVariant CertListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return cell(index.row(), index.column());
    if (role == Qt::TextAlignmentRole)
        return int(centred(index.column()) ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

QVariant CertListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns)
        return {};
    if (role == Qt::DisplayRole)
        return kHeadings[section];
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return {};
}

void CertListModel::clear() {
    beginResetModel();
    rows_.clear();
    arena_.reset();
    widest_ = {};
    endResetModel();
}

void CertListModel::beginAppend() {
    appendStart_ = int(rows_.size());
    rows_.reserve(std::max<size_t>(rows_.capacity(), 1024));
}

void CertListModel::append(const std::array<QString, kStoredColumns>& fields) {
    Row r;
    qsizetype total = 0;
    for (const QString& f : fields)
        total += f.size();
    // Plain copies into the arena: this runs once per certificate on every reload.
    QChar* out = arena_.allocate(size_t(total));
    r.text = out;
    int end = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        out = std::copy(fields[i].constBegin(), fields[i].constEnd(), out);
        end += int(fields[i].size());
        r.ends[i] = end;
    }
    const int rowNo = int(rows_.size());
    rows_.push_back(std::move(r));
    // Keep the three longest texts of each column, by characters, for fitting the widths.
    const Row& added = rows_.back();
    for (int c = 1; c < kColumns; ++c) {
        const int len = added.ends[size_t(c - 1)] - (c == 1 ? 0 : added.ends[size_t(c - 2)]);
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
    const int first = appendStart_ < 0 ? 0 : appendStart_;
    appendStart_ = -1;
    if (int(rows_.size()) <= first)
        return;
    beginInsertRows({}, first, int(rows_.size()) - 1);
    endInsertRows();
}

QStringList CertListModel::widestCandidates(int column) const {
    QStringList out;
    if (column == 0) {
        if (!rows_.empty())
            out << QString::number(rows_.size());
        return out;
    }
    for (const Widest& w : widest_[size_t(column)])
        if (w.row >= 0)
            out << cell(w.row, column);
    return out;
}

// --- CertGrid --------------------------------------------------------------------------------

CertGrid::CertGrid(QWidget* parent) : QTableView(parent), model_(new CertListModel(this)) {
    setModel(model_);
    QItemSelectionModel* initial = selectionModel();
    setSelectionModel(new DataCellSelection(model_, this));
    delete initial;
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    setColumnHidden(1, true);
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
}

void CertGrid::autoFitColumns() {
    const QFontMetrics cells = fontMetrics();
    const QFontMetrics heads = horizontalHeader()->fontMetrics();
    const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 12;
    for (int c = 0; c < Cols(); ++c) {
        if (c == 1)
            continue;
        int width = heads.horizontalAdvance(CertListModel::headings()[c]) + padding;
        for (const QString& text : model_->widestCandidates(c))
            width = std::max(width, cells.horizontalAdvance(text) + padding);
        setColumnWidth(c, std::min(width, 600));
    }
    setColumnHidden(1, true);
}

void CertGrid::showCurrentRow() {
    if (currentIndex().isValid())
        scrollTo(currentIndex(), QAbstractItemView::EnsureVisible);
}
