#include "report/PdfReader.h"

#include <algorithm>
#include <QRegularExpression>

PdfReader::PdfReader(const QByteArray& pdf) : pdf_(pdf) {
    const qsizetype start = pdf_.lastIndexOf("startxref");
    if (start < 0)
        return;
    const QByteArray tail = pdf_.mid(start + 9).simplified();
    qsizetype at = tail.left(tail.indexOf(' ')).toLongLong();
    if (at <= 0 || pdf_.mid(at, 4) != "xref")
        return;
    at = pdf_.indexOf('\n', at) + 1;
    const QList<QByteArray> header = pdf_.mid(at, pdf_.indexOf('\n', at) - at).trimmed().split(' ');
    if (header.size() != 2)
        return;
    const int first = header[0].toInt(), count = header[1].toInt();
    at = pdf_.indexOf('\n', at) + 1;
    for (int i = 0; i < count; ++i, at += 20) {
        const QByteArray entry = pdf_.mid(at, 20);
        if (entry.size() < 18)
            return;
        if (entry[17] == 'n')
            offsets_.insert(first + i, entry.left(10).toLongLong());
    }
    valid_ = true;
}

QByteArray PdfReader::object(int number) const {
    const auto found = offsets_.constFind(number);
    if (found == offsets_.constEnd())
        return {};
    qsizetype start = pdf_.indexOf("obj", *found);
    if (start < 0)
        return {};
    start += 3;
    while (start < pdf_.size() && (pdf_[start] == '\n' || pdf_[start] == '\r' || pdf_[start] == ' '))
        ++start;
    qsizetype end = pdf_.indexOf("endobj", start);
    const qsizetype stream = pdf_.indexOf("stream", start);
    if (stream >= 0 && stream < end) {
        const int length = integer(pdf_.mid(start, stream - start), "/Length");
        end = pdf_.indexOf("endobj", pdf_.indexOf('\n', stream) + 1 + length);
    }
    return end < 0 ? QByteArray() : pdf_.mid(start, end - start);
}

QByteArray PdfReader::dictionary(int number) const {
    const QByteArray body = object(number);
    const qsizetype stream = body.indexOf("stream");
    return stream < 0 ? body.trimmed() : body.left(stream);
}

QByteArray PdfReader::streamData(int number) const {
    const QByteArray dict = dictionary(number);
    const QByteArray body = object(number);
    const int length = integer(dict, "/Length");
    const QByteArray data = body.mid(body.indexOf('\n', dict.size()) + 1, length);
    if (!dict.contains("/FlateDecode"))
        return data;
    // qUncompress wants the length first; any will do when it is large enough.
    QByteArray sized(4, '\0');
    const quint32 room = quint32(std::max<qsizetype>(data.size() * 64, 1 << 16));
    for (int i = 0; i < 4; ++i)
        sized[i] = char((room >> (24 - 8 * i)) & 0xff);
    return qUncompress(sized + data);
}

int PdfReader::integer(const QByteArray& dictionary, const QByteArray& key) const {
    static const QRegularExpression number(QStringLiteral("^\\s*(\\d+)(\\s+0\\s+R)?"));
    const QString text = QString::fromLatin1(dictionary);
    qsizetype at = -1;
    // The key itself, not a longer one it begins ("/Length" in "/Length1").
    for (qsizetype from = 0; (at = text.indexOf(QLatin1String(key), from)) >= 0; from = at + 1) {
        const qsizetype after = at + key.size();
        if (after < text.size() && !text[after].isLetterOrNumber())
            break;
    }
    if (at < 0)
        return -1;
    const auto match = number.match(text.mid(at + key.size()));
    if (!match.hasMatch())
        return -1;
    if (match.captured(2).isEmpty())
        return match.captured(1).toInt();
    const QByteArray target = object(match.captured(1).toInt()).trimmed();
    return target.toInt();
}
