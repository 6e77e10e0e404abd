#pragma once

#include <functional>
#include <memory>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <span>
#include <vector>

// Writing the certificate list to a file a spreadsheet opens: the safe CSV of `dscmgr list --csv`
// (see CsvOutput), or a workbook (.xlsx) whose dates are dates and whose other cells are text as
// shown, so that serial numbers and telephone numbers keep every digit.
namespace listexport {
enum class Format { Csv, Xlsx };
// .xlsx by the file name's ending, CSV otherwise.
Format formatFor(const QString& path);
// Why an export cannot go to `path`: it names a folder, a device, a pipe or anything else that is no
// regular file, or a link planted in a folder others may write (kyt::ReplacingFile's rules). Empty
// when it can (a regular file, replaced, or nothing yet).
QString refusal(const QString& path);
} // namespace listexport

class XlsxListWriter;

namespace listexport {
// Hands one row's cells, UTF-8, to the file being written.
using RowSink = std::function<void(std::span<const QByteArrayView> cells)>;
enum class Kind { Text, Number, Date };
// The kind of each of the certificate list's own columns, as `dscmgr list` writes them: the
// running number, then every field after the record number.
std::vector<Kind> listKinds();
// Writes the headings, then the rows `rows` hands to its sink, to `path` as CSV or .xlsx by the
// file's name. The reason it could not be written, empty on success; a file is replaced only by a
// complete one.
QString write(const QString& path, const QStringList& headings, const std::vector<Kind>& kinds,
              const std::function<void(const RowSink&)>& rows);
} // namespace listexport

// A workbook of one sheet: a heading row, then one row a call. Each column holds one kind of value;
// a date that does not read as "DD/MM/YYYY HH:MM:SS" and a number that is no number are written as
// the text they are. The sheet is written as the rows come, so a list of any length costs little
// memory; the file appears at `path` only once it is complete.
class XlsxListWriter {
public:
    using Kind = listexport::Kind;

    explicit XlsxListWriter(QString path);
    ~XlsxListWriter();
    XlsxListWriter(const XlsxListWriter&) = delete;
    XlsxListWriter& operator=(const XlsxListWriter&) = delete;

    void begin(const QStringList& headings, std::vector<Kind> kinds);
    // The cells as UTF-8, one for each heading.
    void row(std::span<const QByteArrayView> cells);
    void row(const QStringList& cells);
    // Completes the workbook and puts it in its place. The reason it could not be, empty on success;
    // nothing is left at the path then but what was there before.
    QString finish();

private:
    struct Book;
    QString path_, partPath_;
    std::unique_ptr<Book> book_;
    std::vector<Kind> kinds_;
    int row_ = 0;
    QString failure_;
};
