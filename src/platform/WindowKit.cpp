#include "platform/WindowKit.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>

namespace kyt {

QPushButton* makeButton(const QString& caption, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

void paint(QWidget* w, QPalette::ColorRole role, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(role, colour);
    w->setPalette(p);
    if (role == QPalette::Window)
        w->setAutoFillBackground(true);
}

void maskWithStars(QLineEdit* box) {
    box->setEchoMode(QLineEdit::Password);
    // The style's own mask character differs from one style to the next.
    box->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
}

void fitRowsToFont(QTableView* grid, int extra) {
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + extra);
}

QString tag(const QObject* control) {
    return control->property("Tag").toString();
}

void setTag(QObject* control, const QString& tag) {
    control->setProperty("Tag", tag);
}

bool isWindowControl(const QWidget* window, const QObject* watched) {
    auto* widget = qobject_cast<const QWidget*>(watched);
    return widget && (widget == window || window->isAncestorOf(widget));
}

} // namespace kyt
