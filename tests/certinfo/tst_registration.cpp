// Registering a component library's objects: the shared routine and the kytregister program.

#include "platform/LibraryRegistration.h"
#include "platform/ObjectRegistry.h"

#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using kyt::ObjectRegistry;

namespace {
const QString kCertObjectId = QStringLiteral("KYTCertInfo.ClsCertMain");
const QString kPlugin = QStringLiteral(KYT_CERTINFO_PLUGIN);
} // namespace

class RegistrationTest : public QObject {
    Q_OBJECT

private slots:
    void registersComponentLibrariesOnly();
    void registrarProgram_data();
    void registrarProgram();
};

void RegistrationTest::registersComponentLibrariesOnly() {
    QTemporaryDir dir;
    const ObjectRegistry registry(dir.filePath(QStringLiteral("objects.ini")));
    // A shared library without the component exports is refused.
    QString error;
    QVERIFY(!kyt::registerLibrary(
        registry, QLibraryInfo::path(QLibraryInfo::LibrariesPath) + QStringLiteral("/libQt6Test.so.6"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(registry.libraryFor(kCertObjectId).isEmpty());

    // Given relative to the working folder, recorded absolute, so creation works from anywhere.
    const QFileInfo plugin(kPlugin);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(plugin.absolutePath());
    const bool registered = kyt::registerLibrary(registry, plugin.fileName(), &error);
    QDir::setCurrent(previous);
    QVERIFY2(registered, qPrintable(error));
    QCOMPARE(registry.libraryFor(kCertObjectId), plugin.absoluteFilePath());
    const kyt::ObjectRef object = registry.create(kCertObjectId);
    QVERIFY(object->metaObject()->indexOfMethod("GetStoreCertCount()") >= 0);

    // At start-up the program's own copy replaces another copy of it left registered by an older
    // build, and leaves alone a library of another name put in its place.
    const QString older = dir.filePath(QStringLiteral("older/") + plugin.fileName());
    const QString replacement = dir.filePath(QStringLiteral("replacement.so"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("older"))));
    QVERIFY(QFile::copy(kPlugin, older) && QFile::copy(kPlugin, replacement));
    for (const auto& [registered, kept] : {std::pair{older, false}, std::pair{replacement, true}}) {
        QVERIFY(kyt::registerLibrary(registry, registered));
        QVERIFY(kyt::registerLibraryUnlessKnown(registry, {kCertObjectId}, kPlugin));
        QCOMPARE(registry.libraryFor(kCertObjectId), kept ? registered : plugin.absoluteFilePath());
    }
}

void RegistrationTest::registrarProgram_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("talks");
    const QString absent = QStringLiteral("/nonexistent/absent.so");
    QTest::newRow("registers, silently") << QStringList{kPlugin, "/codebase", "/silent"} << 0 << false;
    QTest::newRow("fails, silently") << QStringList{absent, "/codebase", "/silent"} << 1 << false;
    QTest::newRow("fails and says why") << QStringList{absent} << 1 << true;
    QTest::newRow("no library") << QStringList{"/silent"} << 1 << false;
}

void RegistrationTest::registrarProgram() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(bool, talks);
    QTemporaryDir dir;
    const QString registryFile = dir.filePath(QStringLiteral("sub/objects.ini"));
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KYT_OBJECT_REGISTRY"), registryFile);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(KYT_REGISTRAR), arguments);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), exitCode);
    const QByteArray output = process.readAll();
    QCOMPARE(!output.isEmpty(), talks);
    QCOMPARE(ObjectRegistry(registryFile).libraryFor(kCertObjectId),
             exitCode == 0 ? QFileInfo(kPlugin).absoluteFilePath() : QString());
    if (talks)
        QVERIFY2(output.contains("absent.so"), output.constData());
}

QTEST_MAIN(RegistrationTest)
#include "tst_registration.moc"
