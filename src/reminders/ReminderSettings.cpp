#include "reminders/ReminderSettings.h"

#include "platform/ProfileFile.h"
#include "reminders/MailTemplate.h"

#include <algorithm>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>
#include <QUrl>

namespace {
bool wholeNumber(const QString& text, int from, int to) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok && n >= from && n <= to;
}

// The host names that can only be this computer: localhost, 127.0.0.0/8 and ::1.
bool isLoopback(const QString& host) {
    static const QRegularExpression v4(QStringLiteral(R"(^127\.\d{1,3}\.\d{1,3}\.\d{1,3}$)"));
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || v4.match(host).hasMatch() ||
           host == QLatin1String("::1");
}

const QString kSection = QStringLiteral("Reminders");

// A value of the settings file is one line: line breaks and backslashes are written as \n and \\.
QString escaped(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c != QLatin1Char('\r'))
            out += c;
    }
    return out;
}

QString unescaped(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size()) {
            const QChar n = text[++i];
            out += n == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : n;
        } else {
            out += text[i];
        }
    }
    return out;
}
} // namespace

ReminderSettings ReminderSettings::defaults() {
    ReminderSettings s;
    s.subject = QStringLiteral("Your digital signature certificate expires on {valid_to}");
    s.body = QStringLiteral(
        "Dear {name},\n\n"
        "your digital signature certificate ({type}, serial number {serial}, issued by {issuer}) is valid until "
        "{valid_to}: {days} day(s) from today.\n\n"
        "A new certificate has to be applied for, verified and collected, which takes some days. Please get in "
        "touch with us now so that you can keep signing without a break.\n\n"
        "Regards,\n{practice}\n");
    s.expiredSubject = QStringLiteral("Your digital signature certificate has expired");
    s.expiredBody = QStringLiteral(
        "Dear {name},\n\n"
        "your digital signature certificate ({type}, serial number {serial}, issued by {issuer}) expired on "
        "{valid_to}. Documents can no longer be signed with it.\n\n"
        "Please get in touch with us to apply for a new one.\n\n"
        "Regards,\n{practice}\n");
    return s;
}

ReminderSettings ReminderSettings::load(const QString& iniPath) {
    const kyt::ProfileFile file(iniPath);
    ReminderSettings s = defaults();
    auto read = [&](const char* key, QString& value) {
        value = unescaped(file.read(kSection, QLatin1String(key), escaped(value), -1));
    };
    read("SmtpUrl", s.smtpUrl);
    read("SmtpUser", s.smtpUser);
    read("SmtpTls", s.smtpTls);
    read("SmtpCaFile", s.smtpCaFile);
    read("SmtpTimeout", s.smtpTimeout);
    read("LeaseMinutes", s.leaseMinutes);
    read("TimeZone", s.timeZone);
    read("FromName", s.fromName);
    read("FromAddress", s.fromAddress);
    read("Practice", s.practice);
    read("Steps", s.steps);
    read("Subject", s.subject);
    read("Body", s.body);
    read("ExpiredSubject", s.expiredSubject);
    read("ExpiredBody", s.expiredBody);
    return s;
}

bool ReminderSettings::save(const QString& iniPath) const {
    const kyt::ProfileFile file(iniPath);
    bool ok = true;
    auto write = [&](const char* key, const QString& value) {
        ok = file.write(kSection, QLatin1String(key), escaped(value)) && ok;
    };
    write("SmtpUrl", smtpUrl.trimmed());
    write("SmtpUser", smtpUser.trimmed());
    write("SmtpTls", smtpTls.trimmed());
    write("SmtpCaFile", smtpCaFile.trimmed());
    write("SmtpTimeout", smtpTimeout.trimmed());
    write("LeaseMinutes", leaseMinutes.trimmed());
    write("TimeZone", timeZone.trimmed());
    write("FromName", fromName.trimmed());
    write("FromAddress", fromAddress.trimmed());
    write("Practice", practice.trimmed());
    write("Steps", steps.trimmed());
    write("Subject", subject);
    write("Body", body);
    write("ExpiredSubject", expiredSubject);
    write("ExpiredBody", expiredBody);
    return ok;
}

QString ReminderSettings::checkContent() const {
    QString error;
    if (!parseSteps(steps, &error))
        return error;
    if (!wholeNumber(leaseMinutes, 1, 1440))
        return QStringLiteral("The setting LeaseMinutes \"%1\" is not usable: write whole minutes from 1 to 1440.")
            .arg(leaseMinutes.simplified());
    if (!timeZone.trimmed().isEmpty() && !QTimeZone(timeZone.trimmed().toLatin1()).isValid())
        return QStringLiteral("The setting TimeZone \"%1\" is not a known time zone: write a name such as "
                              "Asia/Kolkata.")
            .arg(timeZone.simplified());
    const std::pair<const char*, const QString*> templates[] = {
        {"Subject", &subject}, {"Body", &body}, {"ExpiredSubject", &expiredSubject}, {"ExpiredBody", &expiredBody}};
    for (const auto& [label, text] : templates) {
        error = MailTemplate::check(QLatin1String(label), *text);
        if (!error.isEmpty())
            return error;
    }
    return {};
}

QString ReminderSettings::checkMailing() const {
    const QUrl url(smtpUrl.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (smtpUrl.trimmed().isEmpty())
        return QStringLiteral("No mail server is set: SmtpUrl in section Reminders of Confg.ini, such as "
                              "smtp://mail.example.org:587.");
    if (!url.isValid() || (scheme != QLatin1String("smtp") && scheme != QLatin1String("smtps")) ||
        url.host().isEmpty() || (!url.path().isEmpty() && url.path() != QLatin1String("/")) || url.hasQuery() ||
        !url.userName().isEmpty())
        return QStringLiteral("The mail server address \"%1\" is not usable: write smtp://HOST:PORT or "
                              "smtps://HOST:PORT (the user goes in SmtpUser).")
            .arg(smtpUrl.simplified());
    if (!isUsableAddress(fromAddress.trimmed()))
        return QStringLiteral("The sender address \"%1\" is not a usable e-mail address (FromAddress).")
            .arg(fromAddress.simplified());
    if (!wholeNumber(smtpTimeout, 1, 600))
        return QStringLiteral("The setting SmtpTimeout \"%1\" is not usable: write whole seconds from 1 to 600.")
            .arg(smtpTimeout.simplified());
    const QString tls = smtpTls.trimmed().toLower();
    if (!tls.isEmpty() && tls != QLatin1String("none") && tls != QLatin1String("required"))
        return QStringLiteral("The setting SmtpTls \"%1\" is not usable: leave it empty or write none.")
            .arg(smtpTls.simplified());
    if (tlsNone() && !smtpUser.trimmed().isEmpty() && !isLoopback(url.host()))
        return QStringLiteral("SmtpTls=none sends the password in clear and is allowed only to a server on this "
                              "computer (127.0.0.1, ::1 or localhost), not to %1.")
            .arg(url.host());
    if (!smtpCaFile.trimmed().isEmpty() && !QFileInfo(smtpCaFile.trimmed()).isFile())
        return QStringLiteral("The CA file \"%1\" (SmtpCaFile) is not a readable file.").arg(smtpCaFile.simplified());
    return {};
}

int ReminderSettings::timeoutSeconds() const {
    return smtpTimeout.trimmed().toInt();
}

int ReminderSettings::leaseMinutesValue() const {
    return leaseMinutes.trimmed().toInt();
}

bool ReminderSettings::tlsNone() const {
    return smtpTls.trimmed().compare(QLatin1String("none"), Qt::CaseInsensitive) == 0;
}

QString ReminderSettings::zoneId() const {
    const QString named = timeZone.trimmed();
    return named.isEmpty() ? QString::fromLatin1(QTimeZone::systemTimeZoneId()) : named;
}

std::optional<QList<int>> parseSteps(const QString& text, QString* error) {
    QList<int> steps;
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int days = part.trimmed().toInt(&ok);
        if (!ok || days < 0 || days > 3650) {
            if (error)
                *error = QStringLiteral("The reminder steps \"%1\" are not usable: write whole days joined by \",\", "
                                        "such as 30,7,1.")
                             .arg(text.simplified());
            return std::nullopt;
        }
        if (!steps.contains(days))
            steps << days;
    }
    std::sort(steps.begin(), steps.end(), std::greater<int>());
    return steps;
}

bool isUsableAddress(const QString& address) {
    static const QRegularExpression plain(QStringLiteral(
        R"(^[A-Za-z0-9.!#$%&'*+/=?^_`{|}~-]+@[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?(?:\.[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?)+$)"));
    return address.size() <= 254 && plain.match(address).hasMatch();
}
