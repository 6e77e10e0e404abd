#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <QTextStream>
#include <span>

// Pushes what `out` holds to its device; false when any write to it has failed, such as on a full
// disk or a closed pipe.
bool flushedInFull(QTextStream& out);

// The ways `dscmgr list` writes the certificate list. Each takes the visible columns' headings once,
// then one row at a time as UTF-8 texts (the running number first, the hidden record number left
// out), so that a list of any length is written without being held. Text is gathered and written
// in large pieces, straight to the stream's device when it has one.
class ListOutput {
public:
    explicit ListOutput(QTextStream& out) : out_(out) {}
    virtual ~ListOutput();
    ListOutput(const ListOutput&) = delete;
    ListOutput& operator=(const ListOutput&) = delete;

    virtual void begin(const QStringList& headings) = 0;
    virtual void row(std::span<const QByteArrayView> cells) = 0;
    virtual void end() {}
    void row(const QStringList& cells);
    // Writes what is gathered (also done when the object goes) and pushes it to the device; false
    // once any write has failed, such as on a full disk.
    bool flush();

protected:
    void add(QByteArrayView bytes) {
        buffer_.append(bytes);
        if (buffer_.size() >= kPiece)
            flush();
    }
    void add(char c) { buffer_.append(c); }

private:
    static constexpr qsizetype kPiece = 1 << 16;
    QTextStream& out_;
    QByteArray buffer_;
    bool failed_ = false;
};

// A heading line and one line per row, TAB-separated; each cell on one line, valid UTF-8 and
// harmless on a terminal (see shown::terminalCell).
class TabOutput : public ListOutput {
public:
    using ListOutput::ListOutput;
    using ListOutput::row;
    void begin(const QStringList& headings) override;
    void row(std::span<const QByteArrayView> cells) override;
};

// CSV (RFC 4180: comma-separated, fields with a comma, quote or line break quoted with quotes
// doubled, CRLF line ends), after a UTF-8 byte-order mark unless `bom` is false. Unless `raw`, a
// cell a spreadsheet would take for a formula gets a leading "'", control characters other than
// TAB, CR and LF become blanks, and invalid UTF-8 becomes U+FFFD; `raw` writes the stored bytes.
class CsvOutput : public ListOutput {
public:
    CsvOutput(QTextStream& out, bool raw, bool bom) : ListOutput(out), raw_(raw), bom_(bom) {}
    using ListOutput::row;
    void begin(const QStringList& headings) override;
    void row(std::span<const QByteArrayView> cells) override;

    // One cell as written: neutralised unless raw, then quoted when needed (see csvcell::field).
    static QString field(const QString& text, bool raw);

private:
    static QByteArray rawField(QByteArrayView cell);

    bool raw_, bom_;
};

// A JSON array of objects keyed by the headings, every value a string, valid UTF-8 (an invalid
// sequence stored by another program becomes U+FFFD).
class JsonOutput : public ListOutput {
public:
    using ListOutput::ListOutput;
    using ListOutput::row;
    void begin(const QStringList& headings) override;
    void row(std::span<const QByteArrayView> cells) override;
    void end() override;

    static QString quoted(const QString& text);

private:
    QList<QByteArray> keys_;
    bool first_ = true;
};
