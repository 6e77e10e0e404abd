#include "platform/MarkedTextBox.h"

#include "platform/ShownText.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextLayout>
#include <vector>

namespace {
// The space a line edit leaves around its text inside the contents rectangle.
constexpr int kHorizontalMargin = 2;
constexpr int kVerticalMargin = 1;
} // namespace

void MarkedLineEdit::paintEvent(QPaintEvent* event) {
    const QString held = text();
    const QString drawn = shown::visibleControls(held);
    if (echoMode() != Normal || drawn.size() == held.size()) {
        QLineEdit::paintEvent(event);
        return;
    }
    // Where each position of the held text (the cursor's and the selection's) lies in the drawn one.
    std::vector<int> at(size_t(held.size()) + 1);
    for (qsizetype i = 0, d = 0; i <= held.size(); ++i) {
        at[size_t(i)] = int(d);
        if (i < held.size())
            d += shown::visibleControls(QString(held[i])).size();
    }

    QPainter p(this);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &p, this);
    QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this).marginsRemoved(textMargins());
    area.adjust(kHorizontalMargin, kVerticalMargin, -kHorizontalMargin, -kVerticalMargin);
    p.setClipRect(area);

    QTextLayout layout(drawn, font());
    QTextOption option;
    option.setTextDirection(layoutDirection());
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(std::numeric_limits<int>::max() / 256);
    layout.endLayout();

    // The cursor stays in view: the text moves left only as far as needed.
    const int cursor = at[size_t(cursorPosition())];
    const int cursorX = int(line.cursorToX(cursor));
    const int room = area.width();
    const int natural = int(std::ceil(line.naturalTextWidth()));
    if (natural <= room)
        scrolled_ = 0;
    else
        scrolled_ = std::clamp(std::clamp(scrolled_, cursorX - room + 1, cursorX), 0, natural - room + 1);
    const QPointF topLeft(area.left() - scrolled_, area.top() + (area.height() - fontMetrics().height() + 1) / 2);

    QList<QTextLayout::FormatRange> selection;
    if (hasSelectedText()) {
        QTextLayout::FormatRange range;
        range.start = at[size_t(selectionStart())];
        range.length = at[size_t(selectionEnd())] - range.start;
        range.format.setBackground(panel.palette.brush(QPalette::Highlight));
        range.format.setForeground(panel.palette.brush(QPalette::HighlightedText));
        selection << range;
    }
    p.setPen(panel.palette.color(QPalette::Text));
    layout.draw(&p, topLeft, selection, area);
    if (hasFocus() && !isReadOnly())
        layout.drawCursor(&p, topLeft, cursor, style()->pixelMetric(QStyle::PM_TextCursorWidth, &panel, this));
}

QString MarkedItemDelegate::displayText(const QVariant& value, const QLocale& locale) const {
    return shown::visibleControls(QStyledItemDelegate::displayText(value, locale));
}
