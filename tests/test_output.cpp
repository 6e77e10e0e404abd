// What leaves `dscmgr list` and `dscmgr report` when the register holds hostile text: CSV for
// spreadsheets, JSON, terminal lines and the PDF; and the list on a machine without a register.

#include "listing/CertGrid.h"
#include "platform/Db.h"
#include "platform/DbAddress.h"
#include "store/StoreStatements.h"
#include "support/RegisterWindowHarness.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kRlo = QStringLiteral("\u202E");
const QString kPdf = QStringLiteral("\u202C");

using Run = testsupport::ProgramRun;

Run dscmgr(const QStringList& args, const QString& home, const QString& outFile = QString()) {
    return testsupport::runDscmgr(args, home + QStringLiteral("/objects.ini"),
                                  {QStringLiteral("HOME=") + home, QStringLiteral("XDG_DATA_HOME")}, outFile);
}

// Two certificates; every text column of the first is filled from `hostile` in table order.
void writeRegister(const QString& file, const QStringList& hostile) {
    QString why;
    auto db = kyt::Db::open(*kyt::DbAddress::parse(QStringLiteral("sqlite:") + file, &why), &why);
    QVERIFY2(db, qPrintable(why));
    db->execute(StoreStatements::createTable());
    QSqlQuery q(db->connection());
    q.prepare(QStringLiteral("Insert Into DscStore Values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    const QVariantList first =
        QVariantList{1} + QVariantList(hostile.begin(), hostile.begin() + 4) +
        QVariantList{QStringLiteral("2024-01-01 10:00:00"), QStringLiteral("2026-01-01 10:00:00")} +
        QVariantList(hostile.begin() + 4, hostile.end());
    const QVariantList second =
        QVariantList{2, "Asha", QString(), "S2", QString(), "2025-01-01 10:00:00", "2099-01-01 10:00:00"} +
        QVariantList(9, QString());
    for (const QVariantList& row : {first, second}) {
        for (int c = 0; c < row.size(); ++c)
            q.bindValue(c, row[c]);
        QVERIFY2(q.exec(), qPrintable(q.lastQuery()));
    }
}
} // namespace

class TestOutput : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private slots:
    void initTestCase();
    void csvIsSafeForSpreadsheets();
    void jsonAndTerminalLines();
    void bidiControlsAreShownNotObeyed();
    void newMachineHasNoCertificatesYet();
    void listOnFullDiskFails();

private:
    QTemporaryDir home_;
    QStringList register_;
    // Nm, Typ, SerialNo, IssAuth, Email, Mobile, TelNo, IdPrTyp, IdPrNo, IdPrFlNm, AddrPrTyp, AddrPrNo, AddrPrFlNm
    const QStringList hostile_ = {QStringLiteral("=cmd|' /C calc'!A0"),
                                  QStringLiteral("+Class 3 =HYPERLINK(\"x\")"),
                                  QStringLiteral("-12.5"),
                                  QStringLiteral("Quote \"Q\", CA"),
                                  QStringLiteral("@SUM(1+1)"),
                                  QStringLiteral("+91 98765 43210"),
                                  QStringLiteral("-(011) 2345-678"),
                                  QStringLiteral("\tTab first"),
                                  QStringLiteral("\rCR first"),
                                  QStringLiteral("bell\x07"
                                                 "esc\x1b[2J"),
                                  QStringLiteral("देवी"),
                                  QStringLiteral("line\nbreak"),
                                  kRlo + QStringLiteral("fdp.exe") + kPdf};
};

void TestOutput::initTestCase() {
    writeRegister(home_.filePath(QStringLiteral("KYTDscMgr.db")), hostile_);
    register_ = {QStringLiteral("--folder"), home_.path()};
}

void TestOutput::csvIsSafeForSpreadsheets() {
    const Run csv = dscmgr(QStringList{"list", "--csv"} + register_, home_.path());
    QCOMPARE(csv.status, 0);
    const QByteArray heading = "Sr. No.,Certificate Name,Type of DSC,Serial No.,Issuing Authority,Valid From,Valid "
                               "To,E-mail Id,Mobile No.,Tel. No.,ID Proof Type,ID Proof No.,ID Proof File "
                               "Name,Address Proof Type,Address Proof No.,Address Proof File Name\r\n";
    const QByteArray first =
        "1,'=cmd|' /C calc'!A0,\"'+Class 3 =HYPERLINK(\"\"x\"\")\",-12.5,\"Quote \"\"Q\"\", CA\",01/01/2024 "
        "10:00:00,01/01/2026 10:00:00,'@SUM(1+1),+91 98765 43210,-(011) 2345-678,'\tTab first,\"'\rCR first\","
        "bell esc [2J,\xe0\xa4\xa6\xe0\xa5\x87\xe0\xa4\xb5\xe0\xa5\x80,\"line\nbreak\","
        "\xe2\x80\xae"
        "fdp.exe\xe2\x80\xac\r\n";
    const QByteArray second = "2,Asha,,S2,,01/01/2025 10:00:00,01/01/2099 10:00:00,,,,,,,,,\r\n";
    QCOMPARE(csv.out, "\xef\xbb\xbf" + heading + first + second);

    const Run plain = dscmgr(QStringList{"list", "--csv", "--no-bom"} + register_, home_.path());
    QCOMPARE(plain.out, heading + first + second);
    // For scripts: the cells as stored, quoted where CSV needs it.
    const Run raw = dscmgr(QStringList{"list", "--csv-raw", "--no-bom"} + register_, home_.path());
    QVERIFY2(raw.out.contains("\n1,=cmd|' /C calc'!A0,\"+Class 3 =HYPERLINK(\"\"x\"\")\",-12.5,"), raw.out);
    QVERIFY(raw.out.contains("bell\x07"
                             "esc\x1b[2J"));
}

void TestOutput::jsonAndTerminalLines() {
    const Run json = dscmgr(QStringList{"list", "--json", "--expired"} + register_, home_.path());
    QCOMPARE(json.status, 0);
    QJsonParseError error;
    const QJsonArray rows = QJsonDocument::fromJson(json.out, &error).array();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    QCOMPARE(rows.size(), 1); // only the first has expired
    const QJsonObject row = rows[0].toObject();
    QCOMPARE(row.size(), 16);
    QCOMPARE(row.value(QStringLiteral("Sr. No.")).toString(), QStringLiteral("1"));
    QCOMPARE(row.value(QStringLiteral("Certificate Name")).toString(), hostile_[0]);
    QCOMPARE(row.value(QStringLiteral("Valid To")).toString(), QStringLiteral("01/01/2026 10:00:00"));
    QCOMPARE(row.value(QStringLiteral("ID Proof File Name")).toString(), hostile_[9]);
    QCOMPARE(row.value(QStringLiteral("Address Proof File Name")).toString(), hostile_[12]);

    // On a terminal every row stays one line of 16 cells, and no escape sequence gets through.
    const Run tab = dscmgr(QStringList{"list"} + register_, home_.path());
    const QList<QByteArray> lines = tab.out.split('\n');
    QCOMPARE(lines.size(), 4); // heading, two rows, the empty text after the last line end
    QCOMPARE(lines[1].split('\t').size(), 16);
    QVERIFY(!tab.out.contains('\x1b') && !tab.out.contains('\r') && !tab.out.contains('\x07'));
    QVERIFY2(lines[1].endsWith("\tline break\t<U+202E>fdp.exe<U+202C>"), lines[1]);
}

void TestOutput::bidiControlsAreShownNotObeyed() {
    // The list and the form draw marks where the controls are; the boxes hold the stored text, so
    // saving a change elsewhere keeps it, and a text typed as marks is saved as typed.
    const QString name = QStringLiteral("Ravi ") + kRlo + QStringLiteral("gpj.exe");
    const QString typedMarks = QStringLiteral("<U+202E>Literal");
    regtest::RegisterWindow h;
    h.store({.srNo = 1, .name = name, .type = kRlo + QStringLiteral("Class 3"), .authority = typedMarks});
    h.open();
    QCOMPARE(h.w->vs->model()->index(0, 2).data().toString(), QStringLiteral("Ravi <U+202E>gpj.exe"));
    QCOMPARE(h.text(0)->text(), name);
    QCOMPARE(testsupport::drawnTexts(h.text(0)).join(QString()), QStringLiteral("Ravi <U+202E>gpj.exe"));
    QCOMPARE(testsupport::drawnTexts(h.combo("cbodsctype")->lineEdit()).join(QString()),
             QStringLiteral("<U+202E>Class 3"));
    h.click(h.w->cmdmodify);
    h.text(7)->setFocus();
    QTest::keyClicks(h.text(7), QStringLiteral("9876543210"));
    h.text(2)->setFocus();
    QTest::keyClicks(h.text(2), QStringLiteral("<U+2066>S1"));
    h.click(h.w->cmdupdate);
    QCOMPARE(h.column(1, "Mobile"), QStringLiteral("9876543210"));
    QCOMPARE(h.column(1, "Nm"), name);
    QCOMPARE(h.column(1, "Typ"), kRlo + QStringLiteral("Class 3"));
    QCOMPARE(h.column(1, "IssAuth"), typedMarks);
    QCOMPARE(h.column(1, "SerialNo"), QStringLiteral("<U+2066>S1"));

    // The PDF.
    const QString pdf = home_.filePath(QStringLiteral("list.pdf"));
    const Run report = dscmgr(QStringList{"report", "--pdf", pdf, "--columns", "1,17"} + register_, home_.path());
    QVERIFY2(report.status == 0, qPrintable(report.err));
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    QVERIFY(text.waitForFinished(60000));
    const QString page = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(page.contains(QStringLiteral("<U+202E>fdp.exe<U+202C>")), qPrintable(page));
    QVERIFY(!page.contains(kRlo));
}

void TestOutput::newMachineHasNoCertificatesYet() {
    QTemporaryDir fresh;
    for (const QString& command : {QStringLiteral("list"), QStringLiteral("check")}) {
        const Run r = dscmgr({command}, fresh.path());
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.startsWith(QStringLiteral("dscmgr: there are no certificates yet")), qPrintable(r.err));
    }
    QCOMPARE(dscmgr({"list", "--json"}, fresh.path()).out, QByteArray("[\n]\n"));
    // A register named on the command line that is not there is a mistake, not a new machine.
    QCOMPARE(dscmgr({"list", "--folder", fresh.filePath(QStringLiteral("typo"))}, fresh.path()).status, 2);
}

void TestOutput::listOnFullDiskFails() {
    for (const QStringList& command :
         {QStringList{"list", "--csv"}, QStringList{"list", "--json"}, QStringList{"check"}}) {
        const Run r = dscmgr(command + register_, home_.path(), "/dev/full");
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(QStringLiteral("could not be written")), qPrintable(r.err));
    }
}

QTEST_MAIN(TestOutput)
#include "test_output.moc"
