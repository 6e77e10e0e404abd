#pragma once

#include <QString>

// Texts from certificates and files, made safe to show to a person. The stored values stay as
// they are; only what is shown changes.
namespace shown {

// Bidirectional controls (U+202A to U+202E, U+2066 to U+2069) written as visible marks such as
// "<U+202E>", so that a name reordered by them ("\u202Eexe.txt") cannot pass for another name.
QString visibleControls(const QString& text);

// One cell of a line on a terminal: the above, and every other control character a blank, so that
// a line break or TAB cannot split or shift the line and an escape sequence never reaches the terminal.
QString terminalCell(const QString& text);

} // namespace shown
