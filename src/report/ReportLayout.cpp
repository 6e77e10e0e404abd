#include "report/ReportLayout.h"

#include "report/ReportCanvas.h"

#include <algorithm>
#include <QElapsedTimer>
#include <QImage>
#include <QPagedPaintDevice>
#include <QPageLayout>
#include <QPainter>
#include <QTextLayout>

namespace {
constexpr int kLayoutDpi = ReportLayout::kLayoutDpi;
// A thin grid line, in points.
constexpr double kGridPoints = 0.5;
constexpr double kReferencePoints = 10;
const QColor kHeadingShade(225, 225, 225);

Qt::Alignment horizontal(int alignment) {
    return alignment == 1 ? Qt::AlignHCenter : alignment == 2 ? Qt::AlignRight : Qt::AlignLeft;
}

// A device of the layout's resolution for font metrics and text layouts.
std::unique_ptr<QPaintDevice> measuringDevice() {
    auto image = std::make_unique<QImage>(1, 1, QImage::Format_RGB32);
    const int dotsPerMeter = int(std::lround(kLayoutDpi / 0.0254));
    image->setDotsPerMeterX(dotsPerMeter);
    image->setDotsPerMeterY(dotsPerMeter);
    return image;
}

// The printable area in layout units: taken from the page set-up where the device has one, so
// that devices of different resolutions get exactly the same size.
QSizeF layoutPageSize(QPaintDevice* device) {
    if (auto* paged = dynamic_cast<QPagedPaintDevice*>(device))
        return paged->pageLayout().paintRectPixels(kLayoutDpi).size();
    return QSizeF(device->width() * double(kLayoutDpi) / device->logicalDpiX(),
                  device->height() * double(kLayoutDpi) / device->logicalDpiY());
}

// The longest run of characters with no place to break that is laid out as it is. Wrapping a
// word longer than its line costs time in proportion to the square of its length, so longer
// runs get a break opportunity (a zero-width space) every so many characters first; a run this
// long fills any line the report has, so only text that wraps anyway is affected.
constexpr qsizetype kLongestRun = 400;
const QChar kZeroWidthSpace(0x200B);

QString breakable(const QString& text) {
    if (text.size() <= kLongestRun)
        return text;
    QString out;
    qsizetype run = 0;
    for (QChar c : text) {
        if (c.isSpace() || c == kZeroWidthSpace || c == QLatin1Char('-'))
            run = 0;
        else if (++run > kLongestRun) {
            out += kZeroWidthSpace;
            run = 1;
        }
        out += c;
    }
    return out;
}

QTextOption wrapping(Qt::Alignment alignment = Qt::AlignLeft) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setAlignment(alignment);
    return option;
}
} // namespace

ReportLayout::ReportLayout(std::shared_ptr<const ReportDocument> document, QPaintDevice* device)
    : ReportLayout(std::move(document), layoutPageSize(device)) {}

ReportLayout::ReportLayout(std::shared_ptr<const ReportDocument> document, const QPageLayout& page)
    : ReportLayout(std::move(document), QSizeF(page.paintRectPixels(kLayoutDpi).size())) {}

ReportLayout::ReportLayout(std::shared_ptr<const ReportDocument> document, QSizeF page)
    : document_(std::move(document)), measuring_(measuringDevice()) {
    pageWidth_ = page.width();
    normal_ = makeFonts(ReportDocument::kNormalLine);
    condensed_ = makeFonts(std::max(document_->condensedLine, 1));
    footerHeight_ = condensed_.lineHeight * 2;
    bodyHeight_ = std::max(page.height() - footerHeight_, condensed_.lineHeight * 4);
    tableLooks_.resize(document_->blocks().size());
    pageStarts_.push_back({});
}

ReportLayout::~ReportLayout() = default;

double ReportLayout::gridWidth() {
    return kGridPoints * kLayoutDpi / 72.0;
}

ReportLayout::Fonts ReportLayout::makeFonts(int lineCharacters, double scale) const {
    // The font whose average character fills the page's width in `lineCharacters` characters.
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(kReferencePoints);
    const double average = QFontMetricsF(font, measuring_.get()).averageCharWidth();
    const double wanted = pageWidth_ / lineCharacters;
    font.setPointSizeF(std::clamp(kReferencePoints * wanted / std::max(average, 0.01) * scale, 4.0, 24.0));
    // A trace of letter spacing turns the Latin ligatures off, so that a PDF's text reads back, and
    // is searched, letter for letter; scripts that need their ligatures keep them.
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.05);
    Fonts f;
    f.regular = font;
    f.bold = font;
    f.bold.setBold(true);
    f.regularMetrics.emplace(f.regular, measuring_.get());
    f.boldMetrics.emplace(f.bold, measuring_.get());
    for (int c = 0; c < 256; ++c) {
        f.regularAdvances[size_t(c)] = float(f.regularMetrics->horizontalAdvance(QChar(c)));
        f.boldAdvances[size_t(c)] = float(f.boldMetrics->horizontalAdvance(QChar(c)));
    }
    f.lineHeight = f.regularMetrics->lineSpacing();
    f.padX = f.regularMetrics->averageCharWidth() * 0.35;
    f.padY = f.lineHeight * 0.18;
    return f;
}

double ReportLayout::Fonts::quickWidth(const QString& text, bool isBold) const {
    const auto& advances = isBold ? boldAdvances : regularAdvances;
    double sum = 0;
    for (QChar c : text) {
        // Control characters never reach here; anything past Latin-1 may need shaping.
        if (c.unicode() > 255)
            return -1;
        sum += advances[c.unicode()];
    }
    return sum * 1.02 + text.size() * 0.1 + 1;
}

const QFont& ReportLayout::Fonts::paintFont(bool isBold, int dpi) const {
    if (dpi != paintDpi) {
        // The painter is scaled by dpi / kLayoutDpi, so the font shrinks by the inverse: its
        // glyphs then come from the very size the layout measured.
        paintDpi = dpi;
        paintRegular = regular;
        paintBold = bold;
        paintRegular.setPointSizeF(regular.pointSizeF() * kLayoutDpi / dpi);
        paintBold.setPointSizeF(bold.pointSizeF() * kLayoutDpi / dpi);
    }
    return isBold ? paintBold : paintRegular;
}

double ReportLayout::Fonts::width(const QString& text, bool isBold) const {
    const double quick = quickWidth(text, isBold);
    return quick >= 0 ? quick : metrics(isBold).horizontalAdvance(text);
}

ReportLayout::Geometry ReportLayout::geometry(const std::vector<int>& widths, bool condensed) const {
    const double character = pageWidth_ / (condensed ? document_->condensedLine : ReportDocument::kNormalLine);
    Geometry g;
    double total = 0;
    for (int w : widths) {
        g.width.push_back(w * character);
        total += w * character;
    }
    // Wider than the page: shrink to fit. Narrower: centre on the page. The grid's lines are drawn
    // on the cell edges, so half a line on either side must stay on the page too.
    const double line = kGridPoints * kLayoutDpi / 72.0;
    const double room = pageWidth_ - line;
    const double scale = total > room ? room / total : 1.0;
    double x = total > room ? line / 2 : (pageWidth_ - total) / 2;
    for (double& w : g.width) {
        w *= scale;
        g.x.push_back(x);
        x += w;
    }
    return g;
}

const ReportLayout::TableLook& ReportLayout::tableLook(size_t block) const {
    auto& slot = tableLooks_[block];
    if (slot)
        return *slot;
    const auto& t = std::get<ReportDocument::Table>(document_->blocks()[block]);
    slot = std::make_unique<TableLook>();
    slot->geometry = geometry(t.widths, t.condensed);
    // Columns drawn in proportion to the list's widths hold the list's texts when the font is
    // about as large against the page as the list's is against its window. The font shrinks (to no
    // less than 0.4 of the line's size) until the heading and the first rows fit; longer texts wrap.
    const Fonts& line = fontsFor(t.condensed);
    double scale = 1.0;
    auto fit = [&](const QString& text, int column, bool bold) {
        const double advance = line.metrics(bold).horizontalAdvance(text);
        const double room = slot->geometry.width[size_t(column)] - 2 * line.padX;
        if (advance > 0 && room > 0 && room < advance * scale)
            scale = room / advance;
    };
    for (int k = 0; k < t.columns; ++k) {
        if (t.hasHeading)
            fit(t.heading.texts[k], k, true);
        for (int r = 0; r < std::min(t.rows(), kSampleRows); ++r)
            fit(t.cell(r, k), k, false);
    }
    slot->fonts = makeFonts(t.condensed ? document_->condensedLine : ReportDocument::kNormalLine,
                            std::max(scale, kSmallestScale));
    if (t.hasHeading)
        slot->headingHeight = cellsHeight(t.heading.texts, &t.heading.bold, slot->geometry, slot->fonts);
    return *slot;
}

int ReportLayout::lineCount(const QString& text, const Fonts& fonts, bool bold, double width) const {
    if (text.isEmpty())
        return 1;
    const double quick = fonts.quickWidth(text, bold);
    if ((quick >= 0 && quick <= width) || fonts.metrics(bold).horizontalAdvance(text) <= width)
        return 1;
    QTextLayout layout(breakable(text), fonts.font(bold), measuring_.get());
    layout.setTextOption(wrapping());
    layout.beginLayout();
    int lines = 0;
    // A line once made must be laid out here, or the layout puts the rest of the text on it.
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(std::max(width, 1.0));
        ++lines;
    }
    layout.endLayout();
    // A text longer than a page keeps where its lines start, for the pages it continues on.
    if (lines > int(bodyHeight_ / fonts.lineHeight))
        wrapped(text, fonts, bold, width);
    return std::max(lines, 1);
}

const ReportLayout::WrappedText& ReportLayout::wrapped(const QString& text, const Fonts& fonts, bool bold,
                                                       double width) const {
    for (const WrappedText& known : wrapped_)
        if (std::abs(known.width - width) < 1e-6 && known.bold == bold && known.fonts == &fonts &&
            (known.text.isSharedWith(text) || known.text == text))
            return known;
    // Reports rarely hold more than a few such texts; a report of many starts the list again.
    if (wrapped_.size() >= 64)
        wrapped_.clear();
    WrappedText entry{text, &fonts, bold, width, breakable(text), {}};
    QTextLayout layout(entry.broken, fonts.font(bold), measuring_.get());
    layout.setTextOption(wrapping());
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(std::max(width, 1.0));
        entry.starts.push_back(line.textStart());
    }
    layout.endLayout();
    wrapped_.push_back(std::move(entry));
    return wrapped_.back();
}

double ReportLayout::cellsHeight(const QStringList& texts, const std::vector<bool>* bold, const Geometry& g,
                                 const Fonts& fonts) const {
    int lines = 1;
    for (int k = 0; k < texts.size() && k < int(g.width.size()); ++k)
        lines = std::max(lines,
                         lineCount(texts[k], fonts, bold && (*bold)[size_t(k)], g.width[size_t(k)] - 2 * fonts.padX));
    return lines * fonts.lineHeight + 2 * fonts.padY;
}

double ReportLayout::measureUnit(const Position& at) const {
    const auto& block = document_->blocks()[at.block];
    if (const auto* row = std::get_if<ReportDocument::FreeRow>(&block))
        return cellsHeight(row->cells.texts, &row->cells.bold, geometry(row->cells.widths, row->condensed),
                           fontsFor(row->condensed));
    if (const auto* line = std::get_if<ReportDocument::TextLine>(&block)) {
        const Fonts& fonts = fontsFor(line->condensed);
        return lineCount(line->text, fonts, line->bold, pageWidth_) * fonts.lineHeight + 2 * fonts.padY;
    }
    const auto& t = std::get<ReportDocument::Table>(block);
    const TableLook& look = tableLook(at.block);
    if (t.rows() == 0)
        return look.headingHeight;
    int lines = 1;
    for (int k = 0; k < t.columns; ++k)
        lines = std::max(lines, lineCount(t.cell(at.row, k), look.fonts, false,
                                          look.geometry.width[size_t(k)] - 2 * look.fonts.padX));
    return lines * look.fonts.lineHeight + 2 * look.fonts.padY;
}

const ReportLayout::Fonts& ReportLayout::unitFonts(const Position& at) const {
    const auto& block = document_->blocks()[at.block];
    if (const auto* row = std::get_if<ReportDocument::FreeRow>(&block))
        return fontsFor(row->condensed);
    if (const auto* line = std::get_if<ReportDocument::TextLine>(&block))
        return fontsFor(line->condensed);
    return tableLook(at.block).fonts;
}

int ReportLayout::unitLines(const Position& at) const {
    const auto* t = std::get_if<ReportDocument::Table>(&document_->blocks()[at.block]);
    if (t && t->rows() == 0)
        return 0;
    const Fonts& fonts = unitFonts(at);
    return std::max(1, int(std::lround((unitHeight(at) - 2 * fonts.padY) / fonts.lineHeight)));
}

double ReportLayout::unitHeight(const Position& at) const {
    if (at.unit < heights_.size())
        return heights_[at.unit];
    const double h = measureUnit(at);
    if (at.unit == heights_.size())
        heights_.push_back(float(h));
    return h;
}

bool ReportLayout::needsHeading(const Position& at, bool headingOnPage) const {
    const auto* t = std::get_if<ReportDocument::Table>(&document_->blocks()[at.block]);
    // An empty table's one unit is its heading.
    return t && t->hasHeading && t->rows() > 0 && !headingOnPage;
}

void ReportLayout::advance(Position& at) const {
    ++at.unit;
    const auto* t = std::get_if<ReportDocument::Table>(&document_->blocks()[at.block]);
    if (t && at.row + 1 < t->rows()) {
        ++at.row;
        return;
    }
    ++at.block;
    at.row = 0;
}

void ReportLayout::moveOn(Position& at, double& y, bool& headingOnPage) const {
    headingOnPage = true;
    const size_t block = at.block;
    advance(at);
    // A little space between blocks; the next table shows its own heading.
    if (at.block != block) {
        headingOnPage = false;
        y += normal_.padY * 2;
    }
}

int ReportLayout::knownPages() const {
    return complete_ ? int(pageStarts_.size()) : int(pageStarts_.size()) - 1;
}

int ReportLayout::layOutPages(int pages) {
    while (!complete_ && knownPages() < pages) {
        if (atEnd(next_)) {
            complete_ = true;
            break;
        }
        const int lines = unitLines(next_);
        const Fonts& fonts = unitFonts(next_);
        const double height =
            next_.line > 0 ? (lines - next_.line) * fonts.lineHeight + 2 * fonts.padY : unitHeight(next_);
        const double heading = needsHeading(next_, headingOnPage_) ? tableLook(next_.block).headingHeight : 0;
        if (y_ > 0 && y_ + heading + height > bodyHeight_) {
            pageStarts_.push_back(next_);
            y_ = 0;
            headingOnPage_ = false;
            continue;
        }
        // A unit taller than an empty page fills it and continues on the next.
        if (heading + height > bodyHeight_ && lines > 0) {
            const int fit = std::max(1, int((bodyHeight_ - heading - 2 * fonts.padY) / fonts.lineHeight));
            if (next_.line + fit < lines) {
                next_.line += fit;
                pageStarts_.push_back(next_);
                y_ = 0;
                headingOnPage_ = false;
                continue;
            }
        }
        y_ += heading + height;
        next_.line = 0;
        moveOn(next_, y_, headingOnPage_);
    }
    return knownPages();
}

bool ReportLayout::layOutFor(int budgetMs) {
    QElapsedTimer timer;
    timer.start();
    while (!complete_ && timer.elapsed() < budgetMs)
        layOutPages(knownPages() + 1);
    return complete_;
}

void ReportLayout::drawText(ReportCanvas& c, const QRectF& box, const QString& text, const Fonts& fonts, bool bold,
                            int alignment, bool oneLine, LineRange lines) const {
    if (text.isEmpty() || lines.count <= 0)
        return;
    QString shown;
    if (lines.first > 0) {
        // A later page of a continued row: the text's lines from `first` on, wrapped again from the
        // start of the first of them, which gives the same lines.
        const WrappedText& w = wrapped(text, fonts, bold, box.width());
        if (size_t(lines.first) >= w.starts.size())
            return;
        const size_t end = size_t(lines.first) + size_t(lines.count);
        const qsizetype from = w.starts[size_t(lines.first)];
        shown = w.broken.mid(from, end < w.starts.size() ? w.starts[end] - from : -1);
    } else {
        const QFontMetricsF& metrics = fonts.metrics(bold);
        // A text on one line is drawn at its base line directly: the common case, kept cheap.
        double advance = 0;
        if (!oneLine) {
            const double quick = fonts.quickWidth(text, bold);
            advance = quick >= 0 && quick <= box.width() ? quick : metrics.horizontalAdvance(text);
        } else if (alignment != 0) {
            advance = fonts.width(text, bold);
        }
        if (oneLine || advance <= box.width()) {
            const double x = alignment == 1   ? box.left() + (box.width() - advance) / 2
                             : alignment == 2 ? box.right() - advance
                                              : box.left();
            c.drawText(QPointF(x, box.top() + metrics.ascent()), text, fonts.paintFont(bold, c.dpi()));
            return;
        }
        shown = breakable(text);
    }
    QTextLayout layout(shown, fonts.font(bold), measuring_.get());
    layout.setTextOption(wrapping(horizontal(alignment)));
    layout.beginLayout();
    // Lines below the box are not laid out: they are on a later page, or clipped away.
    double y = 0;
    for (int made = 0; made < lines.count && y < box.height(); ++made) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(std::max(box.width(), 1.0));
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    c.drawLayout(layout, box.topLeft(), box.adjusted(-1, 0, 1, 0));
}

void ReportLayout::drawCells(ReportCanvas& c, const QStringList& texts, const std::vector<bool>* bold,
                             const std::vector<std::uint8_t>* alignments, const ReportDocument::Table* table, int row,
                             const Geometry& g, const Fonts& fonts, double y, double height, bool grid, bool shaded,
                             LineRange lines) const {
    // A row one line high has no cell that wraps.
    const bool oneLine =
        lines.first == 0 && lines.count == LineRange().count && height <= fonts.lineHeight + 2 * fonts.padY + 0.01;
    for (size_t k = 0; k < g.width.size(); ++k) {
        const QRectF cell(g.x[k], y, g.width[k], height);
        if (shaded)
            c.fillRect(cell, kHeadingShade);
        if (grid)
            c.strokeRect(cell);
        const QString text = table ? table->cell(row, int(k)) : k < size_t(texts.size()) ? texts[int(k)] : QString();
        const int alignment = table ? table->alignment(row, int(k)) : (*alignments)[k];
        drawText(c, cell.adjusted(fonts.padX, fonts.padY, -fonts.padX, -fonts.padY), text, fonts, bold && (*bold)[k],
                 alignment, oneLine, lines);
    }
}

void ReportLayout::paintPage(QPainter& p, int page) const {
    if (page < 0 || page >= knownPages())
        return;
    PainterCanvas canvas(p, kLayoutDpi, gridWidth());
    paintPage(canvas, page);
}

void ReportLayout::paintPage(ReportCanvas& canvas, int page) const {
    if (page < 0 || page >= knownPages())
        return;
    const bool lastPage = size_t(page) + 1 >= pageStarts_.size();
    const Position end = lastPage ? Position{} : pageStarts_[size_t(page) + 1];
    Position at = pageStarts_[size_t(page)];
    double y = 0;
    bool headingOnPage = false;
    while (!atEnd(at) && (lastPage || at.before(end))) {
        // A unit split over pages shows the lines up to the next page's start.
        const bool continues = !lastPage && at.unit == end.unit;
        const int total = unitLines(at);
        const bool whole = at.line == 0 && !continues;
        const LineRange lines =
            whole ? LineRange{} : LineRange{at.line, continues ? end.line - at.line : total - at.line};
        const Fonts& fonts = unitFonts(at);
        const double height = whole ? unitHeight(at) : lines.count * fonts.lineHeight + 2 * fonts.padY;
        const auto& block = document_->blocks()[at.block];
        if (const auto* row = std::get_if<ReportDocument::FreeRow>(&block)) {
            drawCells(canvas, row->cells.texts, &row->cells.bold, &row->cells.alignments, nullptr, 0,
                      geometry(row->cells.widths, row->condensed), fonts, y, height, false, false, lines);
            y += height;
        } else if (const auto* line = std::get_if<ReportDocument::TextLine>(&block)) {
            drawText(canvas, QRectF(0, y + fonts.padY, pageWidth_, height), line->text, fonts, line->bold, 0, false,
                     lines);
            y += height;
        } else {
            const auto& t = std::get<ReportDocument::Table>(block);
            const TableLook& look = tableLook(at.block);
            if (t.hasHeading && (t.rows() == 0 || !headingOnPage)) {
                drawCells(canvas, t.heading.texts, &t.heading.bold, &t.heading.alignments, nullptr, 0, look.geometry,
                          look.fonts, y, look.headingHeight, true, true);
                y += look.headingHeight;
            }
            if (t.rows() > 0) {
                drawCells(canvas, {}, nullptr, nullptr, &t, at.row, look.geometry, look.fonts, y, height, true, false,
                          lines);
                y += height;
            }
        }
        if (continues)
            break;
        at.line = 0;
        moveOn(at, y, headingOnPage);
    }
    // Page number at the foot of the page; the count once the whole report is laid out.
    const QString number = complete_ ? QStringLiteral("Page %1 of %2").arg(page + 1).arg(knownPages())
                                     : QStringLiteral("Page %1").arg(page + 1);
    canvas.drawText(QRectF(0, bodyHeight_ + condensed_.lineHeight * 0.5, pageWidth_, condensed_.lineHeight * 1.5),
                    int(Qt::AlignHCenter | Qt::AlignBottom), number, condensed_.paintFont(false, canvas.dpi()));
}

bool paintReport(const std::shared_ptr<const ReportDocument>& document, QPagedPaintDevice& device, int firstPage,
                 int lastPage) {
    ReportLayout layout(document, &device);
    // Printed pages carry the page count, so the whole report is laid out first.
    layout.layOutAll();
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const int last = lastPage > 0 ? std::min(lastPage, layout.knownPages()) : layout.knownPages();
    for (int page = std::max(firstPage, 1) - 1; page < last; ++page) {
        if (page >= std::max(firstPage, 1))
            device.newPage();
        layout.paintPage(painter, page);
    }
    return painter.end();
}
