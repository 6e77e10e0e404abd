#pragma once

#include "store/RecordHistory.h"

#include <memory>
#include <QDialog>

class ClsMain;
class QPushButton;
class QTreeWidget;

// "History...": a record's entries, newest first, each with the fields it changed (old -> new).
class HistoryDialog : public QDialog {
    Q_OBJECT
public:
    HistoryDialog(const QList<RecordHistory::Entry>& entries, const QString& title, QWidget* parent);

    QTreeWidget* lsthistory;
    QPushButton* cmdclose;
};

// "Recently Deleted...": the deleted records the history holds, with "Restore" to bring the chosen
// one back under its number (or a new one, which it names) with its documents.
class RecentlyDeletedDialog : public QDialog {
    Q_OBJECT
public:
    RecentlyDeletedDialog(std::shared_ptr<ClsMain> cls, QWidget* parent);

    QTreeWidget* lstdeleted;
    QPushButton* cmdrestore;
    QPushButton* cmdclose;

Q_SIGNALS:
    // A record came back under number n.
    void restored(int n);

private:
    void fill();
    void restoreChosen();

    std::shared_ptr<ClsMain> cls_;
    QList<RecordHistory::Entry> deleted_;
};
