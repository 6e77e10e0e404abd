// The component's entry: InitMe's branches, the error log, the settings operations and the
// shared text procedures.

#include "component/Module1.h"
#include "register/frmDscMain.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QLabel>
#include <QTest>

using testsupport::ComponentFixture;

namespace {
void writeSettings(const QString& folder, const QByteArray& text) {
    testsupport::writeFile(folder + QStringLiteral("/Confg.ini"), text);
}

bool initMe(ComponentFixture& fx, bool chkOnly, const QString& callFrom = QString(), short version = 0) {
    return fx.cls->InitMe(callFrom, chkOnly, fx.folder, fx.db, QStringLiteral("errors.log"), 1, 1, 1, version);
}

bool tableExists(kyt::Db& db) {
    try {
        db.openRowSet(QStringLiteral("Select * from DscStore"));
        return true;
    } catch (const kyt::Error&) {
        return false;
    }
}

void closeWindow(ComponentFixture& fx) {
    if (frmDscMain* w = fx.cls->registerWindow())
        w->Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

class TestComponent : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private Q_SLOTS:
    void formatDbDate_data();
    void formatDbDate();
    void quoteDoublingAndNumbers();
    void errorLogLines();
    void settingsOperations();
    void initMeRefusals();
    void initMePicksTheReportViewer_data();
    void initMePicksTheReportViewer();
    void startUpCheckSwitchedOff_data();
    void startUpCheckSwitchedOff();
    void startUpCheckFindingNothing();
    void startUpCheckWarns();
    void scalingFontsAndSizes();
};

void TestComponent::formatDbDate_data() {
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    const char* const rows[][3] = {{"date", "05/03/2010", "2010-03-05 00:00:00"},
                                   {"date and time", "05/03/2010 14:07:09", "2010-03-05 14:07:09"},
                                   {"short", "5/3/2010", ""},
                                   {"empty", "", ""},
                                   {"no seconds", "05/03/2010 14:07", ""},
                                   {"other separators", "05-03-2010", "2010-03-05 00:00:00"},
                                   {"mask prompts", "__/__/____ __:__:__", "____-__-__ __:__:__"}};
    for (const auto& row : rows)
        QTest::newRow(row[0]) << QString::fromLatin1(row[1]) << QString::fromLatin1(row[2]);
}

void TestComponent::formatDbDate() {
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(FormatDbDate(in), out);
}

void TestComponent::quoteDoublingAndNumbers() {
    QCOMPARE(QuoteSql(QStringLiteral("A'B")), QStringLiteral("A''B"));
    QCOMPARE(QuoteSql(QStringLiteral("''\\%")), QStringLiteral("''''\\%"));
    QCOMPARE(Val(QStringLiteral("30")), 30.0);
    QCOMPARE(Val(QStringLiteral("  12abc")), 12.0);
    QCOMPARE(Val(QStringLiteral("1.4")), 1.4);
    QCOMPARE(Val(QStringLiteral("word")), 0.0);
    QCOMPARE(Val(QStringLiteral("")), 0.0);
    QCOMPARE(Val(QStringLiteral("-7 days")), -7.0);
    QCOMPARE(Val(QStringLiteral("1 2")), 12.0);
    QCOMPARE(RoundHalfEven(1.5), 2);
    QCOMPARE(RoundHalfEven(2.5), 2);
    QCOMPARE(RoundHalfEven(1.4), 1);
}

void TestComponent::errorLogLines() {
    ComponentFixture fx;
    fx.attach();
    // No current error: nothing written, no file created.
    fx.cls->DoErrorLogEntry();
    QVERIFY(!QFile::exists(fx.folder + QStringLiteral("/errors.log")));

    fx.cls->Err() = {91, QStringLiteral("Object variable not set"), QStringLiteral("KYTDscMgr")};
    fx.cls->Proc_Name = QStringLiteral("frmDscMain\tLOADGRID");
    fx.cls->DoErrorLogEntry();
    // A line break in a value (an issuer, a file name) never splits the entry.
    fx.cls->Err() = {-2147467259, QStringLiteral("tab\there\r\nIssuer\nCA"), QStringLiteral("Db\r")};
    fx.cls->Proc_Name = QStringLiteral("CLSMAIN\tINITME");
    fx.cls->DoErrorLogEntry();

    QCOMPARE(
        fx.logText(),
        QStringLiteral("05/12/2026 10:30:00\t91\tObject variable not set\tKYTDscMgr\tfrmDscMain\t"
                       "LOADGRID\r\n05/12/2026 10:30:00\t-2147467259\ttab\there  Issuer CA\tDb \tCLSMAIN\tINITME\r\n"));

    // A log that cannot be opened loses the entry and nothing else.
    fx.cls->LogFlNm.clear();
    fx.cls->DoErrorLogEntry();
    QCOMPARE(fx.logLines().size(), 2);
}

void TestComponent::settingsOperations() {
    ComponentFixture fx;
    fx.attach();
    QCOMPARE(fx.cls->GetSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCAuto"), QStringLiteral("1")),
             QStringLiteral("1"));
    fx.cls->SaveSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral(" 45 "));
    QCOMPARE(fx.cls->GetSettingINI(QStringLiteral("settings"), QStringLiteral("dscdays"), QStringLiteral("0")),
             QStringLiteral("45"));

    fx.cls->DocPath.clear();
    fx.cls->SaveSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("99"));
    fx.cls->DocPath = fx.folder;
    QCOMPARE(fx.cls->GetSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("0")),
             QStringLiteral("45"));
}

// A newer report version is refused without a word; no connection fails with one box; a missing
// report component is named to the user, not logged. None of them opens a window.
void TestComponent::initMeRefusals() {
    ComponentFixture fx;
    fx.cls->DocPath = QStringLiteral("/kept");
    QVERIFY(!initMe(fx, false, QString(), 2));
    QVERIFY(!initMe(fx, false, QString(), 7));
    QCOMPARE(fx.cls->DocPath, QStringLiteral("/kept"));
    QVERIFY(fx.dialogs->shown().empty());

    QVERIFY(!fx.cls->InitMe(QString(), true, fx.folder, nullptr, QStringLiteral("errors.log"), 1, 1, 1));
    QVERIFY(fx.dialogs->shown().empty());
    QVERIFY(!fx.cls->InitMe(QString(), false, fx.folder, nullptr, QStringLiteral("errors.log"), 1, 1, 1));
    QCOMPARE(fx.dialogs->messages(), QStringList{QStringLiteral("Failed.")});

    fx.dialogs->clear();
    fx.objects->unregisterObject(QStringLiteral("PrjLumen.RepView"));
    QVERIFY(!initMe(fx, false));
    QCOMPARE(fx.dialogs->shown().size(), size_t(1));
    QVERIFY(fx.dialogs->messages().first().contains(QStringLiteral("PrjLumen.RepView")));
    QVERIFY(!fx.cls->registerWindow());
    QVERIFY(fx.logText().isEmpty());
}

void TestComponent::initMePicksTheReportViewer_data() {
    QTest::addColumn<QString>("callFrom");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("viewer");
    QTest::newRow("G") << "G" << 0 << "PrjQuill.RepView";
    QTest::newRow("g") << "g" << 0 << "PrjLumen.RepView";
    QTest::newRow("empty") << "" << 0 << "PrjLumen.RepView";
    QTest::newRow("negative version") << "G" << -3 << "PrjQuill.RepView";
    QTest::newRow("version 1") << "G" << 1 << "PrjKYTLumen.ClsMain";
}

void TestComponent::initMePicksTheReportViewer() {
    QFETCH(QString, callFrom);
    QFETCH(int, version);
    QFETCH(QString, viewer);
    ComponentFixture fx;
    QVERIFY(initMe(fx, false, callFrom, short(version)));
    QVERIFY(ReportObj());
    QCOMPARE(kyt::callByName(ReportObj().get(), "ProgId").toString(), viewer);
    frmDscMain* window = fx.cls->registerWindow();
    QVERIFY(window && window->isVisible());
    QVERIFY(tableExists(*fx.db));
    QCOMPARE(window->lblhead->text(), QStringLiteral("List of All Certificates"));
    QVERIFY(!fx.cls->MdiObj && !fx.cls->PdfObj);
    closeWindow(fx);
}

void TestComponent::startUpCheckSwitchedOff_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::newRow("0") << QByteArray("[settings]\ndscauto=0\n");
    QTest::newRow("2") << QByteArray("[Settings]\nDSCAuto=2\n");
    QTest::newRow("word") << QByteArray("[Settings]\nDSCAuto=yes\n");
    QTest::newRow("1.4") << QByteArray("[Settings]\nDSCAuto=1.4\n");
}

void TestComponent::startUpCheckSwitchedOff() {
    QFETCH(QByteArray, settings);
    ComponentFixture fx;
    writeSettings(fx.folder, settings);
    ReportObj().reset();
    QVERIFY(!initMe(fx, true));
    QVERIFY(!ReportObj());         // no report object created
    QVERIFY(!tableExists(*fx.db)); // no table statement ran
    QVERIFY(!fx.cls->registerWindow());
    QVERIFY(fx.dialogs->shown().empty());
}

void TestComponent::startUpCheckFindingNothing() {
    ComponentFixture fx; // no settings file: DSCAuto defaults to 1, DSCDays to 0
    fx.insert(1, QStringLiteral("Later"), QStringLiteral("01/01/2026 00:00:00"), QStringLiteral("06/12/2026 10:30:00"));
    QVERIFY(!initMe(fx, true));
    QVERIFY(fx.dialogs->shown().empty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!fx.cls->registerWindow());
    QVERIFY(tableExists(*fx.db));
}

void TestComponent::startUpCheckWarns() {
    ComponentFixture fx;
    writeSettings(fx.folder, "[Settings]\nDSCAuto=1\nDSCDays=30\n");
    fx.insert(1, QStringLiteral("Soon"), QStringLiteral("01/01/2026 00:00:00"), QStringLiteral("15/12/2026 09:00:00"));
    fx.insert(2, QStringLiteral("Gone"), QStringLiteral("01/01/2024 00:00:00"), QStringLiteral("01/01/2025 00:00:00"));
    fx.insert(3, QStringLiteral("Far"), QStringLiteral("01/01/2026 00:00:00"), QStringLiteral("05/01/2027 10:30:01"));
    QVERIFY(initMe(fx, true));
    QCOMPARE(fx.dialogs->messages(),
             QStringList{QStringLiteral("Some Digital Signature Certificates are expired or going to be expired within "
                                        "next 30 Days.")});
    frmDscMain* window = fx.cls->registerWindow();
    QVERIFY(window && window->isVisible());
    QVERIFY(window->options[2]->isChecked());
    QCOMPARE(window->vs->Rows(), 3);
    QCOMPARE(window->vs->TextMatrix(1, 2), QStringLiteral("Gone"));
    QCOMPARE(window->vs->TextMatrix(2, 2), QStringLiteral("Soon"));
    closeWindow(fx);
}

// Fonts at other factors are the register window's scaling test's concern; here the cases that
// must change nothing, and the window's size.
void TestComponent::scalingFontsAndSizes() {
    ComponentFixture fx;
    QWidget form;
    form.setGeometry(100, 80, 400, 300);
    auto* label = new QLabel(QStringLiteral("x"), &form);
    QFont font = label->font();
    font.setPointSizeF(8.25);
    label->setFont(font);
    fx.cls->Resize_For_Resolution(&form); // factors 1, 1, 1
    fx.cls->ScreenRatFS = 0;
    fx.cls->Resize_For_Resolution(&form); // a factor of 0
    QCOMPARE(label->font().pointSizeF(), 8.25);
    QCOMPARE(form.geometry(), QRect(100, 80, 400, 300));
    fx.cls->ScreenRatX = fx.cls->ScreenRatY = 1.25f;
    fx.cls->ScreenRatFS = 1;
    fx.cls->Resize_For_Resolution(&form);
    QCOMPARE(form.size(), QSize(500, 375));
    QCOMPARE(label->font().pointSizeF(), 8.2); // rounded to a tenth, a half to the even neighbour
}

QTEST_MAIN(TestComponent)
#include "test_component.moc"
