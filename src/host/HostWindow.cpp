#include "host/HostWindow.h"

#include "component/Module1.h"
#include "custody/TokenOut.h"
#include "host/BackgroundCounts.h"
#include "host/ExpiryChart.h"
#include "host/HostSession.h"
#include "platform/Db.h"
#include "platform/DbAddress.h"
#include "platform/ErrorTrap.h"
#include "register/frmDscMain.h"
#include "store/ExpiryMonths.h"
#include "store/RegisterCounts.h"
#include "store/Renewals.h"

#include <algorithm>
#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {
QPushButton* countButton(const char* name, QWidget* parent) {
    auto* b = new QPushButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

// Where the register lies, as a user would look for it: the database file and its folder, or the
// server's address without its password.
QString registerLocation(const HostSession& session) {
    if (session.options().db.isEmpty())
        return QStringLiteral("Register KYTDscMgr.db in %1").arg(session.folder());
    QString why;
    const auto address = kyt::DbAddress::parse(session.options().db, &why);
    if (!address)
        return QStringLiteral("Register %1").arg(session.options().db);
    if (address->kind == kyt::DbAddress::Kind::SQLite) {
        const QFileInfo file(address->path);
        return QStringLiteral("Register %1 in %2").arg(file.fileName(), file.absolutePath());
    }
    return QStringLiteral("Register on %1").arg(address->display());
}

QString certificates(int n) {
    return n == 1 ? QStringLiteral("1 certificate") : QStringLiteral("%1 certificates").arg(n);
}
} // namespace

HostWindow::HostWindow(HostSession& session) : session_(session), status_(new QLabel(this)) {
    setObjectName(QStringLiteral("HostWindow"));
    setWindowTitle(QStringLiteral("KYTDscMgr host - %1").arg(session.folder()));
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Register"));
    QAction* open = menu->addAction(QStringLiteral("Digital Signature Certificate -> Manager"));
    open->setObjectName(QStringLiteral("actOpenRegister"));
    open->setShortcut(QKeySequence::Open);
    connect(open, &QAction::triggered, this, [this] { openRegister(); });
    QAction* import = menu->addAction(QStringLiteral("Import certificates…"));
    connect(import, &QAction::triggered, this, &HostWindow::importCertificates);
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("E&xit")), &QAction::triggered, this, &QWidget::close);

    auto* page = new QWidget(this);
    lblregister_ = new QLabel(registerLocation(session), page);
    lblregister_->setObjectName(QStringLiteral("lblregister"));
    lblregister_->setWordWrap(true);
    lblregister_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = lblregister_->font();
    bold.setBold(true);
    lblregister_->setFont(bold);
    cmdall_ = countButton("cmdallcount", page);
    cmdexpired_ = countButton("cmdexpiredcount", page);
    cmdexpiring_ = countButton("cmdexpiringcount", page);
    cmdtokensout_ = countButton("cmdtokensoutcount", page);
    cmdtokensoverdue_ = countButton("cmdtokensoverduecount", page);
    chart_ = new ExpiryChart(page);
    lblempty_ = new QLabel(QStringLiteral("The register is empty: open it and press \"Add New\" to enter your first "
                                          "certificate, or choose \"Import certificates…\" to read many at once."),
                           page);
    lblempty_->setObjectName(QStringLiteral("lblempty"));
    lblempty_->setWordWrap(true);
    lblcountstate_ = new QLabel(page);
    lblcountstate_->setObjectName(QStringLiteral("lblcountstate"));
    lblcountstate_->setWordWrap(true);
    cmdopen_ = new QPushButton(QStringLiteral("&Open the register"), page);
    cmdopen_->setObjectName(QStringLiteral("cmdopenregister"));
    cmdopen_->setDefault(true);
    cmdimport_ = new QPushButton(QStringLiteral("&Import certificates…"), page);
    cmdimport_->setObjectName(QStringLiteral("cmdimportcertificates"));
    cmdimport_->setAutoDefault(false);

    auto* counts = new QVBoxLayout;
    for (QPushButton* b : {cmdall_, cmdexpired_, cmdexpiring_, cmdtokensout_, cmdtokensoverdue_}) {
        b->setStyleSheet(QStringLiteral("text-align: left; padding: 4px 10px"));
        counts->addWidget(b);
    }
    counts->addStretch();
    auto* overview = new QHBoxLayout;
    overview->addLayout(counts);
    overview->addWidget(chart_, 1);
    auto* ways = new QHBoxLayout;
    ways->addWidget(cmdopen_);
    ways->addWidget(cmdimport_);
    ways->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(12);
    layout->addWidget(lblregister_);
    layout->addLayout(overview, 1);
    layout->addWidget(lblcountstate_);
    layout->addWidget(lblempty_);
    layout->addStretch();
    layout->addLayout(ways);
    setCentralWidget(page);

    connect(cmdall_, &QPushButton::clicked, this, [this] { openRegister(Filter::All); });
    connect(cmdexpired_, &QPushButton::clicked, this, [this] { openRegister(Filter::Expired); });
    connect(cmdexpiring_, &QPushButton::clicked, this, [this] { openRegister(Filter::Expiring); });
    connect(cmdtokensout_, &QPushButton::clicked, this, [this] { openTokensOut(false); });
    connect(cmdtokensoverdue_, &QPushButton::clicked, this, [this] { openTokensOut(true); });
    connect(cmdopen_, &QPushButton::clicked, this, [this] { openRegister(); });
    connect(cmdimport_, &QPushButton::clicked, this, &HostWindow::importCertificates);
    connect(chart_, &ExpiryChart::barClicked, this, &HostWindow::openChartBar);
    // Enter presses the button that has the focus, else the default one, as in a dialog.
    for (int key : {Qt::Key_Return, Qt::Key_Enter})
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this, [this] {
            auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
            (focused && isAncestorOf(focused) ? focused : cmdopen_)->click();
        });

    counting_ = new BackgroundCounts(session.address(), this);
    connect(counting_, &BackgroundCounts::read, this, &HostWindow::countsRead);
    statusBar()->addWidget(status_);
    statusBar()->addPermanentWidget(
        new QLabel(QStringLiteral("Database: %1").arg(session.db() ? session.db()->driverName() : QString()), this));
    refreshCounts();
    cmdopen_->setFocus();
    resize(1000, 460);
    // The host's own window follows the same scale factors as the component's windows.
    // (InitMe stores the same factors again.)
    ClsMain& component = *session.component();
    component.ScreenRatX = session.options().scaleX;
    component.ScreenRatY = session.options().scaleY;
    component.ScreenRatFS = session.options().scaleFont;
    component.Resize_For_Resolution(this, false);
}

int HostWindow::expiryDays() {
    ClsMain& component = *session_.component();
    if (component.DocPath.isEmpty())
        component.DocPath = session_.folder();
    const double days =
        Val(component.GetSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("0")));
    return int(std::clamp(days, 0.0, 3652059.0));
}

void HostWindow::refreshCounts() {
    if (!session_.db())
        return;
    const int days = expiryDays(); // also points the component at the folder, whose settings it reads
    // Counted apart from the expiring ones, renewals need their links: a register not yet opened by
    // this version gets them here, as the register window would make them.
    // Once per connection: counting runs on every refresh.
    kyt::ErrorTrap::silent()([&] {
        session_.db()->ensureOnce(QStringLiteral("DscRenewals"),
                                  [](kyt::Db& db) { Renewals::ensureTable(db, Renewals::thisDesk()); });
    });
    counting_->request(session_.component()->services().clock->now(), days,
                       custody::outDaysSetting(*session_.component()));
    showCounts();
}

void HostWindow::countsRead(const RegisterCounts& counts, const QDateTime& at, int days) {
    lastReadFailed_ = !counts.readable;
    if (counts.readable) {
        counts_ = counts;
        countedDays_ = days;
        countedAt_ = at;
    }
    showCounts();
}

void HostWindow::showCounts() {
    const bool known = counts_.has_value();
    if (known) {
        const RegisterCounts& c = *counts_;
        cmdall_->setText(certificates(c.all) + QStringLiteral(" in the register"));
        cmdexpired_->setText(c.expired == 1 ? QStringLiteral("1 has expired")
                                            : QStringLiteral("%1 have expired").arg(c.expired));
        cmdexpiring_->setText(QStringLiteral("%1 expired or expiring within %2 %3")
                                  .arg(c.expiring)
                                  .arg(countedDays_)
                                  .arg(countedDays_ == 1 ? QStringLiteral("day") : QStringLiteral("days")));
        cmdtokensout_->setText(c.tokensOut == 1 ? QStringLiteral("1 token is out of the office")
                                                : QStringLiteral("%1 tokens are out of the office").arg(c.tokensOut));
        cmdtokensoverdue_->setText(QStringLiteral("%1 out for more than %2 %3")
                                       .arg(c.tokensOverdue)
                                       .arg(c.tokenDays)
                                       .arg(c.tokenDays == 1 ? QStringLiteral("day") : QStringLiteral("days")));
    }
    const bool empty = known && counts_->all == 0;
    lblempty_->setVisible(empty);
    for (QPushButton* b : {cmdall_, cmdexpired_, cmdexpiring_, cmdtokensout_, cmdtokensoverdue_})
        b->setVisible(known && !empty);
    // The chart comes with the counts it was read with.
    if (known)
        chart_->setCounts(counts_->months);
    chart_->setVisible(known && !empty);

    // Counts not read just now say so, with the time they were read.
    const QString when = known ? countedAt_.toString(QStringLiteral("HH:mm:ss")) : QString();
    QString state;
    if (counting_->reading())
        state = known ? QStringLiteral("Counting again; the counts shown were read at %1.").arg(when)
                      : QStringLiteral("Counting the certificates…");
    else if (lastReadFailed_)
        state =
            known
                ? QStringLiteral("The register could not be read just now; the counts shown were read at %1.").arg(when)
                : QStringLiteral("The register could not be read just now.");
    lblcountstate_->setText(state);
    lblcountstate_->setVisible(!state.isEmpty());
}

// The bars leave renewed certificates out, and so do the rows a bar opens, the expired ones included.
void HostWindow::openChartBar(int index) {
    openRegister();
    frmDscMain* w = registerWindow();
    if (!w)
        return;
    const QDateTime now = session_.component()->services().clock->now();
    const auto& db = session_.component()->Db;
    const bool links = db && Renewals::tableExists(*db);
    w->ShowSelection(index <= 0 ? ExpiryMonths::expiredSelection(now, links)
                                : ExpiryMonths::monthSelection(now, index - 1, links));
}

void HostWindow::openTokensOut(bool overdueOnly) {
    openRegister();
    frmDscMain* w = registerWindow();
    if (!w)
        return;
    ClsMain& component = *session_.component();
    kyt::ErrorTrap trap(&component, QStringLiteral("HostWindow"), QStringLiteral("OPENTOKENSOUT"));
    const std::optional<int> days = overdueOnly ? std::optional<int>(custody::outDaysSetting(component)) : std::nullopt;
    std::optional<CertRows::Selection> selection;
    if (trap([&] { selection = custody::outSelection(*session_.db(), component.services().clock->now(), days); }))
        w->ShowSelection(*selection);
}

frmDscMain* HostWindow::registerWindow() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* w = qobject_cast<frmDscMain*>(window); w && w->isVisible())
            return w;
    return nullptr;
}

void HostWindow::openRegister(Filter filter) {
    // One register window at a time: a second one would show a list that the first one's saves
    // leave behind. An open one is brought to the front instead.
    frmDscMain* w = registerWindow();
    if (w) {
        w->raise();
        w->activateWindow();
    } else if (session_.initMe(false)) {
        // The host sets its main window object once the register is open.
        session_.component()->MdiObj = kyt::ObjectRef(this, [](QObject*) {});
        w = registerWindow();
    }
    if (!w)
        return;
    // The filter is chosen as a user would choose it; in entry mode the filters are out of reach
    // and the list stays as it is.
    if (filter == Filter::Expired) {
        w->options[1]->click();
    } else if (filter == Filter::Expiring && w->cmdok->isEnabled()) {
        w->txtdays[0]->setText(QString::number(expiryDays()));
        w->cmdok->click();
    }
}

void HostWindow::importCertificates() {
    openRegister();
    frmDscMain* w = registerWindow();
    if (w && !w->cmdimportbulk->isHidden() && w->cmdimportbulk->isEnabled())
        w->cmdimportbulk->click();
    refreshCounts();
}

void HostWindow::ReloadMenu() {
    ++reloads_;
    status_->setText(QStringLiteral("Register closed."));
    refreshCounts();
}

void HostWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Back from the register or the wizard: the counts may have changed.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        refreshCounts();
}
