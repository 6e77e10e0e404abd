#include "custody/TokenWithColumn.h"

#include "platform/Db.h"
#include "store/DeletedCustody.h"

namespace custody {

QString TokenWithColumn::stamp(kyt::Db& db) {
    if (!tableExists(db))
        return QStringLiteral("none");
    // A movement is added with a higher Id, or brought back by a restore with one; a delete sets a
    // record's movements aside, which may leave the highest Id as it was but adds to those set aside.
    kyt::RowSet rs = db.openRowSet(QStringLiteral("Select Max(Id) From DscCustody"));
    const QString stamp = rs.text(0);
    rs.close();
    return stamp + QLatin1Char('/') + QString::number(DeletedCustody::setAsideCount(db));
}

TokenWithColumn TokenWithColumn::again() const {
    TokenWithColumn column;
    column.shown_ = shown_;
    column.stamp_ = stamp_;
    return column;
}

TokenWithColumn::TokenWithColumn(kyt::Db& db) : stamp_(stamp(db)) {
    if (!tableExists(db))
        return;
    // Texts made once and shared by every row that shows them: a reload copies no text a row.
    QHash<QString, QString> texts;
    const QHash<int, Held> held = currentOfAll(db);
    shown_.reserve(held.size());
    for (auto it = held.constBegin(); it != held.constEnd(); ++it) {
        const QString key = it->with.name + QChar(0) + it->with.place;
        auto text = texts.constFind(key);
        if (text == texts.constEnd())
            text = texts.insert(key, describe(it->with));
        shown_.insert(it.key(), {*text, it->with.isOffice() ? QString() : it->with.name});
    }
}

QString TokenWithColumn::cell(const CertRows::Fields& fields) {
    const auto found = shown_.constFind(fields[RecordLayout::SrNo].toInt());
    if (found == shown_.constEnd())
        return kNotRecorded;
    const QString& holder = fields[RecordLayout::Nm];
    const bool isHolder = !found->name.isEmpty() && found->name.size() <= holder.size() &&
                          found->name.compare(holder.trimmed(), Qt::CaseInsensitive) == 0;
    QString text = isHolder ? describe({found->name, QString()}, holder) : found->text;
    if (text.size() > widest_.size())
        widest_ = text;
    return text;
}

} // namespace custody
