#include "report/ReportDocument.h"

#include <algorithm>

namespace {
std::uint8_t clampAlignment(int a) {
    return std::uint8_t(a == 1 || a == 2 ? a : 0);
}
} // namespace

QString ReportDocument::Table::cell(int row, int column) const {
    const size_t at = size_t(row * columns + column);
    const qsizetype start = at == 0 ? 0 : bodyEnds[at - 1];
    return bodyText.mid(start, bodyEnds[at] - start);
}

void ReportDocument::clear() {
    blocks_.clear();
    state_ = {};
    tableOpen_ = false;
}

void ReportDocument::printText(const QString& text) {
    const DecodedText decoded = decodeControlCodes(text, state_);
    if (!decoded.text.isEmpty())
        blocks_.push_back(TextLine{decoded.text, decoded.bold, state_.condensed || decoded.after.condensed});
    state_ = decoded.after;
    // A text line ends the table it follows.
    if (!decoded.text.isEmpty())
        tableOpen_ = false;
}

void ReportDocument::beginTable(int columns) {
    Table t;
    t.columns = std::max(columns, 0);
    t.condensed = state_.condensed;
    blocks_.push_back(std::move(t));
    tableOpen_ = true;
}

ReportDocument::Table* ReportDocument::openTable() {
    if (!tableOpen_ || blocks_.empty())
        return nullptr;
    return std::get_if<Table>(&blocks_.back());
}

ReportDocument::Cells ReportDocument::decodeCells(const QStringList& texts, const std::vector<int>& widths,
                                                  const std::vector<int>& alignments, int count) {
    Cells c;
    c.texts.reserve(count);
    for (int k = 0; k < count; ++k) {
        const DecodedText d = decodeControlCodes(k < texts.size() ? texts[k] : QString(), state_);
        c.texts << d.text;
        c.bold.push_back(d.bold);
        c.widths.push_back(k < int(widths.size()) ? std::max(widths[size_t(k)], 0) : 0);
        c.alignments.push_back(clampAlignment(k < int(alignments.size()) ? alignments[size_t(k)] : 0));
    }
    return c;
}

void ReportDocument::writeRow(const QStringList& cells, const std::vector<int>& widths,
                              const std::vector<int>& alignments, bool heading) {
    Table* table = openTable();
    if (!table) {
        // Outside a table a row keeps the cells up to its last one with a width.
        int count = 0;
        for (int k = 0; k < int(widths.size()); ++k)
            if (widths[size_t(k)] > 0)
                count = k + 1;
        blocks_.push_back(FreeRow{decodeCells(cells, widths, alignments, count), state_.condensed});
        return;
    }
    const int n = table->columns;
    if (table->widths.empty())
        for (int k = 0; k < n; ++k)
            table->widths.push_back(k < int(widths.size()) ? std::max(widths[size_t(k)], 0) : 0);
    if (heading && !table->hasHeading && table->rows() == 0) {
        table->heading = decodeCells(cells, widths, alignments, n);
        // The heading row is printed bold, as a heading.
        std::fill(table->heading.bold.begin(), table->heading.bold.end(), true);
        table->hasHeading = true;
        return;
    }
    for (int k = 0; k < n; ++k) {
        const QString text = k < cells.size() ? decodeControlCodes(cells[k], state_).text : QString();
        table->bodyText += text;
        table->bodyEnds.push_back(table->bodyText.size());
        table->bodyAlignments.push_back(clampAlignment(k < int(alignments.size()) ? alignments[size_t(k)] : 0));
    }
}
