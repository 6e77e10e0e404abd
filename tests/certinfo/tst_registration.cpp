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
    void registersEveryIdWithTheAbsolutePath();
    void refusesWhatIsNoComponentLibrary_data();
    void refusesWhatIsNoComponentLibrary();
    void registrarProgramRegisters();
    void registrarProgramFailsQuietlyWhenSilent();
    void registrarProgramExplainsWhenNotSilent();

private:
    struct Run {
        int exitCode;
        QByteArray output;
    };
    Run runRegistrar(const QString& registryFile, const QStringList& arguments);
};

void RegistrationTest::registersEveryIdWithTheAbsolutePath() {
    QTemporaryDir dir;
    const ObjectRegistry registry(dir.filePath(QStringLiteral("objects.ini")));
    const QFileInfo plugin(kPlugin);
    // Given relative to the working folder, recorded absolute, so creation works from anywhere.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(plugin.absolutePath());
    QString error;
    const bool registered = kyt::registerLibrary(registry, plugin.fileName(), &error);
    QDir::setCurrent(previous);
    QVERIFY2(registered, qPrintable(error));
    QCOMPARE(registry.libraryFor(kCertObjectId), plugin.absoluteFilePath());
    const kyt::ObjectRef object = registry.create(kCertObjectId);
    QVERIFY(object->metaObject()->indexOfMethod("GetStoreCertCount()") >= 0);
}

void RegistrationTest::refusesWhatIsNoComponentLibrary_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("missing file") << QStringLiteral("/nonexistent/libKYTCertInfo.so");
    QTest::newRow("shared library without the exports")
        << QLibraryInfo::path(QLibraryInfo::LibrariesPath) + QStringLiteral("/libQt6Test.so.6");
    QTest::newRow("text file") << QString(); // made in the test
}

void RegistrationTest::refusesWhatIsNoComponentLibrary() {
    QFETCH(QString, path);
    QTemporaryDir dir;
    if (path.isEmpty()) {
        path = dir.filePath(QStringLiteral("libfake.so"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a library");
    }
    const ObjectRegistry registry(dir.filePath(QStringLiteral("objects.ini")));
    QString error;
    QVERIFY(!kyt::registerLibrary(registry, path, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(registry.file()) || registry.libraryFor(kCertObjectId).isEmpty());
}

RegistrationTest::Run RegistrationTest::runRegistrar(const QString& registryFile, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KYT_OBJECT_REGISTRY"), registryFile);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(KYT_REGISTRAR), arguments);
    if (!process.waitForFinished(30000))
        return {-1, "did not finish"};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAll()};
}

void RegistrationTest::registrarProgramRegisters() {
    QTemporaryDir dir;
    const QString registryFile = dir.filePath(QStringLiteral("sub/objects.ini"));
    const Run run = runRegistrar(registryFile, {kPlugin, QStringLiteral("/codebase"), QStringLiteral("/silent")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.output, QByteArray());
    QCOMPARE(ObjectRegistry(registryFile).libraryFor(kCertObjectId), QFileInfo(kPlugin).absoluteFilePath());
}

void RegistrationTest::registrarProgramFailsQuietlyWhenSilent() {
    QTemporaryDir dir;
    const QString registryFile = dir.filePath(QStringLiteral("objects.ini"));
    const Run run = runRegistrar(registryFile, {dir.filePath(QStringLiteral("absent.so")), QStringLiteral("/codebase"),
                                                QStringLiteral("/silent")});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.output, QByteArray());
    QVERIFY(ObjectRegistry(registryFile).libraryFor(kCertObjectId).isEmpty());
}

void RegistrationTest::registrarProgramExplainsWhenNotSilent() {
    QTemporaryDir dir;
    const Run missing = runRegistrar(dir.filePath(QStringLiteral("objects.ini")), {dir.filePath("absent.so")});
    QCOMPARE(missing.exitCode, 1);
    QVERIFY(missing.output.contains("absent.so"));
    const Run noArguments = runRegistrar(dir.filePath(QStringLiteral("objects.ini")), {QStringLiteral("/silent")});
    QCOMPARE(noArguments.exitCode, 1);
}

QTEST_MAIN(RegistrationTest)
#include "tst_registration.moc"
