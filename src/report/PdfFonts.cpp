#include "report/PdfFonts.h"

#include "report/PdfReader.h"

#include <QBuffer>
#include <QGlyphRun>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>

namespace {
// A one-page PDF of the given glyphs in the toolkit's own writer.
QByteArray toolkitPdf(const QPageLayout& page, const QRawFont& raw, const std::vector<quint32>& glyphs) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(page);
        writer.setResolution(600);
        QPainter painter(&writer);
        if (!glyphs.empty()) {
            QGlyphRun run;
            run.setRawFont(raw);
            run.setGlyphIndexes(QList<quint32>(glyphs.begin(), glyphs.end()));
            run.setPositions(QList<QPointF>(qsizetype(glyphs.size()), QPointF()));
            painter.drawGlyphRun(QPointF(0, 0), run);
        }
    }
    return buffer.data();
}

// The content of a toolkit PDF's first page, and the number of its font resource if it has one.
QByteArray firstPage(const PdfReader& pdf, int* font = nullptr) {
    static const QRegularExpression contents(QStringLiteral("/Contents\\s+(\\d+)\\s+0\\s+R"));
    static const QRegularExpression resources(QStringLiteral("/Resources\\s+(\\d+)\\s+0\\s+R"));
    static const QRegularExpression fonts(QStringLiteral("/Font\\s*<<\\s*/F\\d+\\s+(\\d+)\\s+0\\s+R"));
    for (int number = 1; number < 64; ++number) {
        const QString dict = QString::fromLatin1(pdf.dictionary(number));
        if (!dict.contains(QLatin1String("/Type /Page\n")) && !dict.contains(QLatin1String("/Type /Page ")))
            continue;
        if (font) {
            const auto res = resources.match(dict);
            const auto f = res.hasMatch() ? fonts.match(QString::fromLatin1(pdf.dictionary(res.captured(1).toInt())))
                                          : QRegularExpressionMatch();
            *font = f.hasMatch() ? f.captured(1).toInt() : 0;
        }
        const auto c = contents.match(dict);
        return c.hasMatch() ? pdf.streamData(c.captured(1).toInt()) : QByteArray();
    }
    return {};
}

int referenceAfter(const QByteArray& dictionary, const char* key) {
    const QRegularExpression entry(QLatin1String(key) + QStringLiteral("\\s*\\[?\\s*(\\d+)\\s+0\\s+R"));
    const auto m = entry.match(QString::fromLatin1(dictionary));
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

QByteArray width(double value) {
    QByteArray text = QByteArray::number(value, 'f', 9);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text;
}
} // namespace

PdfFonts::PdfFonts(PdfFile& file, const QPageLayout& page) : file_(file), page_(page) {
    // The toolkit's page set-up, taken from an empty page of its own.
    const QByteArray content = firstPage(PdfReader(toolkitPdf(page_, QRawFont(), {})));
    const qsizetype end = content.indexOf(" cm\n");
    ok_ = end > 0;
    prologue_ = content.left(end + 4);
}

int PdfFonts::engine(const QRawFont& raw) {
    for (size_t i = 0; i < engines_.size(); ++i)
        if (engines_[i].raw == raw)
            return int(i);
    Engine e;
    e.raw = raw;
    if (!probe(e)) {
        ok_ = false;
        return -1;
    }
    const QString key = raw.familyName() + QLatin1Char('\n') + raw.styleName();
    e.face = -1;
    for (size_t i = 0; i < faces_.size(); ++i)
        if (faces_[i].key == key)
            e.face = int(i);
    if (e.face < 0) {
        e.face = int(faces_.size());
        faces_.push_back({key, raw, {}, {}});
    }
    e.resource = -1;
    for (size_t i = 0; i < resources_.size(); ++i)
        if (resources_[i].face == e.face && resources_[i].size == e.size)
            e.resource = int(i);
    if (e.resource < 0) {
        e.resource = int(resources_.size());
        resources_.push_back({e.face, e.size, file_.reserve(), {}, {}});
    }
    engines_.push_back(e);
    return int(engines_.size()) - 1;
}

bool PdfFonts::probe(Engine& e) {
    // How the toolkit writes text in this font: its size, and whether it draws a bold twice.
    const QByteArray content = firstPage(PdfReader(toolkitPdf(page_, e.raw, {1})));
    static const QRegularExpression font(QStringLiteral("/F\\d+ (\\S+) Tf (\\S+) 0 0 -1 0 0 Tm\\n"));
    const auto m = font.match(QString::fromLatin1(content));
    if (!m.hasMatch() || m.captured(2) != QLatin1String("1"))
        return false;
    e.sizeText = m.captured(1).toLatin1();
    e.size = e.sizeText.toDouble();
    const qsizetype second = content.indexOf("/ActualText <> >> BDC\n");
    e.emboldened = second >= 0;
    if (e.emboldened) {
        const QByteArray move = content.mid(second + 22, content.indexOf('\n', second + 22) - second - 22);
        e.boldShift = -move.split(' ').value(0).toDouble();
    }
    return e.size > 0;
}

quint16 PdfFonts::glyphNumber(int engineIndex, quint32 glyph, double advance) {
    const Engine& e = engines_[size_t(engineIndex)];
    Face& face = faces_[size_t(e.face)];
    quint16 number = 0;
    if (glyph != 0) {
        auto found = face.numbers.constFind(glyph);
        if (found == face.numbers.constEnd()) {
            face.glyphs.push_back(glyph);
            found = face.numbers.insert(glyph, quint16(face.glyphs.size()));
        }
        number = *found;
    }
    Resource& r = resources_[size_t(e.resource)];
    if (!r.widths.contains(number)) {
        const QByteArray text = width(advance * 1000 / e.size);
        r.widthTexts.insert(number, text);
        r.widths.insert(number, text.toDouble());
    }
    return number;
}

bool PdfFonts::finish() {
    for (size_t i = 0; i < faces_.size(); ++i)
        if (!writeFace(faces_[i], int(i)))
            return false;
    return true;
}

bool PdfFonts::writeFace(const Face& face, int index) {
    // A font only its missing-glyph sign was shown in still gets that glyph embedded.
    const PdfReader pdf(toolkitPdf(page_, face.raw, face.glyphs.empty() ? std::vector<quint32>{0} : face.glyphs));
    int type0 = 0;
    const QByteArray content = pdf.valid() ? firstPage(pdf, &type0) : QByteArray();
    // The toolkit numbers the glyphs in the order shown, as this writer did.
    static const QRegularExpression shown(QStringLiteral("<([0-9A-F]{4})> Tj"));
    int expected = 1;
    for (auto it = shown.globalMatch(QString::fromLatin1(content)); it.hasNext() && expected <= int(face.glyphs.size());
         ++expected)
        if (it.next().captured(1).toInt(nullptr, 16) != expected)
            return false;
    if (type0 == 0 || expected != int(face.glyphs.size()) + 1)
        return false;
    const QByteArray type0Dict = pdf.dictionary(type0);
    const int descendant = referenceAfter(type0Dict, "/DescendantFonts");
    const QByteArray cidDict = pdf.dictionary(descendant);
    static const QRegularExpression baseFont(QStringLiteral("/BaseFont\\s*/(\\S+)"));
    const auto name = baseFont.match(QString::fromLatin1(cidDict));
    QHash<int, int> copied;
    const int descriptor = file_.copyFrom(pdf, referenceAfter(cidDict, "/FontDescriptor"), copied);
    const int toUnicode = file_.copyFrom(pdf, referenceAfter(type0Dict, "/ToUnicode"), copied);
    if (!name.hasMatch() || descriptor == 0 || toUnicode == 0)
        return false;
    const QByteArray base = name.captured(1).toLatin1();
    for (const Resource& r : resources_) {
        if (r.face != index)
            continue;
        QList<quint16> numbers = r.widthTexts.keys();
        std::sort(numbers.begin(), numbers.end());
        QByteArray widths;
        for (quint16 n : numbers)
            widths += QByteArray::number(n) + '[' + r.widthTexts.value(n) + ']';
        const int cidFont = file_.reserve();
        file_.write(cidFont, "<</Type/Font/Subtype/CIDFontType2/BaseFont/" + base +
                                 "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>/FontDescriptor " +
                                 QByteArray::number(descriptor) + " 0 R/CIDToGIDMap/Identity/W[" + widths + "]>>");
        file_.write(r.object, "<</Type/Font/Subtype/Type0/BaseFont/" + base + "/Encoding/Identity-H/DescendantFonts[" +
                                  QByteArray::number(cidFont) + " 0 R]/ToUnicode " + QByteArray::number(toUnicode) +
                                  " 0 R>>");
    }
    return true;
}
