#include "register/RemindersDialog.h"

#include "component/ClsMain.h"
#include "platform/Db.h"
#include "platform/ErrorTrap.h"
#include "platform/ShownText.h"
#include "platform/WindowKit.h"
#include "register/frmDscMain.h"
#include "reminders/ReminderRun.h"
#include "reminders/ReminderSchedule.h"
#include "reminders/RunHistory.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSysInfo>
#include <QTableWidget>
#include <QTabWidget>
#include <QTimeEdit>

namespace {
template <class T> T* named(T* control, const char* name) {
    control->setObjectName(QLatin1String(name));
    return control;
}

QString desk() {
    return QStringLiteral("%1:%2").arg(QSysInfo::machineHostName()).arg(QCoreApplication::applicationPid());
}
} // namespace

RemindersDialog::RemindersDialog(std::shared_ptr<ClsMain> cls, QWidget* parent)
    : QDialog(parent), cls_(std::move(cls)) {
    setObjectName(QStringLiteral("frmReminders"));
    setWindowTitle(QStringLiteral("Renewal Reminders"));
    tabs = named(new QTabWidget(this), "tabreminders");

    // Settings.
    auto* settingsPage = new QWidget;
    txtsmtpurl = named(new QLineEdit, "txtsmtpurl");
    txtsmtpurl->setPlaceholderText(QStringLiteral("smtps://mail.example.org:465"));
    txtsmtpuser = named(new QLineEdit, "txtsmtpuser");
    txtfromname = named(new QLineEdit, "txtfromname");
    txtfromaddress = named(new QLineEdit, "txtfromaddress");
    txtpractice = named(new QLineEdit, "txtpractice");
    txtsteps = named(new QLineEdit, "txtsteps");
    txtsubject = named(new QLineEdit, "txtsubject");
    txtbody = named(new QPlainTextEdit, "txtbody");
    txtexpiredsubject = named(new QLineEdit, "txtexpiredsubject");
    txtexpiredbody = named(new QPlainTextEdit, "txtexpiredbody");
    for (QPlainTextEdit* box : {txtbody, txtexpiredbody})
        box->setTabChangesFocus(true);
    cmdsave = kyt::makeButton(QStringLiteral("&Save"), QStringLiteral("cmdsave"), settingsPage);
    cmdtestmail =
        kyt::makeButton(QStringLiteral("Send a test e-mail to me"), QStringLiteral("cmdtestmail"), settingsPage);
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
    auto* settingsButtons = new QHBoxLayout;
    settingsButtons->addWidget(cmdtestmail);
    settingsButtons->addStretch();
    settingsButtons->addWidget(cmdsave);
    auto* settingsLayout = new QVBoxLayout(settingsPage);
    settingsLayout->addLayout(form);
    settingsLayout->addLayout(settingsButtons);
    tabs->addTab(settingsPage, QStringLiteral("Settings"));

    // Run now and the schedule.
    auto* runPage = new QWidget;
    cmdrunnow = kyt::makeButton(QStringLiteral("Send due reminders now"), QStringLiteral("cmdrunnow"), runPage);
    cmdschedule = kyt::makeButton(QStringLiteral("Schedule daily\u2026"), QStringLiteral("cmdschedule"), runPage);
    txtrunoutput = named(new QPlainTextEdit, "txtrunoutput");
    txtrunoutput->setReadOnly(true);
    txtrunoutput->setTabChangesFocus(true);
    txtrunoutput->setPlaceholderText(QStringLiteral("Who was reminded, skipped and why shows here."));
    auto* runButtons = new QHBoxLayout;
    runButtons->addWidget(cmdrunnow);
    runButtons->addWidget(cmdschedule);
    runButtons->addStretch();
    auto* runLayout = new QVBoxLayout(runPage);
    runLayout->addLayout(runButtons);
    runLayout->addWidget(txtrunoutput);
    tabs->addTab(runPage, QStringLiteral("Run"));

    // History.
    auto* historyPage = new QWidget;
    grdhistory = named(new QTableWidget(0, 6), "grdhistory");
    grdhistory->setHorizontalHeaderLabels({QStringLiteral("When (UTC)"), QStringLiteral("Desk"), QStringLiteral("Sent"),
                                           QStringLiteral("Failed"), QStringLiteral("Skipped"),
                                           QStringLiteral("Renewed")});
    grdhistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdhistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdhistory->setSelectionMode(QAbstractItemView::SingleSelection);
    grdhistory->verticalHeader()->hide();
    grdhistory->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grdhistory->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    txtlastrun = named(new QPlainTextEdit, "txtlastrun");
    txtlastrun->setReadOnly(true);
    txtlastrun->setTabChangesFocus(true);
    auto* historyLayout = new QVBoxLayout(historyPage);
    historyLayout->addWidget(grdhistory, 3);
    historyLayout->addWidget(txtlastrun, 2);
    tabs->addTab(historyPage, QStringLiteral("History"));

    cmdclose = kyt::makeButton(QStringLiteral("&Close"), QStringLiteral("cmdclose"), this);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(cmdclose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(bottom);

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
    loadHistory();

    connect(cmdsave, &QPushButton::clicked, this, &RemindersDialog::save);
    connect(cmdtestmail, &QPushButton::clicked, this, &RemindersDialog::sendTestMail);
    connect(cmdrunnow, &QPushButton::clicked, this, &RemindersDialog::runNow);
    connect(cmdschedule, &QPushButton::clicked, this, &RemindersDialog::showSchedule);
    connect(cmdclose, &QPushButton::clicked, this, &QDialog::reject);
    connect(grdhistory, &QTableWidget::currentCellChanged, this, [this](int row) {
        const QTableWidgetItem* when = row >= 0 ? grdhistory->item(row, 0) : nullptr;
        txtlastrun->setPlainText(when ? when->data(Qt::UserRole).toString() : QString());
    });
    resize(sizeHint().expandedTo(QSize(640, 560)));
    cls_->Resize_For_Resolution(this, true);
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
    // Settings the form does not show (TLS, lease, zone) are kept as the file has them.
    ReminderSettings s = ReminderSettings::load(cls_->settingsFile());
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

// The run of `dscmgr remind` with the saved settings; the password is asked for when one is needed.
void RemindersDialog::runNow() {
    if (!cls_->Db)
        return;
    const ReminderSettings s = ReminderSettings::load(cls_->settingsFile());
    txtrunoutput->clear();
    ReminderRun::Options options;
    options.desk = desk();
    auto password = [&](QString* why) -> std::optional<QString> {
        const auto typed = cls_->services().dialogs->prompt(
            this, QStringLiteral("Password of %1 on the mail server:").arg(s.smtpUser.trimmed()), windowTitle(), true);
        if (!typed)
            *why = QStringLiteral("No password was given; nothing was sent.");
        return typed;
    };
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ReminderRun run(*cls_->Db, s, cls_->services().clock->now(), cls_.get());
    const ReminderRun::Outcome outcome = run.run(options, password, [this](const QString& line) {
        txtrunoutput->appendPlainText(line);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    QApplication::restoreOverrideCursor();
    txtrunoutput->appendPlainText(outcome.summaryLine());
    if (!outcome.stopped.isEmpty())
        txtrunoutput->appendPlainText(QStringLiteral("The run stopped: ") + shown::terminalCell(outcome.stopped));
    if (!outcome.historyFault.isEmpty())
        txtrunoutput->appendPlainText(QStringLiteral("This run could not be kept in the history: ") +
                                      outcome.historyFault);
    loadHistory();
}

void RemindersDialog::loadHistory() {
    grdhistory->setRowCount(0);
    txtlastrun->clear();
    if (!cls_->Db)
        return;
    QList<RunHistory::Entry> runs;
    kyt::ErrorTrap(cls_.get(), QStringLiteral("frmReminders"),
                   QStringLiteral("HISTORY"))([&] { runs = RunHistory(*cls_->Db).recent(); });
    grdhistory->setRowCount(int(runs.size()));
    for (int row = 0; row < runs.size(); ++row) {
        const RunHistory::Entry& e = runs[row];
        const QString cells[] = {e.startedAt,
                                 shown::terminalCell(e.desk),
                                 QString::number(e.sent),
                                 e.stopped.isEmpty() ? QString::number(e.failed) : QStringLiteral("stopped"),
                                 QString::number(e.skipped),
                                 QString::number(e.renewed)};
        for (int column = 0; column < 6; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (column >= 2)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grdhistory->setItem(row, column, item);
        }
        grdhistory->item(row, 0)->setData(Qt::UserRole, e.summary);
    }
    if (runs.isEmpty())
        txtlastrun->setPlainText(QStringLiteral("No reminders have been sent yet."));
    else
        grdhistory->setCurrentCell(0, 0);
}

void RemindersDialog::showSchedule() {
    auto* dialog = new ScheduleDialog(cls_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

ScheduleDialog::ScheduleDialog(std::shared_ptr<ClsMain> cls, QWidget* parent) : QDialog(parent), cls_(std::move(cls)) {
    setObjectName(QStringLiteral("frmReminderSchedule"));
    setWindowTitle(QStringLiteral("Schedule Daily Reminders"));
    tmeremindat = named(new QTimeEdit(QTime(9, 0), this), "tmeremindat");
    tmeremindat->setDisplayFormat(QStringLiteral("HH:mm"));
    txtpasswordfile = named(new QLineEdit(this), "txtpasswordfile");
    txtpasswordfile->setPlaceholderText(QStringLiteral("a file only you can read, holding the SMTP password"));
    lblstate = named(new QLabel(this), "lblstate");
    lblstate->setWordWrap(true);
    txtcrontab = named(new QPlainTextEdit(this), "txtcrontab");
    txtcrontab->setReadOnly(true);
    txtcrontab->setTabChangesFocus(true);
    cmdinstall = kyt::makeButton(QStringLiteral("&Install"), QStringLiteral("cmdinstall"), this);
    cmdremove = kyt::makeButton(QStringLiteral("&Remove"), QStringLiteral("cmdremove"), this);
    cmdclose = kyt::makeButton(QStringLiteral("&Close"), QStringLiteral("cmdclose"), this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Every day at"), tmeremindat);
    form->addRow(QStringLiteral("Password file"), txtpasswordfile);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdinstall);
    buttons->addWidget(cmdremove);
    buttons->addStretch();
    buttons->addWidget(cmdclose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lblstate);
    layout->addWidget(txtcrontab);
    layout->addLayout(buttons);

    const ReminderSchedule schedule;
    systemd_ = schedule.systemdAvailable();
    if (const auto at = schedule.installedAt())
        tmeremindat->setTime(*at);
    connect(cmdinstall, &QPushButton::clicked, this, &ScheduleDialog::install);
    connect(cmdremove, &QPushButton::clicked, this, &ScheduleDialog::remove);
    connect(cmdclose, &QPushButton::clicked, this, &QDialog::reject);
    connect(tmeremindat, &QTimeEdit::timeChanged, this, &ScheduleDialog::refresh);
    connect(txtpasswordfile, &QLineEdit::textChanged, this, &ScheduleDialog::refresh);
    refresh();
    resize(sizeHint().expandedTo(QSize(560, 300)));
    cls_->Resize_For_Resolution(this, true);
}

QStringList ScheduleDialog::command() const {
    // A server database is named without its password, which a schedule must not keep in clear.
    QString database;
    if (cls_->Db && cls_->Db->backend() == kyt::Db::Backend::MySQL) {
        const QSqlDatabase c = cls_->Db->connection();
        database = QStringLiteral("mysql://%1@%2%3/%4")
                       .arg(c.userName(), c.hostName(), c.port() > 0 ? QStringLiteral(":%1").arg(c.port()) : QString(),
                            c.databaseName());
    }
    return ReminderSchedule::remindCommand(cls_->DocPath, database, txtpasswordfile->text().trimmed());
}

void ScheduleDialog::refresh() {
    const ReminderSchedule schedule;
    const auto at = schedule.installedAt();
    cmdinstall->setEnabled(systemd_);
    cmdremove->setEnabled(systemd_ && at.has_value());
    txtcrontab->setPlainText(ReminderSchedule::crontabLine(tmeremindat->time(), command()));
    if (!systemd_)
        lblstate->setText(QStringLiteral("This computer has no systemd for your user. Add this line to your crontab "
                                         "(crontab -e) to send the reminders every day:"));
    else if (at)
        lblstate->setText(QStringLiteral("The reminders are sent every day at %1 (systemd timer %2). The same as a "
                                         "crontab line:")
                              .arg(at->toString(QStringLiteral("HH:mm")), QLatin1String(ReminderSchedule::kUnitName)));
    else
        lblstate->setText(QStringLiteral("No daily run is installed. Install runs this every day, as this crontab "
                                         "line would:"));
}

void ScheduleDialog::install() {
    const QString why = ReminderSchedule().install(tmeremindat->time(), command());
    if (!why.isEmpty())
        cls_->services().dialogs->information(this, why);
    refresh();
}

void ScheduleDialog::remove() {
    const QString why = ReminderSchedule().remove();
    if (!why.isEmpty())
        cls_->services().dialogs->information(this, why);
    refresh();
}
