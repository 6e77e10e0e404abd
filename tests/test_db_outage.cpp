// The register when its MariaDB server stops answering: a throwaway server of this test's own,
// paused while the register works on it.

#include "host/HostOptions.h"
#include "host/HostSession.h"
#include "host/HostWindow.h"
#include "support/PausableServer.h"
#include "support/RegisterWindowHarness.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QThread>

using namespace regtest;
using testsupport::PausableServer;

namespace {
// Clicks as a user does: the event loop runs between two clicks.
void click(QAbstractButton* button) {
    QCoreApplication::processEvents();
    QTest::mouseClick(button, Qt::LeftButton);
}
} // namespace

class TestDbOutage : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void commandLineGivesUpWithOneLine();
    void typedRecordOutlivesTheOutage();
    void changeThatMayHaveRunIsNotRepeated();
    void hostWindowNeverWaitsForTheCounts();

private:
    std::unique_ptr<PausableServer> server_;
};

void TestDbOutage::initTestCase() {
    server_ = std::make_unique<PausableServer>();
    QString log;
    QVERIFY2(server_->start(&log), qPrintable(log));
    qputenv("KYT_TEST_MYSQL", server_->address(QStringLiteral("kyttest")).toUtf8());
}

void TestDbOutage::commandLineGivesUpWithOneLine() {
    RegisterWindow h(QStringLiteral("mysql"));
    h.store({.srNo = 1, .name = QStringLiteral("Existing")});
    const QString database = h.fx.db->connection().databaseName();
    server_->pause();
    // A statement on an open connection: the wait ends, a reconnect fails, the error says why.
    kyt::ErrorRecord raised;
    try {
        h.fx.db->openRowSet(QStringLiteral("Select * from DscStore Order By DtFrom,Nm"));
    } catch (const kyt::Error& e) {
        raised = e.record();
    }
    QProcess p;
    p.start(testsupport::binDir() + QStringLiteral("/dscmgr"),
            {QStringLiteral("list"), QStringLiteral("--folder"), h.fx.folder, QStringLiteral("--db"),
             server_->address(database)});
    const bool finished = p.waitForFinished(60000);
    server_->resume();
    QVERIFY2(raised.number == kyt::errnum::DatabaseUnreachable, qPrintable(raised.description));
    QVERIFY(finished);
    QCOMPARE(p.exitCode(), 2);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(err.split(QLatin1Char('\n')).filter(QStringLiteral("dscmgr:")).size(), 1);
    QCOMPARE(p.readAllStandardOutput(), QByteArray());
}

// The list reload logs what failed; a save tells the user once and keeps the window in entry mode
// with everything typed; once the server answers again the same save writes the record.
void TestDbOutage::typedRecordOutlivesTheOutage() {
    RegisterWindow h(QStringLiteral("mysql"));
    h.store({.srNo = 1, .name = QStringLiteral("Existing")});
    h.open();
    QCOMPARE(h.w->vs->Rows(), 2);

    server_->pause();
    click(h.find<QRadioButton>(QStringLiteral("options(1)")));
    QCOMPARE(h.w->vs->Rows(), 1);
    QVERIFY(h.fx.logText().contains(QStringLiteral("LOADGRID")));
    server_->resume();
    click(h.find<QRadioButton>(QStringLiteral("options(0)")));
    QCOMPARE(h.w->vs->Rows(), 2);

    click(h.button("cmdadd"));
    h.fill(QStringLiteral("Typed Meanwhile"), kFrom, kTo, QStringLiteral("S-42"));
    h.text(6)->setText(QStringLiteral("typed@example.in"));
    server_->pause();
    QElapsedTimer waited;
    waited.start();
    click(h.button("cmdupdate"));
    qInfo("save against a silent server gave up after %lld ms (timeout 2 s, reconnect included)", waited.elapsed());
    server_->resume();
    const QStringList said = h.said();
    QCOMPARE(said.size(), 1);
    QVERIFY2(said[0].contains(QStringLiteral("cannot be reached")), qPrintable(said[0]));
    QVERIFY(h.button("cmdupdate")->isVisible());
    QCOMPARE(h.text(0)->text(), QStringLiteral("Typed Meanwhile"));
    QCOMPARE(h.text(6)->text(), QStringLiteral("typed@example.in"));
    QCOMPARE(h.date(1)->text(), kTo);
    QVERIFY(h.fx.logText().contains(QStringLiteral("CMDUPDATE_CLICK")));

    click(h.button("cmdupdate"));
    QVERIFY(!h.button("cmdupdate")->isVisible());
    QCOMPARE(h.numbers(), (QList<int>{1, 2}));
    QCOMPARE(h.column(2, "SerialNo"), QStringLiteral("S-42"));
    QCOMPARE(h.column(2, "Email"), QStringLiteral("typed@example.in"));
}

// A server slower to reply than the client waits: the insert is carried out although its reply
// never came. Running it again on a new connection would store the row twice.
void TestDbOutage::changeThatMayHaveRunIsNotRepeated() {
    RegisterWindow h(QStringLiteral("mysql"));
    h.store({.srNo = 1, .name = QStringLiteral("Existing")});
    kyt::Db& db = *h.fx.db;
    db.execute(QStringLiteral("Create Trigger slow Before Insert On DscStore For Each Row Set @waited=Sleep(3)"));
    kyt::ErrorRecord raised;
    try {
        db.execute(QStringLiteral("Insert Into DscStore (SrNo, Nm) Values (2, 'Slow')"));
    } catch (const kyt::Error& e) {
        raised = e.record();
    }
    QVERIFY2(raised.number == kyt::errnum::DatabaseUnreachable, qPrintable(raised.description));
    QThread::msleep(4000); // the server finishes what it was given
    QCoreApplication::processEvents();
    kyt::RowSet rs = db.openRowSet(QStringLiteral("Select Count(*) From DscStore Where SrNo=2"));
    QCOMPARE(rs.text(0), QStringLiteral("1"));
}

// The host's window counts the register in the background each time it is activated: with the
// server silent it goes on answering, shows the counts it had as such, says when they could not be
// read, and shows the new counts once the server answers again.
void TestDbOutage::hostWindowNeverWaitsForTheCounts() {
    testsupport::ComponentFixture fx(QStringLiteral("mysql"));
    fx.attach();
    fx.db->execute(StoreStatements::createTable());
    fx.insert(1, QStringLiteral("One"), kFrom, kTo);
    QString error;
    const auto options = HostOptions::parse({QStringLiteral("--folder"), fx.folder, QStringLiteral("--db"),
                                             server_->address(fx.db->connection().databaseName())},
                                            &error);
    QVERIFY2(options, qPrintable(error));
    auto session = HostSession::open(*options, fx.services(), &error);
    QVERIFY2(session, qPrintable(error));
    HostWindow window(*session);
    QWidget elsewhere;
    const auto activate = [](QWidget& w) {
        w.show();
        w.activateWindow();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
    };
    activate(window);
    auto* all = window.findChild<QPushButton*>(QStringLiteral("cmdallcount"));
    auto* state = window.findChild<QLabel*>(QStringLiteral("lblcountstate"));
    QTRY_COMPARE(all->text(), QStringLiteral("1 certificate in the register"));
    QTRY_VERIFY(!state->isVisible());

    fx.insert(2, QStringLiteral("Two"), kFrom, kTo);
    server_->pause();
    activate(elsewhere);
    activate(window);
    QVERIFY2(state->isVisible() && state->text().startsWith(QStringLiteral("Counting again")),
             qPrintable(state->text()));
    QCOMPARE(all->text(), QStringLiteral("1 certificate in the register"));
    QTRY_VERIFY_WITH_TIMEOUT(state->text().startsWith(QStringLiteral("The register could not be read just now; the "
                                                                     "counts shown were read at 10:30:00")),
                             60000);
    QCOMPARE(all->text(), QStringLiteral("1 certificate in the register"));

    server_->resume();
    activate(elsewhere);
    activate(window);
    QTRY_COMPARE_WITH_TIMEOUT(all->text(), QStringLiteral("2 certificates in the register"), 60000);
    QTRY_VERIFY(!state->isVisible());
}

QTEST_MAIN(TestDbOutage)
#include "test_db_outage.moc"
