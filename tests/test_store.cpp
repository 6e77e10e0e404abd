// The DscStore table on both backends: how its texts compare, record numbers, a table that another
// program created, failing statements and the lock on record numbers.

#include "component/Module1.h"
#include "platform/DbAddress.h"
#include "reminders/ReminderSelection.h"
#include "store/RecordNumbers.h"
#include "store/StoreStatements.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

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

// How earlier versions compared text in place of SQLite's NOCASE: every letter folded, trailing
// blanks ignored; an index ordered by it is out of order for any other program.
int foldedCompare(void*, int leftBytes, const void* left, int rightBytes, const void* right) {
    auto text = [](const void* bytes, int size) {
        QString t = QString::fromUtf8(static_cast<const char*>(bytes), size);
        while (t.endsWith(u' '))
            t.chop(1);
        return t;
    };
    return text(left, leftBytes).compare(text(right, rightBytes), Qt::CaseInsensitive);
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
    void otherProgramsFindTheFileSound();
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

// The standard sqlite3 program checks the register file and finds it sound after each of the
// register's writes, also a file written the earlier way, which is mended when opened. A serial
// number is still looked up through an index, and found whatever its letter case and blanks.
void TestStore::otherProgramsFindTheFileSound() {
    const QString shell = QStandardPaths::findExecutable(u"sqlite3"_s);
    if (shell.isEmpty())
        QSKIP("the sqlite3 program (Debian package sqlite3) is not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath(u"register.db"_s);
    auto verdict = [&] {
        QProcess p;
        p.start(shell, {path, u"PRAGMA integrity_check"_s});
        p.waitForFinished();
        return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
    };
    const QStringList names = {u"\u00C9mile"_s, u"\u00CBmma"_s,  u"\u00E9mile"_s, u"ab "_s,     u"ab\u0001"_s,
                               u"Zo\u00EB"_s,   u"\u00C4rzte"_s, u"\u00E4RZTE"_s, u"zed"_s,     u"\u00DFig"_s,
                               u"SIG"_s,        u"\u00C5se"_s,   u"\u00E5SE "_s,  u"\u00D8l"_s, u"\u00F8L"_s};
    {
        QSqlDatabase earlier = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"earlier"_s);
        earlier.setDatabaseName(path);
        QVERIFY(earlier.open());
        sqlite3* handle = *static_cast<sqlite3* const*>(earlier.driver()->handle().constData());
        QCOMPARE(sqlite3_create_collation_v2(handle, "NOCASE", SQLITE_UTF8, nullptr, foldedCompare, nullptr),
                 SQLITE_OK);
        QSqlQuery q(earlier);
        QVERIFY(q.exec(StoreStatements::createTable().replace(QRegularExpression(u"(Varchar\\(\\d+\\))"_s),
                                                              u"\\1 COLLATE NOCASE"_s)));
        QVERIFY(q.exec(u"Create Index DscStoreNm On DscStore (Nm)"_s));
        QVERIFY(q.exec(u"Create Index DscStoreSerialNo On DscStore (SerialNo)"_s));
        for (int i = 0; i < names.size(); ++i)
            QVERIFY(q.exec(StoreStatements::insertRecord(i + 1, record(names[i], names[i]))));
    }
    QSqlDatabase::removeDatabase(u"earlier"_s);
    QVERIFY(verdict() != "ok"_L1); // the fault being mended

    QString why;
    const auto db = kyt::Db::open(kyt::DbAddress::sqliteFile(path), &why);
    QVERIFY2(db, qPrintable(why));
    QCOMPARE(verdict(), u"ok"_s);
    db->execute(StoreStatements::createTable());
    for (const QString& index : StoreStatements::createIndexes() + ReminderSelection::createIndexes())
        db->execute(index);
    db->execute(u"Create Table If Not Exists KeyedByText (Nm Varchar(100), Step Int(11), Primary Key (Nm, Step))"_s);
    db->execute(u"Insert Into KeyedByText Values ('\u00C9mile', 1), ('\u00E9mile', 1), ('ab ', 1), ('ab', 1)"_s);
    QCOMPARE(verdict(), u"ok"_s);

    int n = 0;
    QCOMPARE(InsertNewRecord(*db, record(u"\u00D6konom"_s, u"\u00C9MILE  "_s), n), StoreOutcome::DuplicateSerial);
    QCOMPARE(InsertNewRecord(*db, record(u"Kelvin"_s, u"ZED"_s), n), StoreOutcome::DuplicateSerial);
    QCOMPARE(InsertNewRecord(*db, record(u"Kelvin"_s, u"\u212A9 "_s), n), StoreOutcome::Stored);
    QCOMPARE(InsertNewRecord(*db, record(u"Kelvin"_s, u"k9"_s), n), StoreOutcome::DuplicateSerial);
    QCOMPARE(UpdateRecord(*db, 2, record(u"\u00C9MILE"_s, u"\u00E4RZTE"_s)), StoreOutcome::DuplicateSerial);
    QCOMPARE(UpdateRecord(*db, 6, record(u"\u00C9MILE"_s, u"ZO\u00CB "_s)), StoreOutcome::Stored);
    QCOMPARE(verdict(), u"ok"_s);
    db->execute(StoreStatements::deleteRecord(3));
    QCOMPARE(verdict(), u"ok"_s);

    // The serial number's look-up goes through the index, not through every row.
    QString plan;
    for (kyt::RowSet rs = db->openRowSet(u"Explain Query Plan "_s + StoreStatements::selectBySerial(u"x"_s) +
                                         db->indexedTextMatch(u"SerialNo"_s, {u"x"_s}));
         !rs.eof(); rs.next())
        plan += rs.text(3);
    QVERIFY2(plan.contains(u"DscStoreSerialNo"_s), qPrintable(plan));
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
