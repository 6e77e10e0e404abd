#include "report/PdfFile.h"

#include "report/PdfReader.h"

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

QByteArray pdfTextString(QStringView text) {
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out = "<FEFF";
    out.reserve(6 + text.size() * 4);
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const char digits[4] = {hex[u >> 12], hex[(u >> 8) & 15], hex[(u >> 4) & 15], hex[u & 15]};
        out.append(digits, 4);
    }
    return out + '>';
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
