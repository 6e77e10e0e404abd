#pragma once

#include <functional>
#include <memory>
#include <QByteArray>
#include <QString>

// Sends messages to one mail server over one connection, kept open from message to message.
// With a user name the password goes only over TLS: smtp:// requires STARTTLS, smtps:// speaks TLS
// from the start, and the server's certificate is verified; `tlsNone` (allowed to this computer
// only, see ReminderSettings) sends it in clear. Without a user name STARTTLS is used when offered.
class SmtpSender {
public:
    struct Connection {
        QString url, user, password;
        bool tlsNone = false;
        QString caFile; // trusted besides the system's certificate authorities
        int timeoutSeconds = 20;
    };
    struct Result {
        enum class Kind {
            Sent,
            Refused,    // the server did not take this message (or its answer was garbled); the next one may go
            Unreachable // no mail can go this run: no server, login refused, TLS failed
        } kind = Kind::Sent;
        QString reason; // one line, for the user
    };

    explicit SmtpSender(Connection connection);
    ~SmtpSender();
    SmtpSender(const SmtpSender&) = delete;
    SmtpSender& operator=(const SmtpSender&) = delete;

    // Connects, logs in and has the server answer, sending nothing: what a run checks before it
    // claims a reminder. Sent when all went well.
    Result check();
    // `keepAlive` is called now and then while the server is slow to answer.
    Result send(const QString& fromAddress, const QString& toAddress, const QByteArray& message,
                const std::function<void()>& keepAlive = {});

private:
    struct Handle;
    Result perform(const std::function<void()>& keepAlive, bool checking);
    void setConnectionOptions();

    std::unique_ptr<Handle> handle_;
    Connection connection_;
    QByteArray url_, user_, password_, caFile_;
};
