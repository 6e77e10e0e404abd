#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <vector>

class PdfReader;
class QIODevice;

// Appends a number as the toolkit's PDF engine writes it: at most nine digits after the point,
// fewer by as many as the whole part has, cut rather than rounded. Pages written with the same
// figures put every glyph and line on the very same device pixels as the toolkit's do.
void appendPdfNumber(QByteArray& out, double value);
// A text string: UTF-16 with its byte-order mark, in hexadecimal.
QByteArray pdfTextString(QStringView text);

// Writes a PDF file object by object, straight to its device; remembers only where each object
// starts. Object numbers can be taken ahead of writing the object, to refer to it.
class PdfFile {
public:
    explicit PdfFile(QIODevice& device);

    int reserve() {
        offsets_.push_back(-1);
        return int(offsets_.size());
    }
    // Writes object `number` (from reserve()) with the given body.
    void write(int number, const QByteArray& body);
    // A stream object: its dictionary entries (without Length and Filter) and data, compressed.
    void writeStream(int number, const QByteArray& entries, const QByteArray& data);
    // Copies object `number` of a file the toolkit wrote, and every object it refers to, under new
    // numbers; `copied` maps the numbers of objects already copied from that file to their copies.
    // Returns the copy's number, or 0 when the object cannot be read.
    int copyFrom(const PdfReader& source, int number, QHash<int, int>& copied);
    // The cross-reference table and the trailer; false when the device failed on the way.
    bool finish(int catalog, int info);
    bool failed() const { return failed_; }

private:
    void append(const QByteArray& bytes);
    std::vector<qint64> offsets_; // by object number - 1; -1 while not written
    qint64 position_ = 0;
    QIODevice& device_;
    bool failed_ = false;
};
