#pragma once

#include "custody/TokenCustody.h"

#include <functional>
#include <QDialog>

class QLineEdit;
class QPushButton;
class MaskedDateBox;

// "Hand Over..." and "Receive...": one small dialog each for a token's movement: to or from whom,
// the place in the office (receiving), a note, and the date and time, now unless changed. OK
// records the movement through `recordMovement`, which returns why it was refused (empty when
// written); a refusal is shown and the dialog stays open with what was typed. Enter presses OK,
// Escape cancels.
class TokenMoveDialog : public QDialog {
    Q_OBJECT
public:
    using Kind = custody::Request::Kind;
    TokenMoveDialog(Kind kind, const QString& holder, const QString& currentlyWith, const QDateTime& now,
                    std::function<QString(const custody::Request&)> recordMovement, QWidget* parent);

    Kind kind() const { return kind_; }

    QLineEdit* txtcustodyname;  // to whom (hand-over) or from whom (receiving)
    QLineEdit* txtcustodyplace; // where in the office (receiving only)
    QLineEdit* txtcustodynote;
    MaskedDateBox* txtcustodyat;
    QPushButton* cmdcustodyok;
    QPushButton* cmdcustodycancel;

    void accept() override;

Q_SIGNALS:
    // A movement was written.
    void recorded();

private:
    Kind kind_;
    QString shownNow_; // the date box's first text: left as it is, the movement takes the database's now
    std::function<QString(const custody::Request&)> recordMovement_;
};
