#include "reminders/MailMessage.h"

#include <QUuid>

namespace {
QByteArray foldedPlain(const QString& line);

// Header lines are folded to stay near this length; RFC 5322 forbids more than 998 characters.
constexpr qsizetype kShortLine = 76;
constexpr qsizetype kLongestWord = 900;

// Line breaks and other control characters in a name or subject become blanks: a header is one line.
QString oneLine(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    return out.simplified();
}

bool isPlainAscii(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    return !text.contains(QLatin1String("=?"));
}

// "Name <address>": the name quoted when plain (folded at its blanks when long), encoded otherwise.
QByteArray mailbox(const QString& name, const QString& address) {
    const QString n = oneLine(name);
    if (n.isEmpty())
        return address.toLatin1();
    QByteArray shown;
    if (isPlainAscii(n)) {
        QString quoted = n;
        quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
        shown = foldedPlain(QLatin1Char('"') + quoted + QLatin1Char('"'));
    }
    if (shown.isEmpty())
        shown = encodedWords(n);
    return shown + " <" + address.toLatin1() + '>';
}

QByteArray domainOf(const QString& address) {
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    return at < 0 ? QByteArray("localhost") : address.mid(at + 1).toLatin1();
}
} // namespace

namespace {
// Plain text folded before a blank wherever a line would pass kShortLine; empty when a single word
// is too long for a line of 998 characters, which only encoded words can carry.
QByteArray foldedPlain(const QString& line) {
    QByteArray out;
    qsizetype lineLength = 0;
    for (const QString& word : line.split(QLatin1Char(' '))) {
        if (word.size() > kLongestWord)
            return {};
        if (!out.isEmpty()) {
            if (lineLength + 1 + word.size() > kShortLine) {
                out += "\r\n";
                lineLength = 0;
            }
            out += ' ';
            ++lineLength;
        }
        out += word.toLatin1();
        lineLength += word.size();
    }
    return out;
}
} // namespace

QByteArray encodedHeaderText(const QString& text) {
    const QString line = oneLine(text);
    if (isPlainAscii(line)) {
        const QByteArray folded = foldedPlain(line);
        if (!folded.isEmpty() || line.isEmpty())
            return folded;
    }
    return encodedWords(line);
}

QByteArray encodedWords(const QString& text) {
    const QString line = oneLine(text);
    // Each encoded word holds whole characters: at most 45 bytes of UTF-8, 60 in base64.
    QList<QByteArray> words;
    QByteArray chunk;
    for (qsizetype i = 0; i < line.size(); ++i) {
        QString ch = line.mid(i, 1);
        if (line[i].isHighSurrogate() && i + 1 < line.size())
            ch = line.mid(i++, 2);
        const QByteArray bytes = ch.toUtf8();
        if (chunk.size() + bytes.size() > 45) {
            words << chunk;
            chunk.clear();
        }
        chunk += bytes;
    }
    if (!chunk.isEmpty())
        words << chunk;
    QByteArray out;
    for (const QByteArray& w : words) {
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + w.toBase64() + "?=";
    }
    return out;
}

QByteArray MailMessage::render(const QDateTime& date) const {
    QByteArray m;
    m += "Date: " + date.toString(Qt::RFC2822Date).toLatin1() + "\r\n";
    m +=
        "Message-ID: <" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + '@' + domainOf(fromAddress) + ">\r\n";
    m += "From: " + mailbox(fromName, fromAddress) + "\r\n";
    m += "To: " + mailbox(toName, toAddress) + "\r\n";
    m += "Subject: " + encodedHeaderText(subject) + "\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "Content-Type: text/plain; charset=UTF-8\r\n";
    m += "Content-Transfer-Encoding: base64\r\n\r\n";
    QString text = body;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    const QByteArray encoded = text.toUtf8().toBase64();
    for (qsizetype i = 0; i < encoded.size(); i += 76)
        m += encoded.mid(i, 76) + "\r\n";
    return m;
}
