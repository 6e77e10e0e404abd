// The register window's modes: add, modify and cancel, an empty list, Escape, closing, and the
// settings frame.

#include "support/RegisterWindowHarness.h"

#include <QCheckBox>

using namespace regtest;
using namespace Qt::StringLiterals;

namespace {

// The host's main window as the register sees it: an object with an invokable "ReloadMenu".
class HostMenu : public QObject {
    Q_OBJECT
public:
    int reloads = 0;
    Q_INVOKABLE void ReloadMenu() { ++reloads; }
};

void storeTwo(RegisterWindow& r) {
    r.store({.srNo = 1,
             .name = "Asha Rao",
             .type = "Class 2",
             .from = "01/01/2025 09:00:00",
             .to = "31/12/2026 18:00:00",
             .idNo = "ID-1",
             .addrNo = "AD-1"});
    r.store({.srNo = 2,
             .name = "Bina Das",
             .type = "Class 3",
             .from = "01/06/2025 09:00:00",
             .to = "31/05/2027 18:00:00",
             .idNo = "ID-2",
             .addrNo = "AD-2"});
}

// List mode or entry mode, read off every control that EnableList sets.
void verifyMode(RegisterWindow& r, bool listMode) {
    for (const char* name : {"options(0)", "options(1)", "options(2)"})
        QCOMPARE(r.find(QLatin1String(name))->isEnabled(), listMode);
    QCOMPARE(r.find(u"txtdays(0)"_s)->isEnabled(), listMode && r.w->options[2]->isChecked());
    QCOMPARE(r.button("cmdok")->isEnabled(), listMode);
    QCOMPARE(r.w->vs->isEnabled(), listMode);
    for (const char* name : {"cmdadd", "cmdmodify", "cmddelete", "cmdsettings", "cmdimportbulk", "cmdback(0)"})
        QCOMPARE(r.button(name)->isVisible(), listMode);
    QCOMPARE(r.find(u"fammain1"_s)->isEnabled(), !listMode);
    QCOMPARE(r.button("cmdupdate")->isVisible(), !listMode);
    QCOMPARE(r.button("cmdcancel")->isVisible(), !listMode);
    QVERIFY(r.button("cmdpreview")->isEnabled()); // preview stays within reach in both modes
}

void pressEscape() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
}

} // namespace

class TestRegisterModes : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private Q_SLOTS:
    void entryThenCancel_data();
    void entryThenCancel();
    void emptyList();
    void cancellingChangesAsks_data();
    void cancellingChangesAsks();
    void escapeInListModeAsksThenClosesAndReloadsTheHostMenuOnce();
    void settingsFrameBackSavesAndEscapeDoesNot();
};

void TestRegisterModes::entryThenCancel_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("to");
    QTest::newRow("add new") << u"cmdadd"_s << 1 << u"Asha Rao"_s << u"31/12/2026 18:00:00"_s;
    QTest::newRow("modify") << u"cmdmodify"_s << 2 << u"Bina Das"_s << u"31/05/2027 18:00:00"_s;
}

// Cancel restores the current row's record and puts the focus on the button that started.
void TestRegisterModes::entryThenCancel() {
    QFETCH(QString, button);
    QFETCH(int, row);
    QFETCH(QString, name);
    QFETCH(QString, to);
    const bool adding = button == "cmdadd"_L1;
    RegisterWindow r;
    storeTwo(r);
    r.open();
    r.clickRow(row);
    verifyMode(r, true);
    QCOMPARE(r.text(0)->text(), name);

    QTest::mouseClick(r.find<QPushButton>(button), Qt::LeftButton);
    verifyMode(r, false);
    QCOMPARE(r.w->AddMode, adding);
    QCOMPARE(r.focus(), r.text(0));
    // Add New starts from empty controls; Modify goes on with the record as shown.
    QCOMPARE(r.text(0)->text(), adding ? QString() : name);
    QCOMPARE(r.combo("cbodsctype")->currentText().isEmpty(), adding);
    QCOMPARE(r.date(1)->clipText().isEmpty(), adding);
    QCOMPARE(r.text(10)->text().isEmpty(), adding); // the proof numbers too
    QCOMPARE(r.text(13)->text().isEmpty(), adding);

    QTest::keyClicks(r.text(0), u"Changed"_s);
    QCOMPARE(r.text(0)->text(), u"Changed"_s); // the whole text was selected on entry
    QTest::mouseClick(r.button("cmdcancel"), Qt::LeftButton);
    verifyMode(r, true);
    QCOMPARE(r.text(0)->text(), name);
    QCOMPARE(r.date(1)->text(), to);
    QCOMPARE(r.focus(), r.find(button));
    QCOMPARE(r.said(), QStringList());
}

void TestRegisterModes::emptyList() {
    RegisterWindow r;
    r.open();
    QCOMPARE(r.w->vs->Row(), 0);
    QVERIFY(r.text(0)->text().isEmpty());
    QCOMPARE(r.date(0)->displayText(), u"__/__/____ __:__:__"_s);
    QVERIFY(!r.button("cmdmodify")->isEnabled());
    QVERIFY(!r.button("cmddelete")->isEnabled());

    // Reached all the same, Modify and Delete ask for a row and leave the focus on the list.
    for (void (frmDscMain::*click)() : {&frmDscMain::cmdmodify_Click, &frmDscMain::cmddelete_Click}) {
        r.fx.dialogs->clear();
        (r.w->*click)();
        QCOMPARE(r.said(), QStringList{u"Select a DSC."_s});
        QCOMPARE(r.focus(), r.w->vs);
        verifyMode(r, true);
    }

    // Add then Cancel on an empty list leaves the entry controls empty.
    r.click(r.w->cmdadd);
    QTest::keyClicks(r.text(0), u"Draft"_s);
    r.click(r.w->cmdcancel);
    QVERIFY(r.text(0)->text().isEmpty());
    QVERIFY(!r.button("cmdmodify")->isEnabled());
}

void TestRegisterModes::cancellingChangesAsks_data() {
    QTest::addColumn<bool>("closing"); // the title bar's close button, else Escape
    QTest::addColumn<bool>("yes");
    QTest::newRow("Escape, yes") << false << true;
    QTest::newRow("Escape, no") << false << false;
    QTest::newRow("close, yes") << true << true;
    QTest::newRow("close, no") << true << false;
}

// Escape or the title bar's close button in entry mode asks first, No the default: No keeps the
// window and what was typed, Yes cancels (Escape) or closes the window. Escape from the preview,
// from settings and in list mode is covered with printing, the settings frame and closing.
void TestRegisterModes::cancellingChangesAsks() {
    QFETCH(bool, closing);
    QFETCH(bool, yes);
    RegisterWindow r;
    storeTwo(r);
    r.open();
    bool unloaded = false;
    QObject::connect(r.w, &frmDscMain::unloaded, [&] { unloaded = true; });
    r.click(r.w->cmdmodify);
    r.date(1)->setFocus();
    QTest::keyClicks(r.date(1), u"0101"_s);
    const QString typed = r.date(1)->text();
    yes ? r.fx.dialogs->queueYes() : r.fx.dialogs->queueNo();
    if (closing)
        QCOMPARE(r.w->close(), yes);
    else
        pressEscape();
    QCOMPARE(r.said(), QStringList{u"Do you want to Cancel the Changes?"_s});
    QCOMPARE(r.fx.dialogs->shown().back().defaultButton, kyt::Answer::No);
    QCOMPARE(unloaded, closing && yes);
    if (!yes) {
        verifyMode(r, false);
        QCOMPARE(r.date(1)->text(), typed);
        QCOMPARE(r.focus(), r.date(1));
    } else if (!closing) {
        verifyMode(r, true);
        QCOMPARE(r.date(1)->text(), u"31/12/2026 18:00:00"_s);
    }
}

void TestRegisterModes::escapeInListModeAsksThenClosesAndReloadsTheHostMenuOnce() {
    RegisterWindow r;
    storeTwo(r);
    r.open();
    auto host = std::make_shared<HostMenu>();
    r.fx.cls->MdiObj = host;
    r.fx.cls->PdfObj = std::make_shared<QObject>();
    bool unloaded = false;
    QObject::connect(r.w, &frmDscMain::unloaded, [&] { unloaded = true; });

    // Escape in list mode asks first, No the default; No keeps the window.
    r.w->vs->setFocus();
    r.fx.dialogs->queueNo();
    pressEscape();
    QCOMPARE(r.said(), QStringList{u"Do you want to Exit?"_s});
    QCOMPARE(r.fx.dialogs->shown().back().defaultButton, kyt::Answer::No);
    QVERIFY(r.w->isVisible());
    verifyMode(r, true);
    QCOMPARE(host->reloads, 0);

    r.fx.dialogs->queueYes();
    pressEscape();
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
    r.fx.cls->SaveSettingINI(u"Settings"_s, u"DSCAuto"_s, u"1"_s);
    r.fx.cls->SaveSettingINI(u"Settings"_s, u"DSCDays"_s, u"7"_s);
    r.open();
    auto* chkauto = r.find<QCheckBox>(u"chkauto"_s);
    auto* days = r.find<QLineEdit>(u"txtdays(1)"_s);
    QWidget* famsett = r.find(u"famsett"_s);
    QWidget* fammain = r.find(u"fammain"_s);
    const auto settings = [&] {
        return QStringList{r.fx.cls->GetSettingINI(u"Settings"_s, u"DSCAuto"_s, u"missing"_s),
                           r.fx.cls->GetSettingINI(u"Settings"_s, u"DSCDays"_s, u"missing"_s)};
    };

    QTest::mouseClick(r.button("cmdsettings"), Qt::LeftButton);
    QVERIFY(famsett->isVisible());
    QVERIFY(!fammain->isVisible());
    QCOMPARE(r.focus(), chkauto);
    QCOMPARE(chkauto->text(), u"Automatically Check for Certificates expiring with in"_s);
    QVERIFY(chkauto->isChecked());
    QCOMPARE(days->text(), u"7"_s);

    // Escape leaves the frame and keeps the file as it was.
    days->setText(u"30"_s);
    chkauto->click();
    QVERIFY(!days->isEnabled());
    pressEscape();
    QVERIFY(!famsett->isVisible());
    QVERIFY(fammain->isVisible());
    QCOMPARE(r.focus(), r.button("cmdsettings"));
    QCOMPARE(settings(), (QStringList{u"1"_s, u"7"_s}));

    // Back writes both keys, then leaves like Escape.
    QTest::mouseClick(r.button("cmdsettings"), Qt::LeftButton);
    QTest::mouseClick(r.button("cmdback(1)"), Qt::LeftButton);
    QCOMPARE(settings(), (QStringList{u"0"_s, u"30"_s}));
    QVERIFY(fammain->isVisible());
    QCOMPARE(r.focus(), r.button("cmdsettings"));

    // The list filter's own day box keeps the number it opened with.
    QCOMPARE(r.find<QLineEdit>(u"txtdays(0)"_s)->text(), u"7"_s);
    QCOMPARE(r.said(), QStringList());
}

QTEST_MAIN(TestRegisterModes)
#include "test_register_modes.moc"
