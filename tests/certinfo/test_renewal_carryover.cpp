// A renewed certificate captured into the register takes over its holder's details from the
// certificate it renews: in the register window after "Certificate (File)", in the import wizard
// with its check box ticked, and with `dscmgr import --carry-over`. Documents are copied, never
// moved. Runs with TZ=Asia/Kolkata, on both database backends.

#include "bulk/frmbulkdsc.h"
#include "CertificateFactory.h"
#include "platform/LibraryRegistration.h"
#include "store/BulkReader.h"
#include "store/RecordHistory.h"
#include "store/Renewals.h"
#include "support/RegisterWindowHarness.h"

#include <algorithm>
#include <QtTest>

using namespace kyt::test;
using regtest::Kind;

namespace {
const QString kMobile = QStringLiteral("9876543210");

QList<std::pair<int, int>> linkPairs(kyt::Db& db) {
    QList<std::pair<int, int>> out;
    for (const Renewals::Link& l : Renewals::links(db))
        out << std::pair{l.oldSrNo, l.newSrNo};
    return out;
}

// The mobile number of record n's newest history entry: a carried-over save is written, and kept
// in the history, like any other.
QString historyMobile(kyt::Db& db, int n) {
    const QList<RecordHistory::Entry> entries = RecordHistory::entries(db, n);
    if (entries.isEmpty() || entries.first().change != RecordHistory::Change::Insert || !entries.first().after)
        return QStringLiteral("no insert entry");
    return (*entries.first().after)[size_t(RecordLayout::valueIndex(RecordLayout::Mobile))];
}
} // namespace

class RenewalCarryOverTest : public testsupport::DialogsCheckedTest {
    Q_OBJECT

private slots:
    void initTestCase();
    void windowOffersOnceAndCopiesDocuments_data() { testsupport::addBackendColumn(); }
    void windowOffersOnceAndCopiesDocuments();
    void windowKeepsTheRecordWhenACopyFails_data() { testsupport::addBackendColumn(); }
    void windowKeepsTheRecordWhenACopyFails();
    void importCarriesOverWhenAsked_data() { testsupport::addBackendColumn(); }
    void importCarriesOverWhenAsked();
    void importCarriesAlongAChainInOneRun_data() { testsupport::addBackendColumn(); }
    void importCarriesAlongAChainInOneRun();
    void importCarriesEachHolderItsOwn_data() { testsupport::addBackendColumn(); }
    void importCarriesEachHolderItsOwn();
    void importRefusedWithItsHistoryEntry_data() { testsupport::addBackendColumn(); }
    void importRefusedWithItsHistoryEntry();

private:
    // The register with Meera's expiring certificate (record 4) and its two proof documents, the
    // certificate component registered.
    void prepare(regtest::RegisterWindow& h) {
        h.store({.srNo = 4,
                 .name = QStringLiteral("Meera Iyer"),
                 .type = QStringLiteral("Class 2 Organisation"),
                 .serial = QStringLiteral("0LD"),
                 .to = QStringLiteral("01/01/2025 10:00:00"),
                 .email = QStringLiteral("Meera@Example.in"),
                 .mobile = kMobile,
                 .tel = QStringLiteral("080-2345"),
                 .idType = QStringLiteral("PAN Card"),
                 .idNo = QStringLiteral("ABCDE1234F"),
                 .idFile = QStringLiteral("pan.pdf"),
                 .addrType = QStringLiteral("Passport"),
                 .addrNo = QStringLiteral("P1234567"),
                 .addrFile = QStringLiteral("passport.pdf")},
                QByteArrayLiteral("old proof"));
        QString error;
        QVERIFY2(kyt::registerLibrary(*h.fx.objects, QStringLiteral(KYT_CERTINFO_PLUGIN), &error), qPrintable(error));
    }
    // Reads Meera's renewal in the wizard, as a clerk does, and ticks carry-over on the box itself,
    // at the left of its row; "&Import" is left to the test.
    void readRenewalWithCarryOver(regtest::RegisterWindow& h, frmbulkdsc& wizard) {
        wizard.InitData(h.fx.cls);
        wizard.show();
        h.fx.dialogs->queue(QStringList{renewal_});
        QTest::mouseClick(wizard.cmdfl, Qt::LeftButton);
        wizard.vs1->setTextMatrix(1, 2, QStringLiteral("pw"));
        QTest::mouseClick(wizard.cmdproceed, Qt::LeftButton);
        QTest::mouseClick(wizard.chkcarryover, Qt::LeftButton, {}, QPoint(8, wizard.chkcarryover->height() / 2));
    }
    // The column values of record n that carry-over fills.
    static QStringList details(const regtest::RegisterWindow& h, int n) {
        QStringList out;
        for (const char* c :
             {"Email", "Mobile", "TelNo", "IdPrTyp", "IdPrNo", "IdPrFlNm", "AddrPrTyp", "AddrPrNo", "AddrPrFlNm"})
            out << h.column(n, c);
        return out;
    }

    QTemporaryDir dir_;
    kyt::certinfo::CryptoContext crypto_;
    QString renewal_, second_, ravi_;
};

void RenewalCarryOverTest::initTestCase() {
    const KeyAndCertificate ca = makeAuthority(QStringLiteral("Renewal CA"));
    CertificateRecipe meera;
    meera.subject = {commonName(QStringLiteral("Meera Iyer")), unit(QStringLiteral("Class 2 Organisation")),
                     email(QStringLiteral("meera@example.in"))};
    meera.serial = QByteArray::fromHex("1a2b3c");
    renewal_ = writeFile(dir_.path(), QStringLiteral("meera.pfx"),
                         pkcs12Of(makeCertificate(meera, &ca), {.password = "pw"}, crypto_));
    meera.serial = QByteArray::fromHex("4d5e6f");
    meera.notAfter = QDateTime(QDate(2060, 1, 1), QTime(0, 0), Qt::UTC);
    second_ = writeFile(dir_.path(), QStringLiteral("meera2.pfx"),
                        pkcs12Of(makeCertificate(meera, &ca), {.password = "pw"}, crypto_));
    CertificateRecipe ravi;
    ravi.subject = {commonName(QStringLiteral("Ravi Rao")), unit(QStringLiteral("Class 2 Organisation")),
                    email(QStringLiteral("ravi@example.in"))};
    ravi.serial = QByteArray::fromHex("7a8b9c");
    ravi_ = writeFile(dir_.path(), QStringLiteral("ravi.pfx"),
                      pkcs12Of(makeCertificate(ravi, &ca), {.password = "pw"}, crypto_));
}

void RenewalCarryOverTest::windowOffersOnceAndCopiesDocuments() {
    QFETCH(QString, backend);
    regtest::RegisterWindow h(backend);
    prepare(h);
    h.open();
    h.click(h.w->cmdadd);
    // Typed before the capture: kept.
    h.text(8)->setText(QStringLiteral("011-999"));
    h.fx.dialogs->queue(QStringList{renewal_});
    h.fx.dialogs->queue(QStringLiteral("pw"));
    h.fx.dialogs->queueYes();
    h.click(h.w->cmdcert[0]);
    QCOMPARE(h.said().last(), QStringLiteral("This certificate renews Sr. No. 4. Fill in the holder's contact data, "
                                             "proofs and proof documents from it?"));
    QCOMPARE(h.fx.dialogs->shown().back().defaultButton, kyt::Answer::Yes);
    QCOMPARE(h.text(6)->text(), QStringLiteral("meera@example.in")); // as the certificate has it
    QCOMPARE(h.text(7)->text(), kMobile);
    QCOMPARE(h.text(8)->text(), QStringLiteral("011-999"));
    QCOMPARE(h.combo("cboidproof")->currentText(), QStringLiteral("PAN Card"));
    QCOMPARE(h.text(13)->text(), QStringLiteral("P1234567"));
    QCOMPARE(frmDscMain::Tag(h.w->cmdIdProof), QStringLiteral("pan.pdf"));

    // Read again in the same entry: not asked a second time.
    h.fx.dialogs->queue(QStringList{renewal_});
    h.fx.dialogs->queue(QStringLiteral("pw"));
    h.click(h.w->cmdcert[0]);
    h.click(h.w->cmdupdate);
    QVERIFY(h.w->vs->isEnabled());
    QCOMPARE(details(h, 5), (QStringList{"meera@example.in", kMobile, "011-999", "PAN Card", "ABCDE1234F", "pan.pdf",
                                         "Passport", "P1234567", "passport.pdf"}));
    QCOMPARE(historyMobile(*h.fx.db, 5), kMobile);
    // Copied, and still the older record's too.
    for (int n : {4, 5}) {
        QCOMPARE(h.readFile(h.idDoc(n, QStringLiteral("pan.pdf"))), QByteArrayLiteral("old proof"));
        QCOMPARE(h.readFile(h.addrDoc(n, QStringLiteral("passport.pdf"))), QByteArrayLiteral("old proof"));
    }
    QCOMPARE(linkPairs(*h.fx.db), (QList<std::pair<int, int>>{{4, 5}}));
    QCOMPARE(h.w->lblrenewal->text(), QStringLiteral("Renews Sr. No. 4"));

    // Declined: the form stays as captured, and the save still links the renewal.
    h.click(h.w->cmdadd);
    h.fx.dialogs->queue(QStringList{second_});
    h.fx.dialogs->queue(QStringLiteral("pw"));
    h.fx.dialogs->queueNo();
    h.click(h.w->cmdcert[0]);
    QCOMPARE(h.text(7)->text(), QString());
    h.click(h.w->cmdupdate);
    QCOMPARE(linkPairs(*h.fx.db), (QList<std::pair<int, int>>{{4, 5}, {5, 6}}));
    QCOMPARE(h.column(6, "IdPrFlNm"), QString());

    // A certificate whose holder's latest earlier record (4) is renewed already: nothing is offered.
    h.click(h.w->cmdadd);
    h.fx.dialogs->clear();
    h.fx.dialogs->queue(QStringList{renewal_});
    h.fx.dialogs->queue(QStringLiteral("pw"));
    h.click(h.w->cmdcert[0]);
    const QStringList said = h.said();
    QVERIFY2(
        std::none_of(said.cbegin(), said.cend(),
                     [](const QString& text) { return text.startsWith(QStringLiteral("This certificate renews")); }),
        qPrintable(said.join(QLatin1Char('|'))));
    QCOMPARE(h.text(7)->text(), QString());
}

// The new record's ID-proof folder cannot be made (a file stands where it should be): the record
// is saved with its details, the box names the document, and the older record keeps its own.
void RenewalCarryOverTest::windowKeepsTheRecordWhenACopyFails() {
    QFETCH(QString, backend);
    regtest::RegisterWindow h(backend);
    prepare(h);
    h.writeFile(h.idDoc(5), QByteArrayLiteral("a file where the folder should be"));
    h.open();
    h.click(h.w->cmdadd);
    h.fx.dialogs->queue(QStringList{renewal_});
    h.fx.dialogs->queue(QStringLiteral("pw"));
    h.fx.dialogs->queueYes();
    h.click(h.w->cmdcert[0]);
    h.fx.dialogs->clear();
    h.click(h.w->cmdupdate);
    QVERIFY(h.w->vs->isEnabled());
    const QStringList said = h.said();
    QVERIFY2(std::any_of(said.cbegin(), said.cend(),
                         [&](const QString& text) {
                             return text.contains(h.idDoc(4, QStringLiteral("pan.pdf"))) &&
                                    text.contains(QStringLiteral("could not be stored with the record")) &&
                                    text.contains(QStringLiteral("The record is saved"));
                         }),
             qPrintable(said.join(QLatin1Char('|'))));
    QCOMPARE(details(h, 5), (QStringList{"meera@example.in", kMobile, "080-2345", "PAN Card", "ABCDE1234F", "pan.pdf",
                                         "Passport", "P1234567", "passport.pdf"}));
    QCOMPARE(h.readFile(h.addrDoc(5, QStringLiteral("passport.pdf"))), QByteArrayLiteral("old proof"));
    QCOMPARE(h.readFile(h.idDoc(4, QStringLiteral("pan.pdf"))), QByteArrayLiteral("old proof"));
    QCOMPARE(h.readFile(h.addrDoc(4, QStringLiteral("passport.pdf"))), QByteArrayLiteral("old proof"));
    QCOMPARE(h.readFile(h.idDoc(5)), QByteArrayLiteral("a file where the folder should be"));
    QCOMPARE(linkPairs(*h.fx.db), (QList<std::pair<int, int>>{{4, 5}}));
}

void RenewalCarryOverTest::importCarriesOverWhenAsked() {
    QFETCH(QString, backend);
    regtest::RegisterWindow h(backend);
    prepare(h);
    // The new record's ID-proof folder cannot be made: that document is not copied.
    h.writeFile(h.idDoc(5), QByteArrayLiteral("a file where the folder should be"));

    frmbulkdsc wizard;
    readRenewalWithCarryOver(h, wizard);
    QVERIFY(wizard.chkcarryover->isChecked());
    QCOMPARE(wizard.chkcarryover->text(), QStringLiteral("Carry over details of renewed certificates"));
    QTest::mouseClick(wizard.cmdconvert, Qt::LeftButton);
    const QStringList said = h.said();
    QCOMPARE(said.last(), QStringLiteral("1 Records Transferred."));
    QVERIFY2(said.value(said.size() - 2)
                 .startsWith(QStringLiteral("The ID proof document \"pan.pdf\" of Sr. No. 4 was not copied to Sr. No. "
                                            "5: ")),
             qPrintable(said.join(QLatin1Char('|'))));
    // The record is kept with every detail; the address proof is copied, the older record's stay.
    QCOMPARE(details(h, 5), (QStringList{"meera@example.in", kMobile, "080-2345", "PAN Card", "ABCDE1234F", "pan.pdf",
                                         "Passport", "P1234567", "passport.pdf"}));
    QCOMPARE(historyMobile(*h.fx.db, 5), kMobile);
    QCOMPARE(h.readFile(h.addrDoc(5, QStringLiteral("passport.pdf"))), QByteArrayLiteral("old proof"));
    QCOMPARE(h.readFile(h.idDoc(4, QStringLiteral("pan.pdf"))), QByteArrayLiteral("old proof"));
    QCOMPARE(h.readFile(h.addrDoc(4, QStringLiteral("passport.pdf"))), QByteArrayLiteral("old proof"));
    QCOMPARE(linkPairs(*h.fx.db), (QList<std::pair<int, int>>{{4, 5}}));

    // The command line without --carry-over links the next renewal and takes nothing over; with
    // it, a third would.
    const auto plain = testsupport::runDscmgr({QStringLiteral("import"), second_, QStringLiteral("--password"),
                                               QStringLiteral("pw"), QStringLiteral("--folder"), h.fx.folder,
                                               QStringLiteral("--db"), testsupport::addressOf(*h.fx.db)},
                                              h.fx.objects->file());
    QCOMPARE(plain.status, 0);
    QCOMPARE(linkPairs(*h.fx.db), (QList<std::pair<int, int>>{{4, 5}, {5, 6}}));
    QCOMPARE(h.column(6, "Mobile"), QString());

    h.fx.db->execute(QStringLiteral("Delete From DscStore Where SrNo=6"));
    h.fx.db->execute(QStringLiteral("Delete From DscRenewals Where NewSrNo=6"));
    const auto carried =
        testsupport::runDscmgr({QStringLiteral("import"), second_, QStringLiteral("--password"), QStringLiteral("pw"),
                                QStringLiteral("--carry-over"), QStringLiteral("--folder"), h.fx.folder,
                                QStringLiteral("--db"), testsupport::addressOf(*h.fx.db)},
                               h.fx.objects->file());
    QCOMPARE(carried.status, 0);
    QCOMPARE(h.column(6, "Mobile"), kMobile);
    QCOMPARE(historyMobile(*h.fx.db, 6), kMobile);
    // Record 5 never got its ID-proof document: said on stderr; the address proof is copied on.
    QVERIFY2(carried.err.contains(QStringLiteral("dscmgr: The ID proof document \"pan.pdf\" of Sr. No. 5 was not "
                                                 "copied to Sr. No. 6: ")),
             qPrintable(carried.err));
    QCOMPARE(h.readFile(h.addrDoc(6, QStringLiteral("passport.pdf"))), QByteArrayLiteral("old proof"));

    // Record 4 renewed by hand by the later record 6: a certificate between them is not linked to
    // it, and nothing is carried over from it.
    h.fx.db->execute(QStringLiteral("Delete From DscStore Where SrNo=5"));
    h.fx.db->execute(QStringLiteral("Delete From DscRenewals Where OldSrNo=5 Or NewSrNo=5"));
    QVERIFY(Renewals::link(*h.fx.db, 4, 6, QStringLiteral("desk")) == Renewals::LinkResult::Linked);
    const auto between =
        testsupport::runDscmgr({QStringLiteral("import"), renewal_, QStringLiteral("--password"), QStringLiteral("pw"),
                                QStringLiteral("--carry-over"), QStringLiteral("--folder"), h.fx.folder,
                                QStringLiteral("--db"), testsupport::addressOf(*h.fx.db)},
                               h.fx.objects->file());
    QCOMPARE(between.status, 0);
    QCOMPARE(h.column(7, "Mobile"), QString());
    QCOMPARE(h.column(7, "IdPrFlNm"), QString());
    QVERIFY(!QFileInfo::exists(h.addrDoc(7, QStringLiteral("passport.pdf"))));
    QCOMPARE(linkPairs(*h.fx.db), (QList<std::pair<int, int>>{{4, 6}}));
}

// Two renewals of one holder in one run: the second renews the first, and finds in its folders the
// documents the run copied there from record 4.
void RenewalCarryOverTest::importCarriesAlongAChainInOneRun() {
    QFETCH(QString, backend);
    regtest::RegisterWindow h(backend);
    prepare(h);
    const auto run =
        testsupport::runDscmgr({QStringLiteral("import"), renewal_, second_, QStringLiteral("--password"),
                                QStringLiteral("pw"), QStringLiteral("--carry-over"), QStringLiteral("--folder"),
                                h.fx.folder, QStringLiteral("--db"), testsupport::addressOf(*h.fx.db)},
                               h.fx.objects->file());
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
    QCOMPARE(linkPairs(*h.fx.db), (QList<std::pair<int, int>>{{4, 5}, {5, 6}}));
    for (int n : {4, 5, 6}) {
        QCOMPARE(h.column(n, "Mobile"), kMobile);
        QCOMPARE(h.readFile(h.idDoc(n, QStringLiteral("pan.pdf"))), QByteArrayLiteral("old proof"));
        QCOMPARE(h.readFile(h.addrDoc(n, QStringLiteral("passport.pdf"))), QByteArrayLiteral("old proof"));
    }
}

// Two holders renewed in one run, their older records read together before the run: each new
// record takes its own holder's details and documents.
void RenewalCarryOverTest::importCarriesEachHolderItsOwn() {
    QFETCH(QString, backend);
    regtest::RegisterWindow h(backend);
    prepare(h);
    h.store({.srNo = 2,
             .name = QStringLiteral("Ravi Rao"),
             .type = QStringLiteral("Class 2 Organisation"),
             .serial = QStringLiteral("0LDR"),
             .to = QStringLiteral("01/01/2025 10:00:00"),
             .email = QStringLiteral("ravi@example.in"),
             .mobile = QStringLiteral("9000000002"),
             .idType = QStringLiteral("Voter ID"),
             .idNo = QStringLiteral("RAVI0002"),
             .idFile = QStringLiteral("voter.pdf")},
            QByteArrayLiteral("ravi's proof"));
    const auto run =
        testsupport::runDscmgr({QStringLiteral("import"), renewal_, ravi_, QStringLiteral("--password"),
                                QStringLiteral("pw"), QStringLiteral("--carry-over"), QStringLiteral("--folder"),
                                h.fx.folder, QStringLiteral("--db"), testsupport::addressOf(*h.fx.db)},
                               h.fx.objects->file());
    QCOMPARE(run.status, 0);
    QCOMPARE(linkPairs(*h.fx.db), (QList<std::pair<int, int>>{{2, 6}, {4, 5}}));
    QCOMPARE(details(h, 5), (QStringList{"meera@example.in", kMobile, "080-2345", "PAN Card", "ABCDE1234F", "pan.pdf",
                                         "Passport", "P1234567", "passport.pdf"}));
    QCOMPARE(details(h, 6),
             (QStringList{"ravi@example.in", "9000000002", "", "Voter ID", "RAVI0002", "voter.pdf", "", "", ""}));
    QCOMPARE(h.readFile(h.idDoc(6, QStringLiteral("voter.pdf"))), QByteArrayLiteral("ravi's proof"));
    QCOMPARE(h.readFile(h.idDoc(5, QStringLiteral("pan.pdf"))), QByteArrayLiteral("old proof"));
}

// A renewal whose history entry cannot be written is not imported, by the wizard nor by the command
// line: no record, no link, no document copied, and each says why.
void RenewalCarryOverTest::importRefusedWithItsHistoryEntry() {
    QFETCH(QString, backend);
    regtest::RegisterWindow h(backend);
    prepare(h);
    testsupport::refuseHistory(*h.fx.db);

    frmbulkdsc wizard;
    readRenewalWithCarryOver(h, wizard);
    QTest::mouseClick(wizard.cmdconvert, Qt::LeftButton);
    const QString status = wizard.vs2->TextMatrix(1, bulk::kStatusColumn);
    QVERIFY2(status.startsWith(QStringLiteral("Not Imported: ")) && status.contains(QStringLiteral("history refused")),
             qPrintable(status));
    QCOMPARE(h.said().last(), QStringLiteral("0 Records Transferred."));
    QCOMPARE(h.fx.dialogs->shown().back().detail,
             QStringLiteral("1 row not imported:\n  %1 (1 row)").arg(status.mid(14)));

    const auto run =
        testsupport::runDscmgr({QStringLiteral("import"), renewal_, QStringLiteral("--password"), QStringLiteral("pw"),
                                QStringLiteral("--carry-over"), QStringLiteral("--folder"), h.fx.folder,
                                QStringLiteral("--db"), testsupport::addressOf(*h.fx.db)},
                               h.fx.objects->file());
    QCOMPARE(run.status, 1);
    QVERIFY2(run.lastCell(1).startsWith(QStringLiteral("Not Imported: ")) &&
                 run.lastCell(1).contains(QStringLiteral("history refused")),
             qPrintable(run.lastCell(1)));
    QCOMPARE(run.lines.last(), QStringLiteral("0 Records Transferred."));
    QVERIFY2(run.err.contains(QStringLiteral("were not stored")), qPrintable(run.err));

    QCOMPARE(h.numbers(), QList<int>{4});
    QVERIFY(linkPairs(*h.fx.db).isEmpty());
    QVERIFY(!QFileInfo::exists(h.idDoc(5)) && !QFileInfo::exists(h.addrDoc(5)));
}

QTEST_MAIN(RenewalCarryOverTest)
#include "test_renewal_carryover.moc"
