#include "support/TestSupport.h"

#include "component/Module1.h"
#include "platform/LibraryRegistration.h"
#include "store/RecordHistory.h"
#include "store/StoreStatements.h"

#include <limits>
#include <linux/capability.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QProcess>
#include <QWidget>
#include <sys/syscall.h>
#include <unistd.h>

namespace testsupport {

QStringList backendNames() {
    return {QStringLiteral("sqlite"), QStringLiteral("mysql")};
}

void addBackendColumn() {
    QTest::addColumn<QString>("backend");
    for (const QString& b : backendNames())
        QTest::newRow(qPrintable(b)) << b;
}

QString binDir() {
    const QString dir = qEnvironmentVariable("KYT_BIN_DIR");
    return dir.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/../bin") : dir;
}

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    f.write(content);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::shared_ptr<kyt::Db> openFreshDb(const QString& backend, const QString& folder, const QString& tag) {
    QString error;
    if (backend == QLatin1String("sqlite")) {
        const QString file = folder + QStringLiteral("/%1.db").arg(tag);
        QFile::remove(file);
        auto db = kyt::Db::open(kyt::DbAddress::sqliteFile(file), &error);
        if (!db)
            qFatal("cannot open SQLite: %s", qPrintable(error));
        return db;
    }
    const QString base = qEnvironmentVariable("KYT_TEST_MYSQL");
    if (base.isEmpty())
        qFatal("KYT_TEST_MYSQL is not set: the MariaDB tests need the server CTest starts");
    auto address = kyt::DbAddress::parse(base, &error);
    if (!address)
        qFatal("%s", qPrintable(error));
    const QString name = QStringLiteral("kyt_%1_%2").arg(QCoreApplication::applicationName(), tag).left(60);
    {
        kyt::DbAddress admin = *address;
        admin.database = QStringLiteral("mysql");
        auto root = kyt::Db::open(admin, &error);
        if (!root)
            qFatal("cannot reach MariaDB: %s", qPrintable(error));
        root->execute(QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(name));
        root->execute(QStringLiteral("CREATE DATABASE `%1` CHARACTER SET utf8mb4").arg(name));
    }
    address->database = name;
    auto db = kyt::Db::open(*address, &error);
    if (!db)
        qFatal("cannot open MariaDB database: %s", qPrintable(error));
    return db;
}

QString addressOf(const kyt::Db& db, const QString& user, const QString& options) {
    if (db.backend() == kyt::Db::Backend::SQLite)
        return QStringLiteral("sqlite:") + db.connection().databaseName();
    return QStringLiteral("mysql://%1@localhost/%2?socket=%3%4")
        .arg(
            user, db.connection().databaseName(),
            db.connection().connectOptions().section(QStringLiteral("UNIX_SOCKET="), 1).section(QLatin1Char(';'), 0, 0),
            options);
}

std::shared_ptr<kyt::Db> openAnotherDesk(const kyt::Db& db, QString* why) {
    const auto address = kyt::DbAddress::parse(addressOf(db), why);
    return address ? kyt::Db::open(*address, why) : nullptr;
}

void refuseHistory(kyt::Db& db) {
    RecordHistory::ensureTable(db);
    db.execute(db.backend() == kyt::Db::Backend::SQLite
                   ? QStringLiteral("Create Trigger NoHistory Before Insert On DscHistory Begin Select "
                                    "Raise(Abort, 'history refused'); End")
                   : QStringLiteral("Create Trigger NoHistory Before Insert On DscHistory For Each Row Signal "
                                    "SqlState '45000' Set Message_Text='history refused'"));
}

void makeDamagedRegister(const QString& file) {
    {
        QString error;
        const auto db = kyt::Db::open(kyt::DbAddress::sqliteFile(file), &error);
        if (!db)
            qFatal("cannot open SQLite: %s", qPrintable(error));
        db->execute(StoreStatements::createTable());
        for (int i = 1; i <= 400; ++i)
            db->execute(QStringLiteral("Insert Into DscStore (SrNo, Nm) Values (%1, '%2')")
                            .arg(i)
                            .arg(QString(200, QLatin1Char('x'))));
    }
    QFile damaged(file);
    if (!damaged.open(QIODevice::ReadWrite))
        qFatal("cannot damage %s", qPrintable(file));
    damaged.seek(damaged.size() / 2);
    damaged.write(QByteArray(8192, '\xff'));
}

ComponentFixture::ComponentFixture(const QString& backend)
    : folder(dir.path()), dialogs(std::make_shared<kyt::ScriptedDialogs>()),
      clock(std::make_shared<kyt::FixedClock>(QDateTime(QDate(2026, 12, 5), QTime(10, 30, 0)))),
      desktop(std::make_shared<kyt::RecordingDesktop>()),
      objects(std::make_shared<kyt::ObjectRegistry>(dir.path() + QStringLiteral("/objects.ini"))) {
    static int counter = 0;
    db = openFreshDb(backend, folder, QStringLiteral("t%1").arg(++counter));
    const QString report = binDir() + QStringLiteral("/libKYTReport.so");
    QString error;
    if (!kyt::registerLibrary(*objects, report, &error))
        qWarning("report components not registered: %s", qPrintable(error));
    cls = std::make_shared<ClsMain>(services());
}

kyt::Services ComponentFixture::services() const {
    kyt::Services s;
    s.dialogs = dialogs;
    s.clock = clock;
    s.objects = objects;
    s.desktop = desktop;
    s.systemFolder = binDir();
    return s;
}

void ComponentFixture::attach() {
    cls->DocPath = folder;
    cls->Db = db;
    cls->LogFlNm = QStringLiteral("errors.log");
}

void ComponentFixture::insert(int srNo, const QString& name, const QString& dtFrom, const QString& dtTo,
                              const QString& serial) {
    db->execute(StoreStatements::createTable());
    StoreStatements::RecordValues v;
    v[0] = name;
    v[2] = serial;
    v[4] = dtFrom;
    v[5] = dtTo;
    db->execute(StoreStatements::insertRecord(srNo, v));
}

QString ComponentFixture::logText() const {
    QFile f(folder + QStringLiteral("/errors.log"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

QStringList ComponentFixture::logLines() const {
    return logText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

namespace {
constexpr unsigned kOverrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

bool setEffectiveOverrides(bool on) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const unsigned before = data[0].effective;
    data[0].effective = on ? data[0].effective | (data[0].permitted & kOverrides) : data[0].effective & ~kOverrides;
    return data[0].effective != before && syscall(SYS_capset, &header, data) == 0;
}
} // namespace

FilePermissionsEnforced::FilePermissionsEnforced() : dropped_(setEffectiveOverrides(false)) {}

FilePermissionsEnforced::~FilePermissionsEnforced() {
    if (dropped_)
        setEffectiveOverrides(true);
}

ProgramRun finishRun(QProcess& p, int timeoutMs) {
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    const QByteArray out = p.readAllStandardOutput();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
            QString::fromUtf8(p.readAllStandardError()), out};
}

QProcessEnvironment dscmgrEnvironment(const QString& registry, const QStringList& changes) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KYT_OBJECT_REGISTRY"), registry);
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
        env.remove(QLatin1String(name));
    for (const QString& change : changes)
        if (change.contains(QLatin1Char('=')))
            env.insert(change.section(QLatin1Char('='), 0, 0), change.section(QLatin1Char('='), 1));
        else
            env.remove(change);
    return env;
}

QProcess* startDscmgr(const QStringList& args, const QString& registry, const QStringList& changes) {
    auto* p = new QProcess;
    p->setProcessEnvironment(dscmgrEnvironment(registry, changes));
    p->start(binDir() + QStringLiteral("/dscmgr"), args);
    return p;
}

ProgramRun runDscmgr(const QStringList& args, const QString& registry, const QStringList& changes,
                     const QString& outputFile) {
    QProcess p;
    p.setProcessEnvironment(dscmgrEnvironment(registry, changes));
    if (!outputFile.isEmpty())
        p.setStandardOutputFile(outputFile);
    p.start(binDir() + QStringLiteral("/dscmgr"), args);
    return finishRun(p, 120000);
}

QList<QStringList> xlsxRows(const QString& path) {
    static const char* const kReader = R"(
import json, sys, zipfile
import xml.etree.ElementTree as ET
M = '{http://schemas.openxmlformats.org/spreadsheetml/2006/main}'
book = zipfile.ZipFile(sys.argv[1])
styles = ET.fromstring(book.read('xl/styles.xml'))
formats = {'49': '@'}  # the built-in text format
formats.update({f.get('numFmtId'): f.get('formatCode') for f in styles.iter(M + 'numFmt')})
xfs = [xf.get('numFmtId') for xf in styles.find(M + 'cellXfs').findall(M + 'xf')]
shared = []
if 'xl/sharedStrings.xml' in book.namelist():
    shared = [''.join(t.text or '' for t in si.iter(M + 't'))
              for si in ET.fromstring(book.read('xl/sharedStrings.xml')).findall(M + 'si')]
rows = []
for row in ET.fromstring(book.read('xl/worksheets/sheet1.xml')).iter(M + 'row'):
    cells = []
    for c in row.findall(M + 'c'):
        kind, style = c.get('t', 'n'), int(c.get('s', '0'))
        if kind == 'inlineStr':
            value, kind = ''.join(t.text or '' for t in c.iter(M + 't')), 'string'
        elif kind == 's':
            value, kind = shared[int(c.find(M + 'v').text)], 'string'
        else:
            value, kind = c.find(M + 'v').text, 'number'
        cells.append('|'.join([c.get('r'), kind, value, formats.get(xfs[style], '') if style < len(xfs) else '']))
    rows.append(cells)
print(json.dumps(rows))
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(kReader), path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qWarning("%s", python.readAllStandardError().constData());
        return {};
    }
    QList<QStringList> rows;
    for (const QJsonValue& row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList cells;
        for (const QJsonValue& cell : row.toArray())
            cells << cell.toString();
        rows << cells;
    }
    return rows;
}

namespace {
// A paint device that keeps the text of every text item drawn on it and ignores everything else.
class TextRecorder : public QPaintDevice {
public:
    QStringList texts;
    QPaintEngine* paintEngine() const override { return &engine_; }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
        case PdmWidth:
            return 4000;
        case PdmHeight:
            return 1000;
        case PdmWidthMM:
            return 1000;
        case PdmHeightMM:
            return 250;
        case PdmNumColors:
            return std::numeric_limits<int>::max();
        case PdmDepth:
            return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return 0;
        }
    }

private:
    class Engine : public QPaintEngine {
    public:
        explicit Engine(QStringList& texts) : QPaintEngine(AllFeatures), texts_(texts) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}
        void drawTiledPixmap(const QRectF&, const QPixmap&, const QPointF&) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawPolygon(const QPoint*, int, PolygonDrawMode) override {}
        void drawRects(const QRectF*, int) override {}
        void drawRects(const QRect*, int) override {}
        void drawLines(const QLineF*, int) override {}
        void drawLines(const QLine*, int) override {}
        void drawEllipse(const QRectF&) override {}
        void drawPoints(const QPointF*, int) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override { texts_ << item.text(); }
        Type type() const override { return User; }

    private:
        QStringList& texts_;
    };
    mutable Engine engine_{texts};
};
} // namespace

QStringList drawnTexts(QWidget* widget) {
    TextRecorder recorder;
    widget->render(&recorder);
    return recorder.texts;
}

} // namespace testsupport
