// The bulk import wizard, driven as a user drives it: buttons clicked, keys pressed, dialogs
// answered through the scripted dialogs service, certificates made here and read by the real
// certificate information object, store entries from a SoftHSM2 token. Runs with TZ=Asia/Kolkata.

#include "bulk/frmbulkdsc.h"
#include "CertificateFactory.h"
#include "platform/LibraryRegistration.h"
#include "register/frmDscMain.h"
#include "SoftHsmTokens.h"
#include "store/StoreStatements.h"
#include "support/PausableServer.h"
#include "support/TestSupport.h"

#include <memory>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <QHeaderView>
#include <QPointer>
#include <QtTest>
#include <stdexcept>

using namespace kyt::test;
using Shown = kyt::ScriptedDialogs::Shown;

namespace {
const QString kFailed = QStringLiteral("Error Retrieving Certificate Information.");
constexpr int kStatus = 9;

QStringList column(const WizardGrid* grid, int c) {
    QStringList out;
    for (int row = 1; row < grid->Rows(); ++row)
        out << grid->TextMatrix(row, c);
    return out;
}
} // namespace

class BulkWizardTest : public testsupport::DialogsCheckedTest {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void fileListAddsEachEntryOnce();
    void passwordsAndListEditing();
    void readingShowsDetailsOrWhyNot();
    void stopAndEscapeEndTheRun();
    void importInsertsReadRowsOnce_data();
    void importInsertsReadRowsOnce();
    void fullRegisterStoresNothingSilently();
    void damagedRegisterIsRefusedBeforeReading();
    void silentServerStopsTheImport();
    void registerReloadsAfterTheWizard();

private:
    void open(const QString& backend = QStringLiteral("sqlite"));
    void addFile(const QString& path) {
        fx_->dialogs->queue(QStringList{path});
        QTest::mouseClick(w_->cmdfl, Qt::LeftButton);
    }
    void addFolder(const QString& folder) {
        fx_->dialogs->queue(folder);
        QTest::mouseClick(w_->cmdfld, Qt::LeftButton);
    }
    void clickCell(WizardGrid* grid, int row, int c) {
        const QRect cell = grid->visualRect(grid->model()->index(row - 1, c));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }
    QString page() const {
        for (QWidget* p :
             {static_cast<QWidget*>(w_->fam1), static_cast<QWidget*>(w_->fampg), static_cast<QWidget*>(w_->fam2)})
            if (!p->isHidden())
                return p->objectName();
        return {};
    }
    // A cell editor of the file list has the focus.
    bool editing() const {
        QWidget* focus = QApplication::focusWidget();
        return focus && focus->parentWidget() == w_->vs1->viewport();
    }
    QString path(const QString& name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
    kyt::certinfo::CryptoContext crypto_;
    std::unique_ptr<SoftHsmTokens> tokens_;
    std::unique_ptr<testsupport::ComponentFixture> fx_;
    QPointer<frmbulkdsc> w_;
};

void BulkWizardTest::initTestCase() {
    const KeyAndCertificate ca = makeAuthority(QStringLiteral("Bulk CA"));
    CertificateRecipe meera;
    meera.subject = {commonName(QStringLiteral("Meera Iyer")), unit(QStringLiteral("Class 2 Organisation")),
                     email(QStringLiteral("meera@example.in"))};
    meera.serial = QByteArray::fromHex("1a2b3c");
    writeFile(dir_.path(), QStringLiteral("certs/Meera.pfx"),
              pkcs12Of(makeCertificate(meera, &ca), {.password = "pw"}, crypto_));
    CertificateRecipe bina;
    bina.subject = {commonName(QStringLiteral("Bina O'Neil")), unit(QStringLiteral("Class 3 Individual"))};
    bina.serial = QByteArray::fromHex("0b");
    writeFile(dir_.path(), QStringLiteral("certs/Bina.cer"), derOf(makeCertificate(bina, &ca).cert.get()));
    // An end of validity that is no time at all.
    CertificateRecipe endless;
    endless.subject = {commonName(QStringLiteral("Endless Holder"))};
    endless.serial = QByteArray::fromHex("0e");
    endless.notAfter = QDateTime(QDate(2030, 1, 1), QTime(0, 0, 0), Qt::UTC);
    const KeyAndCertificate noEnd = makeCertificate(endless);
    ASN1_STRING_set(X509_getm_notAfter(noEnd.cert.get()), "ABCDEFGHIJKLZ", 13);
    X509_sign(noEnd.cert.get(), noEnd.key.get(), EVP_sha256());
    writeFile(dir_.path(), QStringLiteral("certs/Endless.cer"), derOf(noEnd.cert.get()));
    writeFile(dir_.path(), QStringLiteral("certs/notes.txt"), QByteArray("not a certificate"));
    writeFile(dir_.path(), QStringLiteral("certs/sub/Hidden.cer"), derOf(makeCertificate(bina, &ca).cert.get()));
    // Ten plain certificates for the stop case, and a second holder with Meera's serial number.
    for (int i = 1; i <= 10; ++i)
        writeFile(dir_.path(), QStringLiteral("ten/c%1.cer").arg(i, 2, 10, QLatin1Char('0')),
                  derOf(makeCertificate(bina, &ca).cert.get()));
    CertificateRecipe twin = meera;
    twin.subject = {commonName(QStringLiteral("Twin Serial"))};
    writeFile(dir_.path(), QStringLiteral("Twin.cer"), derOf(makeCertificate(twin, &ca).cert.get()));

    if (const QString missing = SoftHsmTokens::missingTools(); !missing.isEmpty())
        QFAIL(qPrintable(QStringLiteral("not installed: ") + missing));
    tokens_ = std::make_unique<SoftHsmTokens>();
    const QString error = tokens_->addToken(
        QStringLiteral("Bulk"), {{"a-anil", holderDer("Anil Token", ca)}, {"b-bina", holderDer("Bina Token", ca)}});
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void BulkWizardTest::init() {
    qputenv("KYT_PKCS11_MODULES", SoftHsmTokens::kModule.toUtf8());
}

void BulkWizardTest::cleanup() {
    delete w_.data();
    fx_.reset();
    DialogsCheckedTest::cleanup();
}

void BulkWizardTest::open(const QString& backend) {
    fx_ = std::make_unique<testsupport::ComponentFixture>(backend);
    fx_->attach();
    fx_->db->execute(StoreStatements::createTable());
    // The indexes are made when missing and left alone when present.
    for (int twice = 0; twice < 2; ++twice)
        for (const QString& index : StoreStatements::createIndexes())
            fx_->db->execute(index);
    QString error;
    QVERIFY2(kyt::registerLibrary(*fx_->objects, QStringLiteral(KYT_CERTINFO_PLUGIN), &error), qPrintable(error));
    w_ = new frmbulkdsc();
    for (WizardGrid* grid : {w_->vs1, w_->vs2})
        new QAbstractItemModelTester(grid->model(), QAbstractItemModelTester::FailureReportingMode::Fatal, w_);
    w_->InitData(fx_->cls);
    w_->show();
    QApplication::setActiveWindow(w_);
    QVERIFY(QTest::qWaitForWindowActive(w_));
    QCOMPARE(w_->windowTitle(), QStringLiteral("Bulk DSC Details Import Wizard"));
}

void BulkWizardTest::fileListAddsEachEntryOnce() {
    open();
    QCOMPARE(page(), QStringLiteral("fam1"));
    // Open XML File: the dialog's title and filter; another path to the same file is refused.
    addFile(path("certs/Meera.pfx"));
    const Shown& dialog = fx_->dialogs->shown().back();
    QCOMPARE(dialog.title, QStringLiteral("Select Certificate File"));
    QCOMPARE(dialog.filter, QStringLiteral("Personal Information Exchange (*.pfx;*.p12)|*.pfx;*.p12|X.509 "
                                           "Certificate (*.cer;*.crt)|*.cer;*.crt|All Files (*.*)|*.*"));
    addFile(path("certs/../certs/Meera.pfx"));
    QCOMPARE(fx_->dialogs->messages().back(), QStringLiteral("File already exists in the List."));
    fx_->dialogs->queue(QStringList{}); // cancelled
    QTest::mouseClick(w_->cmdfl, Qt::LeftButton);
    QCOMPARE(w_->vs1->Rows(), 2);

    // Search in Folder: every file directly in it, whatever it is; Meera is not listed again, and
    // a second search adds nothing. A cancelled picker changes nothing.
    addFolder(path("certs"));
    addFolder(path("certs"));
    fx_->dialogs->queue(kyt::Answer::Cancel);
    QTest::mouseClick(w_->cmdfld, Qt::LeftButton);
    QCOMPARE(column(w_->vs1, 1), QStringList({path("certs/Meera.pfx"), path("certs/Bina.cer"),
                                              path("certs/Endless.cer"), path("certs/notes.txt")}));
    QCOMPARE(column(w_->vs1, 3), QStringList(4, QStringLiteral("FL")));

    // All Certificates from Store: the token's two certificates, once.
    QTest::mouseClick(w_->cmdallcertstore, Qt::LeftButton);
    QTest::mouseClick(w_->cmdallcertstore, Qt::LeftButton);
    QCOMPARE(column(w_->vs1, 1).mid(4), QStringList({"Certificate Store : 1", "Certificate Store : 2"}));
    QCOMPARE(column(w_->vs1, 3).mid(4), QStringList({"0", "1"}));
    QCOMPARE(column(w_->vs1, 0), QStringList({"1", "2", "3", "4", "5", "6"}));

    // Delete Row renumbers; without a current row it does nothing.
    clickCell(w_->vs1, 2, 1);
    QTest::mouseClick(w_->cmddelfl, Qt::LeftButton);
    QCOMPARE(column(w_->vs1, 0), QStringList({"1", "2", "3", "4", "5"}));
    QVERIFY(!column(w_->vs1, 1).contains(path("certs/Bina.cer")));
    w_->vs1->setCurrentCell(0, -1);
    QTest::mouseClick(w_->cmddelfl, Qt::LeftButton);
    QCOMPARE(w_->vs1->Rows(), 6);

    // Clear List asks with No as the default; an empty list only says so.
    fx_->dialogs->clear();
    fx_->dialogs->queueNo();
    QTest::mouseClick(w_->cmdclear, Qt::LeftButton);
    QCOMPARE(w_->vs1->Rows(), 6);
    QCOMPARE(fx_->dialogs->shown().back().text,
             QStringLiteral("Do you really want to Clear all the Selected Files List?"));
    QCOMPARE(fx_->dialogs->shown().back().defaultButton, kyt::Answer::No);
    fx_->dialogs->queueYes();
    QTest::mouseClick(w_->cmdclear, Qt::LeftButton);
    QCOMPARE(w_->vs1->Rows(), 1);
    fx_->dialogs->clear();
    QTest::mouseClick(w_->cmdclear, Qt::LeftButton);
    QCOMPARE(fx_->dialogs->messages(), QStringList{"No Files Selected."});
    QCOMPARE(fx_->dialogs->shown().back().kind, Shown::Information);

    // An empty store says so; Proceed on an empty list too, staying on the file list.
    qputenv("KYT_PKCS11_MODULES", "/nonexistent/module.so");
    QTest::mouseClick(w_->cmdallcertstore, Qt::LeftButton);
    QTest::mouseClick(w_->cmdproceed, Qt::LeftButton);
    QCOMPARE(fx_->dialogs->messages().mid(1), QStringList({"No Certificate Found.", "No File Selected."}));
    QCOMPARE(page(), QStringLiteral("fam1"));

    // Escape on the file list closes the wizard without a question.
    QTest::keyClick(w_->cmdproceed, Qt::Key_Escape);
    QVERIFY(!w_->isVisible());
    QCOMPARE(fx_->dialogs->shown().size(), size_t(3));
}

void BulkWizardTest::passwordsAndListEditing() {
    open();
    addFile(path("certs/Meera.pfx"));
    QTest::mouseClick(w_->cmdallcertstore, Qt::LeftButton);
    // The cursor landing on a file's Password cell opens it; typing there sets the password.
    // Passwords are masked, in the cell editor and in the cell.
    clickCell(w_->vs1, 1, 2);
    QVERIFY(editing());
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    auto maskedWithStars = [](const QLineEdit* box) {
        return box->echoMode() == QLineEdit::Password &&
               box->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, box) == '*';
    };
    QVERIFY(maskedWithStars(editor));
    QTest::keyClicks(editor, QStringLiteral("wrong"));
    // Tab keeps what was typed and goes down the Password column.
    QTest::keyClick(editor, Qt::Key_Tab);
    QTRY_COMPARE(w_->vs1->TextMatrix(1, 2), QStringLiteral("wrong"));
    QCOMPARE(w_->vs1->Row(), 2);
    QCOMPARE(w_->vs1->Col(), 2);
    const QAbstractItemDelegate* cell = w_->vs1->itemDelegateForColumn(2);
    QVERIFY(qobject_cast<const QStyledItemDelegate*>(cell));
    QCOMPARE(static_cast<const QStyledItemDelegate*>(cell)->displayText(QStringLiteral("wrong"), QLocale()),
             QStringLiteral("*****"));
    // A store entry's Password cell cannot be edited, by cursor or key.
    clickCell(w_->vs1, 2, 2);
    QTest::keyClicks(w_->vs1, QStringLiteral("x"));
    QVERIFY(!editing());
    QCOMPARE(w_->vs1->TextMatrix(2, 2), QString());

    // The common password hides the column and is used instead of the cells; unchecking shows the
    // passwords typed before.
    QVERIFY(w_->txtcompass->isHidden());
    QTest::mouseClick(w_->chkcompass, Qt::LeftButton);
    QVERIFY(w_->vs1->isColumnHidden(2));
    QVERIFY(w_->txtcompass->isVisible());
    QVERIFY(maskedWithStars(w_->txtcompass));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("pw")); // typed where ticking left the focus
    QTest::mouseClick(w_->cmdproceed, Qt::LeftButton);
    QCOMPARE(page(), QStringLiteral("fam2"));
    QCOMPARE(column(w_->vs2, 2), QStringList({"Meera Iyer", "Anil Token", "Bina Token"}));
    QCOMPARE(column(w_->vs2, kStatus), QStringList(3, QString()));

    QTest::mouseClick(w_->cmdback, Qt::LeftButton);
    QCOMPARE(page(), QStringLiteral("fam1"));
    QCOMPARE(QApplication::focusWidget(), w_->cmdproceed);
    QTest::mouseClick(w_->chkcompass, Qt::LeftButton);
    QVERIFY(!w_->vs1->isColumnHidden(2));
    QCOMPARE(w_->vs1->TextMatrix(1, 2), QStringLiteral("wrong"));
    // Now the cell's wrong password counts; the token is gone, too.
    qputenv("KYT_PKCS11_MODULES", "/nonexistent/module.so");
    QTest::mouseClick(w_->cmdproceed, Qt::LeftButton);
    QCOMPARE(column(w_->vs2, kStatus), QStringList(3, kFailed));
    QCOMPARE(column(w_->vs2, 2), QStringList(3, QString()));
}

void BulkWizardTest::readingShowsDetailsOrWhyNot() {
    open();
    const QString doomed = writeFile(dir_.path(), QStringLiteral("Doomed.cer"), QByteArray("x"));
    addFile(path("certs/Meera.pfx"));
    addFolder(path("certs"));
    addFile(doomed);
    w_->vs1->setTextMatrix(1, 2, QStringLiteral("pw"));
    QFile::remove(doomed);
    QTest::mouseClick(w_->cmdproceed, Qt::LeftButton);
    QCOMPARE(page(), QStringLiteral("fam2"));
    QCOMPARE(w_->vs2->Row(), 1);
    QCOMPARE(w_->vs2->Col(), 1);
    QCOMPARE(column(w_->vs2, 0), QStringList({"1", "2", "3", "4", "5"}));
    QCOMPARE(column(w_->vs2, 1), QStringList({"Meera", "Bina", "Endless", "notes", doomed}));
    const QStringList meera = {"Meera Iyer",          "Class 2 Organisation", "1A2B3C",           "Bulk CA",
                               "05/03/2024 11:37:08", "02/01/2051 01:30:00",  "meera@example.in", ""};
    for (int c = 2; c <= kStatus; ++c)
        QCOMPARE(w_->vs2->TextMatrix(1, c), meera[c - 2]);
    QCOMPARE(w_->vs2->TextMatrix(2, 2), QStringLiteral("Bina O'Neil"));
    // No end of validity: the name stays, the rest is cleared.
    QStringList endless(8, QString());
    endless[0] = QStringLiteral("Endless Holder");
    endless[7] = QStringLiteral("Invalid Certificate Information.");
    for (int c = 2; c <= kStatus; ++c)
        QCOMPARE(w_->vs2->TextMatrix(3, c), endless[c - 2]);
    QCOMPARE(column(w_->vs2, kStatus).mid(3), QStringList({kFailed, "File not found"}));
    // Why, in the Status cell's tool tip; the Status column last, the grid shown from its first column.
    const QModelIndex notes = w_->vs2->model()->index(3, kStatus);
    QCOMPARE(notes.data(Qt::ToolTipRole).toString(), QStringLiteral("not a certificate file"));
    QCOMPARE(w_->vs2->model()->index(4, kStatus).data(Qt::ToolTipRole).toString(), QStringLiteral("file not found"));
    QCOMPARE(w_->vs2->horizontalHeader()->visualIndex(kStatus), w_->vs2->Cols() - 1);
    QCOMPARE(w_->vs2->columnViewportPosition(0), 0);
    QCOMPARE(w_->cbodsctype->currentText(), QStringLiteral("(Auto)"));
    QCOMPARE(w_->cboidproof->count(), 7);
    QCOMPARE(w_->cboidproof->currentText(), QString());
    QCOMPARE(fx_->dialogs->messages().join(QString()), QString());

    // Tab leaves either grid for the next control instead of walking its cells.
    QTest::keyClick(w_->vs2, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w_->cbodsctype);

    // Escape on the results page goes back to the file list, which is unchanged.
    QTest::keyClick(w_->cbodsctype, Qt::Key_Escape);
    QCOMPARE(page(), QStringLiteral("fam1"));
    QCOMPARE(w_->vs1->Rows(), 6);
    QVERIFY(w_->isVisible());
    clickCell(w_->vs1, 2, 1);
    QTest::keyClick(w_->vs1, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w_->cmdfl);
}

void BulkWizardTest::stopAndEscapeEndTheRun() {
    open();
    addFolder(path("ten"));
    QCOMPARE(w_->vs1->Rows(), 11);
    // Stop pressed while the third entry is read: seen when the fourth starts, which is still read.
    auto stopAtThird = connect(w_->vs2->model(), &QAbstractItemModel::rowsInserted, w_, [&] {
        if (w_->vs2->rowCount() == 3)
            QMetaObject::invokeMethod(
                w_, [&] { QTest::mouseClick(w_->cmdstop, Qt::LeftButton); }, Qt::QueuedConnection);
    });
    QTest::mouseClick(w_->cmdproceed, Qt::LeftButton);
    disconnect(stopAtThird);
    QCOMPARE(page(), QStringLiteral("fam2"));
    QCOMPARE(w_->vs2->Rows(), 5);
    QCOMPARE(w_->lblpb->text(), QStringLiteral("Retrieving Information for Certificate (4 of 10)"));

    // Proceed again after Back reads every entry from the first; Escape stops as Stop does.
    QTest::mouseClick(w_->cmdback, Qt::LeftButton);
    QTest::mouseClick(w_->cmdproceed, Qt::LeftButton);
    QCOMPARE(w_->vs2->Rows(), 11);
    QCOMPARE(column(w_->vs2, 1).first(), QStringLiteral("c01"));
    QTest::keyClick(w_, Qt::Key_Escape);
    connect(w_->vs2->model(), &QAbstractItemModel::rowsInserted, w_, [&] {
        if (w_->vs2->rowCount() == 1)
            QMetaObject::invokeMethod(
                w_,
                [&] {
                    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w_.data(),
                                    Qt::Key_Escape);
                },
                Qt::QueuedConnection);
    });
    QTest::mouseClick(w_->cmdproceed, Qt::LeftButton);
    QCOMPARE(w_->vs2->Rows(), 3);
    QVERIFY(w_->isVisible());
}

void BulkWizardTest::importInsertsReadRowsOnce_data() {
    testsupport::addBackendColumn();
}

void BulkWizardTest::importInsertsReadRowsOnce() {
    QFETCH(QString, backend);
    open(backend);
    addFile(path("certs/Meera.pfx"));
    addFolder(path("certs"));
    addFile(path("Twin.cer"));
    w_->vs1->setTextMatrix(1, 2, QStringLiteral("pw"));
    QTest::mouseClick(w_->cmdproceed, Qt::LeftButton);
    QTest::mouseClick(w_->cmdconvert, Qt::LeftButton);
    // Only the rows read without a problem; the twin's serial number is Meera's, stored just before.
    QCOMPARE(column(w_->vs2, kStatus),
             QStringList({"Imported Successfully", "Imported Successfully", "Invalid Certificate Information.", kFailed,
                          "Duplicate Serial Number"}));
    // Row 1 of the Status column is current, and the grid is scrolled to show Status leftmost.
    QCOMPARE(w_->vs2->Row(), 1);
    QCOMPARE(w_->vs2->Col(), kStatus);
    QCOMPARE(w_->vs2->horizontalHeader()->visualIndex(kStatus), w_->vs2->Cols() - 1);
    QCOMPARE(w_->vs2->columnViewportPosition(kStatus), 0);
    QCOMPARE(w_->vs2->rowViewportPosition(0), 0);
    QCOMPARE(w_->lblpb->text(), QStringLiteral("Importing Record (5 of 5)"));
    QCOMPARE(fx_->dialogs->messages().back(), QStringLiteral("2 Records Transferred."));
    // Its detail text counts the rows left out, and those rows are tinted.
    QCOMPARE(fx_->dialogs->shown().back().detail,
             QStringLiteral("1 row not imported: the serial number is in the register already.\n"
                            "2 rows unreadable: the file or certificate could not be read."));
    for (int row = 0; row < 5; ++row)
        for (int c : {0, kStatus})
            QCOMPARE(w_->vs2->item(row, c)->background().color() == QColor(255, 196, 196), row >= 2);
    auto stored = [&](const QString& where) {
        QStringList rows;
        kyt::RowSet rs = fx_->db->openRowSet(
            QStringLiteral("Select SrNo, Nm, Typ, IdPrTyp, AddrPrTyp From DscStore %1 Order By SrNo").arg(where));
        for (; !rs.eof(); rs.next())
            rows << QStringList({rs.text(0), rs.text(1), rs.text(2), rs.text(3), rs.text(4)}).join(QLatin1Char('|'));
        return rows;
    };
    QCOMPARE(stored(QString()),
             QStringList({"1|Meera Iyer|Class 2 Organisation||", "2|Bina O'Neil|Class 3 Individual||"}));
    QCOMPARE(fx_->cls->FileNos, 2);
    // A second Import inserts nothing.
    QTest::mouseClick(w_->cmdconvert, Qt::LeftButton);
    QCOMPARE(fx_->dialogs->messages().back(), QStringLiteral("0 Records Transferred."));
    QCOMPARE(stored(QString()).size(), 2);

    // After record 17, with a chosen type and proof types: numbers go on from 18, past a record
    // another user saves while the run is on; the grid keeps the types read.
    fx_->db->execute(QStringLiteral("Delete From DscStore"));
    fx_->insert(17, QStringLiteral("Old"), QStringLiteral("01/01/2020"), QStringLiteral("01/01/2021"),
                QStringLiteral("99"));
    QTest::mouseClick(w_->cmdback, Qt::LeftButton);
    QTest::mouseClick(w_->cmdproceed, Qt::LeftButton);
    w_->cbodsctype->setFocus();
    w_->cbodsctype->lineEdit()->selectAll();
    QTest::keyClicks(w_->cbodsctype, QStringLiteral("Class 9"));
    QTest::keyClick(w_->cbodsctype, Qt::Key_Return);
    QTRY_COMPARE(QApplication::focusWidget(), w_->cboidproof);
    w_->cboidproof->setCurrentText(QStringLiteral("PAN Card"));
    w_->cboaddrproof->setCurrentText(QStringLiteral("Rent Deed"));
    const QMetaObject::Connection meanwhile = connect(w_->pb, &QProgressBar::valueChanged, this, [&](int row) {
        if (row == 2)
            fx_->insert(19, QStringLiteral("Saved Meanwhile"), QStringLiteral("01/01/2020"),
                        QStringLiteral("01/01/2021"), QStringLiteral("77"));
    });
    QTest::mouseClick(w_->cmdconvert, Qt::LeftButton);
    disconnect(meanwhile);
    QCOMPARE(stored(QStringLiteral("Where SrNo>17")),
             QStringList({"18|Meera Iyer|Class 9|PAN Card|Rent Deed", "19|Saved Meanwhile|||",
                          "20|Bina O'Neil|Class 9|PAN Card|Rent Deed"}));
    QCOMPARE(column(w_->vs2, 3).mid(0, 2), QStringList({"Class 2 Organisation", "Class 3 Individual"}));
    QCOMPARE(fx_->cls->FileNos, 4);
    QVERIFY(fx_->logText().isEmpty());
}

// A register that cannot grow (a full disk) stores nothing, and says so in each row instead of
// "Imported Successfully"; once there is room, Import stores the rows.
void BulkWizardTest::fullRegisterStoresNothingSilently() {
    open();
    kyt::RowSet rs = fx_->db->openRowSet(QStringLiteral("PRAGMA page_count"));
    const int pages = rs.value(0).toInt();
    rs.close();
    fx_->db->execute(QStringLiteral("PRAGMA max_page_count=%1").arg(pages));
    // Filled up with long rows, then with short ones, until not even a short one fits.
    int filler = 1000;
    for (const int length : {200, 1})
        while (filler < 3000 && kyt::ErrorTrap::silent()([&] {
                   fx_->insert(++filler, QString(length, QLatin1Char('f')), QStringLiteral("01/01/2020"),
                               QStringLiteral("01/01/2021"));
               })) {
        }
    auto count = [&] {
        kyt::RowSet n = fx_->db->openRowSet(QStringLiteral("Select Count(*) From DscStore Where Nm Not Like 'f%'"));
        const int c = n.value(0).toInt();
        n.close();
        return c;
    };
    addFile(path("certs/Meera.pfx"));
    addFile(path("certs/Bina.cer"));
    addFile(path("ten/c01.cer"));
    w_->vs1->setTextMatrix(1, 2, QStringLiteral("pw"));
    QTest::mouseClick(w_->cmdproceed, Qt::LeftButton);
    QTest::mouseClick(w_->cmdconvert, Qt::LeftButton);
    QCOMPARE(column(w_->vs2, kStatus), QStringList(3, QStringLiteral("Not Imported: the disk is full")));
    QCOMPARE(fx_->dialogs->messages().back(), QStringLiteral("0 Records Transferred."));
    QCOMPARE(fx_->dialogs->shown().back().detail, QStringLiteral("3 rows not imported:\n  the disk is full (3 rows)"));
    QCOMPARE(count(), 0);
    QCOMPARE(fx_->cls->FileNos, 0);
    QCOMPARE(fx_->logLines().size(), 3);
    QVERIFY(fx_->logLines().first().endsWith(QStringLiteral("frmbulkdsc\tIMPORTDETAILS")));

    fx_->db->execute(QStringLiteral("PRAGMA max_page_count=1000000"));
    QTest::mouseClick(w_->cmdconvert, Qt::LeftButton);
    QCOMPARE(column(w_->vs2, kStatus),
             QStringList({"Imported Successfully", "Imported Successfully", "Duplicate Serial Number"}));
    QCOMPARE(count(), 2);
    QCOMPARE(fx_->cls->FileNos, 2);
    QTest::mouseClick(w_->cmdback, Qt::LeftButton);
    QCOMPARE(page(), QStringLiteral("fam1"));

    // Past the largest record number nothing is stored under a number that turned negative.
    fx_->db->execute(QStringLiteral("Delete From DscStore"));
    fx_->insert(2147483646, QStringLiteral("Last But One"), QStringLiteral("01/01/2020"), QStringLiteral("01/01/2021"));
    QTest::mouseClick(w_->cmdproceed, Qt::LeftButton);
    QTest::mouseClick(w_->cmdconvert, Qt::LeftButton);
    rs = fx_->db->openRowSet(QStringLiteral("Select Min(SrNo), Max(SrNo), Count(*) From DscStore"));
    QCOMPARE(QStringList({rs.text(0), rs.text(1), rs.text(2)}), QStringList({"2147483646", "2147483647", "2"}));
    rs.close();
    QVERIFY(fx_->logText().contains(QStringLiteral("No record number is left")));

    // A step that fails part-way (here the progress display, as the second row starts) is logged,
    // and the run goes on; the summary and the count the register reloads by always follow.
    fx_->db->execute(QStringLiteral("Delete From DscStore"));
    QTest::mouseClick(w_->cmdback, Qt::LeftButton);
    QTest::mouseClick(w_->cmdproceed, Qt::LeftButton);
    const int logged = int(fx_->logLines().size());
    const int filesBefore = fx_->cls->FileNos;
    const QMetaObject::Connection failing = connect(w_->pb, &QProgressBar::valueChanged, this, [](int row) {
        if (row == 2)
            throw std::runtime_error("the display failed");
    });
    QTest::mouseClick(w_->cmdconvert, Qt::LeftButton);
    disconnect(failing);
    QCOMPARE(fx_->dialogs->messages().back(), QStringLiteral("2 Records Transferred."));
    QCOMPARE(fx_->cls->FileNos, filesBefore + 2);
    QCOMPARE(column(w_->vs2, kStatus),
             QStringList({"Imported Successfully", "Imported Successfully", "Duplicate Serial Number"}));
    const QStringList newLines = fx_->logLines().mid(logged);
    QCOMPARE(newLines.size(), 1);
    QVERIFY2(newLines[0].contains(QStringLiteral("the display failed")), qPrintable(newLines[0]));
    QCOMPARE(page(), QStringLiteral("fam2"));
}

void BulkWizardTest::damagedRegisterIsRefusedBeforeReading() {
    open();
    const QString file = path("damaged.db");
    testsupport::makeDamagedRegister(file);
    QString error;
    fx_->cls->Db = kyt::Db::open(kyt::DbAddress::sqliteFile(file), &error);
    QVERIFY2(fx_->cls->Db, qPrintable(error));
    addFile(path("certs/Bina.cer"));
    QTest::mouseClick(w_->cmdproceed, Qt::LeftButton);
    QVERIFY2(fx_->dialogs->messages().back().startsWith(
                 QStringLiteral("The register cannot be read, so nothing can be imported into it: the register file "
                                "is damaged")),
             qPrintable(fx_->dialogs->messages().back()));
    QCOMPARE(page(), QStringLiteral("fam1"));
    QCOMPARE(w_->vs2->Rows(), 1); // no file was read
}

// A server that stops answering ends the run at the row it was met on: nothing is marked as
// imported that was not, and a later Import, once the server answers, imports those rows.
void BulkWizardTest::silentServerStopsTheImport() {
    testsupport::PausableServer server;
    QString log;
    QVERIFY2(server.start(&log), qPrintable(log));
    const QByteArray shared = qgetenv("KYT_TEST_MYSQL");
    qputenv("KYT_TEST_MYSQL", server.address(QStringLiteral("kyttest")).toUtf8());
    open(QStringLiteral("mysql"));
    qputenv("KYT_TEST_MYSQL", shared);
    addFile(path("certs/Meera.pfx"));
    addFile(path("certs/Bina.cer"));
    addFile(path("Twin.cer"));
    w_->vs1->setTextMatrix(1, 2, QStringLiteral("pw"));
    QTest::mouseClick(w_->cmdproceed, Qt::LeftButton);

    const qsizetype before = fx_->dialogs->messages().size();
    server.pause();
    QTest::mouseClick(w_->cmdconvert, Qt::LeftButton);
    server.resume();
    QCOMPARE(column(w_->vs2, kStatus), QStringList(3, QString()));
    const QStringList said = fx_->dialogs->messages().mid(before);
    QCOMPARE(said.size(), 2);
    QVERIFY2(said[0].contains(QStringLiteral("cannot be reached")), qPrintable(said[0]));
    QCOMPARE(said[1], QStringLiteral("0 Records Transferred."));
    QCOMPARE(fx_->cls->FileNos, 0);
    QVERIFY(fx_->logText().contains(QStringLiteral("IMPORTDETAILS")));

    QCoreApplication::processEvents(); // as between two clicks of a user
    QTest::mouseClick(w_->cmdconvert, Qt::LeftButton);
    QCOMPARE(column(w_->vs2, kStatus),
             QStringList({"Imported Successfully", "Imported Successfully", "Duplicate Serial Number"}));
    QCOMPARE(fx_->dialogs->messages().back(), QStringLiteral("2 Records Transferred."));
    kyt::RowSet rs = fx_->db->openRowSet(QStringLiteral("Select Count(*) From DscStore"));
    QCOMPARE(rs.text(0), QStringLiteral("2"));
    rs.close();
    // Closed before the server goes.
    delete w_.data();
    fx_.reset();
}

void BulkWizardTest::registerReloadsAfterTheWizard() {
    open();
    w_->close();
    fx_->db->execute(QStringLiteral("Drop Index DscStoreSerialNo"));
    fx_->db->execute(QStringLiteral("Drop Index DscStoreSrNo"));
    auto* reg = new frmDscMain();
    reg->InitData(fx_->cls, false);
    reg->show();
    QCOMPARE(reg->vs->Rows(), 1);
    // The register makes the missing indexes without changing the table's columns.
    kyt::RowSet rs = fx_->db->openRowSet(QStringLiteral("Select * From DscStore"));
    QCOMPARE(rs.fieldCount(), 16);
    rs.close();
    QStringList indexes;
    for (rs = fx_->db->openRowSet(QStringLiteral("Select name From sqlite_master Where type='index' And tbl_name='DscStore' Order By name"));
         !rs.eof(); rs.next())
        indexes << rs.text(0);
    rs.close();
    QCOMPARE(indexes, QStringList({"DscStoreSerialNo", "DscStoreSrNo"}));

    int runs = 0;
    auto drive = [&](bool import) {
        QTimer::singleShot(0, [&, import] {
            auto* wizard = qobject_cast<frmbulkdsc*>(QApplication::activeModalWidget());
            if (!wizard)
                return;
            ++runs;
            if (import) {
                fx_->dialogs->queue(QStringList{path("certs/Bina.cer")});
                QTest::mouseClick(wizard->cmdfl, Qt::LeftButton);
                QTest::mouseClick(wizard->cmdproceed, Qt::LeftButton);
                QTest::mouseClick(wizard->cmdconvert, Qt::LeftButton);
                QTest::mouseClick(wizard->cmdback, Qt::LeftButton);
            }
            QTest::mouseClick(wizard->cmdexit, Qt::LeftButton);
        });
        QTest::mouseClick(reg->cmdimportbulk, Qt::LeftButton);
    };
    drive(false);
    QCOMPARE(reg->vs->Rows(), 1);
    drive(true);
    QCOMPARE(runs, 2);
    QCOMPARE(reg->vs->Rows(), 2);
    QCOMPARE(reg->vs->TextMatrix(1, 2), QStringLiteral("Bina O'Neil"));
    QCOMPARE(reg->cbodsctype->itemText(0), QStringLiteral("Class 3 Individual"));
    delete reg;
}

QTEST_MAIN(BulkWizardTest)
#include "test_bulk_wizard.moc"
