#pragma once

#include "listing/CertRows.h"

#include <QStringList>
#include <QTextStream>

// The ways `dscmgr list` writes the certificate list. Each takes the visible columns' headings once,
// then one row at a time (the running number first, the hidden record number left out), so that a
// list of any length is written without being held.
class ListOutput {
public:
    virtual ~ListOutput() = default;
    virtual void begin(const QStringList& headings) = 0;
    virtual void row(const QStringList& cells) = 0;
    virtual void end() {}
};

// A heading line and one line per row, TAB-separated; each cell on one line, harmless on a terminal.
class TabOutput : public ListOutput {
public:
    explicit TabOutput(QTextStream& out) : out_(out) {}
    void begin(const QStringList& headings) override;
    void row(const QStringList& cells) override;

private:
    QTextStream& out_;
};

// CSV (RFC 4180: comma-separated, fields with a comma, quote or line break quoted with quotes
// doubled, CRLF line ends), after a UTF-8 byte-order mark unless `bom` is false. Unless `raw`, a
// cell a spreadsheet would take for a formula gets a leading "'", and control characters other
// than TAB, CR and LF become blanks.
class CsvOutput : public ListOutput {
public:
    CsvOutput(QTextStream& out, bool raw, bool bom) : out_(out), raw_(raw), bom_(bom) {}
    void begin(const QStringList& headings) override;
    void row(const QStringList& cells) override;

    // One cell as written: neutralised unless raw, then quoted when needed.
    static QString field(const QString& text, bool raw);

private:
    QTextStream& out_;
    bool raw_, bom_;
};

// A JSON array of objects keyed by the headings, every value a string, UTF-8.
class JsonOutput : public ListOutput {
public:
    explicit JsonOutput(QTextStream& out) : out_(out) {}
    void begin(const QStringList& headings) override;
    void row(const QStringList& cells) override;
    void end() override;

    static QString quoted(const QString& text);

private:
    QTextStream& out_;
    QStringList keys_;
    bool first_ = true;
};
