#pragma once

#include <QFrame>

class CertGrid;
class QKeyEvent;
class QLineEdit;

// The find box over the certificate list. What is typed moves the current row to the next row
// whose texts contain it, ignoring letter case; the list itself is never filtered or reordered.
// The window hands it the keys it sees before its controls do (handleKey).
class ListFindBar : public QFrame {
    Q_OBJECT
public:
    explicit ListFindBar(CertGrid* grid);

    QLineEdit* box() const { return box_; }
    // Ctrl+F opens the box (list mode only); while it is open Escape closes it, F3 finds the next
    // row, Shift+F3 the previous one, and Enter in the box the next. True when the key was used.
    bool handleKey(QObject* watched, const QKeyEvent* key);
    void open();
    void dismiss();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Makes the first matching row from `from` on, in the direction `step`, the current one.
    void find(int from, int step);
    void place();

    CertGrid* grid_;
    QLineEdit* box_;
};
