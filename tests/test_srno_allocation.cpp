// Several desks saving into one register at the same moment: four processes add 250 records each;
// every record must be there, each under a number of its own. And the lock that keeps the numbers
// apart is never silently lost.

#include "store/RecordNumbers.h"
#include "store/StoreStatements.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSet>

class TestSrNoAllocation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void concurrentSavesGetDistinctNumbers_data() { testsupport::addBackendColumn(); }
    void concurrentSavesGetDistinctNumbers();
    void sessionLostUnderTheLockFails();
};

void TestSrNoAllocation::concurrentSavesGetDistinctNumbers() {
    QFETCH(QString, backend);
    constexpr int kDesks = 4;
    constexpr int kSavesEach = 250;
    QTemporaryDir dir;
    const auto db = testsupport::openFreshDb(backend, dir.path(), QStringLiteral("load"));
    db->execute(StoreStatements::createTable());
    const QString address = testsupport::addressOf(*db);

    QElapsedTimer timer;
    timer.start();
    std::vector<std::unique_ptr<QProcess>> desks;
    for (int i = 0; i < kDesks; ++i) {
        desks.push_back(std::make_unique<QProcess>());
        desks.back()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        desks.back()->start(testsupport::binDir() + QStringLiteral("/srno_saver"),
                            {address, QString::number(kSavesEach), QStringLiteral("desk%1").arg(i)});
    }
    for (auto& desk : desks) {
        QVERIFY(desk->waitForFinished(300000));
        QCOMPARE(desk->exitCode(), 0);
    }
    qInfo("%s: %d processes x %d saves in %lld ms", qPrintable(backend), kDesks, kSavesEach, timer.elapsed());

    kyt::RowSet rs = db->openRowSet(QStringLiteral("Select SrNo, Nm From DscStore"));
    QSet<int> numbers;
    QSet<QString> names;
    int rows = 0;
    for (; !rs.eof(); rs.next(), ++rows) {
        numbers.insert(rs.value(0).toInt());
        names.insert(rs.text(1));
    }
    rs.close();
    QCOMPARE(rows, kDesks * kSavesEach);
    QCOMPARE(names.size(), kDesks * kSavesEach);
    QCOMPARE(numbers.size(), kDesks * kSavesEach);
    QVERIFY(numbers.contains(1) && numbers.contains(kDesks * kSavesEach));
}

// The server's lock belongs to the session: after the session is killed, a statement under the lock
// must fail instead of running on a new session that holds no lock.
void TestSrNoAllocation::sessionLostUnderTheLockFails() {
    QTemporaryDir dir;
    const auto db = testsupport::openFreshDb(QStringLiteral("mysql"), dir.path(), QStringLiteral("session"));
    const auto other = testsupport::openFreshDb(QStringLiteral("mysql"), dir.path(), QStringLiteral("other"));
    db->execute(StoreStatements::createTable());
    kyt::RowSet rs = db->openRowSet(QStringLiteral("Select Connection_Id()"));
    const QString session = rs.text(0);
    rs.close();
    kyt::ErrorRecord raised;
    try {
        const kyt::Db::AllocationLock lock(*db);
        other->execute(QStringLiteral("Kill Connection ") + session);
        NextRecordNumber(*db);
    } catch (const kyt::Error& e) {
        raised = e.record();
    }
    QVERIFY2(raised.number == kyt::errnum::DatabaseUnreachable, qPrintable(raised.description));
    // The next allocation takes the lock on the new session.
    const kyt::Db::AllocationLock lock(*db);
    QCOMPARE(NextRecordNumber(*db), 1);
}

QTEST_MAIN(TestSrNoAllocation)
#include "test_srno_allocation.moc"
