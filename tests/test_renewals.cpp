// Renewals: which record renews which (the same holder, a later end of validity), the links made
// when the window saves a record, corrected by hand in the window and with `dscmgr link`/`unlink`,
// removed with a record, and the renewal queue's two views in the window and in `dscmgr list`.
// On both database backends.

#include "reminders/ReminderSelection.h"
#include "store/ExpiryMonths.h"
#include "store/RegisterCounts.h"
#include "store/ReminderLog.h"
#include "store/Renewals.h"
#include "support/RegisterWindowHarness.h"

#include <numeric>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QRadioButton>

using regtest::Record;

namespace {
using Pair = std::pair<int, int>;

QList<Pair> linkPairs(kyt::Db& db) {
    QList<Pair> out;
    for (const Renewals::Link& l : Renewals::links(db))
        out << Pair{l.oldSrNo, l.newSrNo};
    return out;
}

// The record numbers of the list's rows, top to bottom.
QList<int> listed(const frmDscMain& w) {
    QList<int> out;
    for (int row = 1; row < w.vs->Rows(); ++row)
        out << w.vs->TextMatrix(row, RecordLayout::kRecordNumberColumn).toInt();
    return out;
}

QStringList columnTexts(const frmDscMain& w, int column) {
    QStringList out;
    for (int row = 1; row < w.vs->Rows(); ++row)
        out << w.vs->TextMatrix(row, column);
    return out;
}

// "DD/MM/YYYY HH:MM:SS" of the fixture's clock moved by days and seconds.
QString at(const QDateTime& now, int days, int seconds = 0) {
    return now.addDays(days).addSecs(seconds).toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

struct Run {
    int status = -1;
    QString out, err;
};

Run dscmgr(const testsupport::ComponentFixture& fx, const QStringList& args) {
    const auto r = testsupport::runDscmgr(args + QStringList{QStringLiteral("--folder"), fx.folder,
                                                             QStringLiteral("--db"), testsupport::addressOf(*fx.db)},
                                          fx.objects->file());
    return {r.status, QString::fromUtf8(r.out), r.err};
}
} // namespace

class TestRenewals : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private Q_SLOTS:
    void savedRecordsLinkTheSameHolderOnly_data() { testsupport::addBackendColumn(); }
    void savedRecordsLinkTheSameHolderOnly();
    void queueViewsAtTheirEdges_data() { testsupport::addBackendColumn(); }
    void queueViewsAtTheirEdges();
    void commandsListAndCorrectLinks_data() { testsupport::addBackendColumn(); }
    void commandsListAndCorrectLinks();
    void queueOfARegisterWithoutLinksYet_data() { testsupport::addBackendColumn(); }
    void queueOfARegisterWithoutLinksYet();
};

void TestRenewals::savedRecordsLinkTheSameHolderOnly() {
    QFETCH(QString, backend);
    regtest::RegisterWindow h(backend);
    // A holder with two certificates in a row before the register had its table of renewals:
    // opening the window links them.
    h.store({.srNo = 1,
             .name = QStringLiteral("Asha Rao"),
             .type = QStringLiteral("Class 3"),
             .serial = "A1",
             .to = QStringLiteral("01/01/2024 10:00:00"),
             .email = QStringLiteral("asha@example.in")});
    h.store({.srNo = 2,
             .name = QStringLiteral("Asha Rao"),
             .type = QStringLiteral("Class 3"),
             .serial = "A2",
             .to = QStringLiteral("01/01/2026 10:00:00"),
             .email = QStringLiteral("ASHA@example.in ")});
    // Namesakes: the same name and type, another e-mail address.
    h.store({.srNo = 3,
             .name = QStringLiteral("Ravi Kumar"),
             .type = QStringLiteral("Class 3"),
             .serial = "R1",
             .to = QStringLiteral("01/01/2026 10:00:00"),
             .email = QStringLiteral("ravi@one.in")});
    // Matched by the ID-proof number alone, and an older certificate of another holder (a mobile
    // number) that the new one matches too: only the latest is linked.
    h.store({.srNo = 4,
             .name = QStringLiteral("Meera Iyer"),
             .type = QStringLiteral("Class 2"),
             .serial = "M1",
             .to = QStringLiteral("01/01/2025 10:00:00"),
             .mobile = QStringLiteral("9876543210")});
    h.store({.srNo = 5,
             .name = QStringLiteral("Meera Iyer"),
             .type = QStringLiteral("Class 2"),
             .serial = "M2",
             .to = QStringLiteral("01/01/2026 10:00:00"),
             .email = QStringLiteral("meera@old.in"),
             .idNo = QStringLiteral("ABCDE1234F")});
    h.open();
    QCOMPARE(linkPairs(*h.fx.db), (QList<Pair>{{1, 2}}));

    auto addNew = [&](const QString& name, const QString& type, const QString& serial, const QString& to,
                      const QString& email, const QString& mobile, const QString& idNo) {
        h.click(h.w->cmdadd);
        h.fill(name, regtest::kFrom, to, serial);
        h.combo("cbodsctype")->setEditText(type);
        h.text(6)->setText(email);
        h.text(7)->setText(mobile);
        h.text(10)->setText(idNo);
        h.click(h.w->cmdupdate);
        QVERIFY(h.w->vs->isEnabled());
    };
    addNew(QStringLiteral(" asha rao"), QStringLiteral("CLASS 3"), "A3", QStringLiteral("01/01/2028 10:00:00"),
           QStringLiteral("asha@example.in"), {}, {});
    addNew(QStringLiteral("Ravi Kumar"), QStringLiteral("Class 3"), "R2", QStringLiteral("01/01/2028 10:00:00"),
           QStringLiteral("ravi@two.in"), {}, {});
    addNew(QStringLiteral("MEERA IYER"), QStringLiteral("class 2"), "M3", QStringLiteral("01/01/2028 10:00:00"),
           QStringLiteral("meera@new.in"), QStringLiteral("9876543210"), QStringLiteral(" abcde1234f"));
    // Two renewals in a row link one to the next; the namesake and the older match stay apart.
    QCOMPARE(linkPairs(*h.fx.db), (QList<Pair>{{1, 2}, {2, 6}, {5, 8}}));

    // The entry form names both neighbours of a record in a row.
    h.selectRecord(2);
    QCOMPARE(h.w->lblrenewal->text(), QStringLiteral("Renews Sr. No. 1; Renewed by Sr. No. 6"));
    h.selectRecord(7);
    QCOMPARE(h.w->lblrenewal->text(), QString());

    // Linked by hand in entry mode, unlinked again with its question answered.
    h.click(h.w->cmdmodify);
    h.fx.dialogs->queue(QStringLiteral("3"));
    h.click(h.w->cmdrenewal);
    QCOMPARE(h.w->lblrenewal->text(), QStringLiteral("Renews Sr. No. 3"));
    // The button unlinks now, after a question: No keeps the link, Yes removes it.
    h.fx.dialogs->queueNo();
    h.click(h.w->cmdrenewal);
    QCOMPARE(h.said().last(), QStringLiteral("Sr. No. 3 is renewed by Sr. No. 7. Remove this link?"));
    QCOMPARE(h.fx.dialogs->shown().back().defaultButton, kyt::Answer::No);
    QCOMPARE(linkPairs(*h.fx.db).size(), 4);
    h.fx.dialogs->queueYes();
    h.click(h.w->cmdrenewal);
    QCOMPARE(h.w->lblrenewal->text(), QString());
    // A number that names no certificate, or one renewed already, is refused with a reason.
    h.fx.dialogs->queue(QStringLiteral("99"));
    h.click(h.w->cmdrenewal);
    QCOMPARE(h.said().last(), QStringLiteral("There is no certificate with Sr. No. 99."));
    h.fx.dialogs->queue(QStringLiteral("1"));
    h.click(h.w->cmdrenewal);
    QCOMPARE(h.said().last(), QStringLiteral("Sr. No. 1 is already renewed by Sr. No. 2: remove that link first."));
    h.click(h.w->cmdcancel);

    // Saving a changed record leaves its links as they are.
    h.selectRecord(6);
    h.click(h.w->cmdmodify);
    h.text(7)->setText(QStringLiteral("9000000000"));
    h.click(h.w->cmdupdate);
    QCOMPARE(linkPairs(*h.fx.db), (QList<Pair>{{1, 2}, {2, 6}, {5, 8}}));

    // Deleting a record removes its links only; both neighbours stay.
    h.deleteRecord(2);
    QCOMPARE(linkPairs(*h.fx.db), (QList<Pair>{{5, 8}}));
    QCOMPARE(h.numbers(), (QList<int>{1, 3, 4, 5, 6, 7, 8}));
}

void TestRenewals::queueViewsAtTheirEdges() {
    QFETCH(QString, backend);
    regtest::RegisterWindow h(backend);
    // The window and the command line, which reads the real clock, list at the same moment.
    const QDateTime real = QDateTime::currentDateTime();
    const QDateTime now(real.date(), QTime(real.time().hour(), real.time().minute(), real.time().second()));
    h.fx.clock->set(now);
    auto record = [&](int n, const QString& to, const QString& email = {}) {
        h.store({.srNo = n,
                 .name = QStringLiteral("Holder %1").arg(n),
                 .type = QStringLiteral("Class 3"),
                 .serial = QStringLiteral("S%1").arg(n),
                 .from = at(now, -700),
                 .to = to,
                 .email = email.isEmpty() ? QStringLiteral("h%1@example.in").arg(n) : email});
    };
    record(1, at(now, 0, 300));  // expires later today
    record(2, at(now, 0, -300)); // expired earlier today
    record(3, at(now, 1));       // tomorrow
    record(4, at(now, 30));      // at the day box's edge
    record(5, at(now, 30, 1));   // a second beyond it
    record(6, at(now, 10));      // renewed by record 7
    h.store({.srNo = 7,
             .name = QStringLiteral(" HOLDER 6"),
             .type = QStringLiteral("class 3"),
             .serial = "S7",
             .to = at(now, 375),
             .email = QStringLiteral("h6@example.in")});
    record(8, at(now, -31)); // expired before the last 30 days
    record(9, at(now, -29)); // expired within them
    record(10, at(now, -5)); // expired and renewed by hand below
    h.open();
    QCOMPARE(linkPairs(*h.fx.db), (QList<Pair>{{6, 7}}));
    QVERIFY(Renewals::link(*h.fx.db, 10, 7, QStringLiteral("desk")) == Renewals::LinkResult::NewAlreadyRenews);
    QVERIFY(Renewals::link(*h.fx.db, 10, 3, QStringLiteral("desk")) == Renewals::LinkResult::Linked);
    // A reminder was sent for record 3 twice; the later one shows.
    reminderlog::ensureTables(*h.fx.db);
    for (const auto& [step, sent] :
         {std::pair{30, QStringLiteral("2026-11-05 09:00:00")}, std::pair{7, QStringLiteral("2026-11-28 09:15:00")}})
        h.fx.db->execute(QStringLiteral("Insert Into DscReminders (SrNo, SerialNo, DtTo, Step, Status, SentAt) Values "
                                        "(3, 'S3', '2026-12-06', %1, 'sent', '%2')")
                             .arg(step)
                             .arg(sent));

    h.click(h.w->optdue);
    QCOMPARE(listed(*h.w), (QList<int>{1, 3, 4}));
    QCOMPARE(h.w->lblhead->text(), QStringLiteral("List of Certificates Due for Renewal on or before ") + at(now, 30));
    const CertListModel* model = h.w->vs->listModel();
    QCOMPARE(model->headerData(CertListModel::kColumns, Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("Days Left"));
    QCOMPARE(columnTexts(*h.w, CertListModel::kColumns), (QStringList{"0", "1", "30"}));
    QCOMPARE(columnTexts(*h.w, CertListModel::kColumns + 1),
             (QStringList{QString(), QStringLiteral("28/11/2026 09:15:00"), QString()}));
    // "Export…" and `list --xlsx` write the view's columns too, the last reminder as a date.
    const auto cell = [](const QList<QStringList>& sheet, const QString& at) {
        for (const QStringList& row : sheet)
            for (const QString& c : row)
                if (c.startsWith(at + QLatin1Char('|')))
                    return c;
        return QString();
    };
    const QString book = h.fx.folder + QStringLiteral("/queue.xlsx");
    h.fx.dialogs->queue(book);
    h.click(h.w->cmdexport);
    QCOMPARE(h.said().last(), QStringLiteral("3 certificates exported."));
    QList<QStringList> sheet = testsupport::xlsxRows(book);
    // In the order the list shows them, right after "Valid To": the days left a number.
    QCOMPARE(cell(sheet, QStringLiteral("G1")).section(QLatin1Char('|'), 2, 2), QStringLiteral("Valid To"));
    QCOMPARE(cell(sheet, QStringLiteral("H1")).section(QLatin1Char('|'), 2, 2), QStringLiteral("Days Left"));
    QCOMPARE(cell(sheet, QStringLiteral("I1")).section(QLatin1Char('|'), 2, 2), QStringLiteral("Last Reminded"));
    QCOMPARE(cell(sheet, QStringLiteral("H3")), QStringLiteral("H3|number|1|"));
    QCOMPARE(cell(sheet, QStringLiteral("H4")), QStringLiteral("H4|number|30|"));
    QVERIFY2(cell(sheet, QStringLiteral("I3")).startsWith(QStringLiteral("I3|number|")) &&
                 cell(sheet, QStringLiteral("I3")).endsWith(QStringLiteral("|dd/mm/yyyy hh:mm:ss")),
             qPrintable(cell(sheet, QStringLiteral("I3"))));
    QVERIFY(QFile::remove(book));
    QCOMPARE(dscmgr(h.fx, {QStringLiteral("list"), QStringLiteral("--due"), QStringLiteral("--xlsx"), book}).status, 0);
    sheet = testsupport::xlsxRows(book);
    QCOMPARE(cell(sheet, QStringLiteral("Q3")), QStringLiteral("Q3|number|1|"));
    QVERIFY(cell(sheet, QStringLiteral("R3")).endsWith(QStringLiteral("|dd/mm/yyyy hh:mm:ss")));
    // The view's columns stand right after "Valid To".
    QCOMPARE(h.w->vs->horizontalHeader()->visualIndex(CertListModel::kColumns),
             h.w->vs->horizontalHeader()->visualIndex(CertListModel::kValidToColumn) + 1);
    // The entry form follows the view's rows.
    h.selectRecord(3);
    QCOMPARE(h.text(0)->text(), QStringLiteral("Holder 3"));
    QCOMPARE(h.w->lblrenewal->text(), QStringLiteral("Renews Sr. No. 10"));

    // Its own day box: a second more takes in record 5.
    h.w->txtduedays->setFocus();
    h.w->txtduedays->selectAll();
    QTest::keyClicks(h.w->txtduedays, QStringLiteral("31"));
    QTest::keyClick(h.w->txtduedays, Qt::Key_Return);
    QCOMPARE(listed(*h.w), (QList<int>{1, 3, 4, 5}));

    h.click(h.w->optrecent);
    QCOMPARE(listed(*h.w), (QList<int>{2, 9}));
    QCOMPARE(columnTexts(*h.w, CertListModel::kColumns), (QStringList{"0", "-29"}));
    // A wider day box takes in record 8; a click on "Days Left" sorts the days as signed numbers.
    h.w->txtrecentdays->setFocus();
    h.w->txtrecentdays->selectAll();
    QTest::keyClicks(h.w->txtrecentdays, QStringLiteral("40"));
    QTest::keyClick(h.w->txtrecentdays, Qt::Key_Return);
    QCOMPARE(listed(*h.w), (QList<int>{2, 9, 8}));
    QHeaderView* heading = h.w->vs->horizontalHeader();
    h.w->vs->scrollTo(h.w->vs->model()->index(0, CertListModel::kColumns));
    QTest::mouseClick(heading->viewport(), Qt::LeftButton, {},
                      QPoint(heading->sectionViewportPosition(CertListModel::kColumns) +
                                 heading->sectionSize(CertListModel::kColumns) / 2,
                             heading->height() / 2));
    QCOMPARE(columnTexts(*h.w, CertListModel::kColumns), (QStringList{"-31", "-29", "0"}));
    QCOMPARE(listed(*h.w), (QList<int>{8, 9, 2}));

    // The host chart's bar of expired certificates, clicked while a queue is shown, lists that bar's
    // rows, not the queue's.
    h.w->ShowSelection(ExpiryMonths::expiredSelection(now, true));
    QVERIFY(!h.w->optrecent->isChecked());
    QList<int> expired = listed(*h.w);
    std::sort(expired.begin(), expired.end());
    QCOMPARE(expired, (QList<int>{2, 8, 9}));

    // The list's own filters still show renewed certificates, without the view's columns.
    h.click(h.w->options[1]);
    QCOMPARE(listed(*h.w), (QList<int>{10, 2, 8, 9}));
    QCOMPARE(model->columnCount(), CertListModel::kColumns);
    h.w->txtdays[0]->setText(QStringLiteral("30"));
    h.click(h.w->cmdok);
    QVERIFY(listed(*h.w).contains(6));
    // And the host window's "expiring" count leaves them out: 1, 2, 3, 4, 8, 9 (not 6 nor 10); so
    // do its chart's bars: 2, 8 and 9 expired, 1, 3, 4 and 5 within the next twelve months.
    const RegisterCounts counts = countRegister(*h.fx.db, now, 30);
    QCOMPARE(counts.expiring, 6);
    QCOMPARE(counts.months.expired, 3);
    QCOMPARE(std::accumulate(counts.months.months.begin(), counts.months.months.end(), 0), 4);
    // The reminders pass over both: 6 renewed by its holder's newer certificate, 10 by the link
    // made by hand to another holder's.
    const ReminderSelection reminders = ReminderSelection::select(*h.fx.db, {30, 7, 1}, now, {});
    QList<Pair> renewed;
    for (qsizetype k = 0; k < reminders.renewed.size(); ++k)
        renewed << Pair{reminders.renewed[k].srNo, reminders.renewedBy.value(k)};
    std::sort(renewed.begin(), renewed.end());
    QCOMPARE(renewed, (QList<Pair>{{6, 7}, {10, 3}}));
    QList<int> reminded;
    for (const DueReminder& r : reminders.due)
        reminded << r.srNo;
    QVERIFY(!reminded.contains(10) && reminded.contains(9));

    // The command line prints the same rows, the view's columns after the record's.
    const Run due = dscmgr(h.fx, {QStringLiteral("list"), QStringLiteral("--due"), QStringLiteral("31")});
    QCOMPARE(due.status, 0);
    QStringList lines = due.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(lines.value(0).endsWith(QStringLiteral("\tAddress Proof File Name\tDays Left\tLast Reminded")));
    QStringList names;
    for (const QString& line : lines.mid(1))
        names << line.section(QLatin1Char('\t'), 1, 1);
    QCOMPARE(names, (QStringList{"Holder 1", "Holder 3", "Holder 4", "Holder 5"}));
    QCOMPARE(lines.value(2).section(QLatin1Char('\t'), -2), QStringLiteral("1\t28/11/2026 09:15:00"));
    const Run json = dscmgr(h.fx, {QStringLiteral("list"), QStringLiteral("--recently-expired"),
                                   QStringLiteral("36500"), QStringLiteral("--json")});
    QCOMPARE(json.status, 0);
    const QJsonArray rows = QJsonDocument::fromJson(json.out.toUtf8()).array();
    names.clear();
    for (const QJsonValue& row : rows)
        names << row.toObject().value(QStringLiteral("Certificate Name")).toString();
    QCOMPARE(names, (QStringList{"Holder 2", "Holder 9", "Holder 8"}));
    QCOMPARE(rows.last().toObject().value(QStringLiteral("Days Left")).toString(), QStringLiteral("-31"));
    const Run csv = dscmgr(h.fx, {QStringLiteral("list"), QStringLiteral("--due"), QStringLiteral("--csv")});
    QCOMPARE(csv.status, 0);
    QVERIFY(csv.out.contains(QStringLiteral("Days Left,Last Reminded\r\n")));
}

void TestRenewals::commandsListAndCorrectLinks() {
    QFETCH(QString, backend);
    testsupport::ComponentFixture fx(backend);
    fx.db->execute(StoreStatements::createTable());
    fx.insert(1, QStringLiteral("Anil Shah"), QStringLiteral("01/01/2022 10:00:00"),
              QStringLiteral("01/01/2024 10:00:00"), QStringLiteral("OLD1"));
    fx.insert(2, QStringLiteral("Anil Shah"), QStringLiteral("01/01/2024 10:00:00"),
              QStringLiteral("01/01/2026 10:00:00"), QStringLiteral("NEW2"));
    fx.insert(3, QStringLiteral("Bela Das"), QStringLiteral("01/01/2024 10:00:00"),
              QStringLiteral("01/01/2026 10:00:00"), QStringLiteral("B3"));

    // A register without the table lists no links (and is left as it is).
    Run r = dscmgr(fx, {QStringLiteral("renewals")});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, QStringLiteral("Old Sr. No.\tOld Serial No.\tNew Sr. No.\tNew Serial No.\tLinked (UTC)\tDesk\n"));
    QVERIFY(!Renewals::tableExists(*fx.db));

    r = dscmgr(fx, {QStringLiteral("link"), QStringLiteral("1"), QStringLiteral("2")});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, QStringLiteral("Sr. No. 2 renews Sr. No. 1.\n"));
    r = dscmgr(fx, {QStringLiteral("renewals"), QStringLiteral("--json")});
    QCOMPARE(r.status, 0);
    const QJsonArray links = QJsonDocument::fromJson(r.out.toUtf8()).array();
    QCOMPARE(links.size(), 1);
    const QJsonObject link = links[0].toObject();
    QCOMPARE(link.value(QStringLiteral("Old Serial No.")).toString(), QStringLiteral("OLD1"));
    QCOMPARE(link.value(QStringLiteral("New Sr. No.")).toString(), QStringLiteral("2"));
    // Made by the database's clock, in UTC: within a minute of now.
    const QDateTime linked = QDateTime::fromString(link.value(QStringLiteral("Linked (UTC)")).toString(),
                                                   QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    QVERIFY2(qAbs(QDateTime(linked.date(), linked.time(), Qt::UTC).secsTo(QDateTime::currentDateTimeUtc())) < 120,
             qPrintable(link.value(QStringLiteral("Linked (UTC)")).toString()));
    QVERIFY(!link.value(QStringLiteral("Desk")).toString().isEmpty());

    // Refusals: a record renewed already, one that is not there, a link that is not there, words.
    r = dscmgr(fx, {QStringLiteral("link"), QStringLiteral("1"), QStringLiteral("3")});
    QCOMPARE(r.status, 1);
    QCOMPARE(r.err, QStringLiteral("dscmgr: Sr. No. 1 is renewed by Sr. No. 2 already; unlink that first (dscmgr "
                                   "unlink 1 2).\n"));
    r = dscmgr(fx, {QStringLiteral("link"), QStringLiteral("3"), QStringLiteral("9")});
    QCOMPARE(r.status, 1);
    QCOMPARE(r.err, QStringLiteral("dscmgr: the register has no certificate with Sr. No. 9.\n"));
    r = dscmgr(fx, {QStringLiteral("unlink"), QStringLiteral("2"), QStringLiteral("1")});
    QCOMPARE(r.status, 1);
    r = dscmgr(fx, {QStringLiteral("link"), QStringLiteral("one"), QStringLiteral("2")});
    QCOMPARE(r.status, 2);
    QVERIFY(r.err.contains(QStringLiteral("link takes record numbers (Sr. No.), not \"one\".")));

    r = dscmgr(fx, {QStringLiteral("unlink"), QStringLiteral("1"), QStringLiteral("2")});
    QCOMPARE(r.status, 0);
    QCOMPARE(linkPairs(*fx.db), QList<Pair>());
    // The records themselves are untouched.
    kyt::RowSet rs = fx.db->openRowSet(QStringLiteral("Select Count(*) From DscStore"));
    QCOMPARE(rs.value(0).toInt(), 3);
    rs.close();
}

// A register no desk of this version has opened yet: the command line, which only reads, leaves
// out a renewed certificate all the same, and leaves the register as it is.
void TestRenewals::queueOfARegisterWithoutLinksYet() {
    QFETCH(QString, backend);
    testsupport::ComponentFixture fx(backend);
    fx.db->execute(StoreStatements::createTable());
    const QDateTime now = fx.clock->now();
    for (const auto& [srNo, serial, to] :
         {std::tuple{1, "OLD1", 10}, std::tuple{2, "NEW2", 375}, std::tuple{3, "B3", 20}}) {
        StoreStatements::RecordValues v;
        v[0] = srNo == 3 ? QStringLiteral("Bela Das") : QStringLiteral("Anil Shah");
        v[1] = QStringLiteral("Class 3");
        v[2] = QString::fromLatin1(serial);
        v[4] = at(now, to - 730);
        v[5] = at(now, to);
        v[6] = srNo == 3 ? QStringLiteral("bela@example.in") : QStringLiteral("anil@example.in");
        fx.db->execute(StoreStatements::insertRecord(srNo, v));
    }
    QVERIFY(!Renewals::tableExists(*fx.db));
    const Run due = dscmgr(fx, {QStringLiteral("list"), QStringLiteral("--due"), QStringLiteral("30")});
    QCOMPARE(due.status, 0);
    QStringList serials;
    for (const QString& line : due.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1))
        serials << line.section(QLatin1Char('\t'), 3, 3);
    QVERIFY2(serials == QStringList{QStringLiteral("B3")}, qPrintable(due.out + due.err));
    QVERIFY(!Renewals::tableExists(*fx.db));
}

QTEST_MAIN(TestRenewals)
#include "test_renewals.moc"
