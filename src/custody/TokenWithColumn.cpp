#include "custody/TokenWithColumn.h"

#include "platform/Db.h"
#include "store/DeletedCustody.h"

#include <algorithm>

namespace custody {

TokenWithColumn::Mark TokenWithColumn::markOf(kyt::Db& db) {
    Mark mark;
    if (!tableExists(db))
        return mark;
    mark.table = true;
    kyt::RowSet rs = db.openRowSet(QStringLiteral("Select Max(Id) From DscCustody"));
    mark.lastId = rs.value(0).toLongLong(); // no movements: null, read as 0
    rs.close();
    mark.setAside = DeletedCustody::setAsideCount(db);
    return mark;
}

TokenWithColumn TokenWithColumn::again() const {
    TokenWithColumn column;
    column.dense_ = dense_;
    column.sparse_ = sparse_;
    column.read_ = read_;
    return column;
}

void TokenWithColumn::put(int srNo, Shown shown) {
    if (srNo >= 0 && size_t(srNo) < dense_.size())
        dense_[size_t(srNo)] = std::move(shown);
    else
        sparse_.insert(srNo, std::move(shown));
}

const TokenWithColumn::Shown* TokenWithColumn::find(int srNo) const {
    if (srNo >= 0 && size_t(srNo) < dense_.size()) {
        const Shown& shown = dense_[size_t(srNo)];
        return shown.text.isNull() ? nullptr : &shown;
    }
    const auto found = sparse_.constFind(srNo);
    return found == sparse_.constEnd() ? nullptr : &*found;
}

void TokenWithColumn::show(int srNo, const Party& with, QHash<QString, QString>& texts) {
    const QString key = with.name + QChar(0) + with.place;
    auto text = texts.constFind(key);
    if (text == texts.constEnd())
        text = texts.insert(key, describe(with));
    put(srNo, {*text, with.isOffice() ? QString() : with.name});
}

TokenWithColumn::TokenWithColumn(kyt::Db& db) : read_(markOf(db)) {
    if (!read_.table)
        return;
    // Texts made once and shared by every row that shows them: a reload copies no text a row.
    QHash<QString, QString> texts;
    const QHash<int, Held> held = currentOfAll(db);
    int highest = -1;
    for (auto it = held.constBegin(); it != held.constEnd(); ++it)
        highest = std::max(highest, it.key());
    if (highest >= 0 && qsizetype(highest) < 2 * held.size() + 4096)
        dense_.resize(size_t(highest) + 1);
    for (auto it = held.constBegin(); it != held.constEnd(); ++it)
        show(it.key(), it->with, texts);
}

void TokenWithColumn::refresh(kyt::Db& db) {
    const Mark now = markOf(db);
    if (now == read_)
        return;
    // Movements are only added, each with a higher Id; only a delete takes a record's movements
    // away (and a record may get its number later), which only a full reading shows.
    if (!read_.table || !now.table || now.setAside != read_.setAside || now.lastId < read_.lastId) {
        *this = TokenWithColumn(db);
        return;
    }
    QHash<QString, QString> texts;
    kyt::RowSet rs =
        db.openRowSet(QStringLiteral("Select SrNo, ToName, ToPlace From DscCustody Where Id>? And Id<=? Order By Id"),
                      {read_.lastId, now.lastId});
    for (; !rs.eof(); rs.next())
        show(rs.value(0).toInt(), {rs.text(1), rs.text(2)}, texts);
    rs.close();
    read_ = now;
}

QString TokenWithColumn::cell(const CertRows::Fields& fields) {
    const Shown* found = find(fields[RecordLayout::SrNo].toInt());
    if (!found)
        return kNotRecorded;
    const QString& holder = fields[RecordLayout::Nm];
    // Compared as views: a copy of the holder's name for every row costs more than the look-up.
    const QStringView holderName = QStringView(holder).trimmed();
    const bool isHolder = !found->name.isEmpty() && found->name.size() == holderName.size() &&
                          QStringView(found->name).compare(holderName, Qt::CaseInsensitive) == 0;
    QString text = isHolder ? describe({found->name, QString()}, holder) : found->text;
    if (text.size() > widest_.size())
        widest_ = text;
    return text;
}

} // namespace custody
