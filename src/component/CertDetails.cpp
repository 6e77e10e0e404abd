#include "component/ClsMain.h"
#include "component/Module1.h"

#include <QDateTime>

namespace {

const QString kSelectionFailed = QStringLiteral("Error Retrieving Certificate Information.");

bool isFailureCode(const QString& text) {
    return text == QLatin1String("-1") || text == QLatin1String("-2") || text == QLatin1String("-3");
}

// A validity text from the certificate object as "DD/MM/YYYY HH:MM:SS". The object delivers that
// form already; ISO dates are read too. A text that is no date gives the empty text, so that the
// save asks for the date instead of storing something wrong.
QString reformatDate(const QString& text) {
    if (text.isEmpty())
        return {};
    QDateTime when = QDateTime::fromString(text, QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    if (!when.isValid())
        when = QDateTime::fromString(text, Qt::ISODate);
    if (!when.isValid())
        when = QDateTime(QDate::fromString(text, QStringLiteral("dd/MM/yyyy")), QTime(0, 0));
    return when.isValid() ? FormatDisplayDate(when) : QString();
}

} // namespace

void ClsMain::GetSignInfo(const QString& FlNm, const QString& Pwd, int StoreInd) {
    certInfo_ = QStringList(8, QString());
    QStringList& info = *certInfo_;
    kyt::ErrorTrap trap(this, QStringLiteral("CLSMAIN"), QStringLiteral("GETSIGNINFO"));

    // Every call starts from "-3", so a call that fails (logged by the trap) reads as a failure code.
    QString selected = QStringLiteral("-3");
    trap([&] {
        selected = StoreInd == -2 ? kyt::callByName(PdfObj.get(), "SelectCertificate1", {FlNm, Pwd}).toString()
                                  : kyt::callByName(PdfObj.get(), "SelectCertificate2", {StoreInd}).toString();
    });
    failureReason_.clear();
    if (isFailureCode(selected)) {
        info[0] = kSelectionFailed;
        failureReason_ =
            PdfObj ? QStringLiteral("cannot be read") : QStringLiteral("the certificate component is not available");
        if (PdfObj)
            kyt::ErrorTrap::silent()([&] {
                const QString reason = kyt::callByName(PdfObj.get(), "GetLastFailure").toString();
                if (!reason.isEmpty())
                    failureReason_ = reason;
            });
        return;
    }

    auto field = [&](const QString& part, const QString& name) {
        QString value = QStringLiteral("-3");
        trap([&] { value = kyt::callByName(PdfObj.get(), "GetMiscInfo", {part, name}).toString(); });
        return isFailureCode(value) ? QString() : value;
    };
    info[1] = field(QStringLiteral("SUB"), QStringLiteral("CN"));
    const QString unit = field(QStringLiteral("SUB"), QStringLiteral("OU"));
    info[2] = unit.toUpper().contains(QLatin1String("CLASS")) ? unit : QString();
    info[3] = field(QStringLiteral("SERIALNUMBER"), QString());
    info[4] = field(QStringLiteral("ISS"), QStringLiteral("CN"));
    info[5] = reformatDate(field(QStringLiteral("VALIDFROM"), QString()));
    info[6] = reformatDate(field(QStringLiteral("VALIDTO"), QString()));

    info[7] = field(QStringLiteral("SUB"), QStringLiteral("E"));
    if (!IsValidEmail(info[7]))
        info[7].clear();
    if (info[7].isEmpty()) {
        info[7] = field(QStringLiteral("SUBALTNAMES_EMAIL"), QString());
        if (!IsValidEmail(info[7]))
            info[7].clear();
    }
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
