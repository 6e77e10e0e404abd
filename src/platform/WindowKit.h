#pragma once

#include <QColor>
#include <QPalette>
#include <QPushButton>
#include <QString>

class QLineEdit;
class QTableView;

namespace kyt {

// A button named as the windows name their controls; Enter in a window never presses it by default.
QPushButton* makeButton(const QString& caption, const QString& name, QWidget* parent);
// Sets one colour role of a widget; a window colour also fills the widget's background.
void paint(QWidget* w, QPalette::ColorRole role, const QColor& colour);
// Shows what is typed into the box as one "*" a character.
void maskWithStars(QLineEdit* box);
// Makes a grid's rows as tall as its font needs, with `extra` pixels of room; called again when
// the grid's font changes (scaling sets fonts control by control).
void fitRowsToFont(QTableView* grid, int extra);

} // namespace kyt
