#pragma once

#include "report/ControlCodes.h"

#include <cstdint>
#include <QString>
#include <QStringList>
#include <variant>
#include <vector>

// What a report holds: free rows and text lines, and tables whose heading row is repeated on every
// page. Widths are in characters of the print line; alignments 0 left, 1 centre, 2 right. A cell
// written with a width of 0 has no room on the page, so it is left out of the report. Table
// bodies are packed (one text for all cells, their end offsets and alignments), so a report of a
// hundred thousand rows costs no object per cell.
class ReportDocument {
public:
    struct Cells {
        QStringList texts;
        std::vector<int> widths;
        std::vector<std::uint8_t> alignments;
        std::vector<bool> bold;
    };
    // A row written outside a table, such as the title.
    struct FreeRow {
        Cells cells;
        bool condensed = false;
    };
    // A line sent as plain text.
    struct TextLine {
        QString text;
        bool bold = false;
        bool condensed = false;
    };
    struct Table {
        int columns = 0; // the columns printed: those with a width
        bool condensed = false;
        std::vector<int> widths; // from the first row written into the table
        // The written column each printed column comes from; fixed with the widths.
        std::vector<int> sources;
        int written = 0; // the columns the table was opened with
        bool columnsFixed = false;
        bool hasHeading = false;
        Cells heading;
        QString bodyText;
        std::vector<qsizetype> bodyEnds;          // columns per row
        std::vector<std::uint8_t> bodyAlignments; // columns per row
        int rows() const { return columns == 0 ? 0 : int(bodyEnds.size() / size_t(columns)); }
        QString cell(int row, int column) const;
        int alignment(int row, int column) const { return bodyAlignments[size_t(row * columns + column)]; }
    };
    using Block = std::variant<FreeRow, TextLine, Table>;

    // Control codes and the line length: condensed print puts `condensedLine` characters on the
    // page's line, normal print 80.
    int condensedLine = 130;
    static constexpr int kNormalLine = 80;

    const std::vector<Block>& blocks() const { return blocks_; }
    PrintState state() const { return state_; }

    void clear();
    // A text with control codes: the codes change the print state; any text left is a line.
    void printText(const QString& text);
    void beginTable(int columns);
    // One row: into the open table (a heading when `heading` and the table has no rows yet), else a
    // free row. Cells beyond the table's columns are dropped, missing ones are empty.
    void writeRow(const QStringList& cells, const std::vector<int>& widths, const std::vector<int>& alignments,
                  bool heading);

private:
    // The cells at the written positions `sources`, in that order.
    Cells decodeCells(const QStringList& texts, const std::vector<int>& widths, const std::vector<int>& alignments,
                      const std::vector<int>& sources);
    Table* openTable();

    std::vector<Block> blocks_;
    PrintState state_;
    bool tableOpen_ = false;
};
