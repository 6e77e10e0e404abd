#include "report/ReportCanvas.h"

#include <QPainter>
#include <QTextLayout>

PainterCanvas::PainterCanvas(QPainter& painter, int layoutDpi, double gridWidth) : painter_(painter) {
    painter_.save();
    painter_.scale(painter_.device()->logicalDpiX() / double(layoutDpi),
                   painter_.device()->logicalDpiY() / double(layoutDpi));
    QPen pen(Qt::black);
    pen.setWidthF(gridWidth);
    painter_.setPen(pen);
}

PainterCanvas::~PainterCanvas() {
    painter_.restore();
}

int PainterCanvas::dpi() const {
    return painter_.device()->logicalDpiY();
}

void PainterCanvas::fillRect(const QRectF& rect, const QColor& color) {
    painter_.fillRect(rect, color);
}

void PainterCanvas::strokeRect(const QRectF& rect) {
    painter_.drawRect(rect);
}

void PainterCanvas::useFont(const QFont& font) {
    if (painter_.font() != font)
        painter_.setFont(font);
}

void PainterCanvas::drawText(const QPointF& baseline, const QString& text, const QFont& font) {
    useFont(font);
    painter_.drawText(baseline, text);
}

void PainterCanvas::drawLayout(const QTextLayout& layout, const QPointF& topLeft, const QRectF& clip) {
    painter_.save();
    painter_.setClipRect(clip);
    layout.draw(&painter_, topLeft);
    painter_.restore();
}

void PainterCanvas::drawText(const QRectF& box, int flags, const QString& text, const QFont& font) {
    useFont(font);
    painter_.drawText(box, flags, text);
}
