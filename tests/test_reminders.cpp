// `dscmgr remind` against a real mail server on 127.0.0.1 (tests/support/smtp_capture.py), on both
// database backends; and the register window's "Reminders..." dialog.
#include "platform/ProfileFile.h"
#include "register/RemindersDialog.h"
#include "reminders/ReminderSettings.h"
#include "store/StoreStatements.h"
#include "support/RegisterWindowHarness.h"
#include "support/TestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <sys/socket.h>
#include <unistd.h>

namespace {
struct Mail {
    int session = 0;
    QString envelopeTo, headerTo, rawHeaders, subject, body, date, messageId;
};

// The capturing mail server, for as long as it lives.
class MailServer {
public:
    explicit MailServer(const QStringList& options = {}) {
        server_.setProgram(QStringLiteral("/usr/bin/python3"));
        server_.setArguments(QStringList{QStringLiteral(KYT_SMTP_CAPTURE), dir_.path()} + options);
        server_.start();
        if (!server_.waitForReadyRead(20000))
            qFatal("the test mail server did not start: %s", server_.readAllStandardError().constData());
        port_ = QString::fromLatin1(server_.readLine()).section(QLatin1Char(' '), 1).trimmed().toInt();
    }
    ~MailServer() {
        server_.kill();
        server_.waitForFinished();
    }
    QString url() const { return QStringLiteral("smtp://127.0.0.1:%1").arg(port_); }
    int port() const { return port_; }

    QList<Mail> mails() const {
        QList<Mail> all;
        for (const QString& name : QDir(dir_.path()).entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
            QFile f(dir_.filePath(name));
            f.open(QIODevice::ReadOnly);
            const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
            all << Mail{o[QLatin1String("session")].toInt(),
                        o[QLatin1String("to")].toVariant().toStringList().join(QLatin1Char(',')),
                        o[QLatin1String("header_to")].toString(),
                        o[QLatin1String("raw_headers")].toString(),
                        o[QLatin1String("subject")].toString(),
                        o[QLatin1String("body")].toString().replace(QLatin1String("\r\n"), QLatin1String("\n")),
                        o[QLatin1String("date")].toString(),
                        o[QLatin1String("message_id")].toString()};
        }
        return all;
    }
    // Mails to holders only, without the practice's summaries.
    QList<Mail> reminders() const {
        QList<Mail> r;
        for (const Mail& m : mails())
            if (m.envelopeTo != QLatin1String("office@practice.test"))
                r << m;
        return r;
    }

private:
    QTemporaryDir dir_;
    QProcess server_;
    int port_ = 0;
};

// A port on 127.0.0.1 that nothing listens on: one the system just handed out and took back.
int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

struct Run {
    int status = -1;
    QString out, err;
};

QString day(int fromToday) {
    return QDate::currentDate().addDays(fromToday).toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" 12:00:00");
}

// A register with its settings file and the command line that reaches it.
struct Register {
    explicit Register(const QString& backend) : fx(backend), address(testsupport::addressOf(*fx.db)) {
        fx.db->execute(StoreStatements::createTable());
    }
    void add(int srNo, const QString& name, const QString& type, const QString& serial, int expiresIn,
             const QString& email) {
        StoreStatements::RecordValues v;
        v[0] = name, v[1] = type, v[2] = serial, v[3] = QStringLiteral("Authority"), v[4] = day(-700),
        v[5] = day(expiresIn), v[6] = email;
        fx.db->execute(StoreStatements::insertRecord(srNo, v));
    }
    void set(const char* key, const QString& value) {
        kyt::ProfileFile(fx.folder + QStringLiteral("/Confg.ini"))
            .write(QStringLiteral("Reminders"), QLatin1String(key), value);
    }
    void mailTo(const MailServer& server) {
        set("SmtpUrl", server.url());
        set("FromAddress", QStringLiteral("office@practice.test"));
        set("Practice", QStringLiteral("Sharma & Co"));
    }
    QProcess* start(const QStringList& args, const QString& password = {}) {
        return testsupport::startDscmgr(
            QStringList{QStringLiteral("remind"), QStringLiteral("--folder"), fx.folder, QStringLiteral("--db"),
                        address} +
                args,
            fx.objects->file(), password.isEmpty() ? QStringList{} : QStringList{"KYT_SMTP_PASSWORD=" + password});
    }
    static Run finish(QProcess* p) {
        std::unique_ptr<QProcess> owned(p);
        const testsupport::ProgramRun r = testsupport::finishRun(*p, 60000);
        return {r.status, QString::fromUtf8(r.out), r.err};
    }
    Run remind(const QStringList& args = {}, const QString& password = {}) { return finish(start(args, password)); }
    int marked() {
        kyt::RowSet rs = fx.db->openRowSet(QStringLiteral("Select Count(*) From DscReminders"));
        return rs.value(0).toInt();
    }

    testsupport::ComponentFixture fx;
    const QString address;
};

QString lastLine(const QString& text) {
    return text.trimmed().section(QLatin1Char('\n'), -1);
}
} // namespace

class TestReminders : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private slots:
    void oncePerCertificateAndStep_data() { testsupport::addBackendColumn(); }
    void oncePerCertificateAndStep();
    void failedSendsAreRetried_data() { testsupport::addBackendColumn(); }
    void failedSendsAreRetried();
    void twoRunsAtOnce_data() { testsupport::addBackendColumn(); }
    void twoRunsAtOnce();
    void badInputStopsBeforeSending();
    void unlandedWritesAreReported();
    void dialogEditsSettingsAndSendsTestMail();
};

void TestReminders::oncePerCertificateAndStep() {
    QFETCH(QString, backend);
    Register reg(backend);
    const QString ram = QString::fromUtf8("राम कुमार");
    reg.add(1, ram, QStringLiteral("Class 3"), QStringLiteral("S-RAM"), 5, QStringLiteral("ram@example.org"));
    reg.add(2, QStringLiteral("Bob"), QStringLiteral("Class 3"), QStringLiteral("S-B1"), 20,
            QStringLiteral("bob@example.org"));
    reg.add(3, QStringLiteral("Bob"), QStringLiteral("DGFT"), QStringLiteral("S-B2"), 2,
            QStringLiteral("bob@example.org"));
    reg.add(4, QStringLiteral("Cat"), QStringLiteral("Class 3"), QStringLiteral("S-C"), 3, QString());
    reg.add(5, QStringLiteral("Dan"), QStringLiteral("Class 3"), QStringLiteral("S-D"), 4,
            QStringLiteral("dan@example.org\nBcc: x@y.z"));
    reg.add(6, QStringLiteral("Eve"), QStringLiteral("Class 3"), QStringLiteral("S-E"), -2,
            QStringLiteral("eve@example.org"));
    reg.add(7, QStringLiteral("Fay"), QStringLiteral("Class 3"), QStringLiteral("S-F"), 100,
            QStringLiteral("fay@example.org"));
    // Gus renewed: the old certificate is not reminded of, the new one is far from expiring.
    reg.add(8, QStringLiteral("Gus"), QStringLiteral("Class 3"), QStringLiteral("S-G1"), 6,
            QStringLiteral("gus@example.org"));
    reg.add(9, QStringLiteral("Gus"), QStringLiteral("Class 3"), QStringLiteral("S-G2"), 700,
            QStringLiteral("gus@example.org"));
    MailServer server;
    reg.mailTo(server);

    Run first = reg.remind();
    QCOMPARE(first.err, QString());
    QCOMPARE(lastLine(first.out), QStringLiteral("4 reminders sent, 2 skipped without an e-mail address, 0 failed"));
    QCOMPARE(first.status, 1); // the skipped ones need the practice's attention
    QVERIFY(first.out.contains(QStringLiteral("skipped: Cat, serial S-C")));
    QVERIFY(first.out.contains(QStringLiteral("skipped: Dan <dan@example.org Bcc: x@y.z>")));

    const QList<Mail> mails = server.mails();
    QCOMPARE(mails.size(), 5); // four reminders, then the summary, over one connection
    QStringList recipients;
    for (const Mail& m : mails) {
        QCOMPARE(m.session, mails[0].session);
        QVERIFY(!m.date.isEmpty() && m.messageId.startsWith(QLatin1Char('<')));
        QVERIFY(!m.rawHeaders.contains(QLatin1String("Bcc"), Qt::CaseInsensitive));
        recipients << m.envelopeTo;
    }
    recipients.sort();
    QCOMPARE(recipients, (QStringList{QStringLiteral("bob@example.org"), QStringLiteral("bob@example.org"),
                                      QStringLiteral("eve@example.org"), QStringLiteral("office@practice.test"),
                                      QStringLiteral("ram@example.org")}));

    const Mail toRam = *std::find_if(mails.begin(), mails.end(),
                                     [](const Mail& m) { return m.envelopeTo == QLatin1String("ram@example.org"); });
    QCOMPARE(toRam.headerTo, ram + QStringLiteral(" <ram@example.org>"));
    QVERIFY(toRam.rawHeaders.contains(QLatin1String("To: =?UTF-8?B?")));
    const QString validTo = day(5).left(10);
    QCOMPARE(toRam.subject, QStringLiteral("Your digital signature certificate expires on ") + validTo);
    QVERIFY(toRam.body.startsWith(QStringLiteral("Dear ") + ram + QStringLiteral(",\n")));
    QVERIFY(toRam.body.contains(QStringLiteral("(Class 3, serial number S-RAM, issued by Authority) is valid until ") +
                                validTo + QStringLiteral(": 5 day(s)")));
    QVERIFY(toRam.body.endsWith(QStringLiteral("Regards,\nSharma & Co\n")));
    const Mail toEve = *std::find_if(mails.begin(), mails.end(),
                                     [](const Mail& m) { return m.envelopeTo == QLatin1String("eve@example.org"); });
    QCOMPARE(toEve.subject, QStringLiteral("Your digital signature certificate has expired"));
    const Mail summary = mails.last();
    QCOMPARE(summary.envelopeTo, QStringLiteral("office@practice.test"));
    QVERIFY(summary.body.contains(QStringLiteral("skipped: Cat, serial S-C, expires ") + day(3).left(10) +
                                  QStringLiteral(", 7-day step: no e-mail address")));
    QVERIFY(summary.body.contains(QStringLiteral("e-mail address not usable")));
    QVERIFY(summary.body.contains(QStringLiteral("sent: ") + ram));

    // The same day again: nothing new for the holders.
    Run second = reg.remind();
    QCOMPARE(lastLine(second.out), QStringLiteral("0 reminders sent, 2 skipped without an e-mail address, 0 failed"));
    QCOMPARE(server.reminders().size(), 4);

    // A step that Bob's first certificate has now reached sends that one again, and only that.
    Run newStep = reg.remind({QStringLiteral("--days"), QStringLiteral("30,21,7,1")});
    QCOMPARE(lastLine(newStep.out), QStringLiteral("1 reminder sent, 2 skipped without an e-mail address, 0 failed"));
    QCOMPARE(server.reminders().size(), 5);
    QVERIFY(server.reminders().last().body.contains(QStringLiteral("serial number S-B1")));
}

void TestReminders::failedSendsAreRetried() {
    QFETCH(QString, backend);
    Register reg(backend);
    reg.add(1, QStringLiteral("Ann"), QStringLiteral("Class 3"), QStringLiteral("S-A"), 5,
            QStringLiteral("ann@example.org"));
    reg.add(2, QStringLiteral("Bob"), QStringLiteral("Class 3"), QStringLiteral("S-B"), 6,
            QStringLiteral("bob@example.org"));
    reg.add(3, QStringLiteral("Cy"), QStringLiteral("Class 3"), QStringLiteral("S-C"), 1,
            QStringLiteral("cy@example.org"));

    // A server that is down: one line, exit 2, nothing marked.
    reg.set("SmtpUrl", QStringLiteral("smtp://127.0.0.1:%1").arg(freePort()));
    reg.set("FromAddress", QStringLiteral("office@practice.test"));
    Run down = reg.remind();
    QCOMPARE(down.status, 2);
    QCOMPARE(down.err.count(QLatin1Char('\n')), 1);
    QVERIFY(down.err.startsWith(QStringLiteral("dscmgr: No mail could be sent through smtp://127.0.0.1:")));
    QCOMPARE(reg.marked(), 0);

    // A dry run lists, sends nothing and marks nothing.
    MailServer refusing({QStringLiteral("--refuse"), QStringLiteral("bob@example.org")});
    reg.mailTo(refusing);
    Run dry = reg.remind({QStringLiteral("--dry-run")});
    QCOMPARE(dry.status, 0);
    QCOMPARE(dry.out.count(QStringLiteral("would send: ")), 3);
    QCOMPARE(lastLine(dry.out), QStringLiteral("3 reminders would be sent, 0 skipped without an e-mail address"));
    QCOMPARE(refusing.mails().size(), 0);
    QCOMPARE(reg.marked(), 0);

    // One recipient refused: that one fails, the others go.
    Run refused = reg.remind();
    QCOMPARE(refused.status, 1);
    QCOMPARE(lastLine(refused.out), QStringLiteral("2 reminders sent, 0 skipped without an e-mail address, 1 failed"));
    QVERIFY(refused.out.contains(QStringLiteral("failed: Bob <bob@example.org>")));
    QCOMPARE(refusing.reminders().size(), 2);
    QVERIFY(refusing.mails().last().body.contains(QStringLiteral("failed: Bob")));

    // The next run tries the failed one again, and only that one.
    MailServer server;
    reg.mailTo(server);
    Run retry = reg.remind();
    QCOMPARE(retry.status, 0);
    QCOMPARE(lastLine(retry.out), QStringLiteral("1 reminder sent, 0 skipped without an e-mail address, 0 failed"));
    QCOMPARE(server.reminders().size(), 1);
    QCOMPARE(server.reminders()[0].envelopeTo, QStringLiteral("bob@example.org"));
    QCOMPARE(reg.marked(), 3);
}

void TestReminders::twoRunsAtOnce() {
    QFETCH(QString, backend);
    Register reg(backend);
    constexpr int kHolders = 40;
    for (int i = 1; i <= kHolders; ++i)
        reg.add(i, QStringLiteral("Holder %1").arg(i), QStringLiteral("Class 3"), QStringLiteral("S-%1").arg(i),
                1 + i % 25, QStringLiteral("holder%1@example.org").arg(i));
    MailServer server;
    reg.mailTo(server);
    QProcess* a = reg.start({});
    QProcess* b = reg.start({});
    const Run ra = Register::finish(a), rb = Register::finish(b);
    QCOMPARE(ra.status, 0);
    QCOMPARE(rb.status, 0);
    QStringList recipients;
    for (const Mail& m : server.reminders())
        recipients << m.envelopeTo;
    QCOMPARE(recipients.size(), kHolders);
    recipients.removeDuplicates();
    QCOMPARE(recipients.size(), kHolders);
    QCOMPARE(reg.marked(), kHolders);
}

void TestReminders::badInputStopsBeforeSending() {
    Register reg(QStringLiteral("sqlite"));
    reg.add(1, QStringLiteral("Ann"), QStringLiteral("Class 3"), QStringLiteral("S-A"), 5,
            QStringLiteral("ann@example.org"));
    MailServer server({QStringLiteral("--login"), QStringLiteral("office:secret")});
    reg.mailTo(server);
    reg.set("SmtpUser", QStringLiteral("office"));
    const struct {
        const char* key;
        QString value;
        QString password;
        QString named;
    } cases[] = {
        {"Subject", QStringLiteral("Renew {nmae}"), QStringLiteral("secret"), QStringLiteral("{nmae}")},
        {"Body", QStringLiteral("Dear {name, renew"), QStringLiteral("secret"), QStringLiteral("\"{\" without")},
        {"SmtpUrl", QStringLiteral("smtp//127.0.0.1"), QStringLiteral("secret"), QStringLiteral("smtp//127.0.0.1")},
        {"SmtpUrl", QStringLiteral("smtps://127.0.0.1:%1").arg(server.port()), QStringLiteral("secret"),
         QStringLiteral("secure connection")},
        {"SmtpUrl", server.url(), QStringLiteral("wrong"), QStringLiteral("user name or password")},
    };
    for (const auto& c : cases) {
        const kyt::ProfileFile ini(reg.fx.folder + QStringLiteral("/Confg.ini"));
        const QString before = ini.read(QStringLiteral("Reminders"), QLatin1String(c.key), {}, -1);
        reg.set(c.key, c.value);
        Run run = reg.remind({}, c.password);
        QCOMPARE(run.status, 2);
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
        QVERIFY2(run.err.contains(c.named), qPrintable(run.err));
        if (before.isNull())
            ini.remove(QStringLiteral("Reminders"), QLatin1String(c.key));
        else
            reg.set(c.key, before);
    }
    QCOMPARE(server.mails().size(), 0);
    QCOMPARE(reg.marked(), 0);
    // The password never on the command line; from a file it is taken.
    QCOMPARE(reg.remind({QStringLiteral("--password"), QStringLiteral("secret")}).status, 2);
    QFile secret(reg.fx.folder + QStringLiteral("/smtp-password"));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("secret\n");
    secret.close();
    QCOMPARE(reg.remind({QStringLiteral("--password-file"), secret.fileName()}).status, 0);
    QCOMPARE(server.reminders().size(), 1);
}

// The mail went, but neither its mark, the summary mail nor the summary file landed: each is said.
void TestReminders::unlandedWritesAreReported() {
    Register reg(QStringLiteral("sqlite"));
    reg.add(1, QStringLiteral("Ann"), QStringLiteral("Class 3"), QStringLiteral("S-A"), 5,
            QStringLiteral("ann@example.org"));
    MailServer server({QStringLiteral("--refuse"), QStringLiteral("office@practice.test")});
    reg.mailTo(server);
    reg.fx.db->execute(
        QStringLiteral("Create Table DscReminders (SrNo Int, SerialNo Varchar(100), DtTo Varchar(19), "
                       "Step Int, Email Varchar(255), Status Varchar(10), ClaimedAt Varchar(19), "
                       "SentAt Varchar(19), Desk Varchar(100), Primary Key (SrNo, SerialNo, DtTo, Step))"));
    reg.fx.db->execute(QStringLiteral("Create Trigger NoMark Before Update On DscReminders "
                                      "Begin Select Raise(Abort, 'no marks'); End"));
    QVERIFY(QDir(reg.fx.folder).mkdir(QStringLiteral("LastReminderRun.txt")));
    Run run = reg.remind();
    QCOMPARE(run.status, 1);
    QCOMPARE(server.reminders().size(), 1);
    QVERIFY2(run.out.contains(QStringLiteral("sent: Ann <ann@example.org>, serial S-A")) &&
                 run.out.contains(QStringLiteral("not recorded as sent")),
             qPrintable(run.out));
    QVERIFY(run.out.contains(QStringLiteral("failed: the summary to office@practice.test")));
    QVERIFY2(run.err.contains(QStringLiteral("could not be written to ") + reg.fx.folder), qPrintable(run.err));
    // The claim stands in for the mark: the same day sends nothing again.
    reg.remind();
    QCOMPARE(server.reminders().size(), 1);
}

void TestReminders::dialogEditsSettingsAndSendsTestMail() {
    regtest::RegisterWindow rw;
    MailServer server({QStringLiteral("--login"), QStringLiteral("office:secret")});
    QFile lastRun(rw.fx.folder + QStringLiteral("/LastReminderRun.txt"));
    QVERIFY(lastRun.open(QIODevice::WriteOnly));
    lastRun.write(
        "Reminders of 01/12/2026 08:00:00\n3 reminders sent, 0 skipped without an e-mail address, 0 failed\n");
    lastRun.close();
    rw.open();
    QTest::mouseClick(rw.button("cmdreminders"), Qt::LeftButton);
    RemindersDialog* dialog = nullptr;
    QTRY_VERIFY((dialog = rw.w->findChild<RemindersDialog*>()) && dialog->isVisible());
    QCOMPARE(dialog->txtsteps->text(), QStringLiteral("30,7,1"));
    QVERIFY(dialog->txtlastrun->toPlainText().contains(QStringLiteral("3 reminders sent")));

    QTest::keyClicks(dialog->txtsmtpurl, server.url());
    QTest::keyClicks(dialog->txtsmtpuser, QStringLiteral("office"));
    QTest::keyClicks(dialog->txtfromaddress, QStringLiteral("office@practice.test"));
    QTest::keyClicks(dialog->txtpractice, QStringLiteral("Sharma & Co"));
    dialog->txtsubject->selectAll();
    QTest::keyClicks(dialog->txtsubject, QStringLiteral("Renew {nmae}"));
    QTest::mouseClick(dialog->cmdsave, Qt::LeftButton);
    QCOMPARE(rw.fx.dialogs->messages().value(0),
             QStringLiteral("The Subject template names an unknown placeholder {nmae}."));
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->txtsmtpurl->text(), server.url()); // what was typed stays
    const QString ini = rw.fx.folder + QStringLiteral("/Confg.ini");
    QCOMPARE(ReminderSettings::load(ini).smtpUrl, QString());

    dialog->txtsubject->selectAll();
    QTest::keyClicks(dialog->txtsubject, QStringLiteral("Renew by {valid_to}, {practice}"));
    rw.fx.dialogs->queue(QStringLiteral("secret"));
    QTest::mouseClick(dialog->cmdtestmail, Qt::LeftButton);
    QCOMPARE(rw.fx.dialogs->messages().value(2), QStringLiteral("A test e-mail went to office@practice.test."));
    QCOMPARE(server.mails().size(), 1);
    QCOMPARE(server.mails()[0].envelopeTo, QStringLiteral("office@practice.test"));
    QVERIFY(server.mails()[0].subject.endsWith(QStringLiteral(", Sharma & Co")));

    QTest::mouseClick(dialog->cmdsave, Qt::LeftButton);
    QTRY_VERIFY(!rw.w->findChild<RemindersDialog*>());
    const ReminderSettings saved = ReminderSettings::load(ini);
    QCOMPARE(saved.smtpUrl, server.url());
    QCOMPARE(saved.smtpUser, QStringLiteral("office"));
    QCOMPARE(saved.practice, QStringLiteral("Sharma & Co"));
    QCOMPARE(saved.subject, QStringLiteral("Renew by {valid_to}, {practice}"));
    QCOMPARE(saved.body, ReminderSettings::defaults().body); // a text of many lines, kept whole
}

QTEST_MAIN(TestReminders)
#include "test_reminders.moc"
