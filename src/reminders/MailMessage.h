#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// One plain-text e-mail as it goes over the wire: UTF-8 throughout, names and subject in encoded
// words where they are not plain ASCII, a Date and a Message-ID, the body in base64.
struct MailMessage {
    QString fromName;
    QString fromAddress;
    QString toName;
    QString toAddress;
    QString subject;
    QString body;

    // The message with CRLF line ends. Addresses must have passed isUsableAddress(); names and
    // subject are put on one line whatever they hold, so nothing in them can start a header.
    QByteArray render(const QDateTime& date) const;
};

// A header text as it may stand in a header: plain when it is printable ASCII (folded at blanks
// so that no line grows long), else encoded words (=?UTF-8?B?...?=) of at most 75 characters each,
// on folded lines. No line of the result passes 998 characters, however long the text.
QByteArray encodedHeaderText(const QString& text);
// The text as encoded words on folded lines, whatever it holds.
QByteArray encodedWords(const QString& text);
