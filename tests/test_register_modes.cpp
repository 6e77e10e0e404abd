// The register window's modes: add, modify and cancel, Escape from every frame, closing, and the
// settings frame.

#include "test_register_window.h"

#include <QCheckBox>
#include <QRadioButton>

using regtest::RegisterWindow;

namespace {

// The host's main window as the register sees it: an object with an invokable "ReloadMenu".
class HostMenu : public QObject {
    Q_OBJECT
public:
    int reloads = 0;
    Q_INVOKABLE void ReloadMenu() { ++reloads; }
};

void insertTwo(RegisterWindow& r) {
    r.insert(1, {QStringLiteral("Asha Rao"), QStringLiteral("Class 2"), QStringLiteral("01/01/2025 09:00:00"),
                 QStringLiteral("31/12/2026 18:00:00")});
    r.insert(2, {QStringLiteral("Bina Das"), QStringLiteral("Class 3"), QStringLiteral("01/06/2025 09:00:00"),
                 QStringLiteral("31/05/2027 18:00:00")});
}

// What EnableList decides, read off the controls: list mode when true, entry mode when false.
void verifyMode(RegisterWindow& r, bool listMode) {
    for (int i = 0; i < 3; ++i)
        QCOMPARE(r.find<QRadioButton>(QStringLiteral("options(%1)").arg(i))->isEnabled(), listMode);
    QVERIFY(!r.find<QLineEdit>(QStringLiteral("txtdays(0)"))->isEnabled()); // "Show All" is selected
    QCOMPARE(r.button(QStringLiteral("cmdok"))->isEnabled(), listMode);
    QCOMPARE(r.find(QStringLiteral("vs"))->isEnabled(), listMode);
    for (const char* name : {"cmdadd", "cmdmodify", "cmddelete", "cmdsettings", "cmdimportbulk", "cmdback(0)"})
        QVERIFY2(r.button(QLatin1String(name))->isVisible() == listMode, name);
    QCOMPARE(r.find(QStringLiteral("fammain1"))->isEnabled(), !listMode);
    QCOMPARE(r.button(QStringLiteral("cmdupdate"))->isVisible(), !listMode);
    QCOMPARE(r.button(QStringLiteral("cmdcancel"))->isVisible(), !listMode);
    // Preview stays within reach in both modes.
    QVERIFY(r.button(QStringLiteral("cmdpreview"))->isVisible());
    QVERIFY(r.button(QStringLiteral("cmdpreview"))->isEnabled());
}

void pressEscape() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
}

} // namespace

class TestRegisterModes : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void addThenCancelRestoresTheRecordAndFocusesAddNew();
    void modifyThenCancelRestoresTheRecordAndFocusesModify();
    void emptyListOffersNoModifyOrDelete();
    void escape_data();
    void escape();
    void escapeInListModeClosesAndReloadsTheHostMenuOnce();
    void settingsFrameBackSavesAndEscapeDoesNot();
};

void TestRegisterModes::addThenCancelRestoresTheRecordAndFocusesAddNew() {
    RegisterWindow r;
    insertTwo(r);
    r.open();
    verifyMode(r, true);
    QCOMPARE(r.text(0)->text(), QStringLiteral("Asha Rao"));

    QTest::mouseClick(r.button(QStringLiteral("cmdadd")), Qt::LeftButton);
    verifyMode(r, false);
    QVERIFY(r.w->AddMode);
    QCOMPARE(QApplication::focusWidget(), r.text(0));
    QVERIFY(r.text(0)->text().isEmpty());
    QVERIFY(r.combo("cbodsctype")->currentText().isEmpty());
    QVERIFY(r.date(0)->clipText().isEmpty());

    QTest::keyClicks(r.text(0), QStringLiteral("Someone New"));
    QTest::mouseClick(r.button(QStringLiteral("cmdcancel")), Qt::LeftButton);
    verifyMode(r, true);
    QCOMPARE(r.text(0)->text(), QStringLiteral("Asha Rao"));
    QCOMPARE(r.combo("cbodsctype")->currentText(), QStringLiteral("Class 2"));
    QCOMPARE(r.date(0)->text(), QStringLiteral("01/01/2025 09:00:00"));
    QCOMPARE(QApplication::focusWidget(), r.button(QStringLiteral("cmdadd")));
    QVERIFY(r.messages().isEmpty());
}

void TestRegisterModes::modifyThenCancelRestoresTheRecordAndFocusesModify() {
    RegisterWindow r;
    insertTwo(r);
    r.open();
    r.w->vs->setRow(2);
    QTest::mouseClick(r.button(QStringLiteral("cmdmodify")), Qt::LeftButton);
    verifyMode(r, false);
    QVERIFY(!r.w->AddMode);
    QCOMPARE(QApplication::focusWidget(), r.text(0));
    QCOMPARE(r.text(0)->text(), QStringLiteral("Bina Das")); // nothing reloaded or cleared

    QTest::keyClicks(r.text(0), QStringLiteral("Changed"));
    QCOMPARE(r.text(0)->text(), QStringLiteral("Changed")); // the whole text was selected on entry
    QTest::mouseClick(r.button(QStringLiteral("cmdcancel")), Qt::LeftButton);
    verifyMode(r, true);
    QCOMPARE(r.text(0)->text(), QStringLiteral("Bina Das"));
    QCOMPARE(QApplication::focusWidget(), r.button(QStringLiteral("cmdmodify")));
}

void TestRegisterModes::emptyListOffersNoModifyOrDelete() {
    RegisterWindow r;
    r.open();
    QVERIFY(!r.button(QStringLiteral("cmdmodify"))->isEnabled());
    QVERIFY(!r.button(QStringLiteral("cmddelete"))->isEnabled());

    r.w->cmdmodify_Click();
    QCOMPARE(r.messages(), QStringList{QStringLiteral("Select a DSC.")});
    verifyMode(r, true);
    QCOMPARE(QApplication::focusWidget(), r.find(QStringLiteral("vs")));

    // Add then Cancel on an empty list leaves the entry controls empty.
    r.w->cmdadd_Click();
    QTest::keyClicks(r.text(0), QStringLiteral("Draft"));
    r.w->cmdcancel_Click();
    QVERIFY(r.text(0)->text().isEmpty());
    QVERIFY(!r.button(QStringLiteral("cmdmodify"))->isEnabled());
}

void TestRegisterModes::escape_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("yes");
    QTest::newRow("settings") << "settings" << false;
    QTest::newRow("preview") << "preview" << false;
    QTest::newRow("entry, yes") << "entry" << true;
    QTest::newRow("entry, no") << "entry" << false;
    QTest::newRow("list, no") << "list" << false;
}

void TestRegisterModes::escape() {
    QFETCH(QString, mode);
    QFETCH(bool, yes);
    RegisterWindow r;
    insertTwo(r);
    r.open();
    QWidget* famsett = r.find(QStringLiteral("famsett"));
    QWidget* famprev = r.find(QStringLiteral("famprev"));
    QWidget* fammain = r.find(QStringLiteral("fammain"));

    if (mode == QLatin1String("settings")) {
        QTest::mouseClick(r.button(QStringLiteral("cmdsettings")), Qt::LeftButton);
        QVERIFY(famsett->isVisible());
        pressEscape();
        QVERIFY(!famsett->isVisible());
        QVERIFY(fammain->isVisible());
        QCOMPARE(QApplication::focusWidget(), r.button(QStringLiteral("cmdsettings")));
        QVERIFY(r.messages().isEmpty());
    } else if (mode == QLatin1String("preview")) {
        // The preview frame as its button leaves it; what it shows is not this window's concern.
        fammain->setVisible(false);
        famprev->setVisible(true);
        r.button(QStringLiteral("cmdproceed"))->setFocus();
        pressEscape();
        QVERIFY(!famprev->isVisible());
        QVERIFY(fammain->isVisible());
        QCOMPARE(QApplication::focusWidget(), r.button(QStringLiteral("cmdpreview")));
        QVERIFY(r.messages().isEmpty());
    } else if (mode == QLatin1String("entry")) {
        r.w->cmdmodify_Click();
        r.date(1)->setFocus();
        QTest::keyClicks(r.date(1), QStringLiteral("0101"));
        const QString typed = r.date(1)->text();
        yes ? r.fx.dialogs->queueYes() : r.fx.dialogs->queueNo();
        pressEscape();
        QCOMPARE(r.messages(), QStringList{QStringLiteral("Do you want to Cancel the Changes?")});
        QCOMPARE(r.fx.dialogs->shown().back().defaultButton, kyt::Answer::No);
        if (yes) {
            verifyMode(r, true);
            QCOMPARE(r.date(1)->text(), QStringLiteral("31/12/2026 18:00:00"));
        } else {
            verifyMode(r, false);
            QCOMPARE(r.date(1)->text(), typed);
            QCOMPARE(QApplication::focusWidget(), r.date(1));
        }
    } else {
        r.find(QStringLiteral("vs"))->setFocus();
        r.fx.dialogs->queueNo();
        pressEscape();
        QCOMPARE(r.messages(), QStringList{QStringLiteral("Do you want to Exit?")});
        QCOMPARE(r.fx.dialogs->shown().back().defaultButton, kyt::Answer::No);
        QVERIFY(r.w && r.w->isVisible());
        verifyMode(r, true);
    }
    QCOMPARE(r.fx.dialogs->unexpected(), 0);
}

void TestRegisterModes::escapeInListModeClosesAndReloadsTheHostMenuOnce() {
    RegisterWindow r;
    insertTwo(r);
    r.open();
    auto host = std::make_shared<HostMenu>();
    r.fx.cls->MdiObj = host;
    r.fx.cls->PdfObj = std::make_shared<QObject>();
    bool unloaded = false;
    QObject::connect(r.w, &frmDscMain::unloaded, [&] { unloaded = true; });

    r.fx.dialogs->queueYes();
    QTest::keyClick(r.find(QStringLiteral("vs")), Qt::Key_Escape);
    QVERIFY(unloaded);
    QCOMPARE(host->reloads, 1);
    QVERIFY(!r.fx.cls->MdiObj);
    QVERIFY(!r.fx.cls->PdfObj);
    QVERIFY(!r.w->isVisible());

    // A second way out of the same window does not call the host again.
    r.fx.cls->MdiObj = host;
    r.w->Unload();
    QCOMPARE(host->reloads, 1);
    QTRY_VERIFY(r.w.isNull()); // the window deletes itself once closed
}

void TestRegisterModes::settingsFrameBackSavesAndEscapeDoesNot() {
    RegisterWindow r;
    r.fx.cls->SaveSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCAuto"), QStringLiteral("1"));
    r.fx.cls->SaveSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("7"));
    r.open();
    auto* chkauto = r.find<QCheckBox>(QStringLiteral("chkauto"));
    auto* days = r.find<QLineEdit>(QStringLiteral("txtdays(1)"));
    const auto setting = [&](const char* key) {
        return r.fx.cls->GetSettingINI(QStringLiteral("Settings"), QLatin1String(key), QStringLiteral("missing"));
    };

    QTest::mouseClick(r.button(QStringLiteral("cmdsettings")), Qt::LeftButton);
    QVERIFY(r.find(QStringLiteral("famsett"))->isVisible());
    QVERIFY(!r.find(QStringLiteral("fammain"))->isVisible());
    QCOMPARE(QApplication::focusWidget(), chkauto);
    QCOMPARE(chkauto->text(), QStringLiteral("Automatically Check for Certificates expiring with in"));
    QVERIFY(chkauto->isChecked());
    QCOMPARE(days->text(), QStringLiteral("7"));

    // Escape leaves the frame and keeps the file as it was.
    days->setText(QStringLiteral("30"));
    chkauto->click();
    QVERIFY(!days->isEnabled());
    pressEscape();
    QVERIFY(!r.find(QStringLiteral("famsett"))->isVisible());
    QCOMPARE(setting("DSCAuto"), QStringLiteral("1"));
    QCOMPARE(setting("DSCDays"), QStringLiteral("7"));

    // Back writes both keys, then leaves like Escape.
    QTest::mouseClick(r.button(QStringLiteral("cmdsettings")), Qt::LeftButton);
    QTest::mouseClick(r.button(QStringLiteral("cmdback(1)")), Qt::LeftButton);
    QCOMPARE(setting("DSCAuto"), QStringLiteral("0"));
    QCOMPARE(setting("DSCDays"), QStringLiteral("30"));
    QVERIFY(r.find(QStringLiteral("fammain"))->isVisible());
    QCOMPARE(QApplication::focusWidget(), r.button(QStringLiteral("cmdsettings")));

    QTest::mouseClick(r.button(QStringLiteral("cmdsettings")), Qt::LeftButton);
    chkauto->click();
    QVERIFY(days->isEnabled());
    days->setText(QStringLiteral("15"));
    QTest::mouseClick(r.button(QStringLiteral("cmdback(1)")), Qt::LeftButton);
    QCOMPARE(setting("DSCAuto"), QStringLiteral("1"));
    QCOMPARE(setting("DSCDays"), QStringLiteral("15"));
    // The list filter's own day box keeps the number it opened with.
    QCOMPARE(r.find<QLineEdit>(QStringLiteral("txtdays(0)"))->text(), QStringLiteral("7"));
    QCOMPARE(r.messages(), QStringList());
}

QTEST_MAIN(TestRegisterModes)
#include "test_register_modes.moc"
