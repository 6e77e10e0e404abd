#pragma once

#include <QColor>
#include <QPalette>
#include <QPushButton>
#include <QString>

class QLineEdit;

namespace kyt {

// A button named as the windows name their controls; Enter in a window never presses it by default.
QPushButton* makeButton(const QString& caption, const QString& name, QWidget* parent);
// Sets one colour role of a widget; a window colour also fills the widget's background.
void paint(QWidget* w, QPalette::ColorRole role, const QColor& colour);
// Shows what is typed into the box as one "*" a character.
void maskWithStars(QLineEdit* box);

} // namespace kyt
