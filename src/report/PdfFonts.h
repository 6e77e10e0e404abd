#pragma once

#include "report/PdfFile.h"

#include <QByteArray>
#include <QHash>
#include <QPageLayout>
#include <QRawFont>
#include <QString>
#include <vector>

// The fonts of a report's PDF. Glyphs are numbered per font file in the order they are first
// shown, and each file is embedded at the end as the toolkit embeds it for the glyphs shown: the
// same outlines, widths and text mapping, so that the pages look and read back as the toolkit's
// own PDF does. Each size of a file gets its own font resource, whose glyph widths are the
// advances at that size, so that a run of text needs a position only where it is kerned.
class PdfFonts {
public:
    // One font of the toolkit at one size, as the text shaping hands it out.
    struct Engine {
        QRawFont raw;
        int face = 0;
        int resource = 0;
        QByteArray sizeText; // the size as the text operators give it
        double size = 0;
        // A bold the toolkit makes by drawing the glyphs twice, the second time shifted left.
        bool emboldened = false;
        double boldShift = 0;
    };
    struct Resource {
        int face = 0;
        double size = 0;
        int object = 0;
        QHash<quint16, QByteArray> widthTexts; // by glyph number, in thousandths of the size
        QHash<quint16, double> widths;         // the same, as a reader takes them
    };

    PdfFonts(PdfFile& file, const QPageLayout& page);
    // False when a font cannot be written this way (the toolkit would draw its glyphs as outlines).
    bool ok() const { return ok_; }
    // What goes before the drawing on every page: the page's coordinate system in layout units.
    const QByteArray& pagePrologue() const { return prologue_; }

    // The engine of a glyph run's font, probed on first sight; -1 when it cannot be used.
    int engine(const QRawFont& raw);
    const Engine& engineAt(int index) const { return engines_[size_t(index)]; }
    const Resource& resource(int index) const { return resources_[size_t(index)]; }
    // The number a glyph of an engine's font is shown by; its width noted at the engine's size
    // as `advance` (the distance to the next glyph when no kerning intervenes).
    quint16 glyphNumber(int engine, quint32 glyph, double advance);
    int resourceCount() const { return int(resources_.size()); }

    // Writes the font files and the font resources; false when the toolkit's fonts are unreadable.
    bool finish();

private:
    struct Face {
        QString key;
        QRawFont raw;
        QHash<quint32, quint16> numbers; // glyph -> number
        std::vector<quint32> glyphs;     // by number - 1
    };
    bool probe(Engine& engine);
    bool writeFace(const Face& face, int index);

    PdfFile& file_;
    QPageLayout page_;
    QByteArray prologue_;
    std::vector<Engine> engines_;
    std::vector<Face> faces_;
    std::vector<Resource> resources_;
    bool ok_ = true;
};
