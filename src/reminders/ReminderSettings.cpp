#include "reminders/ReminderSettings.h"

#include "platform/ProfileFile.h"
#include "reminders/MailTemplate.h"

#include <algorithm>
#include <QRegularExpression>
#include <QUrl>

namespace {
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
    return {};
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
