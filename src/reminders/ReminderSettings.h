#pragma once

#include <optional>
#include <QList>
#include <QString>

// The reminder settings, kept in section "Reminders" of the settings file beside the register's
// own "Settings". The SMTP password is never among them.
struct ReminderSettings {
    QString smtpUrl;  // smtp://host:port or smtps://host:port
    QString smtpUser; // empty: the server takes mail without logging in
    // With a user name the password goes only over TLS: STARTTLS required on smtp://, TLS from the
    // start on smtps://, the server's certificate verified. "none" allows it in clear, to a
    // server on this computer only.
    QString smtpTls;
    QString smtpCaFile;                          // a CA certificate trusted besides the system's, or empty
    QString smtpTimeout = QStringLiteral("20");  // seconds to wait for the server to connect and answer
    QString leaseMinutes = QStringLiteral("10"); // a claim not renewed for this long is taken for dead
    QString timeZone;                            // the zone the practice's days are counted in; empty: this computer's
    QString fromName;
    QString fromAddress; // also where the run's summary goes
    QString practice;
    QString steps = QStringLiteral("30,7,1");
    QString subject;
    QString body;
    QString expiredSubject;
    QString expiredBody;

    static ReminderSettings defaults();
    // The settings of the file, each missing key at its default.
    static ReminderSettings load(const QString& iniPath);
    // False when the file could not be written.
    bool save(const QString& iniPath) const;

    // The first fault that keeps reminders from being worked out (steps, templates), or empty.
    QString checkContent() const;
    // The first fault that keeps mail from being sent (server address, sender, TLS), or empty.
    QString checkMailing() const;

    // The values of the settings above, once check() passed.
    int timeoutSeconds() const;
    int leaseMinutesValue() const;
    bool tlsNone() const;
    QString zoneId() const; // the zone's IANA name
};

// "30,7,1" as whole days, largest first, each once; nothing, with the reason, when unusable.
std::optional<QList<int>> parseSteps(const QString& text, QString* error);
// True when the address is one the mail can go to: a single plain address with no blank, no
// control character and nothing that could start another header.
bool isUsableAddress(const QString& address);
