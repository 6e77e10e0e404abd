// The entry controls: the checks on leaving a date box and the e-mail box, Enter moving on like Tab,
// focus colours and selection, and text kept exactly as typed.

#include "support/RegisterWindowHarness.h"

using namespace regtest;
using namespace Qt::StringLiterals;

namespace {
const QColor kFocusOrange(255, 224, 192);
const QString kInvalidDate = u"Invalid Date."_s;
const QString kInvalidEmail = u"Invalid E-mail Address."_s;

// A window in entry mode for a new record, the focus in the certificate name.
void startAdding(RegisterWindow& r) {
    r.open();
    QTest::mouseClick(r.button("cmdadd"), Qt::LeftButton);
    QCOMPARE(r.focus(), r.text(0));
}

QColor background(QWidget* w) {
    return w->palette().color(QPalette::Base);
}

// Types any text, also letters beyond ASCII, as key presses carrying the characters.
void typeText(QWidget* w, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }
}
} // namespace

class TestRegisterEntry : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private Q_SLOTS:
    void leavingACheckedBox_data();
    void leavingACheckedBox();
    void refusedValueHoldsTheFocusAgainstClicks();
    void cancelAndEscapeWorkWhileAValueIsRefused();
    void enterMovesOnLikeTab_data();
    void enterMovesOnLikeTab();
    void focusColoursAndWholeTextSelection();
    void textIsKeptAsTyped();
};

void TestRegisterEntry::leavingACheckedBox_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed"); // for a date box, digits only: the mask supplies the literals
    QTest::addColumn<bool>("accepted");
    const auto date = [](const char* tag, const char* typed, bool accepted) {
        QTest::newRow(tag) << u"txtdts(0)"_s << QString::fromLatin1(typed) << accepted;
    };
    date("29 Feb in a leap year", "29022024120000", true);
    date("last second of a day", "31122026235959", true);
    date("empty date", "", true);
    date("29 Feb in a common year", "29022025120000", false);
    date("31 Feb", "31022026000000", false);
    date("hour 24", "01012026240000", false);
    date("minute 60", "01012026126000", false);
    date("month 13", "01132026120000", false);
    date("day and month only", "1203", false);
    date("seconds missing", "010120261200", false);
    const auto email = [](const char* tag, const char* typed, bool accepted) {
        QTest::newRow(tag) << u"txtfields(6)"_s << QString::fromLatin1(typed) << accepted;
    };
    email("plain address", "ravi@example.in", true);
    email("empty address", "", true);
    email("no @", "ravi.example.in", false);
    email("no point after @", "ravi@example", false);
    email("point right after @", "ravi@.in", false);
    email("nothing before @", "@example.in", true);
    email("point only before @", "ravi.k@example", false);
    email("point at the end", "ravi@example.", true);
}

// A refused value keeps the focus with its message; emptying the box lets the focus go.
void TestRegisterEntry::leavingACheckedBox() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    RegisterWindow r;
    startAdding(r);
    const bool isDate = box.startsWith("txtdts"_L1);
    auto* edit = r.find<QLineEdit>(box);
    QWidget* next = isDate ? static_cast<QWidget*>(r.date(1)) : r.text(7);
    edit->setFocus();
    QTest::keyClicks(edit, isDate ? typed + u"ab-"_s : typed); // a date box takes no letters or signs
    if (isDate)
        QCOMPARE(r.date(0)->clipText(), typed);

    QTest::keyClick(edit, Qt::Key_Tab);
    if (accepted) {
        QCOMPARE(r.said(), QStringList());
        QCOMPARE(r.focus(), next);
        return;
    }
    QCOMPARE(r.said(), QStringList{isDate ? kInvalidDate : kInvalidEmail});
    QCOMPARE(r.focus(), edit);
    if (!isDate)
        QCOMPARE(edit->text(), typed); // refused, not changed
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClick(edit, Qt::Key_Tab);
    QCOMPARE(r.focus(), next);
    QCOMPARE(r.said().size(), 1);
}

void TestRegisterEntry::refusedValueHoldsTheFocusAgainstClicks() {
    RegisterWindow r;
    startAdding(r);
    r.text(6)->setFocus();
    QTest::keyClicks(r.text(6), u"nobody"_s);
    QTest::mouseClick(r.text(8), Qt::LeftButton);
    QCOMPARE(r.focus(), r.text(6));
    QCOMPARE(r.said(), QStringList{kInvalidEmail});

    // A click on a button while the value is refused does not press it: no save is attempted.
    r.fx.dialogs->clear();
    QTest::mouseClick(r.w->cmdupdate, Qt::LeftButton);
    QCOMPARE(r.said(), QStringList{kInvalidEmail});
    QCOMPARE(r.focus(), r.text(6));
}

void TestRegisterEntry::cancelAndEscapeWorkWhileAValueIsRefused() {
    RegisterWindow r;
    r.store({.srNo = 1, .name = "Kept", .from = "01/01/2025 00:00:00", .to = "01/01/2027 00:00:00"});
    r.open();
    r.click(r.w->cmdmodify);
    r.date(1)->setFocus();
    QTest::keyClicks(r.date(1), u"3102"_s);
    QTest::keyClick(r.date(1), Qt::Key_Tab);
    QCOMPARE(r.said(), QStringList{kInvalidDate});

    // Cancel takes the focus without a check and brings the record back.
    QTest::mouseClick(r.button("cmdcancel"), Qt::LeftButton);
    QCOMPARE(r.said().size(), 1);
    QVERIFY(r.w->vs->isEnabled());
    QCOMPARE(r.date(1)->text(), u"01/01/2027 00:00:00"_s);

    // Escape answered Yes asks its question only.
    r.click(r.w->cmdmodify);
    r.text(6)->setFocus();
    QTest::keyClicks(r.text(6), u"not-an-address"_s);
    QTest::keyClick(r.text(6), Qt::Key_Tab);
    QCOMPARE(r.said().last(), kInvalidEmail);
    r.fx.dialogs->queueYes();
    QTest::keyClick(r.text(6), Qt::Key_Escape);
    QCOMPARE(r.said().mid(2), QStringList{u"Do you want to Cancel the Changes?"_s});
    QVERIFY(r.w->vs->isEnabled());
    QVERIFY(r.text(6)->text().isEmpty());
    QCOMPARE(r.focus(), r.button("cmdmodify"));
}

void TestRegisterEntry::enterMovesOnLikeTab_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    for (const auto& [from, to] : {std::pair{"txtfields(0)", "cmdcert(0)"},
                                   {"cbodsctype", "txtfields(2)"},
                                   {"txtfields(3)", "txtdts(0)"},
                                   {"txtdts(0)", "txtdts(1)"},
                                   {"txtfields(8)", "cboidproof"},
                                   {"cboidproof", "txtfields(10)"},
                                   {"cboaddrproof", "txtfields(13)"}})
        QTest::newRow(from) << QString::fromLatin1(from) << QString::fromLatin1(to);
}

void TestRegisterEntry::enterMovesOnLikeTab() {
    QFETCH(QString, from);
    QFETCH(QString, to);
    RegisterWindow r;
    startAdding(r);
    QWidget* start = r.find(from);
    for (const auto& [key, modifier] :
         {std::pair{Qt::Key_Return, Qt::NoModifier}, std::pair{Qt::Key_Enter, Qt::KeypadModifier}}) {
        start->setFocus();
        QCOMPARE(r.focus(), start);
        QTest::keyClick(r.focus(), key, modifier);
        QCOMPARE(r.focus(), r.find(to));
    }
    QCOMPARE(r.said(), QStringList());
}

// The control with the focus is light orange and has all its text selected, a date box its literals
// included, although tabbing into a masked box would put the cursor on its first prompt.
void TestRegisterEntry::focusColoursAndWholeTextSelection() {
    RegisterWindow r;
    r.store({.srNo = 1, .name = "Lata", .authority = "Test CA", .from = "05/04/2025 08:30:00"});
    r.open();
    r.click(r.w->cmdmodify);
    QLineEdit* authority = r.text(3);
    MaskedDateBox* from = r.date(0);
    r.text(2)->setFocus();
    QCOMPARE(background(authority), QColor(Qt::white));

    QTest::keyClick(r.text(2), Qt::Key_Tab);
    QCOMPARE(r.focus(), authority);
    QCOMPARE(background(authority), kFocusOrange);
    QCOMPARE(background(r.text(2)), QColor(Qt::white));
    QCOMPARE(authority->selectedText(), u"Test CA"_s);

    QTest::keyClick(authority, Qt::Key_Tab);
    QCOMPARE(r.focus(), from);
    QCOMPARE(background(from), kFocusOrange);
    QCOMPARE(background(authority), QColor(Qt::white));
    QCOMPARE(from->selectedText(), u"05/04/2025 08:30:00"_s);
    QTest::keyClicks(from, u"07052025083000"_s);
    QTest::keyClick(from, Qt::Key_Backtab);
    QCOMPARE(r.focus(), authority);
    QCOMPARE(background(from), QColor(Qt::white));
    QCOMPARE(from->text(), u"07/05/2025 08:30:00"_s); // typing replaced the selection
}

void TestRegisterEntry::textIsKeptAsTyped() {
    RegisterWindow r;
    startAdding(r);
    const QString odd = u"O'Brien \"HUF\" C:\\certs\\ Śrīnivāsan Ærø 日本 ''"_s;
    typeText(r.text(0), odd);
    QCOMPARE(r.text(0)->text(), odd);

    const QString longText(40000, u'x');
    r.text(3)->setFocus();
    r.text(3)->insert(longText);
    QCOMPARE(r.text(3)->text(), longText);

    // A typed type that differs from an entry only in letter case stays as typed after leaving.
    QComboBox* idProof = r.combo("cboidproof");
    idProof->setFocus();
    QTest::keyClicks(idProof, u"pan card"_s);
    QTest::keyClick(idProof, Qt::Key_Tab);
    QTest::keyClick(r.focus(), Qt::Key_Backtab);
    QCOMPARE(idProof->currentText(), u"pan card"_s);
    QComboBox* type = r.combo("cbodsctype");
    type->setFocus();
    typeText(type, odd);
    QTest::keyClick(type, Qt::Key_Return);
    QCOMPARE(type->currentText(), odd);
    QCOMPARE(r.said(), QStringList());
}

QTEST_MAIN(TestRegisterEntry)
#include "test_register_entry.moc"
