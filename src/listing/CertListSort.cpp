// Sorting the certificate list by a column, in the view: the rows are put in a new order in
// memory and the view is told that the layout changed, so the current row stays on its record.

#include "listing/CellOrder.h"
#include "listing/CertGrid.h"

#include <algorithm>
#include <numeric>
#include <string_view>
#include <unordered_map>

bool CertListModel::wholeNumbers(int column, std::vector<qint64>& number) const {
    number.resize(rows_.size());
    for (size_t row = 0; row < rows_.size(); ++row) {
        const QString text = loadedCell(int(row), column);
        bool ok = text.isEmpty();
        number[row] = ok ? kNoNumber : text.toLongLong(&ok);
        if (!ok)
            return false;
    }
    return true;
}

void CertListModel::sortBy(int column, Qt::SortOrder order) {
    // Rows held aside by a load in progress are not the views' yet: they are sorted with the rest
    // once announced.
    // A view's own column is kept too: the next load of that view comes sorted by it.
    // Column -1 forgets the order: the rows go back to the order they were loaded in.
    if (column < -1 || column >= kColumns + kMaxViewColumns)
        return;
    sortColumn_ = column;
    sortOrder_ = order;
    if (column < 0) {
        column = RecordLayout::kRunningNumberColumn;
        order = Qt::AscendingOrder;
    }
    if (column >= columnCount() || shown_ == 0 || size_t(shown_) != rows_.size())
        return;
    const size_t count = rows_.size();
    auto field = [this](size_t row, int c) {
        const Row& r = rows_[row];
        const int f = RecordLayout::fieldAt(c);
        const int start = f == 0 ? 0 : r.ends[size_t(f - 1)];
        return QStringView(r.text + start, r.ends[size_t(f)] - start);
    };

    // Rows start in load order, so that ties keep it whichever way and whatever was sorted before.
    std::vector<int> byLoad(count);
    for (size_t row = 0; row < count; ++row)
        byLoad[size_t(loadPos_[row])] = int(row);

    const bool down = order == Qt::DescendingOrder;
    if (column == RecordLayout::kRunningNumberColumn) {
        if (down)
            std::reverse(byLoad.begin(), byLoad.end());
    } else if (isDateColumn(column)) {
        std::vector<qint64> key(count);
        for (size_t row = 0; row < count; ++row)
            key[row] = cellorder::dateKey(field(row, column));
        std::stable_sort(byLoad.begin(), byLoad.end(), [&](int a, int b) {
            const qint64 ka = key[size_t(a)], kb = key[size_t(b)];
            if (ka < 0 || kb < 0) // texts that are no dates go last
                return ka >= 0 && kb < 0;
            return down ? ka > kb : ka < kb;
        });
    } else if (std::vector<qint64> number; column >= kColumns && wholeNumbers(column, number)) {
        // A view's own column of whole numbers, such as the days left (negative once expired).
        std::stable_sort(byLoad.begin(), byLoad.end(), [&](int a, int b) {
            const qint64 na = number[size_t(a)], nb = number[size_t(b)];
            if (na == kNoNumber || nb == kNoNumber) // empty cells go last
                return na != kNoNumber && nb == kNoNumber;
            return down ? na > nb : na < nb;
        });
    } else {
        // The keys of the column in one buffer, so that a large list costs no allocation a row.
        std::u16string keys;
        size_t room = 0;
        for (size_t row = 0; row < count; ++row)
            room += size_t(field(row, column).size()) + 2;
        keys.reserve(room);
        std::vector<size_t> ends(count);
        for (size_t row = 0; row < count; ++row) {
            cellorder::appendSortKey(field(row, column), keys);
            ends[row] = keys.size();
        }
        auto keyOf = [&](int row) {
            const size_t start = row == 0 ? 0 : ends[size_t(row) - 1];
            return std::u16string_view(keys.data() + start, ends[size_t(row)] - start);
        };
        auto before = [down](std::u16string_view a, std::u16string_view b) {
            if (a.empty() || b.empty()) // empty cells go last
                return !a.empty() && b.empty();
            return down ? b < a : a < b;
        };
        // A column of few values (a type, an issuer) is ranked: each distinct text once, then the
        // rows by rank, which costs about as little as a column of dates. Others sort directly.
        std::unordered_map<std::u16string_view, int> rankOf;
        const size_t most = count / 8 + 16;
        rankOf.reserve(most + 1);
        std::vector<const int*> rankSlot(count); // entries of the map stay where they are
        for (size_t row = 0; row < count && rankOf.size() <= most; ++row)
            rankSlot[row] = &rankOf.emplace(keyOf(int(row)), 0).first->second;
        if (rankOf.size() <= most) {
            std::vector<std::u16string_view> distinct;
            distinct.reserve(rankOf.size());
            for (const auto& entry : rankOf)
                distinct.push_back(entry.first);
            std::sort(distinct.begin(), distinct.end(), before);
            for (size_t k = 0; k < distinct.size(); ++k)
                rankOf[distinct[k]] = int(k);
            std::vector<int> rank(count);
            for (size_t row = 0; row < count; ++row)
                rank[row] = *rankSlot[row];
            std::stable_sort(byLoad.begin(), byLoad.end(),
                             [&](int a, int b) { return rank[size_t(a)] < rank[size_t(b)]; });
        } else {
            std::stable_sort(byLoad.begin(), byLoad.end(), [&](int a, int b) { return before(keyOf(a), keyOf(b)); });
        }
    }

    // byLoad[k] is the old row that now stands at k.
    std::vector<int> newPosOf(count);
    for (size_t k = 0; k < count; ++k)
        newPosOf[size_t(byLoad[k])] = int(k);

    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<Row> rows(count);
    std::vector<Expiry> expiry(count);
    std::vector<int> loadPos(count);
    for (size_t k = 0; k < count; ++k) {
        const size_t from = size_t(byLoad[k]);
        rows[k] = rows_[from];
        expiry[k] = expiry_[from];
        loadPos[k] = loadPos_[from];
    }
    rows_.swap(rows);
    expiry_.swap(expiry);
    loadPos_.swap(loadPos);
    for (auto& column : widest_)
        for (Widest& w : column)
            if (w.row >= 0)
                w.row = newPosOf[size_t(w.row)];
    // A narrowed list shows the rows that match in the new order; view rows are found through it.
    std::vector<int> viewRowOf; // by new loaded position, when narrowed
    std::vector<int> oldVisible;
    if (narrowed_) {
        oldVisible = visible_;
        viewRowOf.assign(count, -1);
        for (int& loaded : visible_)
            loaded = newPosOf[size_t(loaded)];
        std::sort(visible_.begin(), visible_.end());
        for (size_t k = 0; k < visible_.size(); ++k)
            viewRowOf[size_t(visible_[k])] = int(k);
    }
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        const int row = narrowed_ ? viewRowOf[size_t(newPosOf[size_t(oldVisible[size_t(index.row())])])]
                                  : newPosOf[size_t(index.row())];
        after << this->index(row, index.column());
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
