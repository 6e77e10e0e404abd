#pragma once

#include "report/ReportDocument.h"

#include <array>
#include <limits>
#include <memory>
#include <optional>
#include <QFont>
#include <QFontMetricsF>
#include <vector>

class QPainter;
class QPageLayout;
class ReportCanvas;
class QPaintDevice;
class QPagedPaintDevice;

// Puts a report on the pages of one paint device (a printer or its preview) or of a PDF, page
// by page as they are asked for: the first page can be painted before the rest is laid out.
// Pages are laid out at one fixed resolution whatever the device's, so that the preview, the
// printer and a PDF of the same page size break the report into the same pages; painting scales
// to the device. A cell too long for its column wraps at word boundaries, or anywhere in a word
// longer than the column. A row taller than a page continues on the next, below the repeated heading.
class ReportLayout {
public:
    ReportLayout(std::shared_ptr<const ReportDocument> document, QPaintDevice* device);
    // For pages of this set-up, painted on a canvas of the layout's resolution.
    ReportLayout(std::shared_ptr<const ReportDocument> document, const QPageLayout& page);
    ~ReportLayout();

    // Lays out until `pages` pages are fixed, or to the end. Returns the pages fixed.
    int layOutPages(int pages);
    // Lays out for about `budgetMs` milliseconds; true when the whole report is laid out.
    bool layOutFor(int budgetMs);
    void layOutAll() { layOutPages(std::numeric_limits<int>::max()); }
    int knownPages() const;
    bool complete() const { return complete_; }

    // Paints page `page` (from 0, one of the known pages) in the device's paint rectangle.
    void paintPage(QPainter& painter, int page) const;
    void paintPage(ReportCanvas& canvas, int page) const;

    // The resolution pages are laid out at, in dots per inch.
    static constexpr int kLayoutDpi = 600;
    // The grid's lines, in layout units.
    static double gridWidth();

private:
    // Where the next unit (a free row, a text line, a table's body row, or an empty table's
    // heading) stands; `unit` counts the units from the start of the report. `line` is the first
    // text line shown of a unit continued from an earlier page.
    struct Position {
        size_t block = 0;
        int row = 0;
        size_t unit = 0;
        int line = 0;
        bool before(const Position& other) const {
            return unit < other.unit || (unit == other.unit && line < other.line);
        }
    };
    struct Geometry {
        std::vector<double> x;     // left edge of each column
        std::vector<double> width; // width of each column
    };
    struct Fonts {
        QFont regular, bold; // sized for the layout's resolution
        std::optional<QFontMetricsF> regularMetrics, boldMetrics;
        double lineHeight = 0, padX = 0, padY = 0;
        // Advances of the Latin-1 characters, to size most texts without shaping them.
        std::array<float, 256> regularAdvances{}, boldAdvances{};
        const QFont& font(bool isBold) const { return isBold ? bold : regular; }
        // The font that draws as large on a device of `dpi` under the layout's scaling.
        const QFont& paintFont(bool isBold, int dpi) const;
        mutable QFont paintRegular, paintBold;
        mutable int paintDpi = 0;
        const QFontMetricsF& metrics(bool isBold) const { return isBold ? *boldMetrics : *regularMetrics; }
        // The width of a Latin-1 text from its characters' advances, a little generous, or -1 for
        // other texts. Kerning only narrows a text, so a text this wide or less fits.
        double quickWidth(const QString& text, bool isBold) const;
        // The text's width: quick when it can be, shaped otherwise.
        double width(const QString& text, bool isBold) const;
    };
    // A table's columns, the fonts its rows are printed in and the height of its heading row.
    struct TableLook {
        Geometry geometry;
        Fonts fonts;
        double headingHeight = 0;
    };
    // Rows whose texts choose a table's font size.
    static constexpr int kSampleRows = 100;
    // The smallest a table's font is made to fit its texts, against the full line's size.
    static constexpr double kSmallestScale = 0.4;

    const Fonts& fontsFor(bool condensed) const { return condensed ? condensed_ : normal_; }
    Fonts makeFonts(int lineCharacters, double scale = 1.0) const;
    Geometry geometry(const std::vector<int>& widths, bool condensed) const;
    int lineCount(const QString& text, const Fonts& fonts, bool bold, double width) const;
    // A text wrapped to a width: its breakable form and where each line starts in it. Kept for
    // texts longer than a page, whose later lines are drawn on later pages.
    struct WrappedText {
        QString text;
        const Fonts* fonts;
        bool bold;
        double width;
        QString broken;
        std::vector<int> starts;
    };
    const WrappedText& wrapped(const QString& text, const Fonts& fonts, bool bold, double width) const;
    double cellsHeight(const QStringList& texts, const std::vector<bool>* bold, const Geometry& g,
                       const Fonts& fonts) const;
    const TableLook& tableLook(size_t block) const;
    // The height of the unit at `at`, without a repeated heading; measured once, then kept.
    double unitHeight(const Position& at) const;
    double measureUnit(const Position& at) const;
    const Fonts& unitFonts(const Position& at) const;
    // The text lines of the unit at `at`; 0 for a unit that is never split (an empty table).
    int unitLines(const Position& at) const;
    // Whether a table's heading goes above the unit at `at` on a page where it is not yet shown.
    bool needsHeading(const Position& at, bool headingOnPage) const;
    void advance(Position& at) const;
    // After a unit placed at y (its height already added): the next position and page state.
    void moveOn(Position& at, double& y, bool& headingOnPage) const;
    bool atEnd(const Position& at) const { return at.block >= document_->blocks().size(); }

    ReportLayout(std::shared_ptr<const ReportDocument> document, QSizeF page);
    // The lines shown of a row: `count` from `first` (all of them when the row stands whole).
    struct LineRange {
        constexpr LineRange(int from = 0, int lines = std::numeric_limits<int>::max()) : first(from), count(lines) {}
        int first;
        int count;
    };
    void drawCells(ReportCanvas& c, const QStringList& texts, const std::vector<bool>* bold,
                   const std::vector<std::uint8_t>* alignments, const ReportDocument::Table* table, int row,
                   const Geometry& g, const Fonts& fonts, double y, double height, bool grid, bool shaded,
                   LineRange lines = {}) const;
    // `oneLine`: the text is known to fit the box's width.
    void drawText(ReportCanvas& c, const QRectF& box, const QString& text, const Fonts& fonts, bool bold, int alignment,
                  bool oneLine = false, LineRange lines = {}) const;

    std::shared_ptr<const ReportDocument> document_;
    // Stands in for the device whenever text is measured: it has the layout's resolution.
    std::unique_ptr<QPaintDevice> measuring_;
    double pageWidth_ = 0, bodyHeight_ = 0, footerHeight_ = 0;
    Fonts normal_, condensed_;
    mutable std::vector<std::unique_ptr<TableLook>> tableLooks_; // per block, made on first use
    mutable std::vector<float> heights_;                         // per unit laid out
    mutable std::vector<WrappedText> wrapped_;
    std::vector<Position> pageStarts_;
    Position next_;
    double y_ = 0;
    bool headingOnPage_ = false;
    bool complete_ = false;
};

// Lays out and paints the pages firstPage..lastPage (from 1; lastPage 0: to the end) of a document
// on a paged device, one page after the other. False when the device cannot be painted on.
bool paintReport(const std::shared_ptr<const ReportDocument>& document, QPagedPaintDevice& device, int firstPage = 1,
                 int lastPage = 0);
