#include "bulk/frmbulkdsc.h"

#include "bulk/MaskedTextDelegate.h"
#include "component/ClsMain.h"
#include "platform/WindowKit.h"
#include "store/BulkReader.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QVBoxLayout>

using kyt::kLightOrange;
using kyt::kLightYellow;
using kyt::makeButton;
using kyt::paint;

namespace {

QGroupBox* makePage(const char* name, QWidget* parent) {
    auto* page = new QGroupBox(parent);
    page->setObjectName(QLatin1String(name));
    return page;
}

} // namespace

frmbulkdsc::frmbulkdsc(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmbulkdsc"));
    setWindowTitle(QStringLiteral("Bulk DSC Details Import Wizard"));
    buildFileListPage();
    buildProgressPage();
    buildResultsPage();
    // The three pages lie in one place; exactly one of them is shown.
    auto* layout = new QGridLayout(this);
    for (QGroupBox* page : {fam1, fampg, fam2})
        layout->addWidget(page, 0, 0);
    showPage(fam1);
    applyColours();
    connectControls();
    // The window sees Escape before any of its controls does.
    qApp->installEventFilter(this);
    resize(820, 520);
}

frmbulkdsc::~frmbulkdsc() {
    if (qApp)
        qApp->removeEventFilter(this);
}

void frmbulkdsc::buildFileListPage() {
    fam1 = makePage("fam1", this);
    Label2 = new QLabel(QStringLiteral("Selected DSC Files"), fam1);
    Label2->setObjectName(QStringLiteral("Label2"));
    vs1 = new WizardGrid(
        {QStringLiteral("Sr. No."), QStringLiteral("File Name"), QStringLiteral("Password"), QString()}, fam1);
    vs1->setObjectName(QStringLiteral("vs1"));
    vs1->horizontalHeaderItem(bulk::kNumberColumn)->setTextAlignment(Qt::AlignCenter);
    vs1->setColumnHidden(bulk::kKindColumn, true);
    vs1->setItemDelegateForColumn(bulk::kPasswordColumn, new MaskedTextDelegate(vs1));
    // The cursor landing on a Password cell opens it (vs1_AfterRowColChange), not the view itself.
    vs1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                         QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    cmdfl = makeButton(QStringLiteral("&Open XML File"), QStringLiteral("cmdfl"), fam1);
    cmdfld = makeButton(QStringLiteral("&Search in Folder"), QStringLiteral("cmdfld"), fam1);
    cmdallcertstore =
        makeButton(QStringLiteral("&All Certificates from Store"), QStringLiteral("cmdallcertstore"), fam1);
    cmddelfl = makeButton(QStringLiteral("&Delete Row"), QStringLiteral("cmddelfl"), fam1);
    cmdclear = makeButton(QStringLiteral("&Clear List"), QStringLiteral("cmdclear"), fam1);
    chkcompass = new QCheckBox(QStringLiteral("Common Password for All Files"), fam1);
    chkcompass->setObjectName(QStringLiteral("chkcompass"));
    txtcompass = new QLineEdit(fam1);
    txtcompass->setObjectName(QStringLiteral("txtcompass"));
    kyt::maskWithStars(txtcompass);
    cmdproceed = makeButton(QStringLiteral("&Proceed"), QStringLiteral("cmdproceed"), fam1);
    cmdexit = makeButton(QStringLiteral("E&xit"), QStringLiteral("cmdexit"), fam1);

    auto* adding = new QVBoxLayout;
    for (QPushButton* b : {cmdfl, cmdfld, cmdallcertstore, cmddelfl, cmdclear})
        adding->addWidget(b);
    adding->addStretch();
    auto* list = new QHBoxLayout;
    list->addWidget(vs1, 1);
    list->addLayout(adding);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(chkcompass);
    bottom->addWidget(txtcompass);
    bottom->addStretch();
    bottom->addWidget(cmdproceed);
    bottom->addWidget(cmdexit);
    auto* layout = new QVBoxLayout(fam1);
    layout->addWidget(Label2);
    layout->addLayout(list, 1);
    layout->addLayout(bottom);
}

void frmbulkdsc::buildProgressPage() {
    fampg = makePage("fampg", this);
    lblpb = new QLabel(fampg);
    lblpb->setObjectName(QStringLiteral("lblpb"));
    lblpb->setAlignment(Qt::AlignCenter);
    pb = new QProgressBar(fampg);
    pb->setObjectName(QStringLiteral("pb"));
    pb->setMaximum(1);
    cmdstop = makeButton(QStringLiteral("&Stop"), QStringLiteral("cmdstop"), fampg);
    auto* stop = new QHBoxLayout;
    stop->addStretch();
    stop->addWidget(cmdstop);
    stop->addStretch();
    auto* layout = new QVBoxLayout(fampg);
    layout->addStretch();
    layout->addWidget(lblpb);
    layout->addWidget(pb);
    layout->addLayout(stop);
    layout->addStretch();
    layout->setContentsMargins(40, 20, 40, 20);
}

void frmbulkdsc::buildResultsPage() {
    fam2 = makePage("fam2", this);
    vs2 = new WizardGrid(bulk::ResultHeadings(), fam2);
    vs2->setObjectName(QStringLiteral("vs2"));
    vs2->horizontalHeaderItem(0)->setTextAlignment(Qt::AlignCenter);
    vs2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const QStringList captions = {QStringLiteral("Type of DSC"), QStringLiteral("ID Proof Type"),
                                  QStringLiteral("Address Proof Type")};
    std::array<QComboBox**, 3> combos = {&cbodsctype, &cboidproof, &cboaddrproof};
    const char* names[] = {"cbodsctype", "cboidproof", "cboaddrproof"};
    auto* choices = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        lblcap[size_t(i)] = new QLabel(captions[i], fam2);
        lblcap[size_t(i)]->setObjectName(QStringLiteral("lblcap(%1)").arg(i));
        auto* combo = new QComboBox(fam2);
        combo->setObjectName(QLatin1String(names[i]));
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        // Wide enough for a typical type name at the box's own font, whatever its scale.
        combo->setMinimumContentsLength(18);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        *combos[size_t(i)] = combo;
        choices->addWidget(lblcap[size_t(i)], 0, i);
        choices->addWidget(combo, 1, i);
    }
    chkcarryover = new QCheckBox(QStringLiteral("Carry over details of renewed certificates"), fam2);
    chkcarryover->setObjectName(QStringLiteral("chkcarryover"));
    chkcarryover->setBackgroundRole(QPalette::Window);
    choices->addWidget(chkcarryover, 2, 0, 1, 3);
    choices->setColumnStretch(3, 1);
    cmdconvert = makeButton(QStringLiteral("&Import"), QStringLiteral("cmdconvert"), fam2);
    cmdback = makeButton(QStringLiteral("<< &Back"), QStringLiteral("cmdback"), fam2);
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(choices, 1);
    bottom->addWidget(cmdconvert, 0, Qt::AlignBottom);
    bottom->addWidget(cmdback, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(fam2);
    layout->addWidget(vs2, 1);
    layout->addLayout(bottom);
}

void frmbulkdsc::applyColours() {
    paint(this, QPalette::Window, kLightYellow);
    for (QGroupBox* page : {fam1, fampg, fam2})
        paint(page, QPalette::Window, kLightYellow);
    chkcompass->setBackgroundRole(QPalette::Window);
    for (QPushButton* b : findChildren<QPushButton*>())
        paint(b, QPalette::Button, kLightOrange);
}

void frmbulkdsc::connectControls() {
    connect(cmdfl, &QPushButton::clicked, this, &frmbulkdsc::cmdfl_Click);
    connect(cmdfld, &QPushButton::clicked, this, &frmbulkdsc::cmdfld_Click);
    connect(cmdallcertstore, &QPushButton::clicked, this, &frmbulkdsc::cmdallcertstore_Click);
    connect(cmddelfl, &QPushButton::clicked, this, &frmbulkdsc::cmddelfl_Click);
    connect(cmdclear, &QPushButton::clicked, this, &frmbulkdsc::cmdclear_Click);
    connect(chkcompass, &QCheckBox::toggled, this, &frmbulkdsc::chkcompass_Click);
    // Ticked by the user, the common password is what is typed next.
    connect(chkcompass, &QCheckBox::clicked, this, [this](bool checked) {
        if (checked)
            txtcompass->setFocus();
    });
    connect(cmdproceed, &QPushButton::clicked, this, &frmbulkdsc::cmdproceed_Click);
    connect(cmdexit, &QPushButton::clicked, this, &frmbulkdsc::cmdexit_Click);
    connect(cmdstop, &QPushButton::clicked, this, &frmbulkdsc::cmdstop_Click);
    connect(cmdconvert, &QPushButton::clicked, this, &frmbulkdsc::cmdconvert_Click);
    connect(cmdback, &QPushButton::clicked, this, &frmbulkdsc::cmdback_Click);
    vs1->beforeEdit = [this](int row, int column) {
        bool cancel = false;
        vs1_BeforeEdit(row, column, cancel);
        return !cancel;
    };
    connect(vs1, &WizardGrid::afterRowColChange, this, &frmbulkdsc::vs1_AfterRowColChange);
}

void frmbulkdsc::InitData(const std::shared_ptr<ClsMain>& clsObj) {
    ClsObj = clsObj;
    ClsObj->Resize_For_Resolution(this, false);
    vs1->autoFitColumns();
    chkcompass_Click();
}

void frmbulkdsc::showPage(QGroupBox* page) {
    for (QGroupBox* p : {fam1, fampg, fam2})
        if (p != page)
            p->setVisible(false);
    page->setVisible(true);
}

void frmbulkdsc::cmdexit_Click() {
    int ascii = 27;
    Form_KeyPress(ascii);
}

void frmbulkdsc::cmdback_Click() {
    int ascii = 27;
    Form_KeyPress(ascii);
}

void frmbulkdsc::cmdstop_Click() {
    int ascii = 27;
    Form_KeyPress(ascii);
}

void frmbulkdsc::Form_KeyPress(int& KeyAscii) {
    if (KeyAscii != 27)
        return;
    KeyAscii = 0;
    if (!fampg->isHidden()) {
        const QString flag = Tag(fampg);
        if (flag == QLatin1String("1"))
            setTag(fampg, QStringLiteral("A"));
        else if (flag == QLatin1String("2"))
            setTag(fampg, QStringLiteral("B"));
    } else if (!fam2->isHidden()) {
        showPage(fam1);
        cmdproceed->setFocus();
    } else if (!fam1->isHidden()) {
        close();
    }
}

void frmbulkdsc::Form_Unload() {
    // A window closed while a loop runs asks that loop to stop; the loop ends before its next entry.
    int ascii = 27;
    if (!fampg->isHidden())
        Form_KeyPress(ascii);
}

void frmbulkdsc::closeEvent(QCloseEvent* event) {
    Form_Unload();
    QDialog::closeEvent(event);
    event->accept();
}

// Enter in a combo box sends a Tab, which moves on to the next control; the Enter itself still
// reaches the combo box.
void frmbulkdsc::cbodsctype_KeyPress(int& KeyAscii) {
    if (KeyAscii != 13)
        return;
    if (QWidget* focus = QApplication::focusWidget())
        QCoreApplication::postEvent(focus, new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
}

void frmbulkdsc::cboidproof_KeyPress(int& KeyAscii) {
    cbodsctype_KeyPress(KeyAscii);
}

void frmbulkdsc::cboaddrproof_KeyPress(int& KeyAscii) {
    cbodsctype_KeyPress(KeyAscii);
}

bool frmbulkdsc::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    if (!kyt::isWindowControl(this, watched))
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape) {
        int ascii = 27;
        Form_KeyPress(ascii);
        return true;
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        int ascii = 13;
        if (watched == cbodsctype || watched == cbodsctype->lineEdit())
            cbodsctype_KeyPress(ascii);
        else if (watched == cboidproof || watched == cboidproof->lineEdit())
            cboidproof_KeyPress(ascii);
        else if (watched == cboaddrproof || watched == cboaddrproof->lineEdit())
            cboaddrproof_KeyPress(ascii);
    }
    return false;
}

void frmbulkdsc::startRun(int total, const QString& flag) {
    lblpb->setText(QString());
    pb->setMaximum(std::max(total, 1));
    pb->setValue(0);
    setTag(fampg, flag);
    showPage(fampg);
    cmdstop->setFocus();
}

bool frmbulkdsc::runStep(int step, const QString& text, const QString& flag) {
    if (Tag(fampg) != flag)
        return false;
    pb->setValue(step);
    lblpb->setText(text + QStringLiteral(" (%1 of %2)").arg(pb->value()).arg(pb->maximum()));
    QCoreApplication::processEvents();
    return true;
}
