// The list's outputs on any cell bytes (another program may store anything): the CSV, the JSON and
// the terminal lines are valid UTF-8, the JSON parses with one object per row, a terminal row stays
// one line without escapes, and no CSV cell starts with a sign a spreadsheet runs. The input is
// split into cells at each 0x1F byte.

#include "store/ListOutput.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>
#include <vector>

namespace {
template <class Output, class... Args>
QByteArray written(const QStringList& headings, std::span<const QByteArrayView> cells, Args... args) {
    QByteArray bytes;
    QTextStream stream(&bytes);
    {
        Output output(stream, args...);
        output.begin(headings);
        output.row(cells);
        output.end();
        output.flush();
    }
    return bytes;
}

void require(bool condition) {
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    std::vector<QByteArrayView> cells;
    QStringList headings;
    for (qsizetype from = 0;;) {
        const qsizetype end = input.indexOf('\x1f', from);
        cells.push_back(input.sliced(from, (end < 0 ? input.size() : end) - from));
        headings << QStringLiteral("h%1").arg(headings.size());
        if (end < 0)
            break;
        from = end + 1;
    }
    const std::span<const QByteArrayView> row(cells);

    const QByteArray csv = written<CsvOutput>(headings, row, false, false);
    require(QUtf8StringView(csv).isValidUtf8());
    const QByteArray line = csv.mid(csv.indexOf("\r\n") + 2);
    require(!line.startsWith('=') && !line.startsWith('@') && !line.startsWith('|'));

    const QByteArray json = written<JsonOutput>(headings, row);
    require(QUtf8StringView(json).isValidUtf8());
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    require(error.error == QJsonParseError::NoError && document.array().size() == 1);

    const QByteArray tab = written<TabOutput>(headings, row);
    require(QUtf8StringView(tab).isValidUtf8() && tab.count('\n') == 2 && !tab.contains('\x1b'));
    return 0;
}
