#include "custody/TokenWithColumn.h"

namespace custody {

TokenWithColumn::TokenWithColumn(kyt::Db& db) {
    if (tableExists(db))
        held_ = currentOfAll(db);
}

QString TokenWithColumn::cell(const CertRows::Fields& fields) {
    const auto found = held_.constFind(fields[RecordLayout::SrNo].toInt());
    QString text = found == held_.constEnd() ? kNotRecorded : describe(found->with, fields[RecordLayout::Nm]);
    if (text.size() > widest_.size())
        widest_ = text;
    return text;
}

} // namespace custody
