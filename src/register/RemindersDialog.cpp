#include "register/RemindersDialog.h"

#include "component/ClsMain.h"
#include "platform/WindowKit.h"
#include "register/frmDscMain.h"
#include "reminders/ReminderRun.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
template <class T> T* named(T* control, const char* name) {
    control->setObjectName(QLatin1String(name));
    return control;
}
} // namespace

RemindersDialog::RemindersDialog(std::shared_ptr<ClsMain> cls, QWidget* parent)
    : QDialog(parent), cls_(std::move(cls)) {
    setObjectName(QStringLiteral("frmReminders"));
    setWindowTitle(QStringLiteral("Renewal Reminders"));
    txtsmtpurl = named(new QLineEdit(this), "txtsmtpurl");
    txtsmtpurl->setPlaceholderText(QStringLiteral("smtp://mail.example.org:587"));
    txtsmtpuser = named(new QLineEdit(this), "txtsmtpuser");
    txtfromname = named(new QLineEdit(this), "txtfromname");
    txtfromaddress = named(new QLineEdit(this), "txtfromaddress");
    txtpractice = named(new QLineEdit(this), "txtpractice");
    txtsteps = named(new QLineEdit(this), "txtsteps");
    txtsubject = named(new QLineEdit(this), "txtsubject");
    txtbody = named(new QPlainTextEdit(this), "txtbody");
    txtexpiredsubject = named(new QLineEdit(this), "txtexpiredsubject");
    txtexpiredbody = named(new QPlainTextEdit(this), "txtexpiredbody");
    txtlastrun = named(new QPlainTextEdit(this), "txtlastrun");
    txtlastrun->setReadOnly(true);
    for (QPlainTextEdit* box : {txtbody, txtexpiredbody, txtlastrun})
        box->setTabChangesFocus(true);
    cmdsave = kyt::makeButton(QStringLiteral("&Save"), QStringLiteral("cmdsave"), this);
    cmdtestmail = kyt::makeButton(QStringLiteral("Send a test e-mail to me"), QStringLiteral("cmdtestmail"), this);
    cmdclose = kyt::makeButton(QStringLiteral("&Close"), QStringLiteral("cmdclose"), this);

    const ReminderSettings s = ReminderSettings::load(cls_->settingsFile());
    txtsmtpurl->setText(s.smtpUrl);
    txtsmtpuser->setText(s.smtpUser);
    txtfromname->setText(s.fromName);
    txtfromaddress->setText(s.fromAddress);
    txtpractice->setText(s.practice);
    txtsteps->setText(s.steps);
    txtsubject->setText(s.subject);
    txtbody->setPlainText(s.body);
    txtexpiredsubject->setText(s.expiredSubject);
    txtexpiredbody->setPlainText(s.expiredBody);
    const QString lastRun = ReminderRun::lastRunText(cls_->DocPath);
    txtlastrun->setPlainText(lastRun.isEmpty() ? QStringLiteral("No reminders have been sent from this folder yet.")
                                               : lastRun);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Mail server (SMTP URL)"), txtsmtpurl);
    form->addRow(QStringLiteral("User"), txtsmtpuser);
    form->addRow(QStringLiteral("Sender name"), txtfromname);
    form->addRow(QStringLiteral("Sender e-mail"), txtfromaddress);
    form->addRow(QStringLiteral("Practice"), txtpractice);
    form->addRow(QStringLiteral("Days before expiry"), txtsteps);
    form->addRow(QStringLiteral("Subject"), txtsubject);
    form->addRow(QStringLiteral("Message"), txtbody);
    form->addRow(QStringLiteral("Subject once expired"), txtexpiredsubject);
    form->addRow(QStringLiteral("Message once expired"), txtexpiredbody);
    form->addRow(QStringLiteral("Last run"), txtlastrun);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdtestmail);
    buttons->addStretch();
    buttons->addWidget(cmdsave);
    buttons->addWidget(cmdclose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(cmdsave, &QPushButton::clicked, this, &RemindersDialog::save);
    connect(cmdtestmail, &QPushButton::clicked, this, &RemindersDialog::sendTestMail);
    connect(cmdclose, &QPushButton::clicked, this, &QDialog::reject);
}

QPushButton* RemindersDialog::makeOpenButton(frmDscMain* window, QWidget* parent) {
    QPushButton* button = kyt::makeButton(QStringLiteral("Reminders\u2026"), QStringLiteral("cmdreminders"), parent);
    QObject::connect(button, &QPushButton::clicked, window, [window] {
        if (!window->ClsObj)
            return;
        auto* dialog = new RemindersDialog(window->ClsObj, window);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    });
    return button;
}

ReminderSettings RemindersDialog::fromForm() const {
    ReminderSettings s;
    s.smtpUrl = txtsmtpurl->text().trimmed();
    s.smtpUser = txtsmtpuser->text().trimmed();
    s.fromName = txtfromname->text().trimmed();
    s.fromAddress = txtfromaddress->text().trimmed();
    s.practice = txtpractice->text().trimmed();
    s.steps = txtsteps->text().trimmed();
    s.subject = txtsubject->text();
    s.body = txtbody->toPlainText();
    s.expiredSubject = txtexpiredsubject->text();
    s.expiredBody = txtexpiredbody->toPlainText();
    return s;
}

// Nothing is written while a text would stop the next run; the form keeps what was typed.
void RemindersDialog::save() {
    const ReminderSettings s = fromForm();
    QString fault = s.checkContent();
    if (fault.isEmpty() && !s.smtpUrl.isEmpty())
        fault = s.checkMailing();
    if (!fault.isEmpty()) {
        cls_->services().dialogs->information(this, fault);
        return;
    }
    if (!s.save(cls_->settingsFile())) {
        cls_->services().dialogs->information(
            this, QStringLiteral("The settings could not be written to %1.").arg(cls_->settingsFile()));
        return;
    }
    accept();
}

void RemindersDialog::sendTestMail() {
    const ReminderSettings s = fromForm();
    QString fault = s.checkContent();
    if (fault.isEmpty())
        fault = s.checkMailing();
    if (!fault.isEmpty()) {
        cls_->services().dialogs->information(this, fault);
        return;
    }
    QString password;
    if (!s.smtpUser.isEmpty()) {
        const auto typed = cls_->services().dialogs->prompt(
            this, QStringLiteral("Password of %1 on the mail server:").arg(s.smtpUser), windowTitle(), true);
        if (!typed)
            return;
        password = *typed;
    }
    const QString why = ReminderRun::sendTestMail(s, password, cls_->services().clock->now());
    cls_->services().dialogs->information(this, why.isEmpty()
                                                    ? QStringLiteral("A test e-mail went to %1.").arg(s.fromAddress)
                                                    : QStringLiteral("The test e-mail could not be sent: %1").arg(why));
}
