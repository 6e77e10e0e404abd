#pragma once

#include <QString>

// Who a certificate belongs to, as far as the register can tell: two records are of the same
// holder when name and type agree and so does at least one way of reaching or identifying the
// person (e-mail address, mobile number or ID-proof number). Two people may share a name; they
// rarely share an address or a number too. Letter case and surrounding blanks do not count.
struct HolderIdentity {
    QString name, type, email, mobile, idProofNo;
};

namespace sameholder {

// The text a field is compared by: trimmed, blanks inside collapsed, letter case folded.
QString folded(const QString& text);
bool sameHolder(const HolderIdentity& a, const HolderIdentity& b);

} // namespace sameholder
