// The DscStore table on both backends: how its texts compare, record numbers, a table that another
// program created, failing statements and the lock on record numbers.

#include "component/Module1.h"
#include "store/RecordNumbers.h"
#include "store/StoreStatements.h"
#include "support/TestSupport.h"

#include <QSqlQuery>
#include <QTest>

using testsupport::ComponentFixture;
using namespace Qt::StringLiterals;

namespace {
StoreStatements::RecordValues record(const QString& name, const QString& serial) {
    StoreStatements::RecordValues v;
    v[0] = name;
    v[1] = QStringLiteral("Class 3 Individual");
    v[2] = serial;
    v[3] = QStringLiteral("Issuer");
    v[4] = QStringLiteral("05/03/2010 14:07:09");
    v[5] = QStringLiteral("04/03/2012 23:59:59");
    for (int i = 6; i < 15; ++i)
        if (i != 4 && i != 5)
            v[size_t(i)] = QStringLiteral("v%1").arg(i);
    return v;
}

bool isEmptyQuery(kyt::Db& db, const QString& sql) {
    kyt::RowSet rs = db.openRowSet(sql);
    const bool empty = rs.isEmpty();
    rs.close();
    return empty;
}
} // namespace

class TestStore : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private Q_SLOTS:
    void textComparesWithoutCaseOrTrailingBlanks_data() { testsupport::addBackendColumn(); }
    void textComparesWithoutCaseOrTrailingBlanks();
    void tableWrittenByAnotherProgram_data() { testsupport::addBackendColumn(); }
    void tableWrittenByAnotherProgram();
    void serialCheckUnderTheLock_data() { testsupport::addBackendColumn(); }
    void serialCheckUnderTheLock();
    void failingStatementRaises_data() { testsupport::addBackendColumn(); }
    void failingStatementRaises();
    void sessionLostUnderTheLockFails();
};

// As MariaDB compares this table's texts, so does SQLite: letter case and trailing blanks do not
// count, in tables made now and in a register made before, whose table is declared anew.
void TestStore::textComparesWithoutCaseOrTrailingBlanks() {
    QFETCH(QString, backend);
    ComponentFixture fx(backend);
    QSqlQuery earlier(fx.db->connection());
    QVERIFY(earlier.exec(StoreStatements::createTable()));
    QVERIFY(earlier.exec(u"Create Index ByName On DscStore (Nm)"_s));
    const QStringList names = {u"Zeta"_s, u"alpha"_s, u"Alpha2"_s, u"beta"_s};
    const QStringList serials = {u"S1"_s, u"s1 "_s, u"X"_s, QString()};
    for (int i = 0; i < names.size(); ++i)
        QVERIFY(earlier.exec(StoreStatements::insertRecord(i + 1, record(names[i], serials[i]))));
    earlier.finish();
    fx.db->execute(StoreStatements::createTable());

    QStringList listed;
    for (kyt::RowSet rs = fx.db->openRowSet(StoreStatements::selectAll()); !rs.eof(); rs.next())
        listed << rs.text(u"Nm"_s);
    QCOMPARE(listed, (QStringList{u"alpha"_s, u"Alpha2"_s, u"beta"_s, u"Zeta"_s}));
    QStringList found;
    for (kyt::RowSet rs = fx.db->openRowSet(StoreStatements::selectBySerial(u"S1"_s)); !rs.eof(); rs.next())
        found << rs.text(u"SrNo"_s);
    QCOMPARE(found, (QStringList{u"1"_s, u"2"_s}));
    QVERIFY(isEmptyQuery(*fx.db, StoreStatements::selectBySerialExcept(u"x  "_s, 3)));
    QVERIFY(!isEmptyQuery(*fx.db, StoreStatements::selectBySerialExcept(u"x  "_s, 1)));
    QCOMPARE(NextRecordNumber(*fx.db), 5);
    // The index made on the earlier table is still there.
    QVERIFY(!isEmptyQuery(*fx.db, backend == "sqlite"_L1
                                      ? u"Select name From sqlite_master Where type='index' And name='ByName'"_s
                                      : u"Show Index From DscStore Where Key_name='ByName'"_s));
}

void TestStore::tableWrittenByAnotherProgram() {
    QFETCH(QString, backend);
    ComponentFixture fx(backend);
    // Same columns, another spelling and different types, written without the register's help.
    fx.db->execute(QStringLiteral("CREATE TABLE dscstore (srno INTEGER, nm TEXT, typ TEXT, serialno TEXT, issauth "
                                  "TEXT, dtfrom DATETIME, dtto DATETIME, email TEXT, mobile TEXT, telno TEXT, idprtyp "
                                  "TEXT, idprno TEXT, idprflnm TEXT, addrprtyp TEXT, addrprno TEXT, addrprflnm TEXT)"));
    fx.db->execute(QStringLiteral("INSERT INTO dscstore VALUES (12, 'Foreign', NULL, 'X1', NULL, '2021-02-03 "
                                  "04:05:06', '2023-02-03 04:05:06', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
                                  "NULL)"));
    fx.db->execute(StoreStatements::createTable()); // leaves it as it is
    kyt::RowSet rs = fx.db->openRowSet(StoreStatements::selectAll());
    QCOMPARE(rs.text(QStringLiteral("Nm")), QStringLiteral("Foreign"));
    QCOMPARE(rs.text(QStringLiteral("Typ")), QString());
    QCOMPARE(rs.dateText(QStringLiteral("DtTo")), QStringLiteral("03/02/2023 04:05:06"));
    rs.close();
    QCOMPARE(NextRecordNumber(*fx.db), 13);
}

// The check made with the write, which the import and a save racing another desk rely on: letter case
// does not tell serial numbers apart, and a record is never its own duplicate, whatever its number.
void TestStore::serialCheckUnderTheLock() {
    QFETCH(QString, backend);
    ComponentFixture fx(backend);
    fx.db->execute(StoreStatements::createTable());
    for (const auto& [n, serial] : {std::pair{0, u"ab12"_s}, std::pair{-3, u"NEG"_s}, std::pair{5, u"Five"_s}})
        fx.db->execute(StoreStatements::insertRecord(n, record(u"Holder %1"_s.arg(n), serial)));
    int n = 0;
    QCOMPARE(InsertNewRecord(*fx.db, record(u"Again"_s, u"AB12"_s), n), StoreOutcome::DuplicateSerial);
    QCOMPARE(InsertNewRecord(*fx.db, record(u"Again"_s, u"neg"_s), n), StoreOutcome::DuplicateSerial);
    QCOMPARE(UpdateRecord(*fx.db, 5, record(u"Five"_s, u"Ab12"_s)), StoreOutcome::DuplicateSerial);
    QCOMPARE(UpdateRecord(*fx.db, 0, record(u"Renamed zero"_s, u"AB12"_s)), StoreOutcome::Stored);
    QCOMPARE(UpdateRecord(*fx.db, -3, record(u"Renamed negative"_s, u"NEG"_s)), StoreOutcome::Stored);
    QCOMPARE(UpdateRecord(*fx.db, 0, record(u"Zero"_s, u"five"_s)), StoreOutcome::DuplicateSerial);
    QStringList stored;
    for (kyt::RowSet rs = fx.db->openRowSet(u"Select SrNo, Nm, SerialNo From DscStore Order By SrNo"_s); !rs.eof();
         rs.next())
        stored << rs.text(0) + u' ' + rs.text(1) + u' ' + rs.text(2);
    QCOMPARE(stored, (QStringList{u"-3 Renamed negative NEG"_s, u"0 Renamed zero AB12"_s, u"5 Holder 5 Five"_s}));
}

void TestStore::failingStatementRaises() {
    QFETCH(QString, backend);
    ComponentFixture fx(backend);
    try {
        fx.db->openRowSet(QStringLiteral("Select * from NoSuchTable"));
        QFAIL("a query on a missing table succeeded");
    } catch (const kyt::Error& e) {
        QVERIFY(e.record().number != 0);
        QVERIFY(e.record().description.contains(QStringLiteral("NoSuchTable"), Qt::CaseInsensitive));
    }
    QVERIFY_THROWS_EXCEPTION(kyt::Error, fx.db->execute(QStringLiteral("Insert Into DscStore Values (1)")));
    fx.db->execute(StoreStatements::flushTables()); // no error on either backend
}

// The server's lock on record numbers belongs to the session: after the session is killed, a
// statement under the lock must fail instead of running on a new session that holds no lock.
void TestStore::sessionLostUnderTheLockFails() {
    ComponentFixture fx(QStringLiteral("mysql"));
    const auto other = testsupport::openFreshDb(QStringLiteral("mysql"), fx.folder, QStringLiteral("other"));
    fx.db->execute(StoreStatements::createTable());
    kyt::RowSet rs = fx.db->openRowSet(QStringLiteral("Select Connection_Id()"));
    const QString session = rs.text(0);
    rs.close();
    kyt::ErrorRecord raised;
    try {
        const kyt::Db::AllocationLock lock(*fx.db);
        other->execute(QStringLiteral("Kill Connection ") + session);
        NextRecordNumber(*fx.db);
    } catch (const kyt::Error& e) {
        raised = e.record();
    }
    QVERIFY2(raised.number == kyt::errnum::DatabaseUnreachable, qPrintable(raised.description));
    // The next allocation takes the lock on the new session.
    const kyt::Db::AllocationLock lock(*fx.db);
    QCOMPARE(NextRecordNumber(*fx.db), 1);
}

QTEST_MAIN(TestStore)
#include "test_store.moc"
