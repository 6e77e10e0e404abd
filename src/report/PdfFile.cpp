#include "report/PdfFile.h"

#include <QIODevice>
#include <QRegularExpression>

void appendPdfNumber(QByteArray& out, double value) {
    if (value < 0) {
        out += '-';
        value = -value;
    }
    auto whole = static_cast<unsigned int>(value);
    int fraction = int((value - double(whole)) * 1000000000);
    if (fraction == 1000000000) {
        ++whole;
        fraction = 0;
    }
    char digits[16];
    int count = 0;
    for (unsigned int rest = whole; rest; rest /= 10)
        digits[count++] = char('0' + rest % 10);
    int place = 100000000;
    if (count == 0)
        out += '0';
    while (count) {
        out += digits[--count];
        place /= 10;
        fraction /= 10;
    }
    if (fraction) {
        out += '.';
        for (; place; place /= 10)
            out += char('0' + (fraction / place) % 10);
    }
}

PdfFile::PdfFile(QIODevice& device) : device_(device) {
    append("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
}

void PdfFile::append(const QByteArray& bytes) {
    if (failed_)
        return;
    if (device_.write(bytes) != bytes.size())
        failed_ = true;
    position_ += bytes.size();
}

void PdfFile::write(int number, const QByteArray& body) {
    offsets_[size_t(number - 1)] = position_;
    append(QByteArray::number(number) + " 0 obj\n");
    append(body);
    append("\nendobj\n");
}

void PdfFile::writeStream(int number, const QByteArray& entries, const QByteArray& data) {
    // The toolkit's compression, less its leading four bytes of length: a zlib stream. Level 2
    // packs report pages a fifth larger than the default level, in a third of the time.
    const QByteArray packed = qCompress(data, 2).mid(4);
    write(number, "<<" + entries + "/Length " + QByteArray::number(packed.size()) + "/Filter/FlateDecode>>\nstream\n" +
                      packed + "\nendstream");
}

int PdfFile::copyFrom(const PdfReader& source, int number, QHash<int, int>& copied) {
    if (const auto known = copied.constFind(number); known != copied.constEnd())
        return *known;
    QByteArray dictionary = source.dictionary(number);
    if (dictionary.isEmpty())
        return 0;
    const int copy = reserve();
    copied.insert(number, copy);
    const QByteArray body = source.object(number);
    const bool stream = body.contains("endstream");
    QByteArray data;
    if (stream) {
        const int length = source.integer(dictionary, "/Length");
        const qsizetype start = body.indexOf('\n', dictionary.size()) + 1;
        data = body.mid(start, length);
        static const QRegularExpression lengthEntry(QStringLiteral("/Length\\s+\\d+\\s+0\\s+R"));
        dictionary =
            QString::fromLatin1(dictionary).replace(lengthEntry, QStringLiteral("/Length %1").arg(length)).toLatin1();
    }
    // Renumber the references, copying what they refer to first.
    static const QRegularExpression reference(QStringLiteral("(\\d+)\\s+0\\s+R"));
    QByteArray renumbered;
    qsizetype from = 0;
    const QString text = QString::fromLatin1(dictionary);
    for (auto it = reference.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        const int target = copyFrom(source, match.captured(1).toInt(), copied);
        if (target == 0)
            return 0;
        renumbered += dictionary.mid(from, match.capturedStart() - from) + QByteArray::number(target) + " 0 R";
        from = match.capturedEnd();
    }
    renumbered += dictionary.mid(from);
    write(copy, stream ? renumbered + "stream\n" + data + "\nendstream" : renumbered);
    return copy;
}

bool PdfFile::finish(int catalog, int info) {
    const qint64 table = position_;
    QByteArray xref = "xref\n0 " + QByteArray::number(qsizetype(offsets_.size()) + 1) + "\n0000000000 65535 f \n";
    for (qint64 offset : offsets_) {
        if (offset < 0)
            return false;
        xref += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    }
    append(xref);
    append("trailer\n<</Size " + QByteArray::number(qsizetype(offsets_.size()) + 1) + "/Root " +
           QByteArray::number(catalog) + " 0 R/Info " + QByteArray::number(info) + " 0 R>>\nstartxref\n" +
           QByteArray::number(table) + "\n%%EOF\n");
    return !failed_;
}

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
