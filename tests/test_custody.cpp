// Where each signing token is: movements in order across desks with their history entries, the
// refusals of bad input, the entry form's token line and its dialogs driven by clicks and keys, the
// receipt read back from its PDF, the host window's counts and the command line as a process.

#include "component/Module1.h"
#include "custody/TokenCustody.h"
#include "custody/TokenOut.h"
#include "host/HostSession.h"
#include "host/HostWindow.h"
#include "listing/ListFindBar.h"
#include "platform/ObjectRegistry.h"
#include "register/CustodyDialogs.h"
#include "register/HistoryDialogs.h"
#include "store/DeletedRecords.h"
#include "store/RecordHistory.h"
#include "store/Renewals.h"
#include "support/RegisterWindowHarness.h"

#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTreeWidget>

using namespace regtest;
using namespace Qt::StringLiterals;
using testsupport::addBackendColumn;
using MoveKind = custody::Request::Kind;

namespace {
QDateTime at(const QString& text) {
    return QDateTime::fromString(text, u"dd/MM/yyyy HH:mm:ss"_s);
}

custody::Request handOver(int n, const QString& to, const QString& when = {}) {
    return {.kind = MoveKind::HandOver,
            .srNo = n,
            .name = to,
            .at = when.isEmpty() ? std::nullopt : std::optional(at(when))};
}

custody::Request receive(int n, const QString& place, const QString& when = {}) {
    return {.kind = MoveKind::Receive,
            .srNo = n,
            .place = place,
            .at = when.isEmpty() ? std::nullopt : std::optional(at(when))};
}

int rowsOf(kyt::Db& db, const QString& table) {
    kyt::RowSet rs = db.openRowSet(u"Select Count(*) From "_s + table);
    const int n = rs.value(0).toInt();
    rs.close();
    return n;
}

QStringList custodyChanges(kyt::Db& db, int n) {
    QStringList out;
    for (const RecordHistory::Entry& e : RecordHistory::entries(db, n))
        if (e.change == RecordHistory::Change::Custody)
            for (const RecordHistory::FieldChange& c : RecordHistory::changes(e))
                out.prepend(c.field + u": "_s + c.before + u" -> "_s + c.after);
    return out;
}

template <class T> T* waitForDialog(QWidget* parent) {
    T* dialog = nullptr;
    if (!QTest::qWaitFor([&] { return (dialog = parent->findChild<T*>()) && dialog->isVisible(); }))
        return nullptr;
    // As a window manager would, the dialog becomes the active window.
    QApplication::setActiveWindow(dialog);
    return QTest::qWaitForWindowActive(dialog) ? dialog : nullptr;
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
} // namespace

class TestCustody : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private Q_SLOTS:
    void movementsInOrderAcrossTwoDesks_data() { addBackendColumn(); }
    void movementsInOrderAcrossTwoDesks();
    void badInputRefusedNothingWritten_data() { addBackendColumn(); }
    void badInputRefusedNothingWritten();
    void tokenLineAndDialogsByClicksAndKeys_data() { addBackendColumn(); }
    void tokenLineAndDialogsByClicksAndKeys();
    void receiptReadBackFromItsPdf_data() { addBackendColumn(); }
    void receiptReadBackFromItsPdf();
    void tokenWithColumnShownFoundNotPrinted_data() { addBackendColumn(); }
    void tokenWithColumnShownFoundNotPrinted();
    void deletedRecordTakesItsCustodyAlong_data() { addBackendColumn(); }
    void deletedRecordTakesItsCustodyAlong();
    void hostCountsAtTheEdgeOfTheDays_data() { addBackendColumn(); }
    void hostCountsAtTheEdgeOfTheDays();
    void commandLine_data() { addBackendColumn(); }
    void commandLine();
    void renewalCarriesTheCustodyOver_data() { addBackendColumn(); }
    void renewalCarriesTheCustodyOver();
};

// Two desks move one token in turn: each movement starts from where the last one left it, the
// current custody follows, and each writes one history entry saying so.
void TestCustody::movementsInOrderAcrossTwoDesks() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    rw.store({.srNo = 1, .name = u"Asha Rao"_s, .serial = u"S1"_s});
    QString why;
    const std::shared_ptr<kyt::Db> second = testsupport::openAnotherDesk(*rw.fx.db, &why);
    QVERIFY2(second, qPrintable(why));
    kyt::Db& first = *rw.fx.db;
    QVERIFY(!custody::tableExists(first));

    auto with = [&](kyt::Db& db) {
        const auto last = custody::lastMovement(db, 1);
        return last ? custody::describe(last->to, u"Asha Rao"_s) : custody::kNotRecorded;
    };
    QCOMPARE(custody::record(first, handOver(1, u"Ramesh Kumar"_s, u"01/12/2026 09:00:00"_s)).refusal, QString());
    QCOMPARE(with(*second), u"Ramesh Kumar"_s);
    QVERIFY(custody::record(*second, receive(1, u"Drawer 3"_s, u"02/12/2026 17:15:00"_s)).written);
    QCOMPARE(with(first), u"Office, Drawer 3"_s);
    const custody::Outcome now = custody::record(first, handOver(1, u" asha rao "_s));
    QVERIFY(now.written);
    QCOMPARE(with(*second), u"asha rao (holder)"_s);
    QCOMPARE(now.movement.movedAt, now.movement.recordedAt); // no time given: the database's now

    const QList<custody::Movement> all = custody::movements(*second, 1);
    QCOMPARE(all.size(), 3);
    QCOMPARE(all[0].from, custody::Party{});
    for (int i = 1; i < all.size(); ++i)
        QCOMPARE(all[i].from, all[i - 1].to);
    QCOMPARE(all[1].to, (custody::Party{u"Office"_s, u"Drawer 3"_s}));
    QCOMPARE(all[0].serialNo, u"S1"_s);
    QVERIFY(!all[0].host.isEmpty() && !all[0].login.isEmpty());
    QCOMPARE(custodyChanges(first, 1), (QStringList{u"Token With: Not recorded -> Ramesh Kumar"_s,
                                                    u"Token With: Ramesh Kumar -> Office, Drawer 3"_s,
                                                    u"Token With: Office, Drawer 3 -> asha rao (holder)"_s}));
    const QHash<int, custody::Held> current = custody::currentOfAll(first);
    QCOMPARE(current.size(), 1);
    QCOMPARE(current[1].since, now.movement.movedAt);
}

// Each bad movement is refused with one line, and neither a movement nor a history entry is
// written; the same movement with good input then goes through.
void TestCustody::badInputRefusedNothingWritten() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    kyt::Db& db = *rw.fx.db;
    rw.store({.srNo = 1, .name = u"Asha"_s, .serial = u"S1"_s}); // valid from 01/04/2010 10:00:00
    rw.store({.srNo = 2, .name = u"Gone"_s, .serial = u"S2"_s});
    QVERIFY(custody::record(db, handOver(1, u"Ramesh"_s, u"01/06/2020 10:00:00"_s)).written);
    QVERIFY(DeletedRecords::deleteRecord(db, rw.fx.folder, 2, rw.fx.clock->now()).deleted);
    const int movements = rowsOf(db, u"DscCustody"_s), entries = rowsOf(db, u"DscHistory"_s);

    const QDateTime future = custody::databaseNow(db).addSecs(120);
    const QList<std::pair<custody::Request, QString>> refused = {
        {handOver(2, u"Ramesh"_s), u"Sr. No. 2 is not in the register."_s},
        {receive(2, u"Drawer"_s), u"Sr. No. 2 is not in the register."_s},
        {handOver(1, u"   "_s), u"Give the name of whom the token is handed over to."_s},
        {handOver(1, u"office"_s), u"A token comes back into the office by Receive, not by a hand-over."_s},
        {{.kind = MoveKind::HandOver, .srNo = 1, .name = u"Bala"_s, .at = future},
         u"The date %1 is in the future."_s.arg(future.toString(u"dd/MM/yyyy HH:mm:ss"_s))},
        {receive(1, u"Drawer"_s, u"01/04/2010 09:59:59"_s),
         u"The date 01/04/2010 09:59:59 is before the certificate's Valid From, 01/04/2010 10:00:00."_s},
        {receive(1, u"Drawer"_s, u"31/05/2020 10:00:00"_s),
         u"The date 31/05/2020 10:00:00 is before the token's last movement, 01/06/2020 10:00:00."_s},
        {{.kind = MoveKind::Receive, .srNo = 1, .at = QDateTime()},
         u"Enter the date and time as DD/MM/YYYY HH:MM:SS."_s},
    };
    for (const auto& [request, line] : refused) {
        const custody::Outcome outcome = custody::record(db, request);
        QVERIFY(!outcome.written);
        QCOMPARE(outcome.refusal, line);
    }
    QCOMPARE(rowsOf(db, u"DscCustody"_s), movements);
    QCOMPARE(rowsOf(db, u"DscHistory"_s), entries);
    // The edges themselves are taken: at the Valid From and at the last movement.
    QVERIFY(custody::record(db, receive(1, u"Drawer"_s, u"01/06/2020 10:00:00"_s)).written);
    QCOMPARE(rowsOf(db, u"DscCustody"_s), movements + 1);
}

// The form's token line follows the current row; "Hand Over..." and "Receive..." open their dialog,
// typed into and closed with Enter; Escape closes one writing nothing; a refusal keeps the dialog
// and what was typed.
void TestCustody::tokenLineAndDialogsByClicksAndKeys() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    rw.store({.srNo = 1, .name = u"Asha Rao"_s, .serial = u"S1"_s});
    rw.store({.srNo = 2, .name = u"Bala"_s, .serial = u"S2"_s, .from = u"01/04/2011 10:00:00"_s});
    rw.open();
    rw.selectRecord(1);
    QCOMPARE(rw.w->lbltoken->text(), u"Token: Not recorded"_s);
    QVERIFY(!rw.w->cmdreceipt->isEnabled());

    // Escape: nothing written.
    rw.click(rw.w->cmdhandover);
    auto* dialog = waitForDialog<TokenMoveDialog>(rw.w);
    QVERIFY(dialog);
    QCOMPARE(dialog->txtcustodyat->text(), rw.fx.clock->now().toString(u"dd/MM/yyyy HH:mm:ss"_s));
    QTest::keyClicks(dialog->txtcustodyname, u"Ramesh"_s);
    QCOMPARE(QApplication::focusWidget(), dialog->txtcustodyname);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!rw.w->findChild<TokenMoveDialog*>());
    QVERIFY(!custody::tableExists(*rw.fx.db) || custody::movements(*rw.fx.db, 1).isEmpty());

    // Enter with no name: refused, the dialog stays with the note typed.
    rw.click(rw.w->cmdhandover);
    QVERIFY((dialog = waitForDialog<TokenMoveDialog>(rw.w)));
    QTest::keyClicks(dialog->txtcustodynote, u"for the GST filing"_s);
    QTest::keyClick(dialog->txtcustodynote, Qt::Key_Return);
    QCOMPARE(rw.said().last(), u"Give the name of whom the token is handed over to."_s);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->txtcustodynote->text(), u"for the GST filing"_s);
    QTest::keyClicks(dialog->txtcustodyname, u"Ramesh Kumar"_s);
    QTest::keyClick(dialog->txtcustodyname, Qt::Key_Return);
    QTRY_VERIFY(!rw.w->findChild<TokenMoveDialog*>());
    QVERIFY(rw.w->lbltoken->text().startsWith(u"Token: with Ramesh Kumar since "_s));
    QCOMPARE(custody::movements(*rw.fx.db, 1).value(0).note, u"for the GST filing"_s);
    QVERIFY(rw.w->cmdreceipt->isEnabled());

    // The other row has its own line; back on the first, "Receive..." offers whoever has it.
    rw.selectRecord(2);
    QCOMPARE(rw.w->lbltoken->text(), u"Token: Not recorded"_s);
    rw.selectRecord(1);
    rw.click(rw.w->cmdreceive);
    QVERIFY((dialog = waitForDialog<TokenMoveDialog>(rw.w)));
    QCOMPARE(dialog->txtcustodyname->text(), u"Ramesh Kumar"_s);
    QTest::keyClick(dialog->txtcustodyname, Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget(), u"Drawer 3"_s);
    QCOMPARE(dialog->txtcustodyplace->text(), u"Drawer 3"_s);
    // A time typed in the future is refused.
    auto typeTime = [&](const QString& digits) {
        dialog->txtcustodyat->setFocus();
        QTest::keyClick(dialog->txtcustodyat, Qt::Key_Home);
        QTest::keyClicks(dialog->txtcustodyat, digits);
    };
    typeTime(u"01012099101010"_s);
    QTest::mouseClick(dialog->cmdcustodyok, Qt::LeftButton);
    QVERIFY(rw.said().last().endsWith(u"is in the future."_s));
    // Typed again as the database's now: after the hand-over, and not in the future.
    const QDateTime now = custody::databaseNow(*rw.fx.db);
    typeTime(now.toString(u"ddMMyyyyHHmmss"_s));
    QTest::mouseClick(dialog->cmdcustodyok, Qt::LeftButton);
    QTRY_VERIFY(!rw.w->findChild<TokenMoveDialog*>());
    QCOMPARE(rw.w->lbltoken->text(),
             u"Token: in the Office, Drawer 3 since "_s + now.toString(u"dd/MM/yyyy HH:mm:ss"_s));

    // In entry mode the token stays where it is: its buttons are out of reach.
    rw.click(rw.w->cmdmodify);
    QVERIFY(!rw.w->cmdhandover->isEnabled() && !rw.w->cmdreceive->isEnabled() && !rw.w->cmdreceipt->isEnabled());
    rw.click(rw.w->cmdcancel);
    QVERIFY(rw.w->cmdhandover->isEnabled());
}

// "Print Receipt..." writes one page through the report component, holding every part of the
// movement and the practice's name, and opens it.
void TestCustody::receiptReadBackFromItsPdf() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    testsupport::writeFile(rw.fx.folder + u"/Confg.ini"_s, "[Reminders]\nPractice=Mehta & Co. Chartered Accountants\n");
    rw.store({.srNo = 4, .name = u"Asha Rao"_s, .type = u"Class 3"_s, .serial = u"5A0F11"_s, .authority = u"CA One"_s});
    custody::Request request = handOver(4, u"Ramesh Kumar"_s, u"03/12/2026 11:45:00"_s);
    request.note = u"For the GST return of November"_s;
    QVERIFY(custody::record(*rw.fx.db, request).written);
    ReportObj() = rw.fx.objects->create(u"PrjLumen.RepView"_s);
    rw.open();
    rw.selectRecord(4);
    const QString pdf = rw.fx.folder + u"/receipt.pdf"_s;
    rw.fx.dialogs->queue(pdf);
    rw.click(rw.w->cmdreceipt);
    QCOMPARE(rw.fx.desktop->documents, QStringList{pdf});
    ReportObj().reset();

    const QString info = run(u"pdfinfo"_s, {pdf});
    QVERIFY2(info.contains(QRegularExpression(u"Pages:\\s+1\\n"_s)), qPrintable(info));
    const QString text = run(u"pdftotext"_s, {u"-layout"_s, pdf, u"-"_s}).simplified();
    for (const QString& part :
         {u"Mehta & Co. Chartered Accountants"_s, u"Receipt: Signing Token Handed Over"_s, u"Holder Asha Rao"_s,
          u"Certificate Class 3, issued by CA One"_s, u"Serial No. 5A0F11"_s,
          u"Valid 01/04/2010 10:00:00 to 31/03/2030 10:00:00"_s, u"From Not recorded"_s, u"To Ramesh Kumar"_s,
          u"Date 03/12/2026 11:45:00"_s, u"Note For the GST return of November"_s, u"Handed over by: Not recorded"_s,
          u"Received by: Ramesh Kumar"_s})
        QVERIFY2(text.contains(part), qPrintable(part + u" not in: "_s + text));
}

// "Token With" adds a column of the view: it names where each token is, a hand-over changes it, find
// matches it, a heading click sorts by it; the print column selection does not offer it.
void TestCustody::tokenWithColumnShownFoundNotPrinted() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    rw.store({.srNo = 1, .name = u"Asha Rao"_s, .serial = u"S1"_s});
    rw.store({.srNo = 2, .name = u"Bala"_s, .serial = u"S2"_s});
    rw.store({.srNo = 3, .name = u"Chitra"_s, .serial = u"S3"_s});
    QVERIFY(custody::record(*rw.fx.db, receive(2, u"Drawer 3"_s, u"01/12/2026 10:00:00"_s)).written);
    rw.open();
    CertListModel* model = rw.w->vs->listModel();
    QCOMPARE(model->columnCount(), CertListModel::kColumns);
    rw.click(rw.w->chktokenwith);
    const int column = CertListModel::kColumns;
    QCOMPARE(model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(), u"Token With"_s);
    auto cells = [&] {
        QStringList out;
        for (int row = 1; row < rw.w->vs->Rows(); ++row)
            out << rw.w->vs->TextMatrix(row, 2) + u": "_s + rw.w->vs->TextMatrix(row, column);
        return out;
    };
    QCOMPARE(cells(),
             (QStringList{u"Asha Rao: Not recorded"_s, u"Bala: Office, Drawer 3"_s, u"Chitra: Not recorded"_s}));

    rw.selectRecord(3);
    rw.click(rw.w->cmdhandover);
    auto* dialog = waitForDialog<TokenMoveDialog>(rw.w);
    QVERIFY(dialog);
    QTest::keyClicks(dialog->txtcustodyname, u"Ramesh Kumar"_s);
    QTest::keyClick(dialog->txtcustodyname, Qt::Key_Return);
    QTRY_VERIFY(!rw.w->findChild<TokenMoveDialog*>());
    QCOMPARE(cells().last(), u"Chitra: Ramesh Kumar"_s);
    QCOMPARE(rw.w->vs->TextMatrix(rw.w->vs->Row(), 2), u"Chitra"_s); // still on the record moved

    // Twice: downwards, which the load order is not.
    for (int click = 0; click < 2; ++click)
        QTest::mouseClick(rw.w->vs->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(rw.w->vs->horizontalHeader()->sectionViewportPosition(column) + 5, 5));
    QCOMPARE(cells(),
             (QStringList{u"Chitra: Ramesh Kumar"_s, u"Bala: Office, Drawer 3"_s, u"Asha Rao: Not recorded"_s}));
    rw.w->vs->setFocus();
    QTest::keyClick(rw.w->vs, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(rw.find<ListFindBar>(u"famfind"_s)->box(), u"ramesh"_s);
    QCOMPARE(cells(), QStringList{u"Chitra: Ramesh Kumar"_s});
    QTest::keyClick(rw.find<ListFindBar>(u"famfind"_s)->box(), Qt::Key_Escape);

    rw.click(rw.w->cmdpreview);
    QStringList offered;
    for (int r = 1; r < rw.w->vsP->Rows(); ++r)
        offered << rw.w->vsP->TextMatrix(r, PrintColumnModel::kHeadingColumn);
    QVERIFY(!offered.contains(u"Token With"_s));
    QCOMPARE(offered.size(), CertListModel::kColumns);
}

// Now is 05/12/2026 10:30:00. At 14 days, the default, a token out since exactly 14 days ago is out,
// not overdue; one out a second longer is overdue. "OutDays" set to 13 moves the edge by a day in the
// host window, whose counts each open the register on their rows.
void TestCustody::hostCountsAtTheEdgeOfTheDays() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    kyt::Db& db = *rw.fx.db;
    const QStringList names = {u"In Office"_s, u"Exactly 14"_s, u"Over 14"_s, u"Recent"_s,
                               u"Never"_s,     u"Exactly 13"_s, u"Over 13"_s};
    for (int n = 1; n <= names.size(); ++n)
        rw.store({.srNo = n, .name = names[n - 1], .serial = u"S%1"_s.arg(n)});
    QVERIFY(custody::record(db, handOver(1, u"Ramesh"_s, u"01/11/2026 10:00:00"_s)).written);
    QVERIFY(custody::record(db, receive(1, u"Box"_s, u"02/11/2026 10:00:00"_s)).written);
    QVERIFY(custody::record(db, handOver(2, u"Ramesh"_s, u"21/11/2026 10:30:00"_s)).written);
    QVERIFY(custody::record(db, handOver(3, u"Suresh"_s, u"21/11/2026 10:29:59"_s)).written);
    QVERIFY(custody::record(db, handOver(4, u"Recent"_s, u"04/12/2026 10:00:00"_s)).written);
    QVERIFY(custody::record(db, handOver(6, u"Ramesh"_s, u"22/11/2026 10:30:00"_s)).written);
    QVERIFY(custody::record(db, handOver(7, u"Suresh"_s, u"22/11/2026 10:29:59"_s)).written);
    const custody::OutCounts counts = custody::countOut(db, rw.fx.clock->now(), 14);
    QCOMPARE(counts.out, 5);
    QCOMPARE(counts.overdue, 1);

    QString error;
    auto openSession = [&] {
        return HostSession::open(
            *HostOptions::parse({u"--folder"_s, rw.fx.folder, u"--db"_s, testsupport::addressOf(db)}, &error),
            rw.fx.services(), &error);
    };
    {
        // No setting: the host window counts at the default.
        auto session = openSession();
        QVERIFY2(session, qPrintable(error));
        HostWindow window(*session);
        window.show();
        auto* overdue = window.findChild<QPushButton*>(u"cmdtokensoverduecount"_s);
        QTRY_COMPARE(overdue->text(), u"1 out for more than 14 days"_s);
    }

    testsupport::writeFile(rw.fx.folder + u"/Confg.ini"_s, "[Custody]\nOutDays=13\n");

    auto session = openSession();
    QVERIFY2(session, qPrintable(error));
    HostWindow window(*session);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* out = window.findChild<QPushButton*>(u"cmdtokensoutcount"_s);
    auto* overdue = window.findChild<QPushButton*>(u"cmdtokensoverduecount"_s);
    QTRY_COMPARE(out->text(), u"5 tokens are out of the office"_s);
    QCOMPARE(overdue->text(), u"3 out for more than 13 days"_s);

    auto listed = [&] {
        frmDscMain* w = session->component()->registerWindow();
        QStringList shown;
        for (int row = 1; w && row < w->vs->Rows(); ++row)
            shown << w->vs->TextMatrix(row, 2);
        shown.sort();
        return shown;
    };
    QTest::mouseClick(out, Qt::LeftButton);
    QTRY_COMPARE(listed(), (QStringList{u"Exactly 13"_s, u"Exactly 14"_s, u"Over 13"_s, u"Over 14"_s, u"Recent"_s}));
    QTest::mouseClick(overdue, Qt::LeftButton);
    QTRY_COMPARE(listed(), (QStringList{u"Exactly 14"_s, u"Over 13"_s, u"Over 14"_s}));
    session->component()->registerWindow()->Unload();
}

// The commands as a script runs them: out, in, the movements as text and JSON, list --token-out at
// the edge of its days, and each refusal as one line with exit status 2.
void TestCustody::commandLine() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    rw.store({.srNo = 1, .name = u"Asha Rao"_s, .serial = u"S1"_s});
    rw.store({.srNo = 2, .name = u"Bala"_s, .serial = u"S2"_s});
    const QStringList where = {u"--folder"_s, rw.fx.folder, u"--db"_s, testsupport::addressOf(*rw.fx.db)};
    const QString registry = rw.fx.objects->file();
    auto dscmgr = [&](const QStringList& args) { return testsupport::runDscmgr(args + where, registry); };

    auto none = dscmgr({u"custody"_s, u"1"_s});
    QCOMPARE(none.status, 0);
    QCOMPARE(none.lines.value(0), u"Sr. No. 1\tAsha Rao\tS1\tToken with: Not recorded"_s);
    // A program's clock is the machine's: the first token went out 20 days before the database's now.
    const QString sent = custody::databaseNow(*rw.fx.db).addDays(-20).toString(u"dd/MM/yyyy HH:mm:ss"_s);
    auto out =
        dscmgr({u"custody"_s, u"out"_s, u"1"_s, u"--to"_s, u"Ramesh Kumar"_s, u"--note"_s, u"ITR"_s, u"--at"_s, sent});
    QCOMPARE(out.status, 0);
    QCOMPARE(out.lines.value(0), u"Sr. No. 1: token handed over to Ramesh Kumar at %1."_s.arg(sent));
    QCOMPARE(dscmgr({u"custody"_s, u"out"_s, u"2"_s, u"--to"_s, u"Bala"_s}).status, 0);

    auto listed = dscmgr({u"list"_s, u"--token-out"_s, u"19"_s, u"--json"_s});
    QCOMPARE(listed.status, 0);
    const QJsonArray rows = QJsonDocument::fromJson(listed.out).array();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][u"Certificate Name"_s].toString(), u"Asha Rao"_s);
    QCOMPARE(rows[0][u"Token With"_s].toString(), u"Ramesh Kumar"_s);
    QCOMPARE(rows[0][u"Since"_s].toString(), sent);
    QCOMPARE(dscmgr({u"list"_s, u"--token-out"_s, u"21"_s}).lines.size(), 1); // the heading alone
    auto all = dscmgr({u"list"_s, u"--token-out"_s});
    QCOMPARE(all.lines.size(), 3);
    QVERIFY(all.lines[1].contains(u"\tRamesh Kumar\t"_s + sent));
    QVERIFY(all.lines[2].contains(u"\tBala (holder)\t"_s));

    auto in = dscmgr({u"custody"_s, u"in"_s, u"1"_s, u"--place"_s, u"Drawer 3"_s});
    QCOMPARE(in.status, 0);
    QVERIFY(in.lines.value(0).startsWith(u"Sr. No. 1: token received into the Office, Drawer 3 at "_s));
    auto json = dscmgr({u"custody"_s, u"1"_s, u"--json"_s});
    QCOMPARE(json.status, 0);
    const QJsonObject record = QJsonDocument::fromJson(json.out).object();
    QCOMPARE(record[u"with"_s].toString(), u"Office, Drawer 3"_s);
    const QJsonArray moves = record[u"movements"_s].toArray();
    QCOMPARE(moves.size(), 2);
    QCOMPARE(moves[0][u"note"_s].toString(), u"ITR"_s);
    QCOMPARE(moves[1][u"from"_s].toString(), u"Ramesh Kumar"_s);
    QCOMPARE(dscmgr({u"list"_s, u"--token-out"_s}).lines.size(), 2);

    const int movements = rowsOf(*rw.fx.db, u"DscCustody"_s);
    const QList<std::pair<QStringList, QString>> refused = {
        {{u"custody"_s, u"out"_s, u"9"_s, u"--to"_s, u"X"_s}, u"dscmgr: Sr. No. 9 is not in the register."_s},
        {{u"custody"_s, u"out"_s, u"1"_s, u"--to"_s, u""_s}, u"dscmgr: Give the name of whom the token"_s},
        {{u"custody"_s, u"in"_s, u"1"_s, u"--at"_s, u"2099-01-01 00:00:00"_s}, u"is in the future."_s},
        {{u"custody"_s, u"in"_s, u"1"_s, u"--at"_s, u"2001-01-01 00:00:00"_s},
         u"before the certificate's Valid From"_s},
        {{u"custody"_s, u"in"_s, u"1"_s, u"--at"_s, u"soon"_s}, u"--at takes a time"_s},
        {{u"custody"_s, u"9"_s}, u"dscmgr: Sr. No. 9 is not in the register."_s},
        {{u"list"_s, u"--token-out"_s, u"-3"_s}, u"--token-out takes a whole number of days"_s},
    };
    for (const auto& [args, line] : refused) {
        auto r = dscmgr(args);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.trimmed().count(u'\n') == 0 && r.err.contains(line), qPrintable(args.join(u' ') + r.err));
    }
    QCOMPARE(rowsOf(*rw.fx.db, u"DscCustody"_s), movements);
}

// A renewal is written onto the same token: the new certificate saved in the window renews the old
// one and takes its custody by a movement of its own, and the token is counted once. A record with a
// custody of its own, linked by hand, keeps it.
void TestCustody::renewalCarriesTheCustodyOver() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    kyt::Db& db = *rw.fx.db;
    rw.store({.srNo = 1,
              .name = u"Asha Rao"_s,
              .type = u"Class 3"_s,
              .serial = u"S1"_s,
              .to = u"31/03/2027 10:00:00"_s,
              .email = u"asha@example.in"_s});
    rw.store({.srNo = 2, .name = u"Bala"_s, .serial = u"S3"_s, .to = u"31/03/2029 10:00:00"_s});
    QVERIFY(custody::record(db, handOver(1, u"Ramesh Kumar"_s, u"01/12/2026 10:00:00"_s)).written);
    QVERIFY(custody::record(db, receive(2, u"Box 1"_s, u"01/12/2026 10:00:00"_s)).written);
    rw.open();
    rw.click(rw.w->cmdadd);
    rw.fill(u"Asha Rao"_s, kFrom, u"31/03/2029 10:00:00"_s, u"S2"_s);
    rw.combo("cbodsctype")->setEditText(u"Class 3"_s);
    rw.text(6)->setText(u"asha@example.in"_s);
    rw.click(rw.w->cmdupdate);
    QVERIFY(rw.w->vs->isEnabled());
    QCOMPARE(Renewals::renewedFrom(db, 3).value_or(Renewals::Link{}).oldSrNo, 1);

    const QList<custody::Movement> carried = custody::movements(db, 3);
    QCOMPARE(carried.size(), 1);
    QCOMPARE(carried[0].from, custody::Party{});
    QCOMPARE(carried[0].to, custody::Party{u"Ramesh Kumar"_s});
    QCOMPARE(carried[0].serialNo, u"S2"_s);
    QCOMPARE(carried[0].note, u"Carried over from Sr. No. 1, which this certificate renews"_s);
    QCOMPARE(custodyChanges(db, 3), QStringList{u"Token With: Not recorded -> Ramesh Kumar"_s});
    QCOMPARE(custody::movements(db, 1).size(), 1);
    QCOMPARE(rw.w->vs->TextMatrix(rw.w->vs->Row(), 1), u"3"_s);
    QVERIFY(rw.w->lbltoken->text().startsWith(u"Token: with Ramesh Kumar since "_s));
    QCOMPARE(custody::countOut(db, rw.fx.clock->now(), 14).out, 1);

    const QStringList where = {u"--folder"_s, rw.fx.folder, u"--db"_s, testsupport::addressOf(db)};
    auto link = testsupport::runDscmgr(QStringList{u"link"_s, u"3"_s, u"2"_s} + where, rw.fx.objects->file());
    QCOMPARE(link.status, 0);
    QCOMPARE(custody::movements(db, 2).size(), 1);
    QCOMPARE(custody::lastMovement(db, 2)->to, (custody::Party{u"Office"_s, u"Box 1"_s}));
}

// A record's custody is its own: deleting the record whose token is out takes its movements along,
// so the record that gets its number next starts "Not recorded" and the out count drops by one;
// restoring it, here under another number, brings them back. Movements left by a record that another
// program deleted are not counted, and are set aside when the register first keeps deleted ones.
void TestCustody::deletedRecordTakesItsCustodyAlong() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    kyt::Db& db = *rw.fx.db;
    rw.store({.srNo = 1, .name = u"Asha Rao"_s, .serial = u"S1"_s});
    rw.store({.srNo = 2, .name = u"Bala"_s, .serial = u"S2"_s});
    // The highest record's movement is not the newest: a delete leaves the newest in place.
    QVERIFY(custody::record(db, handOver(2, u"Ramesh"_s, u"02/12/2026 09:00:00"_s)).written);
    QVERIFY(custody::record(db, handOver(1, u"Suresh"_s, u"01/12/2026 09:00:00"_s)).written);
    const QDateTime now = rw.fx.clock->now();
    QCOMPARE(custody::countOut(db, now, 14).out, 2);
    rw.open();
    rw.click(rw.w->chktokenwith);
    const int column = CertListModel::kColumns;
    auto cells = [&] {
        QStringList out;
        for (int row = 1; row < rw.w->vs->Rows(); ++row)
            out << rw.w->vs->TextMatrix(row, 1) + u" "_s + rw.w->vs->TextMatrix(row, 2) + u": "_s +
                       rw.w->vs->TextMatrix(row, column);
        out.sort();
        return out;
    };
    QCOMPARE(cells(), (QStringList{u"1 Asha Rao: Suresh"_s, u"2 Bala: Ramesh"_s}));

    rw.deleteRecord(2);
    QCOMPARE(custody::countOut(db, now, 14).out, 1);
    QVERIFY(rw.add(u"Chitra"_s, u"S3"_s));
    QCOMPARE(rw.numbers(), (QList<int>{1, 2}));
    rw.selectRecord(2);
    QCOMPARE(rw.w->lbltoken->text(), u"Token: Not recorded"_s);
    QVERIFY(!rw.w->cmdreceipt->isEnabled());
    QCOMPARE(cells(), (QStringList{u"1 Asha Rao: Suresh"_s, u"2 Chitra: Not recorded"_s}));
    QVERIFY(custody::movements(db, 2).isEmpty());
    QCOMPARE(custody::countOut(db, now, 14).out, 1);

    rw.click(rw.w->cmddeleted);
    auto* dialog = waitForDialog<RecentlyDeletedDialog>(rw.w);
    QVERIFY(dialog);
    QCOMPARE(dialog->lstdeleted->topLevelItemCount(), 1);
    rw.click(dialog->cmdrestore);
    QCOMPARE(rw.said().last(), u"Sr. No. 2 is in use now, so the record was restored as Sr. No. 3."_s);
    rw.click(dialog->cmdclose);
    QCOMPARE(rw.w->vs->TextMatrix(rw.w->vs->Row(), 1), u"3"_s);
    QCOMPARE(rw.w->lbltoken->text(), u"Token: with Ramesh since 02/12/2026 09:00:00"_s);
    QCOMPARE(cells(), (QStringList{u"1 Asha Rao: Suresh"_s, u"2 Chitra: Not recorded"_s, u"3 Bala: Ramesh"_s}));
    const QList<custody::Movement> back = custody::movements(db, 3);
    QCOMPARE(back.size(), 1);
    QCOMPARE(back[0].movedAt, u"02/12/2026 09:00:00"_s);
    QCOMPARE(custody::countOut(db, now, 14).out, 2);
    QVERIFY(custody::movements(db, 2).isEmpty());

    // Another program deletes record 1 on a register made before deleted records' movements were
    // kept aside: not counted at once, and set aside as the register gets the table.
    db.execute(u"Drop Table DscCustodyDeleted"_s);
    db.execute(u"Delete From DscStore Where SrNo=1"_s);
    QCOMPARE(custody::countOut(db, now, 14).out, 1);
    QString why;
    const std::shared_ptr<kyt::Db> later = testsupport::openAnotherDesk(db, &why);
    QVERIFY2(later, qPrintable(why));
    custody::ensureTable(*later);
    rw.store({.srNo = 1, .name = u"Dev"_s, .serial = u"S4"_s});
    QVERIFY(!custody::lastMovement(db, 1));
    QCOMPARE(rowsOf(db, u"DscCustodyDeleted"_s), 1);
    QCOMPARE(custody::movements(db, 3).size(), 1);
}

QTEST_MAIN(TestCustody)
#include "test_custody.moc"
