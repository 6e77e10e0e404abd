// Capture into the register window: "Certificate (File)" and "Certificate (Store)" read a
// certificate through the real certificate information object and fill the entry controls.
// Runs with TZ=Asia/Kolkata, so the validity dates below are Indian local time.

#include "CertComponentHarness.h"
#include "CertificateFactory.h"
#include "component/ClsMain.h"
#include "platform/LibraryRegistration.h"
#include "register/frmDscMain.h"
#include "register/MaskedDateBox.h"
#include "SoftHsmTokens.h"
#include "support/TestSupport.h"

#include <memory>
#include <QPointer>
#include <QtTest>

using namespace kyt::test;
using Shown = kyt::ScriptedDialogs::Shown;

namespace {
const QString kFailed = QStringLiteral("Error Retrieving Certificate Information.");
const QString kFilter = QStringLiteral("Personal Information Exchange (*.pfx;*.p12)|*.pfx;*.p12|X.509 Certificate "
                                       "(*.cer;*.crt)|*.cer;*.crt|All Files (*.*)|*.*");
const QString kMobile = QStringLiteral("9876543210");

// The seven captured controls in the order name, type, serial, issuer, from, to, e-mail.
using Captured = QStringList;

// Meera's certificate: every detail present, in a password-protected bundle.
const Captured kMeera = {"Meera Iyer",          "Class 2 Organisation", "1A2B3C",          "Capture CA",
                         "05/03/2024 11:37:08", "02/01/2051 01:30:00",  "meera@example.in"};
// Ravi's certificate: no class unit and no e-mail, in a plain certificate file.
const Captured kRavi = {"Ravi Kumar", "", "0F", "Capture CA", "01/07/2025 05:30:00", "01/07/2027 05:29:59", ""};
} // namespace

class CaptureTest : public testsupport::DialogsCheckedTest {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void secondReadOverwritesEveryField();
    void failedReadKeepsTheFirstValues_data();
    void failedReadKeepsTheFirstValues();
    void missingComponentAsksForNoFile();
    void storeCaptureTakesTheChosenCertificate();

private:
    // Opens the register window in entry mode, with the component registered unless told not to.
    void openWindow(bool registerComponent = true);
    // Presses a capture button with the file dialog and the prompt answered as queued.
    void captureFile(const QString& path, const kyt::ScriptedDialogs::Reply& password);
    Captured captured() const;
    MaskedDateBox* date(int index) const { return qobject_cast<MaskedDateBox*>(w_->txtdts[size_t(index)]); }

    QTemporaryDir dir_;
    kyt::certinfo::CryptoContext crypto_;
    QString meeraBundle_, raviFile_;
    std::unique_ptr<SoftHsmTokens> tokens_;
    std::unique_ptr<testsupport::ComponentFixture> fx_;
    QPointer<frmDscMain> w_;
};

void CaptureTest::initTestCase() {
    const KeyAndCertificate ca = makeAuthority(QStringLiteral("Capture CA"));
    CertificateRecipe meera;
    meera.subject = {commonName(QStringLiteral("Meera Iyer")), unit(QStringLiteral("Class 2 Organisation")),
                     email(QStringLiteral("meera@example.in"))};
    meera.serial = QByteArray::fromHex("1a2b3c");
    meeraBundle_ = writeFile(dir_.path(), QStringLiteral("meera.pfx"),
                             pkcs12Of(makeCertificate(meera, &ca), {.password = "pw"}, crypto_));
    CertificateRecipe ravi;
    ravi.subject = {commonName(QStringLiteral("Ravi Kumar")), unit(QStringLiteral("Accounts"))};
    ravi.serial = QByteArray::fromHex("0f");
    ravi.notBefore = QDateTime(QDate(2025, 7, 1), QTime(0, 0, 0), Qt::UTC);
    ravi.notAfter = QDateTime(QDate(2027, 6, 30), QTime(23, 59, 59), Qt::UTC);
    raviFile_ = writeFile(dir_.path(), QStringLiteral("ravi.cer"), derOf(makeCertificate(ravi, &ca).cert.get()));
    writeFile(dir_.path(), QStringLiteral("notes.pfx"), QByteArray("just some notes"));

    // One token for the whole run: the token module reads its configuration once per process.
    if (const QString missing = SoftHsmTokens::missingTools(); !missing.isEmpty())
        QFAIL(qPrintable(QStringLiteral("not installed: ") + missing));
    tokens_ = std::make_unique<SoftHsmTokens>();
    CertificateRecipe bina;
    bina.subject = {commonName(QStringLiteral("Bina Token")), unit(QStringLiteral("Class 3 Individual"))};
    bina.serial = QByteArray::fromHex("7e57");
    bina.altNames = QStringLiteral("email:bina@example.in");
    const QString error =
        tokens_->addToken(QStringLiteral("Capture"), {{"a-anil", holderDer(QStringLiteral("Anil Token"), ca)},
                                                      {"b-bina", derOf(makeCertificate(bina, &ca).cert.get())}});
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void CaptureTest::init() {
    qputenv("KYT_PKCS11_MODULES", SoftHsmTokens::kModule.toUtf8());
}

void CaptureTest::cleanup() {
    delete w_.data();
    fx_.reset();
    DialogsCheckedTest::cleanup();
}

void CaptureTest::openWindow(bool registerComponent) {
    fx_ = std::make_unique<testsupport::ComponentFixture>();
    fx_->attach();
    if (registerComponent) {
        QString error;
        QVERIFY2(kyt::registerLibrary(*fx_->objects, QStringLiteral(KYT_CERTINFO_PLUGIN), &error), qPrintable(error));
    }
    w_ = new frmDscMain();
    w_->InitData(fx_->cls, false);
    w_->show();
    QTest::mouseClick(w_->cmdadd, Qt::LeftButton);
    // A field capture must not touch.
    w_->txtfields[7]->setText(kMobile);
    fx_->dialogs->clear();
}

void CaptureTest::captureFile(const QString& path, const kyt::ScriptedDialogs::Reply& password) {
    fx_->dialogs->queue(QStringList{path});
    fx_->dialogs->queue(password);
    QTest::mouseClick(w_->cmdcert[0], Qt::LeftButton);
}

Captured CaptureTest::captured() const {
    return {w_->txtfields[0]->text(), w_->cbodsctype->currentText(),
            w_->txtfields[2]->text(), w_->txtfields[3]->text(),
            date(0)->text(),          date(1)->text(),
            w_->txtfields[6]->text()};
}

void CaptureTest::secondReadOverwritesEveryField() {
    openWindow();
    QVERIFY(!fx_->cls->PdfObj);
    captureFile(meeraBundle_, QStringLiteral("pw"));
    const auto& shown = fx_->dialogs->shown();
    QCOMPARE(shown.size(), size_t(2));
    QCOMPARE(shown[0].kind, Shown::OpenFiles);
    QCOMPARE(shown[0].title, QStringLiteral("Select Certificate File"));
    QCOMPARE(shown[0].filter, kFilter);
    QCOMPARE(shown[1].kind, Shown::Prompt);
    QCOMPARE(shown[1].text, QStringLiteral("Enter Password for the Selected Certificate (If any)"));
    QCOMPARE(shown[1].title, QStringLiteral("Certificate Password"));
    QVERIFY(shown[1].masked);
    QCOMPARE(captured(), kMeera);
    // The dates fill every digit of the mask, and the mask is back on.
    QCOMPARE(date(0)->clipText(), QStringLiteral("05032024113708"));
    QCOMPARE(date(1)->mask(), MaskedDateBox::kDateMask);

    // A cancelled prompt reads the file without a password, which a plain certificate needs.
    captureFile(raviFile_, kyt::Answer::Cancel);
    QCOMPARE(captured(), kRavi);
    QCOMPARE(fx_->dialogs->messages().filter(kFailed).size(), 0);
    QCOMPARE(w_->txtfields[7]->text(), kMobile);

    // A cancelled file dialog ends it all: no prompt, no message, no change.
    fx_->dialogs->clear();
    fx_->dialogs->queue(QStringList{});
    QTest::mouseClick(w_->cmdcert[0], Qt::LeftButton);
    QCOMPARE(fx_->dialogs->shown().size(), size_t(1));
    QCOMPARE(captured(), kRavi);
    QVERIFY(fx_->logText().isEmpty());
}

void CaptureTest::failedReadKeepsTheFirstValues_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("reason");
    QTest::newRow("wrong password") << QStringLiteral("meera.pfx") << QStringLiteral("no")
                                    << QStringLiteral("wrong password");
    QTest::newRow("not a certificate") << QStringLiteral("notes.pfx") << QStringLiteral("x")
                                       << QStringLiteral("not a certificate file");
    QTest::newRow("gone") << QStringLiteral("gone.pfx") << QStringLiteral("x") << QStringLiteral("file not found");
}

void CaptureTest::failedReadKeepsTheFirstValues() {
    QFETCH(QString, file);
    QFETCH(QString, password);
    QFETCH(QString, reason);
    openWindow();
    captureFile(raviFile_, QString());
    QCOMPARE(captured(), kRavi);
    fx_->dialogs->clear();

    captureFile(dir_.filePath(file), password);
    QCOMPARE(fx_->dialogs->shown().back().kind, Shown::Information);
    QCOMPARE(fx_->dialogs->messages().back(), kFailed);
    QCOMPARE(fx_->dialogs->shown().back().detail, reason); // why, under the unchanged text
    QCOMPARE(captured(), kRavi);
    QCOMPARE(date(1)->mask(), MaskedDateBox::kDateMask);
}

void CaptureTest::missingComponentAsksForNoFile() {
    openWindow(false);
    for (int button : {0, 1}) {
        fx_->dialogs->clear();
        QTest::mouseClick(w_->cmdcert[size_t(button)], Qt::LeftButton);
        QVERIFY(!fx_->cls->PdfObj);
        // The loader's one message (the runtime is installed here), nothing of the capture itself.
        QCOMPARE(fx_->dialogs->messages(), QStringList{QStringLiteral("Could not Create PDF Signer Object.")});
        QVERIFY(w_->txtfields[0]->text().isEmpty());
    }
}

void CaptureTest::storeCaptureTakesTheChosenCertificate() {
    openWindow();
    ChooserAnswer pick([](QDialog* dialog) { ChooserAnswer::pick(dialog, 1); });
    QTest::mouseClick(w_->cmdcert[1], Qt::LeftButton);
    QVERIFY(pick.shown());
    QCOMPARE(fx_->dialogs->shown().size(), size_t(0)); // neither file dialog nor prompt
    const Captured bina = {"Bina Token",          "Class 3 Individual",  "7E57",           "Capture CA",
                           "05/03/2024 11:37:08", "02/01/2051 01:30:00", "bina@example.in"};
    QCOMPARE(captured(), bina);

    ChooserAnswer cancel([](QDialog* dialog) { dialog->reject(); });
    QTest::mouseClick(w_->cmdcert[1], Qt::LeftButton);
    QVERIFY(cancel.shown());
    QCOMPARE(fx_->dialogs->messages(), QStringList{kFailed});
    QCOMPARE(captured(), bina);
}

QTEST_MAIN(CaptureTest)
#include "test_capture.moc"
