#pragma once

#include <memory>
#include <QDialog>

class ClsMain;
class frmDscMain;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTabWidget;
class QTimeEdit;
struct ReminderSettings;

// The reminders of the register window ("Reminders..."): the settings (mail server, sender, steps,
// mail texts) with a test mail to the sender; a run of the due reminders now, the same run as
// `dscmgr remind`, showing who was reminded, skipped and why; the daily schedule; and the history
// of runs that every desk shares.
class RemindersDialog : public QDialog {
    Q_OBJECT
public:
    RemindersDialog(std::shared_ptr<ClsMain> cls, QWidget* parent);

    // The button of the register's list frame that opens the dialog.
    static QPushButton* makeOpenButton(frmDscMain* window, QWidget* parent);

    QTabWidget* tabs;
    QLineEdit *txtsmtpurl, *txtsmtpuser, *txtfromname, *txtfromaddress, *txtpractice, *txtsteps;
    QLineEdit *txtsubject, *txtexpiredsubject;
    QPlainTextEdit *txtbody, *txtexpiredbody;
    QPushButton *cmdsave, *cmdtestmail, *cmdclose;
    QPushButton *cmdrunnow, *cmdschedule;
    QPlainTextEdit* txtrunoutput;
    QTableWidget* grdhistory;
    QPlainTextEdit* txtlastrun; // the summary of the run chosen in the history

private:
    ReminderSettings fromForm() const;
    void save();
    void sendTestMail();
    void runNow();
    void loadHistory();
    void showSchedule();

    std::shared_ptr<ClsMain> cls_;
};

// "Schedule daily...": installs or removes the daily run for the current user, or shows the crontab
// line where there is no systemd.
class ScheduleDialog : public QDialog {
    Q_OBJECT
public:
    ScheduleDialog(std::shared_ptr<ClsMain> cls, QWidget* parent);

    QTimeEdit* tmeremindat;
    QLineEdit* txtpasswordfile;
    QLabel* lblstate;
    QPlainTextEdit* txtcrontab;
    QPushButton *cmdinstall, *cmdremove, *cmdclose;

private:
    QStringList command() const;
    void refresh();
    void install();
    void remove();

    std::shared_ptr<ClsMain> cls_;
    bool systemd_ = false;
};
