#pragma once

#include <QColor>
#include <QPalette>
#include <QPushButton>
#include <QString>

class QLineEdit;
class QObject;
class QTableView;

namespace kyt {

// The windows' colours: windows and frames, buttons, buttons that stand out, proof buttons in use.
inline const QColor kLightYellow(255, 255, 192);
inline const QColor kLightOrange(255, 192, 128);
inline const QColor kLightCyan(192, 255, 255);
inline const QColor kLightRed(255, 192, 192);

// A button named as the windows name their controls; Enter in a window never presses it by default.
QPushButton* makeButton(const QString& caption, const QString& name, QWidget* parent);
// Sets one colour role of a widget; a window colour also fills the widget's background.
void paint(QWidget* w, QPalette::ColorRole role, const QColor& colour);
// Shows what is typed into the box as one "*" a character.
void maskWithStars(QLineEdit* box);
// Makes a grid's rows as tall as its font needs, with `extra` pixels of room; called again when
// the grid's font changes (scaling sets fonts control by control).
void fitRowsToFont(QTableView* grid, int extra);
// A control's Tag: window state the windows keep on their controls.
QString tag(const QObject* control);
void setTag(QObject* control, const QString& tag);
// Whether `watched` is `window` or one of its controls. The windows see the application's events
// first (Escape before any control does) and act only on their own.
bool isWindowControl(const QWidget* window, const QObject* watched);

} // namespace kyt
