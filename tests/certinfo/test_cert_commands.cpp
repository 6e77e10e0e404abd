// `dscmgr certinfo` and `dscmgr store`, run as a script runs them, on certificate files made here
// and on a SoftHSM2 token. Runs with TZ=Asia/Kolkata, so the dates below are Indian local time.

#include "CertificateFactory.h"
#include "platform/ObjectRegistry.h"
#include "SoftHsmTokens.h"
#include "support/TestSupport.h"

#include <memory>
#include <QProcess>
#include <QtTest>

using namespace kyt::test;

namespace {
struct Run {
    int status = -1;
    QStringList lines;
    QString err;
};

Run dscmgr(const QStringList& args, const QString& registry) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KYT_OBJECT_REGISTRY"), registry);
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.start(testsupport::binDir() + QStringLiteral("/dscmgr"), args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
            QString::fromUtf8(p.readAllStandardError())};
}

QStringList numbered(const QStringList& details) {
    QStringList lines;
    for (int i = 0; i < details.size(); ++i)
        lines << QString::number(i) + QLatin1Char('\t') + details[i];
    return lines;
}
} // namespace

class CertCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void legacyBundlePrintsItsDetails();
    void unreadableCertificateExitsWithOne_data();
    void unreadableCertificateExitsWithOne();
    void storeIsListedAndReadByIndex();
    void chooserIndexIsRefused();

private:
    QTemporaryDir dir_;
    QString registry_;
    kyt::certinfo::CryptoContext crypto_;
    KeyAndCertificate ca_;
    QString bundle_;
    std::unique_ptr<SoftHsmTokens> tokens_;
};

void CertCommandsTest::initTestCase() {
    CertificateRecipe caRecipe;
    caRecipe.subject = {commonName(QStringLiteral("Command CA"))};
    caRecipe.authority = true;
    ca_ = makeCertificate(caRecipe);

    CertificateRecipe holder;
    holder.subject = {commonName(QStringLiteral("Meera Iyer")),
                      {NID_organizationalUnitName, V_ASN1_UTF8STRING, QStringLiteral("Class 2 Organisation")}};
    holder.serial = QByteArray::fromHex("1a2b3c");
    holder.altNames = QStringLiteral("email:meera@example.in");
    Pkcs12Options rc2;
    rc2.encryption = Pkcs12Encryption::Rc2Forty;
    rc2.password = "pw";
    bundle_ =
        writeFile(dir_.path(), QStringLiteral("meera.pfx"), pkcs12Of(makeCertificate(holder, &ca_), rc2, crypto_));

    if (const QString missing = SoftHsmTokens::missingTools(); !missing.isEmpty())
        QFAIL(qPrintable(QStringLiteral("not installed: ") + missing));
    tokens_ = std::make_unique<SoftHsmTokens>();
    QVERIFY2(tokens_->initToken(QStringLiteral("Command")), qPrintable(tokens_->lastOutput()));
    const QStringList holders = {QStringLiteral("Anil Token"), QStringLiteral("Bina Token")};
    for (int i = 0; i < holders.size(); ++i) {
        CertificateRecipe recipe;
        recipe.subject = {commonName(holders[i])};
        // The store orders a token's certificates by object label.
        QVERIFY2(tokens_->writeCertificate(QStringLiteral("Command"), derOf(makeCertificate(recipe, &ca_).cert.get()),
                                           QStringLiteral("cert-%1").arg(i), QStringLiteral("0%1").arg(i + 1)),
                 qPrintable(tokens_->lastOutput()));
    }
    qputenv("KYT_PKCS11_MODULES", SoftHsmTokens::kModule.toUtf8());
}

void CertCommandsTest::init() {
    // Each test starts with a registry naming a library that is gone, as after an uninstall.
    registry_ = dir_.filePath(QStringLiteral("objects-%1.ini").arg(QTest::currentTestFunction()));
    QFile::remove(registry_);
    kyt::ObjectRegistry(registry_).registerObject(QStringLiteral("KYTCertInfo.ClsCertMain"),
                                                  dir_.filePath(QStringLiteral("gone/libKYTCertInfo.so")));
}

void CertCommandsTest::legacyBundlePrintsItsDetails() {
    const Run r = dscmgr({QStringLiteral("certinfo"), bundle_, QStringLiteral("--password"), QStringLiteral("pw"),
                          QStringLiteral("--folder"), dir_.path()},
                         registry_);
    QVERIFY2(r.status == 0, qPrintable(r.err));
    QCOMPARE(r.lines,
             numbered({QString(), QStringLiteral("Meera Iyer"), QStringLiteral("Class 2 Organisation"),
                       QStringLiteral("1A2B3C"), QStringLiteral("Command CA"), QStringLiteral("05/03/2024 11:37:08"),
                       QStringLiteral("02/01/2051 01:30:00"), QStringLiteral("meera@example.in")}));
    // Registered by the command itself, for the next program that asks.
    QCOMPARE(QFileInfo(kyt::ObjectRegistry(registry_).libraryFor(QStringLiteral("KYTCertInfo.ClsCertMain"))).fileName(),
             QStringLiteral("libKYTCertInfo.so"));
    QVERIFY(QFileInfo::exists(kyt::ObjectRegistry(registry_).libraryFor(QStringLiteral("KYTCertInfo.ClsCertMain"))));
}

void CertCommandsTest::unreadableCertificateExitsWithOne_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("wrong password") << QStringList{QStringLiteral("certinfo"), bundle_, QStringLiteral("--password"),
                                                   QStringLiteral("nope")};
    QTest::newRow("no password") << QStringList{QStringLiteral("certinfo"), bundle_};
    QTest::newRow("missing file") << QStringList{QStringLiteral("certinfo"), dir_.filePath(QStringLiteral("none.pfx"))};
    QTest::newRow("store index beyond") << QStringList{QStringLiteral("certinfo"), QStringLiteral("--store"),
                                                       QStringLiteral("2")};
}

void CertCommandsTest::unreadableCertificateExitsWithOne() {
    QFETCH(QStringList, args);
    const Run r = dscmgr(args + QStringList{QStringLiteral("--folder"), dir_.path()}, registry_);
    QCOMPARE(r.status, 1);
    QCOMPARE(r.lines, numbered({QStringLiteral("Error Retrieving Certificate Information."), QString(), QString(),
                                QString(), QString(), QString(), QString(), QString()}));
}

void CertCommandsTest::storeIsListedAndReadByIndex() {
    const QString validTo = QStringLiteral("02/01/2051 01:30:00");
    const Run list = dscmgr({QStringLiteral("store"), QStringLiteral("--folder"), dir_.path()}, registry_);
    QVERIFY2(list.status == 0, qPrintable(list.err));
    QCOMPARE(list.lines,
             QStringList({"0\tAnil Token\tCommand CA\t" + validTo, "1\tBina Token\tCommand CA\t" + validTo}));

    const Run second = dscmgr({QStringLiteral("certinfo"), QStringLiteral("--store"), QStringLiteral("1"),
                               QStringLiteral("--folder"), dir_.path()},
                              registry_);
    QVERIFY2(second.status == 0, qPrintable(second.err));
    QCOMPARE(second.lines.value(1), QStringLiteral("1\tBina Token"));
    QCOMPARE(second.lines.value(6), "6\t" + validTo);
}

void CertCommandsTest::chooserIndexIsRefused() {
    // Selector -1 would wait for a person to pick from a window that nobody sees.
    const Run r = dscmgr({QStringLiteral("certinfo"), QStringLiteral("--store"), QStringLiteral("-1"),
                          QStringLiteral("--folder"), dir_.path()},
                         registry_);
    QCOMPARE(r.status, 2);
    QVERIFY(r.lines.isEmpty());
    QVERIFY2(r.err.contains(QStringLiteral("dscmgr: --store")), qPrintable(r.err));
}

QTEST_MAIN(CertCommandsTest)
#include "test_cert_commands.moc"
