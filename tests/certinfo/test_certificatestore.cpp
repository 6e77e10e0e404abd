// The certificate store through the certificate information object, on two SoftHSM2 tokens:
// "Alpha" holds Amy's and Zed's certificates and a certificate authority, "Beta" holds Bob's.

#include "CertComponentHarness.h"
#include "CertificateFactory.h"
#include "SoftHsmTokens.h"

#include <memory>
#include <QtTest>

using namespace kyt::test;

namespace {
const QString kValidTo = QStringLiteral("02/01/2051 01:30:00"); // 2051-01-01 20:00 UTC in India
const QStringList kHolders = {QStringLiteral("Amy Holder"), QStringLiteral("Zed Holder"), QStringLiteral("Bob Holder")};
} // namespace

class CertificateStoreTest : public testsupport::DialogsCheckedTest {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void eachIndexSelectsItsCertificateEveryTime();
    void indexOutsideTheStoreIsRefused_data();
    void indexOutsideTheStoreIsRefused();
    void chooserSelectsTheRowPicked();
    void chooserCancelledSelectsNothing();
    void selfSignedCertificateWithItsKeyIsListed();
    void tokenPulledOutBetweenCountAndRead();

private:
    std::unique_ptr<SoftHsmTokens> tokens_;
};

void CertificateStoreTest::initTestCase() {
    // Missing tools fail the test rather than skip it, so that a machine without them is noticed.
    if (const QString missing = SoftHsmTokens::missingTools(); !missing.isEmpty())
        QFAIL(qPrintable(QStringLiteral("not installed: ") + missing));
    tokens_ = std::make_unique<SoftHsmTokens>();
    const KeyAndCertificate ca = makeAuthority(QStringLiteral("Token Test CA"));
    // Made out of order: the store orders by token label, then object label.
    QString error = tokens_->addToken(QStringLiteral("Beta"), {{"a-bob", holderDer(kHolders[2], ca)}});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    error = tokens_->addToken(QStringLiteral("Alpha"), {{"b-zed", holderDer(kHolders[1], ca)},
                                                        {"a-authority", derOf(ca.cert.get())},
                                                        {"a-amy", holderDer(kHolders[0], ca)}});
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void CertificateStoreTest::init() {
    qputenv("KYT_PKCS11_MODULES", SoftHsmTokens::kModule.toUtf8());
}

void CertificateStoreTest::eachIndexSelectsItsCertificateEveryTime() {
    CertComponentHarness component;
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(component.storeCount(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(component.selectStore(i), QStringLiteral("0"));
            QCOMPARE(component.info("SUB", "CN"), kHolders[i]);
            QCOMPARE(component.info("ISS", "CN"), QStringLiteral("Token Test CA"));
        }
    }
    // Without a count first, the index refers to the store as it is.
    CertComponentHarness uncounted;
    QCOMPARE(uncounted.selectStore(2), QStringLiteral("0"));
    QCOMPARE(uncounted.info("SUB", "CN"), kHolders[2]);
    // A token reached through two modules counts once.
    qputenv("KYT_PKCS11_MODULES", (SoftHsmTokens::kModule + QLatin1Char(':') + SoftHsmTokens::kModule).toUtf8());
    QCOMPARE(component.storeCount(), 3);
}

void CertificateStoreTest::indexOutsideTheStoreIsRefused_data() {
    QTest::addColumn<int>("index");
    QTest::newRow("count") << 3;
    QTest::newRow("far beyond") << 1000;
    QTest::newRow("negative") << -2;
}

void CertificateStoreTest::indexOutsideTheStoreIsRefused() {
    QFETCH(int, index);
    CertComponentHarness component;
    QCOMPARE(component.storeCount(), 3);
    QCOMPARE(component.selectStore(0), QStringLiteral("0"));
    QCOMPARE(component.selectStore(index), QStringLiteral("-1"));
    QCOMPARE(component.info("SUB", "CN"), QStringLiteral("-3"));
}

void CertificateStoreTest::chooserSelectsTheRowPicked() {
    CertComponentHarness component;
    QStringList rows;
    ChooserAnswer answer([&](QDialog* dialog) {
        const auto* list = dialog->findChild<QTreeWidget*>();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = list->topLevelItem(i);
            rows << item->text(0) + QLatin1Char('|') + item->text(1) + QLatin1Char('|') + item->text(2);
        }
        ChooserAnswer::pick(dialog, 2);
    });
    QCOMPARE(component.selectStore(-1), QStringLiteral("0"));
    QVERIFY(answer.shown());
    QCOMPARE(rows, QStringList({"Amy Holder|Token Test CA|" + kValidTo, "Zed Holder|Token Test CA|" + kValidTo,
                                "Bob Holder|Token Test CA|" + kValidTo}));
    QCOMPARE(component.info("SUB", "CN"), QStringLiteral("Bob Holder"));
}

// A cancelled chooser selects nothing, not even the earlier selection; an empty store shows none.
void CertificateStoreTest::chooserCancelledSelectsNothing() {
    CertComponentHarness component;
    QCOMPARE(component.selectStore(0), QStringLiteral("0"));
    ChooserAnswer answer([](QDialog* dialog) { dialog->reject(); });
    QCOMPARE(component.selectStore(-1), QStringLiteral("-1"));
    QVERIFY(answer.shown());
    QCOMPARE(component.info("SUB", "CN"), QStringLiteral("-3"));

    qputenv("KYT_PKCS11_MODULES", "/nonexistent/libnothing.so");
    CertComponentHarness empty;
    QCOMPARE(empty.storeCount(), 0);
    ChooserAnswer unseen([](QDialog* dialog) { dialog->reject(); });
    QCOMPARE(empty.selectStore(-1), QStringLiteral("-1"));
    QVERIFY(!unseen.shown());
}

// A certificate authority by its flags, but its key pair is on the token: its owner signs with it.
void CertificateStoreTest::selfSignedCertificateWithItsKeyIsListed() {
    const KeyAndCertificate self = makeAuthority(QStringLiteral("Self Signer"));
    QString error = tokens_->addToken(QStringLiteral("Gamma"), {{"self", derOf(self.cert.get())}});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    CertComponentHarness component;
    QCOMPARE(component.storeCount(), 3); // the certificate alone is an issuer's, not listed
    unsigned char* raw = nullptr;
    const int privateLength = i2d_PrivateKey(self.key.get(), &raw);
    const QByteArray privateDer(reinterpret_cast<const char*>(raw), privateLength);
    OPENSSL_free(raw);
    raw = nullptr;
    const int publicLength = i2d_PUBKEY(self.key.get(), &raw);
    const QByteArray publicDer(reinterpret_cast<const char*>(raw), publicLength);
    OPENSSL_free(raw);
    error = tokens_->addKeyPair(QStringLiteral("Gamma"), QStringLiteral("01"), privateDer, publicDer);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(component.storeCount(), 4);
    QCOMPARE(component.selectStore(3), QStringLiteral("0"));
    QCOMPARE(component.info("SUB", "CN"), QStringLiteral("Self Signer"));
    QVERIFY(tokens_->deleteToken(QStringLiteral("Gamma")));
}

// Last: it removes a token.
void CertificateStoreTest::tokenPulledOutBetweenCountAndRead() {
    CertComponentHarness component;
    QCOMPARE(component.storeCount(), 3);
    QVERIFY(tokens_->deleteToken(QStringLiteral("Alpha")));
    QCOMPARE(component.selectStore(0), QStringLiteral("-1"));
    QCOMPARE(component.info("SUB", "CN"), QStringLiteral("-3"));
    // Index 2 still means Bob's certificate, though it is now the store's only one.
    QCOMPARE(component.selectStore(2), QStringLiteral("0"));
    QCOMPARE(component.info("SUB", "CN"), QStringLiteral("Bob Holder"));
    QCOMPARE(component.storeCount(), 1);
}

QTEST_MAIN(CertificateStoreTest)
#include "test_certificatestore.moc"
