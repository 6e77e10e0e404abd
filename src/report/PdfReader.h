#pragma once

#include <QByteArray>
#include <QHash>

// A PDF as text: its objects' bodies by number, read through the cross-reference table.
class PdfReader {
public:
    explicit PdfReader(const QByteArray& pdf);
    bool valid() const { return valid_; }
    // The body of object `number`, between "obj" and "endobj" (a stream with its data).
    QByteArray object(int number) const;
    // A stream's data, uncompressed when it was compressed.
    QByteArray streamData(int number) const;
    // The dictionary part of an object (before any stream).
    QByteArray dictionary(int number) const;
    // The integer an entry such as "/Length 17 0 R" or "/Length 512" stands for.
    int integer(const QByteArray& dictionary, const QByteArray& key) const;

private:
    QByteArray pdf_;
    QHash<int, qsizetype> offsets_;
    bool valid_ = false;
};
