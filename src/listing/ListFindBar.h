#pragma once

#include <QFrame>

class CertGrid;
class QKeyEvent;
class QLineEdit;

// The find box over the certificate list. What is typed narrows the list to the rows whose texts
// contain it, ignoring letter case; the current record stays current while it is among them, else
// the first row left is. The window hands it the keys it sees before its controls do (handleKey).
class ListFindBar : public QFrame {
    Q_OBJECT
public:
    explicit ListFindBar(CertGrid* grid);

    QLineEdit* box() const { return box_; }
    // Ctrl+F opens the box (list mode only); while it is open Escape clears it, showing every row
    // again, and closes it; F3 goes to the next row that matches, Shift+F3 to the previous one, and
    // Enter in the box to the next. True when the key was used.
    bool handleKey(QObject* watched, const QKeyEvent* key);
    void open();
    void dismiss();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Makes the first matching row from `from` on, in the direction `step`, the current one.
    void find(int from, int step);
    // Narrows the list to the box's text, keeping the current record where it can.
    void narrow();
    void place();

    CertGrid* grid_;
    QLineEdit* box_;
};
