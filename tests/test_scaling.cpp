// The register window at the host's scale factors: every control's text fits its rectangle, grid
// rows are as tall as their font, fonts are scaled once, and the window stays on the screen.

#include "bulk/frmbulkdsc.h"
#include "listing/PrintColumnGrid.h"
#include "support/RegisterWindowHarness.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QRadioButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTimer>

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

// A grid's rows and headings as tall as their fonts, its heading font scaled with its cells.
QStringList cutRows(QTableView* grid, int rows) {
    QStringList out;
    const int needed = grid->fontMetrics().height();
    for (int r = 0; r < rows; ++r)
        if (!grid->isRowHidden(r) && grid->rowHeight(r) < needed)
            out << QStringLiteral("%1 row %2: %3 < %4")
                       .arg(grid->objectName())
                       .arg(r)
                       .arg(grid->rowHeight(r))
                       .arg(needed);
    const QHeaderView* heading = grid->horizontalHeader();
    if (heading->isVisible() && (heading->height() < heading->fontMetrics().height() ||
                                 heading->font().pointSizeF() != grid->font().pointSizeF()))
        out << grid->objectName() + QStringLiteral(" heading");
    return out;
}

// To a tenth, a half to the even neighbour.
double tenth(double v) {
    return std::nearbyint(v * 10) / 10;
}

} // namespace

class TestScaling : public testsupport::DialogsCheckedTest {
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

    // The preview frame's column grid: every row as tall as its font, the bold heading row too.
    r.click(r.button("cmdpreview"));
    auto* vsP = r.find<PrintColumnGrid>(u"vsP"_s);
    QVERIFY2(clipped(r.w).isEmpty(), qPrintable(clipped(r.w).join(u"; "_s)));
    QVERIFY2(cutRows(vsP, 3).isEmpty(), qPrintable(cutRows(vsP, 3).join(u"; "_s)));
    QFont bold = vsP->font();
    bold.setBold(true);
    QVERIFY(vsP->rowHeight(0) >= QFontMetrics(bold).height());
    QVERIFY(vsP->columnWidth(0) >= QFontMetrics(bold).horizontalAdvance(vsP->TextMatrix(0, 0)));
    r.click(r.button("cmdback(2)"));

    // The wizard opens centred over the register, and each of its pages fits its text.
    QStringList wizardFaults;
    QTimer::singleShot(0, [&] {
        auto* wizard = qobject_cast<frmbulkdsc*>(QApplication::activeModalWidget());
        if (!wizard) {
            wizardFaults << u"no wizard"_s;
            return;
        }
        // Centred over the register as far as the screen lets it be.
        const QRect area = wizard->screen()->availableGeometry();
        const QRect at = wizard->frameGeometry();
        QPoint expected = r.w->frameGeometry().center() - QPoint(at.width() / 2, at.height() / 2);
        expected.setX(std::max(area.left(), std::min(expected.x(), area.right() + 1 - at.width())));
        expected.setY(std::max(area.top(), std::min(expected.y(), area.bottom() + 1 - at.height())));
        if ((at.topLeft() - expected).manhattanLength() > 4)
            wizardFaults << QStringLiteral("wizard at %1,%2, not %3,%4")
                                .arg(at.x())
                                .arg(at.y())
                                .arg(expected.x())
                                .arg(expected.y());
        wizard->vs2->setTextMatrix(wizard->vs2->addRow(), 1, u"Client"_s);
        for (QComboBox* combo : {wizard->cbodsctype, wizard->cboidproof, wizard->cboaddrproof})
            combo->setEditText(u"Class 3 Organisation"_s);
        for (QGroupBox* page : {wizard->fam1, wizard->fampg, wizard->fam2}) {
            for (QGroupBox* other : {wizard->fam1, wizard->fampg, wizard->fam2})
                other->setVisible(other == page);
            wizardFaults << clipped(wizard);
        }
        wizardFaults << cutRows(wizard->vs1, 0) << cutRows(wizard->vs2, 1);
        wizard->fam2->hide();
        wizard->fam1->show();
        wizard->close();
    });
    r.click(r.button("cmdimportbulk"));
    QVERIFY2(wizardFaults.isEmpty(), qPrintable(wizardFaults.join(u"; "_s)));

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
    QCOMPARE(area.united(r.w->frameGeometry()), area);
    QVERIFY(qAbs(r.w->frameGeometry().center().x() - area.center().x()) <= 1);
}

QTEST_MAIN(TestScaling)
#include "test_scaling.moc"
