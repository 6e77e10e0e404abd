#pragma once

#include <memory>
#include <QByteArray>
#include <QString>

// Sends messages to one mail server over one connection, kept open from message to message.
// smtp:// upgrades to TLS when the server offers STARTTLS; smtps:// speaks TLS from the start.
class SmtpSender {
public:
    struct Result {
        enum class Kind {
            Sent,
            Refused,    // the server would not take this message; the next one may go
            Unreachable // no mail can go this run: no server, login refused, TLS failed
        } kind = Kind::Sent;
        QString reason; // one line, for the user
    };

    SmtpSender(QString url, QString user, QString password);
    ~SmtpSender();
    SmtpSender(const SmtpSender&) = delete;
    SmtpSender& operator=(const SmtpSender&) = delete;

    Result send(const QString& fromAddress, const QString& toAddress, const QByteArray& message);

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    QByteArray url_, user_, password_;
};
