#include "store/ListExport.h"

#include "platform/ReplacingFile.h"
#include "store/ListOutput.h"
#include "store/RecordLayout.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <xlsxwriter.h>

namespace {
// The most characters a spreadsheet cell holds.
constexpr qsizetype kCellLimit = 32767;

// Text as a cell holds it: valid UTF-8 (a damaged byte becomes U+FFFD), control characters other
// than TAB and line breaks as blanks (the sheet's XML cannot carry them), and no longer than a
// cell allows.
QByteArray cellText(QByteArrayView utf8) {
    bool plain = utf8.size() <= kCellLimit;
    for (const char c : utf8)
        if (uchar(c) >= 0x80 || (uchar(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) {
            plain = false;
            break;
        }
    if (plain)
        return utf8.toByteArray();
    QString text = QString::fromUtf8(utf8);
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || (u >= 0x7F && u <= 0x9F) || c.isSurrogate())
            c = QLatin1Char(' ');
    }
    return text.left(kCellLimit).toUtf8();
}

// "DD/MM/YYYY HH:MM:SS" (the time may be left out); nothing when the text is no such date.
std::optional<lxw_datetime> dateOf(QByteArrayView text) {
    const auto digits = [&](qsizetype at, qsizetype count) {
        int value = 0;
        for (qsizetype i = at; i < at + count; ++i) {
            if (i >= text.size() || text[i] < '0' || text[i] > '9')
                return -1;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    if (text.size() != 10 && text.size() != 19)
        return std::nullopt;
    if (text[2] != '/' || text[5] != '/')
        return std::nullopt;
    lxw_datetime at{};
    at.day = digits(0, 2);
    at.month = digits(3, 2);
    at.year = digits(6, 4);
    if (text.size() == 19) {
        if (text[10] != ' ' || text[13] != ':' || text[16] != ':')
            return std::nullopt;
        at.hour = digits(11, 2);
        at.min = digits(14, 2);
        at.sec = digits(17, 2);
    }
    // Spreadsheet dates begin in 1900.
    if (at.year < 1900 || at.month < 1 || at.month > 12 || at.day < 1 || at.hour < 0 || at.min < 0 || at.sec < 0 ||
        !QDate(at.year, at.month, at.day).isValid() || at.hour > 23 || at.min > 59 || at.sec > 59)
        return std::nullopt;
    return at;
}
} // namespace

namespace listexport {
Format formatFor(const QString& path) {
    return path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive) ? Format::Xlsx : Format::Csv;
}

QString refusal(const QString& path) {
    if (path.isEmpty() || QFileInfo(path).fileName().isEmpty())
        return QStringLiteral("Cannot export to \"%1\": no file name.").arg(QDir::toNativeSeparators(path));
    if (const QString why = kyt::ReplacingFile::whyNotWritable(path); !why.isEmpty())
        return QStringLiteral("Cannot export: %1 %2.").arg(QDir::toNativeSeparators(path), why);
    return {};
}
std::vector<Kind> listKinds() {
    std::vector<Kind> kinds{Kind::Number};
    for (int c = RecordLayout::kFirstDataColumn; c < RecordLayout::kColumnCount; ++c)
        kinds.push_back(RecordLayout::isDate(RecordLayout::fieldAt(c)) ? Kind::Date : Kind::Text);
    return kinds;
}

QString write(const QString& path, const QStringList& headings, const std::vector<Kind>& kinds,
              const std::function<void(const RowSink&)>& rows) {
    if (const QString why = refusal(path); !why.isEmpty())
        return why;
    if (formatFor(path) == Format::Xlsx) {
        XlsxListWriter book(path);
        book.begin(headings, kinds);
        rows([&](std::span<const QByteArrayView> cells) { book.row(cells); });
        return book.finish();
    }
    const QString cannot = QStringLiteral("Cannot write \"%1\".").arg(QDir::toNativeSeparators(path));
    kyt::ReplacingFile file(path);
    if (!file.open())
        return QStringLiteral("Cannot export: %1 %2.").arg(QDir::toNativeSeparators(path), file.why());
    QTextStream out(&file.device());
    {
        CsvOutput csv(out, false, true);
        csv.begin(headings);
        rows([&](std::span<const QByteArrayView> cells) { csv.row(cells); });
        csv.end();
        if (!csv.flush())
            return cannot;
    }
    return file.commit() ? QString() : cannot;
}
} // namespace listexport

struct XlsxListWriter::Book {
    lxw_workbook* workbook = nullptr;
    lxw_worksheet* sheet = nullptr;
    lxw_format* heading = nullptr;
    lxw_format* date = nullptr;
    lxw_format* text = nullptr;
};

XlsxListWriter::XlsxListWriter(QString path) : path_(std::move(path)), book_(std::make_unique<Book>()) {
    // A link is followed: the file it leads to is replaced, and the link stays.
    if (const QFileInfo link(path_); link.isSymLink())
        path_ = link.symLinkTarget();
    const QFileInfo info(path_);
    partPath_ = info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                QStringLiteral(".part-%1").arg(QCoreApplication::applicationPid());
    lxw_workbook_options options{};
    // Rows go to the file as they come instead of being held.
    options.constant_memory = LXW_TRUE;
    book_->workbook = workbook_new_opt(QFile::encodeName(partPath_).constData(), &options);
    if (!book_->workbook) {
        failure_ = QStringLiteral("Cannot write \"%1\".").arg(QDir::toNativeSeparators(path_));
        return;
    }
    book_->sheet = workbook_add_worksheet(book_->workbook, "Certificates");
    book_->heading = workbook_add_format(book_->workbook);
    format_set_bold(book_->heading);
    book_->date = workbook_add_format(book_->workbook);
    format_set_num_format(book_->date, "dd/mm/yyyy hh:mm:ss");
    book_->text = workbook_add_format(book_->workbook);
    format_set_num_format(book_->text, "@");
}

XlsxListWriter::~XlsxListWriter() {
    if (book_->workbook) {
        workbook_close(book_->workbook);
        QFile::remove(partPath_);
    }
}

void XlsxListWriter::begin(const QStringList& headings, std::vector<Kind> kinds) {
    kinds_ = std::move(kinds);
    kinds_.resize(size_t(headings.size()), Kind::Text);
    if (!book_->sheet)
        return;
    for (int c = 0; c < headings.size(); ++c) {
        const QByteArray text = headings[c].toUtf8();
        worksheet_write_string(book_->sheet, 0, lxw_col_t(c), text.constData(), book_->heading);
        const double width = kinds_[size_t(c)] == Kind::Date     ? 20
                             : kinds_[size_t(c)] == Kind::Number ? std::max<double>(8, headings[c].size() + 2)
                                                                 : std::max<double>(14, headings[c].size() + 2);
        worksheet_set_column(book_->sheet, lxw_col_t(c), lxw_col_t(c), width, nullptr);
    }
    worksheet_freeze_panes(book_->sheet, 1, 0);
    row_ = 1;
}

void XlsxListWriter::row(std::span<const QByteArrayView> cells) {
    if (!book_->sheet || !failure_.isEmpty())
        return;
    lxw_error error = LXW_NO_ERROR;
    for (size_t c = 0; c < cells.size() && c < kinds_.size() && error == LXW_NO_ERROR; ++c) {
        const QByteArrayView cell = cells[c];
        if (cell.isEmpty())
            continue;
        const lxw_col_t column = lxw_col_t(c);
        if (kinds_[c] == Kind::Date) {
            if (const std::optional<lxw_datetime> at = dateOf(cell)) {
                lxw_datetime value = *at;
                error = worksheet_write_datetime(book_->sheet, lxw_row_t(row_), column, &value, book_->date);
                continue;
            }
        } else if (kinds_[c] == Kind::Number) {
            bool ok = false;
            const double value = cell.toByteArray().toDouble(&ok);
            if (ok) {
                error = worksheet_write_number(book_->sheet, lxw_row_t(row_), column, value, nullptr);
                continue;
            }
        }
        const QByteArray text = cellText(cell);
        error = worksheet_write_string(book_->sheet, lxw_row_t(row_), column, text.constData(), book_->text);
    }
    if (error != LXW_NO_ERROR)
        failure_ = QStringLiteral("Cannot write row %1 of \"%2\": %3.")
                       .arg(row_)
                       .arg(QDir::toNativeSeparators(path_), QString::fromUtf8(lxw_strerror(error)));
    ++row_;
}

void XlsxListWriter::row(const QStringList& cells) {
    std::vector<QByteArray> store;
    std::vector<QByteArrayView> views;
    store.reserve(size_t(cells.size()));
    for (const QString& cell : cells)
        views.push_back(store.emplace_back(cell.toUtf8()));
    row(std::span<const QByteArrayView>(views));
}

QString XlsxListWriter::finish() {
    if (!book_->workbook)
        return failure_;
    const lxw_error closed = workbook_close(book_->workbook);
    book_->workbook = nullptr;
    if (failure_.isEmpty() && closed != LXW_NO_ERROR)
        failure_ = QStringLiteral("Cannot write \"%1\": %2.")
                       .arg(QDir::toNativeSeparators(path_), QString::fromUtf8(lxw_strerror(closed)));
    // The complete workbook takes the place of the file in one step.
    if (failure_.isEmpty() &&
        std::rename(QFile::encodeName(partPath_).constData(), QFile::encodeName(path_).constData()) != 0)
        failure_ = QStringLiteral("Cannot write \"%1\".").arg(QDir::toNativeSeparators(path_));
    if (!failure_.isEmpty())
        QFile::remove(partPath_);
    return failure_;
}
