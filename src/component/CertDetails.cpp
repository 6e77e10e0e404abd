#include "component/ClsMain.h"
#include "component/Module1.h"

// TODO(certinfo): the certificate details come with the certificate information component.
void ClsMain::GetSignInfo(const QString&, const QString&, int) {
    certInfo_ = QStringList(8, QString());
    (*certInfo_)[0] = QStringLiteral("Error Retrieving Certificate Information.");
}

QString ClsMain::GetCertInfo(short Index) const {
    if (!certInfo_ || Index < 0 || Index > 7)
        return {};
    return certInfo_->at(Index);
}

bool IsValidEmail(const QString& s) {
    if (s.isEmpty())
        return true;
    const qsizetype a = s.indexOf(QLatin1Char('@'));
    if (a < 0)
        return false;
    const qsizetype d = s.indexOf(QLatin1Char('.'), a + 1);
    return d >= 0 && d - a > 1;
}
