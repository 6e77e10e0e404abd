#include "report/ReportDocument.h"

#include <algorithm>

namespace {
std::uint8_t clampAlignment(int a) {
    return std::uint8_t(a == 1 || a == 2 ? a : 0);
}

int widthAt(const std::vector<int>& widths, int k) {
    return k < int(widths.size()) ? std::max(widths[size_t(k)], 0) : 0;
}

// The positions among the first `count` whose width is above 0.
std::vector<int> withWidth(const std::vector<int>& widths, int count) {
    std::vector<int> kept;
    for (int k = 0; k < count; ++k)
        if (widthAt(widths, k) > 0)
            kept.push_back(k);
    return kept;
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
    t.written = std::max(columns, 0);
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
                                                  const std::vector<int>& alignments, const std::vector<int>& sources) {
    Cells c;
    c.texts.reserve(qsizetype(sources.size()));
    for (int k : sources) {
        const DecodedText d = decodeControlCodes(k < texts.size() ? texts[k] : QString(), state_);
        c.texts << d.text;
        c.bold.push_back(d.bold);
        c.widths.push_back(widthAt(widths, k));
        c.alignments.push_back(clampAlignment(k < int(alignments.size()) ? alignments[size_t(k)] : 0));
    }
    return c;
}

void ReportDocument::writeRow(const QStringList& cells, const std::vector<int>& widths,
                              const std::vector<int>& alignments, bool heading) {
    Table* table = openTable();
    if (!table) {
        blocks_.push_back(
            FreeRow{decodeCells(cells, widths, alignments, withWidth(widths, int(widths.size()))), state_.condensed});
        return;
    }
    if (!table->columnsFixed) {
        table->columnsFixed = true;
        // The first row fixes the columns: a text drawn in no room would spill over its neighbour.
        table->sources = withWidth(widths, table->written);
        table->columns = int(table->sources.size());
        for (int k : table->sources)
            table->widths.push_back(widthAt(widths, k));
    }
    if (heading && !table->hasHeading && table->rows() == 0) {
        table->heading = decodeCells(cells, widths, alignments, table->sources);
        // The heading row is printed bold, as a heading.
        std::fill(table->heading.bold.begin(), table->heading.bold.end(), true);
        table->hasHeading = true;
        return;
    }
    for (int k : table->sources) {
        const QString text = k < cells.size() ? decodeControlCodes(cells[k], state_).text : QString();
        table->bodyText += text;
        table->bodyEnds.push_back(table->bodyText.size());
        table->bodyAlignments.push_back(clampAlignment(k < int(alignments.size()) ? alignments[size_t(k)] : 0));
    }
}
