#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>

class QPainter;
class QTextLayout;

// What a report page is painted with: texts, wrapped text layouts, cell fills and grid lines, in
// the layout's units. The printer and the preview paint through a QPainter; the PDF file has a
// writer of its own.
class ReportCanvas {
public:
    virtual ~ReportCanvas() = default;
    // The resolution the fonts handed in are sized for.
    virtual int dpi() const = 0;
    virtual void fillRect(const QRectF& rect, const QColor& color) = 0;
    // Draws a rectangle's outline with the grid's pen.
    virtual void strokeRect(const QRectF& rect) = 0;
    // A text on one line, starting at `baseline`.
    virtual void drawText(const QPointF& baseline, const QString& text, const QFont& font) = 0;
    // A text laid out on lines, its top left at `topLeft`, nothing painted outside `clip`.
    virtual void drawLayout(const QTextLayout& layout, const QPointF& topLeft, const QRectF& clip) = 0;
    // A text aligned in a box by Qt::Alignment `flags`.
    virtual void drawText(const QRectF& box, int flags, const QString& text, const QFont& font) = 0;
};

// Paints on a QPainter's device, scaled from the layout's resolution to the device's.
class PainterCanvas : public ReportCanvas {
public:
    PainterCanvas(QPainter& painter, int layoutDpi, double gridWidth);
    ~PainterCanvas() override;
    PainterCanvas(const PainterCanvas&) = delete;
    PainterCanvas& operator=(const PainterCanvas&) = delete;

    int dpi() const override;
    void fillRect(const QRectF& rect, const QColor& color) override;
    void strokeRect(const QRectF& rect) override;
    void drawText(const QPointF& baseline, const QString& text, const QFont& font) override;
    void drawLayout(const QTextLayout& layout, const QPointF& topLeft, const QRectF& clip) override;
    void drawText(const QRectF& box, int flags, const QString& text, const QFont& font) override;

private:
    void useFont(const QFont& font);
    QPainter& painter_;
};
