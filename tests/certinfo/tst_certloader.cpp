// The certificate component loader: creation, registration through kytregister, the runtime check
// and the two messages.

#include "component/ClsMain.h"
#include "component/Module1.h"
#include "platform/LibraryRegistration.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QtTest>

namespace {

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

class CertLoaderTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void registeredComponentIsCreatedAtOnce();
    void unregisteredComponentIsRegisteredThenCreated();
    void secondFailedAttemptShowsTheMessage_data();
    void secondFailedAttemptShowsTheMessage();
    void missingRuntimeOffersTheDownload_data();
    void missingRuntimeOffersTheDownload();
    void runtimeCheck();

private:
    std::shared_ptr<ClsMain> instanceWith(const QString& systemFolder,
                                          std::shared_ptr<kyt::Desktop> desktop = nullptr) const;

    std::unique_ptr<testsupport::ComponentFixture> fx_;
};

void CertLoaderTest::init() {
    fx_ = std::make_unique<testsupport::ComponentFixture>();
    fx_->objects->unregisterObject(QStringLiteral("KYTCertInfo.ClsCertMain"));
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

void CertLoaderTest::runtimeCheck() {
    QVERIFY2(IsDotNetInstalled(*fx_->cls), "OpenSSL 3 and its legacy provider are installed here");
    const ProviderFolder missing(fx_->folder + QStringLiteral("/absent"));
    QVERIFY(!IsDotNetInstalled(*fx_->cls)); // an empty folder: see missingRuntimeOffersTheDownload
}

QTEST_MAIN(CertLoaderTest)
#include "tst_certloader.moc"
