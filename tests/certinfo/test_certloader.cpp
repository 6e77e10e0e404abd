// Making the certificate component available: registering a component library (the shared routine
// and the kytregister program), and the loader: creation, registration through kytregister, the
// runtime check (present here, missing where OpenSSL's providers are looked for elsewhere) and the
// two messages.

#include "component/ClsMain.h"
#include "component/Module1.h"
#include "platform/LibraryRegistration.h"
#include "platform/ObjectRegistry.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QtTest>

using kyt::ObjectRegistry;

namespace {

const QString kCertObjectId = QStringLiteral("KYTCertInfo.ClsCertMain");
const QString kPlugin = QStringLiteral(KYT_CERTINFO_PLUGIN);
const QString kCouldNotCreate = QStringLiteral("Could not Create PDF Signer Object.");
const QString kDownloadQuestion = QStringLiteral(
    "You must have .Net Framework installed on your machine to use this feature. Do you want to Download it Now?");

// Runs what is started to the end before returning, so that registration finishes before the
// loader's second attempt, and records it like the recording desktop.
class WaitingDesktop : public kyt::RecordingDesktop {
public:
    bool startDetached(const QString& program, const QStringList& arguments) override {
        RecordingDesktop::startDetached(program, arguments);
        return QProcess::execute(program, arguments) == 0;
    }
};

// Points OpenSSL's provider folder elsewhere for one test.
class ProviderFolder {
public:
    explicit ProviderFolder(const QString& folder) : previous_(qgetenv("OPENSSL_MODULES")) {
        qputenv("OPENSSL_MODULES", folder.toUtf8());
    }
    ~ProviderFolder() {
        if (previous_.isEmpty())
            qunsetenv("OPENSSL_MODULES");
        else
            qputenv("OPENSSL_MODULES", previous_);
    }

private:
    QByteArray previous_;
};

} // namespace

class CertLoaderTest : public testsupport::DialogsCheckedTest {
    Q_OBJECT

private slots:
    void init();
    void registeredComponentIsCreatedAtOnce();
    void unregisteredComponentIsRegisteredThenCreated();
    void secondFailedAttemptShowsTheMessage_data();
    void secondFailedAttemptShowsTheMessage();
    void missingRuntimeOffersTheDownload_data();
    void missingRuntimeOffersTheDownload();
    void registersComponentLibrariesOnly();
    void registrarProgram_data();
    void registrarProgram();

private:
    std::shared_ptr<ClsMain> instanceWith(const QString& systemFolder,
                                          std::shared_ptr<kyt::Desktop> desktop = nullptr) const;

    std::unique_ptr<testsupport::ComponentFixture> fx_;
};

void CertLoaderTest::init() {
    fx_ = std::make_unique<testsupport::ComponentFixture>();
    fx_->objects->unregisterObject(kCertObjectId);
}

std::shared_ptr<ClsMain> CertLoaderTest::instanceWith(const QString& systemFolder,
                                                      std::shared_ptr<kyt::Desktop> desktop) const {
    kyt::Services services = fx_->services();
    services.systemFolder = systemFolder;
    if (desktop)
        services.desktop = std::move(desktop);
    return std::make_shared<ClsMain>(services);
}

void CertLoaderTest::registeredComponentIsCreatedAtOnce() {
    QVERIFY(kyt::registerLibrary(*fx_->objects, testsupport::binDir() + QStringLiteral("/libKYTCertInfo.so")));
    CreateCertObject(*fx_->cls);
    QVERIFY(fx_->cls->PdfObj);
    QVERIFY(fx_->desktop->started.isEmpty());
    QVERIFY(fx_->dialogs->shown().empty());
}

void CertLoaderTest::unregisteredComponentIsRegisteredThenCreated() {
    qputenv("KYT_OBJECT_REGISTRY", fx_->objects->file().toUtf8()); // where kytregister writes
    auto desktop = std::make_shared<WaitingDesktop>();
    auto cls = instanceWith(testsupport::binDir() + QLatin1Char('/'), desktop);
    CreateCertObject(*cls);
    qunsetenv("KYT_OBJECT_REGISTRY");
    const QString bin = testsupport::binDir();
    QCOMPARE(desktop->started,
             QList<QStringList>({{bin + QStringLiteral("/kytregister"), bin + QStringLiteral("/libKYTCertInfo.so"),
                                  QStringLiteral("/codebase"), QStringLiteral("/silent")}}));
    QVERIFY(cls->PdfObj);
    QVERIFY(fx_->dialogs->shown().empty());
}

void CertLoaderTest::secondFailedAttemptShowsTheMessage_data() {
    QTest::addColumn<QString>("present"); // the one file the system folder holds; none: the build's folder
    QTest::addColumn<int>("started");
    QTest::newRow("registration not finished in time") << QString() << 1; // the recording desktop runs nothing
    QTest::newRow("no component") << "kytregister" << 0;
    QTest::newRow("no registrar") << "libKYTCertInfo.so" << 0;
}

void CertLoaderTest::secondFailedAttemptShowsTheMessage() {
    QFETCH(QString, present);
    QFETCH(int, started);
    if (!present.isEmpty())
        QVERIFY(
            QFile::copy(testsupport::binDir() + QLatin1Char('/') + present, fx_->folder + QLatin1Char('/') + present));
    auto cls = instanceWith(present.isEmpty() ? testsupport::binDir() : fx_->folder);
    CreateCertObject(*cls);
    QCOMPARE(fx_->desktop->started.size(), started);
    QVERIFY(!cls->PdfObj);
    QCOMPARE(fx_->dialogs->messages(), QStringList{kCouldNotCreate});
}

void CertLoaderTest::missingRuntimeOffersTheDownload_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("No") << false;
    QTest::newRow("Yes") << true;
}

void CertLoaderTest::missingRuntimeOffersTheDownload() {
    QFETCH(bool, yes);
    const ProviderFolder noProviders(fx_->folder); // a folder without the legacy provider
    auto cls = instanceWith(fx_->folder);
    yes ? fx_->dialogs->queueYes() : fx_->dialogs->queueNo();
    CreateCertObject(*cls);
    QVERIFY(!cls->PdfObj);
    QCOMPARE(fx_->dialogs->shown().size(), size_t(1));
    QCOMPARE(fx_->dialogs->shown()[0].kind, kyt::ScriptedDialogs::Shown::Question);
    QCOMPARE(fx_->dialogs->shown()[0].text, kDownloadQuestion);
    QCOMPARE(fx_->desktop->urls.size(), yes ? 1 : 0);
}

void CertLoaderTest::registersComponentLibrariesOnly() {
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

void CertLoaderTest::registrarProgram_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("talks");
    const QString absent = QStringLiteral("/nonexistent/absent.so");
    QTest::newRow("registers, silently") << QStringList{kPlugin, "/codebase", "/silent"} << 0 << false;
    QTest::newRow("fails, silently") << QStringList{absent, "/codebase", "/silent"} << 1 << false;
    QTest::newRow("fails and says why") << QStringList{absent} << 1 << true;
    QTest::newRow("no library") << QStringList{"/silent"} << 1 << false;
}

void CertLoaderTest::registrarProgram() {
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

QTEST_MAIN(CertLoaderTest)
#include "test_certloader.moc"
