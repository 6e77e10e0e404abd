// `dscmgr certinfo` and `dscmgr store`, run as a script runs them, on certificate files made here
// and on a SoftHSM2 token. Runs with TZ=Asia/Kolkata, so the dates below are Indian local time.

#include "CertificateFactory.h"
#include "platform/ObjectRegistry.h"
#include "register/StoreStatements.h"
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
    void installedProgramFindsItsComponents();

private:
    // Runs dscmgr as a script would, without a display, on this test's registry and folder.
    Run dscmgr(const QStringList& args, const QString& program = testsupport::binDir() + "/dscmgr") const {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KYT_OBJECT_REGISTRY"), registry_);
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
            env.remove(QLatin1String(name));
        p.setProcessEnvironment(env);
        p.start(program, args + QStringList{"--folder", dir_.path()});
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                QString::fromUtf8(p.readAllStandardError())};
    }

    QTemporaryDir dir_;
    QString registry_;
    kyt::certinfo::CryptoContext crypto_;
    QString bundle_;
    std::unique_ptr<SoftHsmTokens> tokens_;
};

void CertCommandsTest::initTestCase() {
    const KeyAndCertificate ca = makeAuthority(QStringLiteral("Command CA"));
    CertificateRecipe holder;
    holder.subject = {commonName(QStringLiteral("Meera Iyer")), unit(QStringLiteral("Class 2 Organisation"))};
    holder.serial = QByteArray::fromHex("1a2b3c");
    holder.altNames = QStringLiteral("email:meera@example.in");
    bundle_ = writeFile(
        dir_.path(), QStringLiteral("meera.pfx"),
        pkcs12Of(makeCertificate(holder, &ca), {.password = "pw", .encryption = Pkcs12Encryption::Rc2Forty}, crypto_));

    if (const QString missing = SoftHsmTokens::missingTools(); !missing.isEmpty())
        QFAIL(qPrintable(QStringLiteral("not installed: ") + missing));
    tokens_ = std::make_unique<SoftHsmTokens>();
    const QString error =
        tokens_->addToken(QStringLiteral("Command"), {{"cert-0", holderDer(QStringLiteral("Anil Token"), ca)},
                                                      {"cert-1", holderDer(QStringLiteral("Bina Token"), ca)}});
    QVERIFY2(error.isEmpty(), qPrintable(error));
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
    const Run r = dscmgr({"certinfo", bundle_, "--password", "pw"});
    QCOMPARE(r.err, QString()); // nothing but the program's own messages
    QCOMPARE(r.status, 0);
    QCOMPARE(r.lines, numbered({"", "Meera Iyer", "Class 2 Organisation", "1A2B3C", "Command CA", "05/03/2024 11:37:08",
                                "02/01/2051 01:30:00", "meera@example.in"}));
    // Registered by the command itself, for the next program that asks.
    const QFileInfo library(kyt::ObjectRegistry(registry_).libraryFor(QStringLiteral("KYTCertInfo.ClsCertMain")));
    QVERIFY(library.exists() && library.fileName() == QLatin1String("libKYTCertInfo.so"));
}

void CertCommandsTest::unreadableCertificateExitsWithOne_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("wrong password") << QStringList{"certinfo", bundle_, "--password", "nope"};
    QTest::newRow("missing file") << QStringList{"certinfo", dir_.filePath(QStringLiteral("none.pfx"))};
    QTest::newRow("store index beyond") << QStringList{"certinfo", "--store", "2"};
}

void CertCommandsTest::unreadableCertificateExitsWithOne() {
    QFETCH(QStringList, args);
    const Run r = dscmgr(args);
    QCOMPARE(r.status, 1);
    QCOMPARE(r.lines, numbered({"Error Retrieving Certificate Information.", "", "", "", "", "", "", ""}));
}

void CertCommandsTest::storeIsListedAndReadByIndex() {
    const QString validTo = QStringLiteral("02/01/2051 01:30:00");
    const Run list = dscmgr({"store"});
    QVERIFY2(list.status == 0, qPrintable(list.err));
    QCOMPARE(list.lines,
             QStringList({"0\tAnil Token\tCommand CA\t" + validTo, "1\tBina Token\tCommand CA\t" + validTo}));
    const Run second = dscmgr({"certinfo", "--store", "1"});
    QVERIFY2(second.status == 0, qPrintable(second.err));
    QCOMPARE(second.lines.value(1), QStringLiteral("1\tBina Token"));
    QCOMPARE(second.lines.value(6), "6\t" + validTo);
}

void CertCommandsTest::chooserIndexIsRefused() {
    // Selector -1 would wait for a person to pick from a window that nobody sees.
    const Run r = dscmgr({"certinfo", "--store", "-1"});
    QCOMPARE(r.status, 2);
    QVERIFY(r.lines.isEmpty());
    QVERIFY2(r.err.contains(QStringLiteral("dscmgr: --store")), qPrintable(r.err));
}

// Installed into a fresh prefix, the program runs through its link on the PATH and finds its
// component library and registration helper in its own folder.
void CertCommandsTest::installedProgramFindsItsComponents() {
    const QString prefix = dir_.filePath(QStringLiteral("prefix"));
    QProcess install;
    install.start(QStringLiteral(KYT_CMAKE), {"--install", KYT_BUILD_DIR, "--prefix", prefix});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());
    for (const char* file : {"share/applications/kytdscmgr.desktop", "share/icons/hicolor/scalable/apps/kytdscmgr.svg"})
        QVERIFY2(QFile::exists(prefix + QLatin1Char('/') + QLatin1String(file)), file);

    const QString program = prefix + QStringLiteral("/bin/dscmgr");
    const Run details = dscmgr({"certinfo", bundle_, "--password", "pw"}, program);
    QVERIFY2(details.status == 0, qPrintable(details.err));
    QCOMPARE(details.lines.value(1), QStringLiteral("1\tMeera Iyer"));
    QCOMPARE(kyt::ObjectRegistry(registry_).libraryFor(QStringLiteral("KYTCertInfo.ClsCertMain")),
             prefix + QStringLiteral("/lib/kytdscmgr/libKYTCertInfo.so"));
    testsupport::openFreshDb(QStringLiteral("sqlite"), dir_.path(), QStringLiteral("KYTDscMgr"))
        ->execute(StoreStatements::createTable());
    const Run list = dscmgr({"list"}, program);
    QVERIFY2(list.status == 0, qPrintable(list.err));
    QVERIFY(list.lines.value(0).startsWith(QStringLiteral("Sr. No.\tCertificate Name")));
}

QTEST_MAIN(CertCommandsTest)
#include "test_cert_commands.moc"
