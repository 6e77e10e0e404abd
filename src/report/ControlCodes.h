#pragma once

#include <QString>

// Printer control codes in report texts. A text may carry the codes a line printer understands;
// the report takes what it can render and drops the rest, so no code is ever printed:
//   ESC "E" / ESC "F"      bold on / off
//   SI (15), ESC SI        condensed print on: the long line fits the page
//   DC2 (18)               condensed print off
//   ESC "P", ESC "M"       pica / elite pitch, with optional parameter characters (digits, ";")
//   ESC + one character    any other escape: dropped
//   other characters below 32 and DEL: dropped (TAB and line feed become a blank)
struct PrintState {
    bool bold = false;
    bool condensed = false;
};

struct DecodedText {
    QString text;      // what is printed
    bool bold = false; // bold was on for some of the text
    PrintState after;  // the state the codes leave behind
};

DecodedText decodeControlCodes(const QString& input, PrintState state);
