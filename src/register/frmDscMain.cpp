#include "register/frmDscMain.h"

#include "component/ClsMain.h"
#include "listing/ListFindBar.h"
#include "listing/ListSummary.h"
#include "platform/MarkedTextBox.h"
#include "platform/WindowKit.h"
#include "register/MaskedDateBox.h"
#include "register/RemindersDialog.h"

#include <limits>
#include <QApplication>
#include <QCloseEvent>
#include <QCompleter>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollArea>
#include <QVBoxLayout>

using kyt::kLightCyan;
using kyt::kLightOrange;
using kyt::kLightYellow;
using kyt::makeButton;
using kyt::paint;

namespace {
// Text boxes take text of any length, as the register stores what was typed.
constexpr int kUnlimitedLength = std::numeric_limits<int>::max();
// Characters that a number or type box shows whole, whatever the window's width.
constexpr int kTypicalEntryLength = 16;

QString indexed(const char* name, int index) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

} // namespace

frmDscMain::frmDscMain(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmDscMain"));
    setWindowTitle(QStringLiteral("Digital Signature Certificate -> Manager"));
    setAttribute(Qt::WA_DeleteOnClose);

    lblhead = new QLabel(this);
    lblhead->setObjectName(QStringLiteral("lblhead"));
    lblhead->setAlignment(Qt::AlignCenter);
    QFont headFont = lblhead->font();
    headFont.setBold(true);
    headFont.setPointSizeF(headFont.pointSizeF() * 1.2);
    lblhead->setFont(headFont);

    buildListFrame();
    buildSettingsFrame();
    buildPreviewFrame();
    buildEntryFrame();

    cmdadd = makeButton(QStringLiteral("&Add New"), QStringLiteral("cmdadd"), this);
    cmdmodify = makeButton(QStringLiteral("&Modify"), QStringLiteral("cmdmodify"), this);
    cmddelete = makeButton(QStringLiteral("&Delete"), QStringLiteral("cmddelete"), this);
    cmdupdate = makeButton(QStringLiteral("&Update"), QStringLiteral("cmdupdate"), this);
    cmdcancel = makeButton(QStringLiteral("&Cancel"), QStringLiteral("cmdcancel"), this);
    cmdhistory = makeButton(QStringLiteral("History\u2026"), QStringLiteral("cmdhistory"), this);
    cmdundo = makeButton(QStringLiteral("Undo"), QStringLiteral("cmdundo"), this);
    cmdupdate->setVisible(false);
    cmdcancel->setVisible(false);

    buildLayout();
    applyColours();
    connectListSignals();

    validation_ = new kyt::FieldValidation(this);
    kyt::FieldValidation::setCausesValidation(cmdcancel, false);
    for (QPushButton* back : cmdback)
        kyt::FieldValidation::setCausesValidation(back, false);
    for (int i = 0; i < 2; ++i)
        validation_->watch(txtdays[size_t(i)], [this, i] {
            bool cancel = false;
            txtdays_Validate(i, cancel);
            return !cancel;
        });
    watchEntryFields();

    // The window sees Escape before any of its controls does.
    qApp->installEventFilter(this);
    resize(1000, 720);
    connectRecordButtons();
    connectCaptureButtons();
    connectPreviewControls();
    connectHistoryControls();
}

frmDscMain::~frmDscMain() {
    if (qApp)
        qApp->removeEventFilter(this);
}

void frmDscMain::buildListFrame() {
    fammain = new QGroupBox(this);
    fammain->setObjectName(QStringLiteral("fammain"));
    const QStringList captions = {QStringLiteral("Show All"), QStringLiteral("Certificates Expired"),
                                  QStringLiteral("Certificates to be Expired within Next")};
    for (int i = 0; i < 3; ++i) {
        options[size_t(i)] = new QRadioButton(captions[i], fammain);
        options[size_t(i)]->setObjectName(indexed("options", i));
    }
    options[0]->setChecked(true);
    txtdays[0] = new QLineEdit(fammain);
    txtdays[0]->setObjectName(indexed("txtdays", 0));
    lblcap[12] = new QLabel(QStringLiteral("Days"), fammain);
    lblcap[12]->setObjectName(indexed("lblcap", 12));
    cmdok = makeButton(QStringLiteral("&Ok"), QStringLiteral("cmdok"), fammain);
    vs = new CertGrid(fammain);
    vs->setObjectName(QStringLiteral("vs"));
    cmdpreview = makeButton(QStringLiteral("&Preview"), QStringLiteral("cmdpreview"), fammain);
    cmdsettings = makeButton(QStringLiteral("&Settings"), QStringLiteral("cmdsettings"), fammain);
    cmdimportbulk = makeButton(QStringLiteral("Import Bulk Files"), QStringLiteral("cmdimportbulk"), fammain);
    cmdreminders = RemindersDialog::makeOpenButton(this, fammain);
    cmdexport = makeButton(QStringLiteral("Export\u2026"), QStringLiteral("cmdexport"), fammain);
    cmddeleted = makeButton(QStringLiteral("Recently Deleted\u2026"), QStringLiteral("cmddeleted"), fammain);
    cmdback[0] = makeButton(QStringLiteral("&Back"), indexed("cmdback", 0), fammain);

    auto* filters = new QHBoxLayout;
    for (QRadioButton* o : options)
        filters->addWidget(o);
    filters->addWidget(txtdays[0]);
    filters->addWidget(lblcap[12]);
    filters->addWidget(cmdok);
    chktokenwith = new QCheckBox(QStringLiteral("Token With"), fammain);
    chktokenwith->setObjectName(QStringLiteral("chktokenwith"));
    filters->addWidget(chktokenwith);
    filters->addWidget(new ListCount(vs->listModel(), fammain));
    filters->addStretch();
    findBar_ = new ListFindBar(vs);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(new ListLegend(vs->listModel(), fammain));
    buttons->addStretch();
    for (QPushButton* b : {cmdpreview, cmdexport, cmdsettings, cmdreminders, cmddeleted, cmdimportbulk, cmdback[0]})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(fammain);
    layout->addLayout(filters);
    layout->addLayout(buildRenewalFilters());
    layout->addWidget(vs, 1);
    layout->addLayout(buttons);
}

void frmDscMain::buildSettingsFrame() {
    famsett = new QGroupBox(this);
    famsett->setObjectName(QStringLiteral("famsett"));
    chkauto = new QCheckBox(QStringLiteral("Automatically Check for Certificates expiring with in"), famsett);
    chkauto->setObjectName(QStringLiteral("chkauto"));
    txtdays[1] = new QLineEdit(famsett);
    txtdays[1]->setObjectName(indexed("txtdays", 1));
    lblcap[13] = new QLabel(QStringLiteral("Days"), famsett);
    lblcap[13]->setObjectName(indexed("lblcap", 13));
    cmdback[1] = makeButton(QStringLiteral("&Back"), indexed("cmdback", 1), famsett);

    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(chkauto);
    row->addWidget(txtdays[1]);
    row->addWidget(lblcap[13]);
    row->addStretch();
    cmdbackupnow = makeButton(QStringLiteral("Back up now\u2026"), QStringLiteral("cmdbackupnow"), famsett);
    auto* back = new QHBoxLayout;
    back->addWidget(cmdbackupnow);
    back->addStretch();
    back->addWidget(cmdback[1]);
    auto* layout = new QVBoxLayout(famsett);
    layout->addStretch();
    layout->addLayout(row);
    layout->addStretch();
    layout->addLayout(back);
    famsett->setVisible(false);
}

void frmDscMain::buildPreviewFrame() {
    famprev = new QGroupBox(this);
    famprev->setObjectName(QStringLiteral("famprev"));
    vsP = new PrintColumnGrid(famprev);
    vsP->setObjectName(QStringLiteral("vsP"));
    cmdsaveprev = makeButton(QStringLiteral("&Save Setup"), QStringLiteral("cmdsaveprev"), famprev);
    cmdproceed = makeButton(QStringLiteral("&Proceed"), QStringLiteral("cmdproceed"), famprev);
    cmdback[2] = makeButton(QStringLiteral("&Back"), indexed("cmdback", 2), famprev);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {cmdsaveprev, cmdproceed, cmdback[2]})
        buttons->addWidget(b);
    auto* grid = new QHBoxLayout;
    grid->addStretch();
    grid->addWidget(vsP);
    grid->addStretch();
    auto* layout = new QVBoxLayout(famprev);
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);
    famprev->setVisible(false);
}

void frmDscMain::buildEntryFrame() {
    fammain1 = new QGroupBox(this);
    fammain1->setObjectName(QStringLiteral("fammain1"));
    auto label = [this](int index, const QString& caption) {
        lblcap[size_t(index)] = new QLabel(caption, fammain1);
        lblcap[size_t(index)]->setObjectName(indexed("lblcap", index));
        return lblcap[size_t(index)];
    };
    auto text = [this](int index) {
        // The boxes hold what was typed or stored; bidirectional controls are drawn as marks.
        txtfields[size_t(index)] = new MarkedLineEdit(fammain1);
        txtfields[size_t(index)]->setObjectName(indexed("txtfields", index));
        txtfields[size_t(index)]->setMaxLength(kUnlimitedLength);
        return txtfields[size_t(index)];
    };
    auto combo = [this](const char* name) {
        auto* c = new QComboBox(fammain1);
        c->setObjectName(QLatin1String(name));
        c->setEditable(true);
        c->setLineEdit(new MarkedLineEdit(c));
        c->setItemDelegate(new MarkedItemDelegate(c));
        c->setInsertPolicy(QComboBox::NoInsert);
        c->lineEdit()->setMaxLength(kUnlimitedLength);
        // A combo box matches typed text against its entries when editing ends, by the completer's
        // case rule, and would turn "pan card" into "PAN Card". A case-sensitive completer that
        // offers nothing keeps the text exactly as typed.
        auto* completer = new QCompleter(QStringList(), c);
        completer->setCaseSensitivity(Qt::CaseSensitive);
        c->setCompleter(completer);
        return c;
    };
    for (int i = 0; i < 2; ++i) {
        txtdts[size_t(i)] = new MaskedDateBox(fammain1);
        txtdts[size_t(i)]->setObjectName(indexed("txtdts", i));
    }
    cbodsctype = combo("cbodsctype");
    cboidproof = combo("cboidproof");
    cboaddrproof = combo("cboaddrproof");
    cmdcert[0] = makeButton(QStringLiteral("Certificate (File)"), indexed("cmdcert", 0), fammain1);
    cmdcert[1] = makeButton(QStringLiteral("Certificate (Store)"), indexed("cmdcert", 1), fammain1);
    cmdIdProof = makeButton(QStringLiteral("..."), QStringLiteral("cmdIdProof"), fammain1);
    cmdIdProofC = makeButton(QStringLiteral("C"), QStringLiteral("cmdIdProofC"), fammain1);
    cmdIdProofV = makeButton(QStringLiteral("V"), QStringLiteral("cmdIdProofV"), fammain1);
    cmdAddrProof = makeButton(QStringLiteral("..."), QStringLiteral("cmdAddrProof"), fammain1);
    cmdAddrProofC = makeButton(QStringLiteral("C"), QStringLiteral("cmdAddrProofC"), fammain1);
    cmdAddrProofV = makeButton(QStringLiteral("V"), QStringLiteral("cmdAddrProofV"), fammain1);

    auto* g = new QGridLayout(fammain1);
    int r = 0;
    g->addWidget(label(0, QStringLiteral("Certificate Name")), r, 0);
    g->addWidget(text(0), r, 1, 1, 3);
    g->addWidget(cmdcert[0], r, 4);
    g->addWidget(cmdcert[1], r, 5);
    ++r;
    g->addWidget(label(1, QStringLiteral("Type of DSC")), r, 0);
    g->addWidget(cbodsctype, r, 1);
    g->addWidget(label(2, QStringLiteral("Serial No.")), r, 2);
    g->addWidget(text(2), r, 3, 1, 3);
    ++r;
    g->addWidget(label(3, QStringLiteral("Issuing Authority")), r, 0);
    g->addWidget(text(3), r, 1, 1, 5);
    ++r;
    g->addWidget(label(4, QStringLiteral("From")), r, 0);
    g->addWidget(txtdts[0], r, 1);
    g->addWidget(label(5, QStringLiteral("To")), r, 2);
    g->addWidget(txtdts[1], r, 3);
    addLastRemindedLabel(g, r, 4);
    ++r;
    g->addWidget(label(6, QStringLiteral("E-mail Id")), r, 0);
    g->addWidget(text(6), r, 1, 1, 5);
    ++r;
    g->addWidget(label(7, QStringLiteral("Mobile No.")), r, 0);
    g->addWidget(text(7), r, 1);
    g->addWidget(label(8, QStringLiteral("Tel. No.")), r, 2);
    g->addWidget(text(8), r, 3);
    buildRenewalLine(g, r);
    ++r;
    g->addWidget(label(9, QStringLiteral("ID Proof Type")), r, 0);
    g->addWidget(cboidproof, r, 1);
    g->addWidget(label(10, QStringLiteral("Proof No.")), r, 2);
    g->addWidget(text(10), r, 3);
    auto* idButtons = new QHBoxLayout;
    for (QPushButton* b : {cmdIdProof, cmdIdProofC, cmdIdProofV})
        idButtons->addWidget(b);
    g->addLayout(idButtons, r, 4, 1, 2, Qt::AlignLeft);
    ++r;
    g->addWidget(label(11, QStringLiteral("Address Proof Type")), r, 0);
    g->addWidget(cboaddrproof, r, 1);
    g->addWidget(label(14, QStringLiteral("Proof No.")), r, 2);
    g->addWidget(text(13), r, 3);
    auto* addrButtons = new QHBoxLayout;
    for (QPushButton* b : {cmdAddrProof, cmdAddrProofC, cmdAddrProofV})
        addrButtons->addWidget(b);
    g->addLayout(addrButtons, r, 4, 1, 2, Qt::AlignLeft);
    g->setColumnStretch(1, 1);
    g->setColumnStretch(3, 1);

    // Tab order follows the slots, with "Certificate (File)" after the name and the clear, view
    // and store buttons at the end.
    QList<QWidget*> order = {txtfields[0],  cmdcert[0],    cbodsctype,    txtfields[2], txtfields[3], txtdts[0],
                             txtdts[1],     txtfields[6],  txtfields[7],  txtfields[8], cboidproof,   txtfields[10],
                             cmdIdProof,    cboaddrproof,  txtfields[13], cmdAddrProof, cmdIdProofC,  cmdIdProofV,
                             cmdAddrProofC, cmdAddrProofV, cmdcert[1]};
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void frmDscMain::buildLayout() {
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    for (QPushButton* b : {cmdadd, cmdmodify, cmddelete, cmdundo, cmdupdate, cmdcancel, cmdhistory})
        bottom->addWidget(b);
    bottom->addStretch();
    // The frames lie on a page that scrolls when the window, kept within the screen, is smaller
    // than the page needs at large font sizes: controls keep room for their text.
    page_ = new QWidget;
    auto* layout = new QVBoxLayout(page_);
    layout->addWidget(lblhead);
    layout->addWidget(fammain, 3);
    layout->addWidget(famsett, 3);
    layout->addWidget(famprev, 3);
    // The entry frame grows with the window up to a width where its boxes still read as one form;
    // beyond that it stays centred under the list.
    auto* entryRow = new QHBoxLayout;
    entryRow->addStretch(1);
    entryRow->addWidget(fammain1, 1000);
    entryRow->addStretch(1);
    layout->addLayout(entryRow, 0);
    layout->addLayout(buildTokenLine(), 0);
    auto* scroller = new QScrollArea(this);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setWidget(page_);
    // The record buttons stay below the page, never scrolled out of sight.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 6);
    outer->addWidget(scroller);
    outer->addLayout(bottom);
    fitFixedSizes();
}

void frmDscMain::fitFixedSizes() {
    const double x = ClsObj ? ClsObj->ScreenRatX : 1.0;
    const double y = ClsObj ? ClsObj->ScreenRatY : 1.0;
    const double across = x > 0 ? x : 1.0;
    const double down = y > 0 ? y : 1.0;
    // Each size follows the factors, and is never less than the control's own font needs.
    for (QLineEdit* days : txtdays) {
        const QFontMetrics fm = days->fontMetrics();
        days->setMaximumWidth(
            std::max(int(60 * across), fm.horizontalAdvance(QStringLiteral("0000000")) + fm.height()));
    }
    for (QPushButton* small : {cmdIdProof, cmdIdProofC, cmdIdProofV, cmdAddrProof, cmdAddrProofC, cmdAddrProofV}) {
        const QFontMetrics fm = small->fontMetrics();
        small->setFixedWidth(std::max(int(32 * across), fm.horizontalAdvance(small->text()) + fm.height()));
    }
    // Entry boxes keep room for a whole date, or for a typical number or type, at their font.
    for (QLineEdit* date : txtdts) {
        const QFontMetrics fm = date->fontMetrics();
        date->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) + fm.height());
    }
    for (QWidget* box : std::initializer_list<QWidget*>{txtfields[2], txtfields[7], txtfields[8], txtfields[10],
                                                        txtfields[13], cbodsctype, cboidproof, cboaddrproof}) {
        const QFontMetrics fm = box->fontMetrics();
        const int arrow = qobject_cast<QComboBox*>(box) ? 2 * fm.height() : 0;
        box->setMinimumWidth(fm.horizontalAdvance(QString(kTypicalEntryLength, QLatin1Char('0'))) + arrow);
    }
    // A combo box lets a crowded layout squeeze it below its text's height, which a line edit does
    // not: the page scrolls instead.
    for (QComboBox* box : {cbodsctype, cboidproof, cboaddrproof})
        box->setMinimumHeight(box->sizeHint().height());
    vs->verticalHeader()->setDefaultSectionSize(std::max(int(20 * down), vs->fontMetrics().height() + 6));
    fammain1->setMaximumWidth(QWIDGETSIZE_MAX);
    fammain1->setMaximumWidth(std::max(int(1100 * across), fammain1->minimumSizeHint().width()));
}

void frmDscMain::applyColours() {
    // In list mode the entry frame is disabled but shows the current record: its boxes and labels
    // keep their normal text colours, so the record stays readable.
    for (QWidget* w : fammain1->findChildren<QWidget*>()) {
        if (qobject_cast<QPushButton*>(w))
            continue;
        QPalette p = w->palette();
        for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
            p.setColor(QPalette::Disabled, role, p.color(QPalette::Active, role));
        p.setColor(QPalette::Disabled, QPalette::Base, p.color(QPalette::Active, QPalette::Base));
        w->setPalette(p);
    }
    paint(this, QPalette::Window, kLightYellow);
    paint(page_, QPalette::Window, kLightYellow);
    for (QGroupBox* frame : {fammain, fammain1, famsett, famprev})
        paint(frame, QPalette::Window, kLightYellow);
    for (QRadioButton* o : options) {
        // A button fills its background with the Button colour: the options take the frame's yellow.
        o->setBackgroundRole(QPalette::Window);
        paint(o, QPalette::Window, kLightYellow);
    }
    for (QPushButton* b : findChildren<QPushButton*>())
        paint(b, QPalette::Button, kLightOrange);
    for (QPushButton* b : {cmdok, cmdcert[0], cmdcert[1], cmdIdProof, cmdIdProofC, cmdIdProofV, cmdAddrProof,
                           cmdAddrProofC, cmdAddrProofV})
        paint(b, QPalette::Button, kLightCyan);
}

void frmDscMain::connectListSignals() {
    for (int i = 0; i < 3; ++i)
        connect(options[size_t(i)], &QRadioButton::clicked, this, [this, i] { options_Click(i); });
    connect(cmdok, &QPushButton::clicked, this, &frmDscMain::cmdok_Click);
    connect(vs, &CertGrid::afterRowColChange, this, &frmDscMain::vs_AfterRowColChange);
    connect(cmdadd, &QPushButton::clicked, this, &frmDscMain::cmdadd_Click);
    connect(cmdmodify, &QPushButton::clicked, this, &frmDscMain::cmdmodify_Click);
    // A double click on a row opens its record for change, as "&Modify" does; only in list mode,
    // where that button is offered.
    connect(vs, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && vs->isEnabled() && !cmdmodify->isHidden() && cmdmodify->isEnabled())
            cmdmodify_Click();
    });
    connect(cmdcancel, &QPushButton::clicked, this, &frmDscMain::cmdcancel_Click);
    connect(cmdimportbulk, &QPushButton::clicked, this, &frmDscMain::cmdimportbulk_Click);
    connect(cmdexport, &QPushButton::clicked, this, &frmDscMain::cmdexport_Click);
    connect(cmdsettings, &QPushButton::clicked, this, &frmDscMain::cmdsettings_Click);
    connect(chkauto, &QCheckBox::clicked, this, &frmDscMain::chkauto_Click);
    for (int i = 0; i < 3; ++i)
        connect(cmdback[size_t(i)], &QPushButton::clicked, this, [this, i] { cmdback_Click(i); });
}

bool frmDscMain::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::FocusIn && type != QEvent::FocusOut)
        return false;
    if (!kyt::isWindowControl(this, watched))
        return false;
    auto* key = type == QEvent::KeyPress ? static_cast<QKeyEvent*>(event) : nullptr;
    // The find box takes its keys first: Escape there closes only the box.
    if (key && findBar_->handleKey(watched, key))
        return true;
    if (key && key->key() == Qt::Key_Escape) {
        int ascii = 27;
        Form_KeyPress(ascii);
        return true;
    }
    if (routeEntryEvent(watched, event))
        return true;
    if (!key)
        return false;
    // The days boxes take digits, Backspace and the point only.
    for (int i = 0; i < 2; ++i)
        if (watched == txtdays[size_t(i)] && !key->text().isEmpty()) {
            const QChar c = key->text().at(0);
            int ascii = c.unicode() < 128 ? c.unicode() : 0;
            if (c.unicode() >= 32 || ascii == 8) {
                txtdays_KeyPress(i, ascii);
                if (ascii == 0)
                    return true;
            }
        }
    return false;
}

void frmDscMain::closeEvent(QCloseEvent* event) {
    // Closing by the title bar in entry mode would lose what was typed: the user is asked first,
    // as Escape asks, and No keeps the window open in entry mode.
    if (!unloaded_ && ClsObj && !vs->isEnabled()) {
        kyt::Answer answer = kyt::Answer::No;
        kyt::ErrorTrap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("FORM_UNLOAD"))([&] {
            answer = ClsObj->services().dialogs->question(this, QStringLiteral("Do you want to Cancel the Changes?"),
                                                          kyt::Answer::No);
        });
        if (answer != kyt::Answer::Yes) {
            event->ignore();
            return;
        }
    }
    Form_Unload();
    event->accept();
}

void frmDscMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
}

void frmDscMain::Unload() {
    Form_Unload();
    hide();
    deleteLater();
}
