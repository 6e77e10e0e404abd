// The register window at the host's scale factors: every control's text fits its rectangle, grid
// rows are as tall as their font, fonts are scaled once, and the window stays on the screen.

#include "support/RegisterWindowHarness.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QRadioButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>

using namespace regtest;
using namespace Qt::StringLiterals;

namespace {

QString plain(QString caption) {
    return caption.remove(QLatin1Char('&'));
}

// Where a control draws its text, as its style lays it out.
QRect textArea(QWidget* w) {
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const auto element = qobject_cast<QRadioButton*>(w) ? QStyle::SE_RadioButtonContents
                             : qobject_cast<QCheckBox*>(w)  ? QStyle::SE_CheckBoxContents
                                                            : QStyle::SE_PushButtonContents;
        return w->style()->subElementRect(element, &option, w);
    }
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        return w->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, w);
    }
    if (auto* box = qobject_cast<QLineEdit*>(w))
        return box->contentsRect().marginsRemoved(box->textMargins()).adjusted(2, 0, -2, 0);
    return w->contentsRect();
}

QString shownText(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return plain(button->text());
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return combo->currentText();
    if (auto* box = qobject_cast<QLineEdit*>(w))
        return box->displayText();
    return {};
}

// Every visible label, button, option, check box, text box, date box and list of the window.
QStringList clipped(QWidget* window) {
    QStringList out;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || w->objectName().isEmpty() ||
            !(qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
              qobject_cast<QComboBox*>(w)))
            continue;
        const QFontMetrics fm = w->fontMetrics();
        const QRect area = textArea(w);
        const QString text = shownText(w);
        if (fm.horizontalAdvance(text) > area.width() || fm.height() > area.height())
            out << QStringLiteral("%1 \"%2\": %3x%4 in %5x%6")
                       .arg(w->objectName(), text)
                       .arg(fm.horizontalAdvance(text))
                       .arg(fm.height())
                       .arg(area.width())
                       .arg(area.height());
    }
    return out;
}

// To a tenth, a half to the even neighbour.
double tenth(double v) {
    return std::nearbyint(v * 10) / 10;
}

} // namespace

class TestScaling : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void textFitsAtEveryFactor_data();
    void textFitsAtEveryFactor();
};

void TestScaling::textFitsAtEveryFactor_data() {
    QTest::addColumn<float>("sizes");
    QTest::addColumn<float>("font");
    for (const float f : {0.8f, 1.0f, 1.25f, 1.5f, 2.0f})
        QTest::addRow("all %.2f", double(f)) << f << f;
    QTest::newRow("font alone 1.3") << 1.0f << 1.3f;
}

void TestScaling::textFitsAtEveryFactor() {
    QFETCH(float, sizes);
    QFETCH(float, font);
    RegisterWindow r;
    r.store({.srNo = 1,
             .name = "Asha Verma",
             .type = "Class 3 Individual",
             .serial = "8F01A2B3C4",
             .authority = "Test Signing CA 2014",
             .email = "asha@example.in",
             .mobile = "9876543210",
             .idType = "PAN Card",
             .idNo = "ABCDE1234F",
             .idFile = "pan.pdf"});
    r.fx.cls->ScreenRatX = r.fx.cls->ScreenRatY = sizes;
    r.fx.cls->ScreenRatFS = font;
    r.open();

    // Scaled once from its own size, whether set on the control or taken from its frame.
    const double base = QApplication::font().pointSizeF();
    const double expected = font == 1.0f ? base : tenth(base * font);
    QCOMPARE(r.find(u"lblcap(0)"_s)->font().pointSizeF(), expected);
    QCOMPARE(r.text(0)->font().pointSizeF(), expected);
    if (font != 1.0f)
        QCOMPARE(r.find(u"options(0)"_s)->font().pointSizeF(), tenth(base * font) * 0.98);

    QVERIFY2(clipped(r.w).isEmpty(), qPrintable(clipped(r.w).join(u"; "_s)));
    r.button("cmdsettings")->click();
    QVERIFY2(clipped(r.w).isEmpty(), qPrintable(clipped(r.w).join(u"; "_s)));
    r.button("cmdback(1)")->click();

    const QHeaderView* heading = r.w->vs->horizontalHeader();
    const QFontMetrics headingFont = heading->fontMetrics();
    for (int column = 0; column < r.w->vs->Cols(); ++column)
        if (!heading->isSectionHidden(column))
            QVERIFY2(heading->sectionSize(column) >= headingFont.horizontalAdvance(r.w->vs->TextMatrix(0, column)),
                     qPrintable(r.w->vs->TextMatrix(0, column)));
    QVERIFY(heading->height() >= headingFont.height());
    QVERIFY(r.w->vs->rowHeight(0) >= r.w->vs->fontMetrics().height());

    // Placed in the middle of the screen, never larger than its free area.
    const QRect area = r.w->screen()->availableGeometry();
    QVERIFY2(area.contains(r.w->frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                 .arg(r.w->frameGeometry().x())
                                                                 .arg(r.w->frameGeometry().y())
                                                                 .arg(r.w->frameGeometry().width())
                                                                 .arg(r.w->frameGeometry().height())));
    QVERIFY(qAbs(r.w->frameGeometry().center().x() - area.center().x()) <= 1);
}

QTEST_MAIN(TestScaling)
#include "test_scaling.moc"
