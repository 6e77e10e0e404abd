#pragma once

#include "report/PdfFonts.h"
#include "report/ReportCanvas.h"

#include <array>
#include <memory>
#include <QHash>
#include <vector>

class QPaintDevice;
class QTextLine;

// Paints report pages as PDF page content. Texts are shaped by the toolkit, as it shapes them to
// paint, and put where it puts them; a text of Latin-1 characters is put together from the
// shaping of its characters and of their pairs, which the report's texts share by the thousand,
// and other texts are shaped once each. A text whose glyphs do not read back as its characters
// (shaped scripts such as Devanagari, where glyphs stand for clusters or are reordered) carries
// the characters along, so that it is copied and searched as stored.
class PdfCanvas : public ReportCanvas {
public:
    // `measuring` is a device of the layout's resolution `dpi`.
    PdfCanvas(PdfFonts& fonts, QPaintDevice* measuring, int dpi, double gridWidth);
    ~PdfCanvas() override;

    // Starts a new page's content.
    void beginPage();
    const QByteArray& content() const { return out_; }
    // False once a text came in a font that cannot be written this way.
    bool ok() const { return ok_ && fonts_.ok(); }

    int dpi() const override { return dpi_; }
    void fillRect(const QRectF& rect, const QColor& color) override;
    void strokeRect(const QRectF& rect) override;
    void drawText(const QPointF& baseline, const QString& text, const QFont& font) override;
    void drawLayout(const QTextLayout& layout, const QPointF& topLeft, const QRectF& clip) override;
    void drawText(const QRectF& box, int flags, const QString& text, const QFont& font) override;

private:
    // Glyphs of one font, placed from an origin: x along the base line, y below it.
    struct Run {
        int engine = -1;
        std::vector<quint16> numbers;
        std::vector<double> x, y;
    };
    struct Shaper;
    Shaper& shaper(const QFont& font);
    bool resolveCharacter(Shaper& s, char16_t c);
    float resolvePair(Shaper& s, char16_t a, char16_t b);
    // The runs of one laid out line, placed from the line's origin.
    std::vector<Run> runsOf(const QTextLine& line, double spacing);
    double advance(const Shaper& s, int engine, quint32 glyph) const;
    // Shows runs from one origin; `text` is what they read as, where their glyphs would not tell.
    void show(const Run* runs, size_t count, double originX, double originY, QStringView text);
    void showRun(const Run& run, double originX, double originY, double shift);
    void showPass(const Run& run, double originX, double originY, double shift, size_t count);
    void number(double value);

    PdfFonts& fonts_;
    QPaintDevice* measuring_;
    int dpi_;
    double gridWidth_;
    std::vector<std::unique_ptr<Shaper>> shapers_;
    Shaper* lastShaper_ = nullptr;
    Run scratch_;
    QByteArray out_;
    bool ok_ = true;
};
