#include "report/PdfCanvas.h"

#include <cmath>
#include <limits>
#include <QGlyphRun>
#include <QTextLayout>

namespace {
constexpr float kUnknown = std::numeric_limits<float>::quiet_NaN();
constexpr float kNotSimple = std::numeric_limits<float>::infinity();
constexpr qsizetype kShapedTexts = 4096;

// Where the toolkit puts a text drawn at `value`: on its grid of 64ths of a unit, cut down.
double onGrid(double value) {
    return std::trunc(value * 64) / 64;
}

// Characters that may be shaped apart from their neighbours: Latin-1, less the controls and the
// soft hyphen (which the shaping hides or breaks at).
bool simpleCharacter(char16_t c) {
    return c >= 0x20 && c <= 0xff && !(c >= 0x7f && c <= 0x9f) && c != 0xad;
}

const char kHex[] = "0123456789ABCDEF";

// Whether a text needs its characters written beside its glyphs: printable ASCII reads back from
// the glyphs alone, as the report's fonts draw it without ligatures.
bool needsActualText(QStringView text) {
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return true;
    return false;
}

// A line of a wrapped text as it was stored, without the break opportunities added for wrapping.
QString storedText(const QString& laidOut, int start, int length) {
    QString text = laidOut.mid(start, length);
    text.remove(QChar(0x200B));
    return text;
}
} // namespace

struct PdfCanvas::Shaper {
    QFont font;
    struct Character {
        enum State : quint8 { Unknown, Simple, NotSimple } state = Unknown;
        int engine = -1;
        quint32 glyph = 0;
        quint16 number = 0;
    };
    std::array<Character, 256> characters{};
    // The distance from a character's glyph to the next one's, by the pair; NaN until shaped.
    std::vector<float> pairs = std::vector<float>(256 * 256, kUnknown);
    // What the font's letter spacing adds to each advance, as the shaping applies it.
    double spacing = 0;
    // Texts that are not simple, shaped once.
    QHash<QString, std::vector<Run>> shaped;
};

PdfCanvas::PdfCanvas(PdfFonts& fonts, QPaintDevice* measuring, int dpi, double gridWidth)
    : fonts_(fonts), measuring_(measuring), dpi_(dpi), gridWidth_(gridWidth) {}

PdfCanvas::~PdfCanvas() = default;

void PdfCanvas::number(double value) {
    appendPdfNumber(out_, value);
    out_ += ' ';
}

void PdfCanvas::beginPage() {
    out_.clear();
    out_ += fonts_.pagePrologue();
    // Text is filled black; grid lines are stroked black with square ends and bevelled joins.
    out_ += "/CSp cs 0 0 0 scn\n0 0 0 SCN\n";
    number(gridWidth_);
    out_ += "w 2 J 2 j []0  d\n";
}

void PdfCanvas::fillRect(const QRectF& rect, const QColor& color) {
    out_ += "q\n/CSp cs ";
    number(color.redF());
    number(color.greenF());
    number(color.blueF());
    out_ += "scn\n";
    number(rect.x());
    number(rect.y());
    number(rect.width());
    number(rect.height());
    out_ += "re\nf\nQ\n";
}

void PdfCanvas::strokeRect(const QRectF& rect) {
    number(rect.x());
    number(rect.y());
    number(rect.width());
    number(rect.height());
    out_ += "re\nS\n";
}

PdfCanvas::Shaper& PdfCanvas::shaper(const QFont& font) {
    if (lastShaper_ && lastShaper_->font == font)
        return *lastShaper_;
    for (auto& s : shapers_)
        if (s->font == font)
            return *(lastShaper_ = s.get());
    auto s = std::make_unique<Shaper>();
    s->font = font;
    // Two blanks are never kerned: what lies between them beyond the blank's advance is spacing.
    QTextLayout blanks(QStringLiteral("  "), font, measuring_);
    blanks.beginLayout();
    blanks.createLine();
    blanks.endLayout();
    const QList<QGlyphRun> runs = blanks.glyphRuns();
    if (runs.size() == 1 && runs[0].glyphIndexes().size() == 2) {
        const QList<QPointF> at = runs[0].positions();
        const QList<QPointF> advances = runs[0].rawFont().advancesForGlyphIndexes(runs[0].glyphIndexes());
        s->spacing = at[1].x() - at[0].x() - advances[0].x();
    }
    shapers_.push_back(std::move(s));
    return *(lastShaper_ = shapers_.back().get());
}

double PdfCanvas::advance(const Shaper& s, int engine, quint32 glyph) const {
    const QList<QPointF> advances = fonts_.engineAt(engine).raw.advancesForGlyphIndexes(QList<quint32>{glyph});
    return (advances.isEmpty() ? 0 : advances[0].x()) + s.spacing;
}

std::vector<PdfCanvas::Run> PdfCanvas::runsOf(const QTextLine& line, double spacing) {
    std::vector<Run> out;
    const double baseline = line.y() + line.ascent();
    for (const QGlyphRun& glyphRun : line.glyphRuns()) {
        Run run;
        run.engine = fonts_.engine(glyphRun.rawFont());
        if (run.engine < 0) {
            ok_ = false;
            continue;
        }
        const QList<quint32> glyphs = glyphRun.glyphIndexes();
        const QList<QPointF> at = glyphRun.positions();
        const QList<QPointF> advances = glyphRun.rawFont().advancesForGlyphIndexes(glyphs);
        for (qsizetype i = 0; i < glyphs.size(); ++i) {
            run.numbers.push_back(fonts_.glyphNumber(run.engine, glyphs[i], advances.value(i).x() + spacing));
            run.x.push_back(at[i].x() - line.x());
            run.y.push_back(at[i].y() - baseline);
        }
        out.push_back(std::move(run));
    }
    return out;
}

bool PdfCanvas::resolveCharacter(Shaper& s, char16_t c) {
    auto& ch = s.characters[c];
    ch.state = Shaper::Character::NotSimple;
    if (!simpleCharacter(c))
        return false;
    QTextLayout layout(QString(QChar(c)), s.font, measuring_);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = line.glyphRuns();
    if (runs.size() != 1 || runs[0].glyphIndexes().size() != 1 || runs[0].positions()[0] != QPointF(0, line.ascent()))
        return false;
    ch.engine = fonts_.engine(runs[0].rawFont());
    if (ch.engine < 0) {
        ok_ = false;
        return false;
    }
    ch.glyph = runs[0].glyphIndexes()[0];
    ch.number = fonts_.glyphNumber(ch.engine, ch.glyph, advance(s, ch.engine, ch.glyph));
    ch.state = Shaper::Character::Simple;
    return true;
}

float PdfCanvas::resolvePair(Shaper& s, char16_t a, char16_t b) {
    float& pair = s.pairs[size_t(a) * 256 + b];
    pair = kNotSimple;
    QTextLayout layout(QString(QChar(a)) + QChar(b), s.font, measuring_);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = line.glyphRuns();
    if (runs.size() != 1)
        return pair;
    const QList<quint32> glyphs = runs[0].glyphIndexes();
    const QList<QPointF> at = runs[0].positions();
    const auto& first = s.characters[a];
    const auto& second = s.characters[b];
    if (glyphs.size() != 2 || glyphs[0] != first.glyph || glyphs[1] != second.glyph ||
        fonts_.engine(runs[0].rawFont()) != first.engine || at[0] != QPointF(0, line.ascent()) ||
        at[1].y() != line.ascent())
        return pair;
    return pair = float(at[1].x());
}

void PdfCanvas::drawText(const QPointF& baseline, const QString& text, const QFont& font) {
    Shaper& s = shaper(font);
    const double x = onGrid(baseline.x()), y = onGrid(baseline.y());
    // Most texts: put together from their characters and pairs.
    Run& run = scratch_;
    run.numbers.clear();
    run.x.clear();
    run.y.clear();
    bool simple = !text.isEmpty();
    double at = 0;
    char16_t previous = 0;
    for (qsizetype i = 0; simple && i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c > 0xff) {
            simple = false;
            break;
        }
        auto& ch = s.characters[c];
        if ((ch.state == Shaper::Character::Unknown && !resolveCharacter(s, c)) ||
            ch.state != Shaper::Character::Simple || (i > 0 && ch.engine != run.engine)) {
            simple = false;
            break;
        }
        if (i > 0) {
            float step = s.pairs[size_t(previous) * 256 + c];
            if (std::isnan(step))
                step = resolvePair(s, previous, c);
            if (std::isinf(step)) {
                simple = false;
                break;
            }
            at += step;
        }
        run.engine = ch.engine;
        run.numbers.push_back(ch.number);
        run.x.push_back(at);
        run.y.push_back(0);
        previous = c;
    }
    if (simple) {
        show(&run, 1, x, y, text);
        return;
    }
    auto cached = s.shaped.constFind(text);
    if (cached == s.shaped.constEnd()) {
        // Names in other scripts repeat less than Latin cells do: the cache is bounded.
        if (s.shaped.size() >= kShapedTexts)
            s.shaped.clear();
        QTextLayout layout(text, font, measuring_);
        layout.beginLayout();
        const QTextLine line = layout.createLine();
        layout.endLayout();
        cached = s.shaped.insert(text, runsOf(line, s.spacing));
    }
    show(cached->data(), cached->size(), x, y, text);
}

void PdfCanvas::drawLayout(const QTextLayout& layout, const QPointF& topLeft, const QRectF& clip) {
    out_ += "q\n";
    number(clip.left());
    number(clip.top());
    out_ += "m\n";
    number(clip.right());
    number(clip.top());
    out_ += "l\n";
    number(clip.right());
    number(clip.bottom());
    out_ += "l\n";
    number(clip.left());
    number(clip.bottom());
    out_ += "l\n";
    number(clip.left());
    number(clip.top());
    out_ += "l\nh\nW* n\n";
    const double spacing = shaper(layout.font()).spacing;
    const double x = onGrid(topLeft.x()), y = onGrid(topLeft.y());
    const QString text = layout.text();
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        const std::vector<Run> runs = runsOf(line, spacing);
        show(runs.data(), runs.size(), x + line.x(), y + line.y() + line.ascent(),
             storedText(text, line.textStart(), line.textLength()));
    }
    out_ += "Q\n";
}

void PdfCanvas::drawText(const QRectF& box, int flags, const QString& text, const QFont& font) {
    // As the toolkit aligns a one-line text in a box.
    QTextLayout layout(text, font, measuring_);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(0x01000000);
    line.setPosition(QPointF(0, 0));
    layout.endLayout();
    const double height = line.height();
    const double advance = line.horizontalAdvance();
    double dx = 0, dy = 0;
    if (flags & Qt::AlignRight)
        dx = box.width() - advance;
    else if (flags & Qt::AlignHCenter)
        dx = (box.width() - advance) / 2;
    if (flags & Qt::AlignBottom)
        dy = box.height() - height;
    else if (flags & Qt::AlignVCenter)
        dy = (box.height() - height) / 2;
    const double x = onGrid(box.x() + dx), y = onGrid(box.y() + dy);
    const std::vector<Run> runs = runsOf(line, shaper(font).spacing);
    show(runs.data(), runs.size(), x, y + line.ascent(), text);
}

void PdfCanvas::show(const Run* runs, size_t count, double originX, double originY, QStringView text) {
    const bool actual = needsActualText(text);
    if (actual) {
        out_ += "/Span<</ActualText ";
        out_ += pdfTextString(text);
        out_ += ">>BDC\n";
    }
    for (size_t r = 0; r < count; ++r)
        showRun(runs[r], originX, originY, 0);
    if (actual)
        out_ += "EMC\n";
    // The second drawing of a made-up bold reads as nothing. Kept apart from the text's own span,
    // as a reader takes the innermost span for the text of all it holds.
    for (size_t r = 0; r < count; ++r)
        if (runs[r].engine >= 0 && fonts_.engineAt(runs[r].engine).emboldened) {
            out_ += "/Span << /ActualText <> >> BDC\n";
            showRun(runs[r], originX, originY, fonts_.engineAt(runs[r].engine).boldShift);
            out_ += "EMC\n";
        }
}

void PdfCanvas::showRun(const Run& run, double originX, double originY, double shift) {
    const size_t count = run.numbers.size();
    if (count == 0 || run.engine < 0)
        return;
    const PdfFonts::Engine& engine = fonts_.engineAt(run.engine);
    out_ += "BT\n/F";
    out_ += QByteArray::number(engine.resource);
    out_ += ' ';
    out_ += engine.sizeText;
    out_ += " Tf\n";
    showPass(run, originX, originY, shift, count);
    out_ += "ET\n";
}

void PdfCanvas::showPass(const Run& run, double originX, double originY, double shift, size_t count) {
    const PdfFonts::Engine& engine = fonts_.engineAt(run.engine);
    const PdfFonts::Resource& resource = fonts_.resource(engine.resource);
    const double size = engine.size;
    // The first glyph goes where the toolkit's figures put it; the rest follow from there.
    QByteArray startX, startY;
    appendPdfNumber(startX, originX + run.x[0] - shift);
    appendPdfNumber(startY, originY + run.y[0]);
    const double x0 = startX.toDouble(), y0 = startY.toDouble();
    size_t i = 0;
    while (i < count) {
        out_ += "1 0 0 -1 ";
        if (i == 0) {
            out_ += startX;
            out_ += ' ';
            out_ += startY;
        } else {
            out_ += QByteArray::number(x0 + (run.x[i] - run.x[0]), 'f', 10);
            out_ += ' ';
            out_ += QByteArray::number(y0 + (run.y[i] - run.y[0]), 'f', 10);
        }
        out_ += " Tm\n[<";
        for (;;) {
            const quint16 n = run.numbers[i];
            const char hex[4] = {kHex[n >> 12], kHex[(n >> 8) & 15], kHex[(n >> 4) & 15], kHex[n & 15]};
            out_.append(hex, 4);
            if (++i == count || run.y[i] != run.y[i - 1])
                break;
            // A position only where the glyph's width does not lead to the next glyph.
            const double width = resource.widths.value(n) * 0.001 * size;
            const double step = run.x[i] - run.x[i - 1];
            if (std::abs(width - step) > 1e-9) {
                out_ += "> ";
                QByteArray adjust = QByteArray::number((width - step) * 1000 / size, 'f', 9);
                while (adjust.endsWith('0'))
                    adjust.chop(1);
                out_ += adjust;
                out_ += " <";
            }
        }
        out_ += ">]TJ\n";
    }
}
