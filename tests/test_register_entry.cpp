// The entry controls: the checks on leaving a date box and the e-mail box, Enter moving on like Tab,
// focus colours and selection, and text kept exactly as typed.

#include "test_register_window.h"

using regtest::RegisterWindow;

namespace {
const QColor kFocusOrange(255, 224, 192);

// A window in entry mode for a new record, the focus in the certificate name.
void startAdding(RegisterWindow& r) {
    r.open();
    QTest::mouseClick(r.button(QStringLiteral("cmdadd")), Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), r.text(0));
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

class TestRegisterEntry : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void leavingDateBox_data();
    void leavingDateBox();
    void leavingEmailBox_data();
    void leavingEmailBox();
    void clickingAwayFromARefusedValue();
    void cancelAndEscapeWorkWhileAValueIsRefused();
    void enterMovesOnLikeTab_data();
    void enterMovesOnLikeTab();
    void focusColoursAndWholeTextSelection();
    void textIsKeptAsTyped();
};

void TestRegisterEntry::leavingDateBox_data() {
    QTest::addColumn<QString>("typed"); // digits only: the mask supplies the literals
    QTest::addColumn<bool>("accepted");
    QTest::newRow("29 Feb in a leap year") << "29022024120000" << true;
    QTest::newRow("last second of a day") << "31122026235959" << true;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("29 Feb in a common year") << "29022025120000" << false;
    QTest::newRow("31 Feb") << "31022026000000" << false;
    QTest::newRow("hour 24") << "01012026240000" << false;
    QTest::newRow("minute 60") << "01012026126000" << false;
    QTest::newRow("month 13") << "01132026120000" << false;
    QTest::newRow("day and month only") << "1203" << false;
    QTest::newRow("seconds missing") << "010120261200" << false;
}

void TestRegisterEntry::leavingDateBox() {
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    RegisterWindow r;
    startAdding(r);
    MaskedDateBox* from = r.date(0);
    from->setFocus();
    QTest::keyClicks(from, typed + QStringLiteral("ab-")); // letters and signs are not taken
    QCOMPARE(from->clipText(), typed);

    QTest::keyClick(from, Qt::Key_Tab);
    if (accepted) {
        QCOMPARE(r.messages(), QStringList());
        QCOMPARE(QApplication::focusWidget(), r.date(1));
    } else {
        QCOMPARE(r.messages(), QStringList{QStringLiteral("Invalid Date.")});
        QCOMPARE(QApplication::focusWidget(), from);
        // Emptying the box lets the focus go.
        from->selectAll();
        QTest::keyClick(from, Qt::Key_Delete);
        QTest::keyClick(from, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), r.date(1));
        QCOMPARE(r.messages().size(), 1);
    }
}

void TestRegisterEntry::leavingEmailBox_data() {
    QTest::addColumn<QString>("email");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("plain address") << "ravi@example.in" << true;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("no @") << "ravi.example.in" << false;
    QTest::newRow("no point after @") << "ravi@example" << false;
    QTest::newRow("point right after @") << "ravi@.in" << false;
}

void TestRegisterEntry::leavingEmailBox() {
    QFETCH(QString, email);
    QFETCH(bool, accepted);
    RegisterWindow r;
    startAdding(r);
    QLineEdit* box = r.text(6);
    box->setFocus();
    QTest::keyClicks(box, email);
    QTest::keyClick(box, Qt::Key_Tab);
    if (accepted) {
        QCOMPARE(r.messages(), QStringList());
        QCOMPARE(QApplication::focusWidget(), r.text(7));
    } else {
        QCOMPARE(r.messages(), QStringList{QStringLiteral("Invalid E-mail Address.")});
        QCOMPARE(QApplication::focusWidget(), box);
        QCOMPARE(box->text(), email); // refused, not changed
    }
}

void TestRegisterEntry::clickingAwayFromARefusedValue() {
    RegisterWindow r;
    startAdding(r);
    r.text(6)->setFocus();
    QTest::keyClicks(r.text(6), QStringLiteral("nobody"));
    QTest::mouseClick(r.text(8), Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), r.text(6));
    QCOMPARE(r.messages().value(0), QStringLiteral("Invalid E-mail Address."));
    QCOMPARE(r.messages().size(), 1);

    // A click on a button while the value is refused does not press it: no save is attempted.
    r.fx.dialogs->clear();
    QTest::mouseClick(r.w->cmdupdate, Qt::LeftButton);
    QCOMPARE(r.messages(), QStringList{QStringLiteral("Invalid E-mail Address.")});
    QCOMPARE(QApplication::focusWidget(), r.text(6));

    r.fx.dialogs->clear();
    r.text(6)->clear();
    r.date(0)->setFocus();
    QCOMPARE(QApplication::focusWidget(), r.date(0));
    QTest::keyClicks(r.date(0), QStringLiteral("31"));
    QTest::mouseClick(r.text(3), Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), r.date(0));
    QCOMPARE(r.messages().value(0), QStringLiteral("Invalid Date."));
}

void TestRegisterEntry::cancelAndEscapeWorkWhileAValueIsRefused() {
    RegisterWindow r;
    r.insert(1, {QStringLiteral("Kept"), QString(), QStringLiteral("01/01/2025 00:00:00"),
                 QStringLiteral("01/01/2027 00:00:00")});
    r.open();
    r.w->cmdmodify_Click();
    r.date(1)->setFocus();
    QTest::keyClicks(r.date(1), QStringLiteral("3102"));
    QTest::keyClick(r.date(1), Qt::Key_Tab);
    QCOMPARE(r.messages(), QStringList{QStringLiteral("Invalid Date.")});

    // Cancel takes the focus without a check and brings the record back.
    QTest::mouseClick(r.button(QStringLiteral("cmdcancel")), Qt::LeftButton);
    QCOMPARE(r.messages().size(), 1);
    QVERIFY(r.find(QStringLiteral("vs"))->isEnabled());
    QCOMPARE(r.date(1)->text(), QStringLiteral("01/01/2027 00:00:00"));

    // Escape answered Yes asks its question only.
    r.w->cmdmodify_Click();
    r.text(6)->setFocus();
    QTest::keyClicks(r.text(6), QStringLiteral("not-an-address"));
    QTest::keyClick(r.text(6), Qt::Key_Tab);
    QCOMPARE(r.messages().last(), QStringLiteral("Invalid E-mail Address."));
    r.fx.dialogs->queueYes();
    QTest::keyClick(r.text(6), Qt::Key_Escape);
    QCOMPARE(r.messages().last(), QStringLiteral("Do you want to Cancel the Changes?"));
    QCOMPARE(r.messages().size(), 3);
    QVERIFY(r.find(QStringLiteral("vs"))->isEnabled());
    QVERIFY(r.text(6)->text().isEmpty());
    QCOMPARE(QApplication::focusWidget(), r.button(QStringLiteral("cmdmodify")));
    QCOMPARE(r.fx.dialogs->unexpected(), 0);
}

void TestRegisterEntry::enterMovesOnLikeTab_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("name") << "txtfields(0)"
                          << "cmdcert(0)";
    QTest::newRow("type of DSC") << "cbodsctype"
                                 << "txtfields(2)";
    QTest::newRow("issuing authority") << "txtfields(3)"
                                       << "txtdts(0)";
    QTest::newRow("date from") << "txtdts(0)"
                               << "txtdts(1)";
    QTest::newRow("tel. no.") << "txtfields(8)"
                              << "cboidproof";
    QTest::newRow("ID proof type") << "cboidproof"
                                   << "txtfields(10)";
    QTest::newRow("address proof type") << "cboaddrproof"
                                        << "txtfields(13)";
}

void TestRegisterEntry::enterMovesOnLikeTab() {
    QFETCH(QString, from);
    QFETCH(QString, to);
    RegisterWindow r;
    startAdding(r);
    QWidget* start = r.find(from);
    start->setFocus();
    QCOMPARE(QApplication::focusWidget(), start);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), r.find(to));
    start->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(QApplication::focusWidget(), r.find(to));
    QCOMPARE(r.messages(), QStringList());
}

void TestRegisterEntry::focusColoursAndWholeTextSelection() {
    RegisterWindow r;
    r.insert(1, {QStringLiteral("Lata"), QStringLiteral("Class 3"), QStringLiteral("05/04/2025 08:30:00"),
                 QStringLiteral("04/04/2027 08:30:00")});
    r.open();
    r.w->cmdmodify_Click();
    QLineEdit* serial = r.text(2);
    QLineEdit* authority = r.text(3);
    MaskedDateBox* from = r.date(0);
    QCOMPARE(background(authority), QColor(Qt::white));

    serial->setFocus();
    QTest::keyClick(serial, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), authority);
    QCOMPARE(background(authority), kFocusOrange);
    QCOMPARE(background(serial), QColor(Qt::white));
    QCOMPARE(authority->selectedText(), QStringLiteral("Test CA"));

    // A date box selects all of it, literals included, although tabbing into a masked box puts the
    // cursor on its first prompt.
    QTest::keyClick(authority, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), from);
    QCOMPARE(background(from), kFocusOrange);
    QCOMPARE(background(authority), QColor(Qt::white));
    QCOMPARE(from->selectedText(), QStringLiteral("05/04/2025 08:30:00"));
    QTest::keyClicks(from, QStringLiteral("07"));
    QCOMPARE(from->displayText(), QStringLiteral("07/__/____ __:__:__"));

    QTest::keyClick(from, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), from); // "07" alone is no date
    from->setSelection(0, 19);
    QTest::keyClicks(from, QStringLiteral("07052025083000"));
    QTest::keyClick(from, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), authority);
    QCOMPARE(background(from), QColor(Qt::white));
    QTest::keyClicks(authority, QStringLiteral("New CA"));
    QCOMPARE(authority->text(), QStringLiteral("New CA")); // typing replaced the selection
}

void TestRegisterEntry::textIsKeptAsTyped() {
    RegisterWindow r;
    startAdding(r);
    const QString odd = QStringLiteral("O'Brien \"HUF\" C:\\certs\\ Śrīnivāsan Ærø 日本 ''");
    typeText(r.text(0), odd);
    QCOMPARE(r.text(0)->text(), odd);

    const QString longText(40000, QLatin1Char('x'));
    r.text(3)->setFocus();
    r.text(3)->insert(longText);
    QCOMPARE(r.text(3)->text(), longText);

    // A typed type that differs from an entry only in letter case stays as typed after leaving.
    QComboBox* idProof = r.combo("cboidproof");
    idProof->setFocus();
    QTest::keyClicks(idProof, QStringLiteral("pan card"));
    QTest::keyClick(idProof, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(idProof->currentText(), QStringLiteral("pan card"));
    QComboBox* type = r.combo("cbodsctype");
    type->setFocus();
    typeText(type, odd);
    QTest::keyClick(type, Qt::Key_Return);
    QCOMPARE(type->currentText(), odd);
    QCOMPARE(r.messages(), QStringList());
}

QTEST_MAIN(TestRegisterEntry)
#include "test_register_entry.moc"
