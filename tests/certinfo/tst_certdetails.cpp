// The certificate details: GetSignInfo through the real certificate information object, GetCertInfo
// and IsValidEmail. Runs with TZ=Asia/Kolkata, like the file tests.

#include "CertificateFactory.h"
#include "component/ClsMain.h"
#include "component/Module1.h"
#include "platform/LibraryRegistration.h"
#include "support/TestSupport.h"

#include <QtTest>

using namespace kyt::test;

namespace {
const QString kFailed = QStringLiteral("Error Retrieving Certificate Information.");
}

class CertDetailsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void fillsAllDetailsFromABundle();
    void failedSelectionLeavesOnlyTheErrorText_data();
    void failedSelectionLeavesOnlyTheErrorText();
    void failedSelectionWipesTheEarlierDetails();
    void missingObjectIsLoggedAndReportedAsFailure();
    void keepsTheUnitOnlyWhenItNamesAClass();
    void emailFallsBackToAlternativeNames_data();
    void emailFallsBackToAlternativeNames();
    void storeSelectorGoesToTheStore();
    void detailNumbersOutsideTheRangeAreEmpty();
    void validEmail_data();
    void validEmail();

private:
    // Selects `cert` from a DER file on a fresh instance.
    void readCertificate(const CertificateRecipe& recipe);

    std::unique_ptr<testsupport::ComponentFixture> fx_;
    QTemporaryDir dir_;
    kyt::certinfo::CryptoContext crypto_;
    KeyAndCertificate ca_;
};

void CertDetailsTest::initTestCase() {
    CertificateRecipe caRecipe;
    caRecipe.subject = {commonName(QStringLiteral("Details CA"))};
    caRecipe.authority = true;
    ca_ = makeCertificate(caRecipe);
}

void CertDetailsTest::init() {
    fx_ = std::make_unique<testsupport::ComponentFixture>();
    fx_->attach();
    QString error;
    QVERIFY2(kyt::registerLibrary(*fx_->objects, QStringLiteral(KYT_CERTINFO_PLUGIN), &error), qPrintable(error));
    CreateCertObject(*fx_->cls);
    QVERIFY(fx_->cls->PdfObj);
}

void CertDetailsTest::readCertificate(const CertificateRecipe& recipe) {
    const KeyAndCertificate cert = makeCertificate(recipe, &ca_);
    fx_->cls->GetSignInfo(writeFile(dir_.path(), QStringLiteral("read.cer"), derOf(cert.cert.get())), QString(), -2);
}

void CertDetailsTest::fillsAllDetailsFromABundle() {
    CertificateRecipe recipe;
    recipe.subject = {commonName(QStringLiteral("Meera Iyer")),
                    {NID_organizationalUnitName, V_ASN1_UTF8STRING, QStringLiteral("Class 2 Organisation")},
                    {NID_pkcs9_emailAddress, V_ASN1_IA5STRING, QStringLiteral("meera@example.in")}};
    recipe.serial = QByteArray::fromHex("1a2b3c");
    recipe.altNames = QStringLiteral("email:other@example.in");
    const KeyAndCertificate cert = makeCertificate(recipe, &ca_);
    Pkcs12Options rc2;
    rc2.encryption = Pkcs12Encryption::Rc2Forty;
    rc2.password = "pw";
    const QString path = writeFile(dir_.path(), QStringLiteral("meera.pfx"), pkcs12Of(cert, rc2, crypto_));
    fx_->cls->GetSignInfo(path, QStringLiteral("pw"), -2);
    const QStringList expected = {QString(),
                                  QStringLiteral("Meera Iyer"),
                                  QStringLiteral("Class 2 Organisation"),
                                  QStringLiteral("1A2B3C"),
                                  QStringLiteral("Details CA"),
                                  QStringLiteral("05/03/2024 11:37:08"),
                                  QStringLiteral("02/01/2051 01:30:00"),
                                  QStringLiteral("meera@example.in")};
    for (short i = 0; i < 8; ++i)
        QCOMPARE(fx_->cls->GetCertInfo(i), expected[i]);
    QVERIFY(fx_->logText().isEmpty());
}

void CertDetailsTest::failedSelectionLeavesOnlyTheErrorText_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("password");
    CertificateRecipe recipe;
    recipe.subject = {commonName(QStringLiteral("Locked Holder"))};
    const KeyAndCertificate cert = makeCertificate(recipe, &ca_);
    QTest::newRow("wrong password") << pkcs12Of(cert, {}, crypto_) << "nope";
    QTest::newRow("not a certificate") << QByteArray("hello") << QString();
}

void CertDetailsTest::failedSelectionLeavesOnlyTheErrorText() {
    QFETCH(QByteArray, content);
    QFETCH(QString, password);
    const QString path = writeFile(dir_.path(), QStringLiteral("bad.pfx"), content);
    fx_->cls->GetSignInfo(path, password, -2);
    QCOMPARE(fx_->cls->GetCertInfo(0), kFailed);
    for (short i = 1; i < 8; ++i)
        QCOMPARE(fx_->cls->GetCertInfo(i), QString());
    // A code is an answer, not an error: nothing is logged.
    QVERIFY(fx_->logText().isEmpty());
}

void CertDetailsTest::failedSelectionWipesTheEarlierDetails() {
    CertificateRecipe recipe;
    recipe.subject = {commonName(QStringLiteral("First Holder"))};
    readCertificate(recipe);
    QCOMPARE(fx_->cls->GetCertInfo(1), QStringLiteral("First Holder"));
    fx_->cls->GetSignInfo(dir_.filePath(QStringLiteral("absent.pfx")), QString(), -2);
    QCOMPARE(fx_->cls->GetCertInfo(0), kFailed);
    QCOMPARE(fx_->cls->GetCertInfo(1), QString());
    QCOMPARE(fx_->cls->GetCertInfo(4), QString());
}

void CertDetailsTest::missingObjectIsLoggedAndReportedAsFailure() {
    fx_->cls->PdfObj.reset();
    fx_->cls->GetSignInfo(QString(), QString(), -1);
    QCOMPARE(fx_->cls->GetCertInfo(0), kFailed);
    QCOMPARE(fx_->cls->GetCertInfo(1), QString());
    QVERIFY2(fx_->logText().contains(QStringLiteral("CLSMAIN\tGETSIGNINFO")), qPrintable(fx_->logText()));
}

void CertDetailsTest::keepsTheUnitOnlyWhenItNamesAClass() {
    CertificateRecipe recipe;
    recipe.subject = {commonName(QStringLiteral("Unit Holder")),
                    {NID_organizationalUnitName, V_ASN1_UTF8STRING, QStringLiteral("issued under subclass rules")}};
    readCertificate(recipe);
    QCOMPARE(fx_->cls->GetCertInfo(2), QStringLiteral("issued under subclass rules"));

    recipe.subject = {commonName(QStringLiteral("Unit Holder")),
                    {NID_organizationalUnitName, V_ASN1_UTF8STRING, QStringLiteral("Accounts")}};
    readCertificate(recipe);
    QCOMPARE(fx_->cls->GetCertInfo(0), QString());
    QCOMPARE(fx_->cls->GetCertInfo(2), QString());
}

void CertDetailsTest::emailFallsBackToAlternativeNames_data() {
    QTest::addColumn<QString>("subjectEmail");
    QTest::addColumn<QString>("altNames");
    QTest::addColumn<QString>("expected");
    QTest::newRow("valid subject e-mail wins") << "a@b.in"
                                               << "email:c@d.in"
                                               << "a@b.in";
    QTest::newRow("no dot after @") << "a@localhost"
                                    << "email:c@d.in"
                                    << "c@d.in";
    QTest::newRow("only alternative names") << QString() << "DNS:x.in,email:c@d.in"
                                            << "c@d.in";
    QTest::newRow("both invalid") << "a@localhost"
                                  << "email:c@.in" << QString();
    QTest::newRow("none") << QString() << QString() << QString();
}

void CertDetailsTest::emailFallsBackToAlternativeNames() {
    QFETCH(QString, subjectEmail);
    QFETCH(QString, altNames);
    QFETCH(QString, expected);
    CertificateRecipe recipe;
    recipe.subject = {commonName(QStringLiteral("Mail Holder"))};
    if (!subjectEmail.isEmpty())
        recipe.subject << NameEntry{NID_pkcs9_emailAddress, V_ASN1_IA5STRING, subjectEmail};
    recipe.altNames = altNames;
    readCertificate(recipe);
    QCOMPARE(fx_->cls->GetCertInfo(0), QString());
    QCOMPARE(fx_->cls->GetCertInfo(7), expected);
}

void CertDetailsTest::storeSelectorGoesToTheStore() {
    // An empty store: a file name given along is not read.
    qputenv("KYT_PKCS11_MODULES", "/nonexistent/libnothing.so");
    CertificateRecipe recipe;
    recipe.subject = {commonName(QStringLiteral("File Holder"))};
    const KeyAndCertificate cert = makeCertificate(recipe, &ca_);
    const QString path = writeFile(dir_.path(), QStringLiteral("file.cer"), derOf(cert.cert.get()));
    fx_->cls->GetSignInfo(path, QString(), 0);
    qunsetenv("KYT_PKCS11_MODULES");
    QCOMPARE(fx_->cls->GetCertInfo(0), kFailed);
    QCOMPARE(fx_->cls->GetCertInfo(1), QString());
}

void CertDetailsTest::detailNumbersOutsideTheRangeAreEmpty() {
    QCOMPARE(fx_->cls->GetCertInfo(0), QString()); // before any GetSignInfo
    CertificateRecipe recipe;
    recipe.subject = {commonName(QStringLiteral("Range Holder"))};
    readCertificate(recipe);
    QCOMPARE(fx_->cls->GetCertInfo(7 + 1), QString());
    QCOMPARE(fx_->cls->GetCertInfo(-1), QString());
    QCOMPARE(fx_->cls->GetCertInfo(1), QStringLiteral("Range Holder"));
}

void CertDetailsTest::validEmail_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("a@b.c") << "a@b.c" << true;
    QTest::newRow("dot right after @") << "a@.c" << false;
    QTest::newRow("nothing before @") << "@b.c" << true;
    QTest::newRow("dot only before @") << "a.b@c" << false;
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("no @") << "ab.c" << false;
    QTest::newRow("dot at the end") << "a@bc." << true;
}

void CertDetailsTest::validEmail() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(IsValidEmail(text), valid);
}

QTEST_MAIN(CertDetailsTest)
#include "tst_certdetails.moc"
