#pragma once

#include <memory>
#include <QDialog>

class ClsMain;
class frmDscMain;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
struct ReminderSettings;

// The reminder settings of the register window ("Reminders..."): mail server, sender, steps and
// the mail texts, a test mail to the sender, and the summary of the last run.
class RemindersDialog : public QDialog {
    Q_OBJECT
public:
    RemindersDialog(std::shared_ptr<ClsMain> cls, QWidget* parent);

    // The button of the register's list frame that opens the dialog.
    static QPushButton* makeOpenButton(frmDscMain* window, QWidget* parent);

    QLineEdit *txtsmtpurl, *txtsmtpuser, *txtfromname, *txtfromaddress, *txtpractice, *txtsteps;
    QLineEdit *txtsubject, *txtexpiredsubject;
    QPlainTextEdit *txtbody, *txtexpiredbody, *txtlastrun;
    QPushButton *cmdsave, *cmdtestmail, *cmdclose;

private:
    ReminderSettings fromForm() const;
    void save();
    void sendTestMail();

    std::shared_ptr<ClsMain> cls_;
};
