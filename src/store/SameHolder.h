#pragma once

#include <QString>

// Whether two certificates belong to one holder. A name alone does not tell: two clients may share
// "Ravi Kumar". Two records are the same holder's when their certificate names and types agree and
// so does at least one of the e-mail address, the mobile number and the ID-proof number. Letter
// case and surrounding blanks do not count; an empty value agrees with nothing.
struct HolderIdentity {
    QString name, type, email, mobile, idProofNo;
};

namespace sameholder {

// The text a field is compared by: trimmed, blanks inside collapsed, letter case folded.
QString folded(const QString& text);
bool sameHolder(const HolderIdentity& a, const HolderIdentity& b);

} // namespace sameholder
