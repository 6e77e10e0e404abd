// The renewal desk in the register window: the queue's filters ("Due for Renewal", "Recently
// Expired") with their own columns, the entry form's line naming the record a certificate renews
// or is renewed by, linking records by hand, and carrying a holder's details over to a renewal.

#include "component/ClsMain.h"
#include "component/Module1.h"
#include "custody/TokenCustody.h"
#include "platform/Db.h"
#include "platform/WindowKit.h"
#include "register/frmDscMain.h"
#include "register/MaskedDateBox.h"
#include "store/RenewalCarryOver.h"
#include "store/RenewalQueue.h"
#include "store/Renewals.h"

#include <algorithm>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>

namespace {
const QString kModule = QStringLiteral("frmDscMain");
// More days than lie between any two dates with four-digit years.
constexpr double kMaxDays = 3652059;
constexpr int kDefaultQueueDays = 30;

int recordNumberOf(const CertGrid& vs) {
    return vs.Row() < 1 ? 0 : RoundHalfEven(Val(vs.TextMatrix(vs.Row(), RecordLayout::kRecordNumberColumn)));
}
} // namespace

QLayout* frmDscMain::buildRenewalFilters() {
    auto dayBox = [this](const char* name) {
        auto* box = new QLineEdit(QString::number(kDefaultQueueDays), fammain);
        box->setObjectName(QLatin1String(name));
        box->setValidator(new QIntValidator(0, int(kMaxDays), box));
        const QFontMetrics fm = box->fontMetrics();
        box->setMaximumWidth(fm.horizontalAdvance(QStringLiteral("0000000")) + fm.height());
        return box;
    };
    optdue = new QRadioButton(QStringLiteral("Due for Renewal within"), fammain);
    optdue->setObjectName(QStringLiteral("optdue"));
    txtduedays = dayBox("txtduedays");
    optrecent = new QRadioButton(QStringLiteral("Recently Expired, in the last"), fammain);
    optrecent->setObjectName(QStringLiteral("optrecent"));
    txtrecentdays = dayBox("txtrecentdays");
    auto* row = new QHBoxLayout;
    for (QRadioButton* option : {optdue, optrecent}) {
        QLineEdit* box = option == optdue ? txtduedays : txtrecentdays;
        row->addWidget(option);
        row->addWidget(box);
        row->addWidget(new QLabel(QStringLiteral("Days"), fammain));
        connect(option, &QRadioButton::clicked, this, &frmDscMain::renewalFilter_Click);
        // A changed number of days takes effect when the box is left or Enter pressed in it.
        connect(box, &QLineEdit::editingFinished, this, [this, option] {
            if (option->isChecked() && vs->isEnabled())
                reloadRenewalQueue();
        });
        option->setBackgroundRole(QPalette::Window);
        kyt::paint(option, QPalette::Window, kyt::kLightYellow);
    }
    row->addStretch();
    return row;
}

void frmDscMain::buildRenewalLine(QGridLayout* grid, int row) {
    lblrenewal = new QLabel(fammain1);
    lblrenewal->setObjectName(QStringLiteral("lblrenewal"));
    cmdrenewal = kyt::makeButton(QStringLiteral("&Link..."), QStringLiteral("cmdrenewal"), fammain1);
    cmdrenewal->setEnabled(false);
    grid->addWidget(lblrenewal, row, 4);
    grid->addWidget(cmdrenewal, row, 5);
    connect(cmdrenewal, &QPushButton::clicked, this, &frmDscMain::cmdrenewal_Click);
}

void frmDscMain::renewalFilter_Click() {
    const QString code = optdue->isChecked() ? QStringLiteral("3") : QStringLiteral("4");
    if (code == Tag(options[0]))
        return;
    sortQueueOnEntry(optdue->isChecked());
    reloadRenewalQueue();
}

void frmDscMain::sortQueueOnEntry(bool due) {
    const QString shown = Tag(options[0]);
    const bool fromQueue = shown == QLatin1String("3") || shown == QLatin1String("4");
    const CertListModel* model = vs->listModel();
    if (!fromQueue && !sortOutsideQueue_)
        sortOutsideQueue_ = std::pair{model->sortColumn(), model->sortOrder()};
    // The rows shown are about to be replaced: they need not be sorted first.
    vs->clearRows();
    vs->sortAsMarked(CertListModel::kValidToColumn, due ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void frmDscMain::restoreSortOutsideQueue() {
    if (!sortOutsideQueue_ || optdue->isChecked() || optrecent->isChecked())
        return;
    vs->clearRows();
    vs->sortAsMarked(sortOutsideQueue_->first, sortOutsideQueue_->second);
    sortOutsideQueue_.reset();
}

void frmDscMain::reloadRenewalQueue() {
    EnableList(true);
    vs->setEnabled(false);
    LoadGrid();
    vs->setEnabled(true);
    LoadData();
}

bool frmDscMain::LoadRenewalQueue() {
    if (!optdue->isChecked() && !optrecent->isChecked())
        return false;
    kyt::ErrorTrap trap(ClsObj.get(), kModule, QStringLiteral("LOADGRID"));
    const bool due = optdue->isChecked();
    setTag(options[0], due ? QStringLiteral("3") : QStringLiteral("4"));
    vs->clearRows();
    kyt::Db& db = *ClsObj->Db;
    const QDateTime now = ClsObj->services().clock->now();
    QSet<int> renewed;
    trap([&] { renewed = Renewals::renewedRecords(db); });
    const CertRows::Selection selection =
        RenewalQueue::select(due ? RenewalQueue::View::Due : RenewalQueue::View::RecentlyExpired, now,
                             Val((due ? txtduedays : txtrecentdays)->text()));
    setTag(cmdok, selection.cutOff);
    lblhead->setText(selection.heading);
    const double days = std::clamp(
        Val(ClsObj->GetSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("0"))), 0.0,
        kMaxDays);
    CertListModel* model = vs->listModel();
    model->setExpiryCutOff(now, int(days));
    model->setViewColumns(RenewalQueue::viewHeadings(), {false, true});
    // The statement orders the rows by Valid To (then name), as the view's own sort does.
    model->setLoadedOrder(CertListModel::kValidToColumn, due ? Qt::AscendingOrder : Qt::DescendingOrder);

    QHash<int, QString> reminded;
    trap([&] { reminded = RenewalQueue::lastReminded(db); });
    const QDate today = now.date();
    // One list for every row's view cells, copied into the model. The rows come in Valid To order,
    // so the certificates of one day follow each other and share their count of days.
    QStringList cells(2);
    QString countedDay;
    model->beginAppend();
    trap([&] {
        CertRows::read(db, selection.sql, [&](const CertRows::Fields& fields) {
            const int srNo = fields[RecordLayout::SrNo].toInt();
            if (renewed.contains(srNo))
                return;
            const QString& validTo = fields[RecordLayout::DtTo];
            if (countedDay.isNull() || QStringView(validTo).left(10) != countedDay) {
                countedDay = validTo.left(10);
                cells[0] = RenewalQueue::daysLeft(today, validTo);
            }
            cells[1] = reminded.value(srNo);
            model->append(fields, cells);
        });
    });
    model->endAppend();
    vs->autoFitColumns();
    vs->placeViewColumns();
    vs->setRow(vs->Rows() > 1 ? 1 : 0);
    return true;
}

void frmDscMain::ShowRenewalLink() {
    lblrenewal->clear();
    cmdrenewal->setText(QStringLiteral("&Link..."));
    const int n = recordNumberOf(*vs);
    cmdrenewal->setEnabled(n > 0);
    if (n < 1)
        return;
    QStringList said;
    bool linked = false;
    kyt::ErrorTrap::silent()([&] {
        if (const auto from = Renewals::renewedFrom(*ClsObj->Db, n))
            said << QStringLiteral("Renews Sr. No. %1").arg(from->oldSrNo);
        if (const auto by = Renewals::renewalOf(*ClsObj->Db, n))
            said << QStringLiteral("Renewed by Sr. No. %1").arg(by->newSrNo);
        linked = !said.isEmpty();
    });
    lblrenewal->setText(said.join(QStringLiteral("; ")));
    if (linked)
        cmdrenewal->setText(QStringLiteral("Un&link"));
}

void frmDscMain::cmdrenewal_Click() {
    kyt::ErrorTrap trap(ClsObj.get(), kModule, QStringLiteral("CMDRENEWAL_CLICK"));
    kyt::Db& db = *ClsObj->Db;
    kyt::Dialogs& dialogs = *ClsObj->services().dialogs;
    const int n = recordNumberOf(*vs);
    if (n < 1 || AddMode)
        return;
    std::optional<Renewals::Link> from, by;
    trap([&] {
        Renewals::ensureTable(db, Renewals::thisDesk());
        from = Renewals::renewedFrom(db, n);
        by = Renewals::renewalOf(db, n);
    });
    if (from || by) {
        for (const auto& link : {from, by}) {
            if (!link)
                continue;
            kyt::Answer answer = kyt::Answer::No;
            trap([&] {
                answer = dialogs.question(this,
                                          QStringLiteral("Sr. No. %1 is renewed by Sr. No. %2. Remove this link?")
                                              .arg(link->oldSrNo)
                                              .arg(link->newSrNo),
                                          kyt::Answer::No);
            });
            if (answer == kyt::Answer::Yes)
                trap([&] { Renewals::unlink(db, link->oldSrNo, link->newSrNo); });
        }
    } else {
        std::optional<QString> typed;
        trap([&] {
            typed = dialogs.prompt(this, QStringLiteral("Sr. No. of the certificate that this one renews:"),
                                   QStringLiteral("Link Renewal"), false);
        });
        if (!typed || typed->trimmed().isEmpty())
            return;
        bool number = false;
        const int old = typed->trimmed().toInt(&number);
        Renewals::LinkResult result = Renewals::LinkResult::NoSuchRecord;
        Renewals::Link other;
        if (number)
            trap(
                [&] { result = Renewals::link(db, old, n, Renewals::thisDesk(), &other, custody::carryOverOnLink()); });
        QString why;
        switch (result) {
        case Renewals::LinkResult::Linked:
        case Renewals::LinkResult::AlreadyLinked:
            break;
        case Renewals::LinkResult::NoSuchRecord:
            why = QStringLiteral("There is no certificate with Sr. No. %1.").arg(typed->trimmed());
            break;
        case Renewals::LinkResult::SameRecord:
            why = QStringLiteral("A certificate cannot renew itself.");
            break;
        case Renewals::LinkResult::OldAlreadyRenewed:
        case Renewals::LinkResult::NewAlreadyRenews:
            why = QStringLiteral("Sr. No. %1 is already renewed by Sr. No. %2: remove that link first.")
                      .arg(other.oldSrNo)
                      .arg(other.newSrNo);
            break;
        }
        if (!why.isEmpty())
            trap([&] { dialogs.information(this, why); });
    }
    ShowRenewalLink();
}

void frmDscMain::OfferCarryOver() {
    if (!AddMode)
        return;
    kyt::ErrorTrap trap(ClsObj.get(), kModule, QStringLiteral("CMDCERT_CLICK"));
    kyt::Db& db = *ClsObj->Db;
    Renewals::Issue issue;
    issue.holder = {txtfields[0]->text(), cbodsctype->currentText(), txtfields[6]->text(), txtfields[7]->text(),
                    txtfields[10]->text()};
    issue.validTo = Renewals::validToOf(txtdts[1]->text());
    int old = 0;
    trap([&] { old = Renewals::HolderIndex::ofName(db, issue.holder.name).renewedRecord(issue); });
    if (old == 0 || old == carryOverAskedFor_)
        return;
    // A record another certificate renews already is not linked to this one at the save, so nothing
    // of it is offered either.
    bool renewedAlready = true;
    trap([&] { renewedAlready = Renewals::renewalOf(db, old).has_value(); });
    if (renewedAlready)
        return;
    carryOverAskedFor_ = old;
    kyt::Answer answer = kyt::Answer::No;
    trap([&] {
        answer = ClsObj->services().dialogs->question(
            this,
            QStringLiteral("This certificate renews Sr. No. %1. Fill in the holder's contact data, proofs and proof "
                           "documents from it?")
                .arg(old),
            kyt::Answer::Yes);
    });
    if (answer != kyt::Answer::Yes)
        return;
    std::optional<StoreStatements::RecordValues> older;
    trap([&] { older = CarryOver::readRecord(db, old); });
    if (!older)
        return;
    using namespace RecordLayout;
    const auto value = [&](Field f) { return (*older)[size_t(valueIndex(f))]; };
    for (Field f : {Email, Mobile, TelNo, IdPrNo, AddrPrNo}) {
        QLineEdit* box = txtfields[size_t(valueIndex(f))];
        if (box->text().trimmed().isEmpty())
            box->setText(value(f));
    }
    for (auto [combo, f] : {std::pair{cboidproof, IdPrTyp}, std::pair{cboaddrproof, AddrPrTyp}})
        if (combo->currentText().trimmed().isEmpty())
            combo->setEditText(value(f));
    // The documents are copied into the new record's folders when it is saved; the older record
    // keeps its own.
    QStringList missing;
    for (ProofKind kind : {ProofKind::Id, ProofKind::Addr}) {
        const QString name = (*older)[size_t(valueIndex(kind == ProofKind::Id ? IdPrFlNm : AddrPrFlNm))];
        if (name.isEmpty() || !Tag(proofSelectButton(kind)).isEmpty())
            continue;
        const QString path = proofFolder(kind, QString::number(old)) + QLatin1Char('/') + name;
        if (!QFileInfo(path).isFile()) {
            missing << path;
            continue;
        }
        setTag(proofSelectButton(kind), name);
        setTag(proofClearButton(kind), path);
        ApplyProofState(kind);
    }
    if (!missing.isEmpty())
        trap([&] {
            ClsObj->services().dialogs->information(
                this, QStringLiteral("These proof documents of Sr. No. %1 were not found and are not carried over: ")
                              .arg(old) +
                          missing.join(QStringLiteral(", ")));
        });
}

void frmDscMain::LinkSavedRecord(int n) {
    // A changed record keeps its links: they are corrected by hand (unlinking would otherwise be
    // undone by the next save).
    if (!AddMode)
        return;
    kyt::ErrorTrap trap(ClsObj.get(), kModule, QStringLiteral("CMDUPDATE_CLICK"));
    trap([&] {
        kyt::Db& db = *ClsObj->Db;
        const QString desk = Renewals::thisDesk();
        Renewals::ensureTable(db, desk);
        if (const std::optional<Renewals::Issue> issue = Renewals::readIssue(db, n))
            Renewals::linkRecord(db, Renewals::HolderIndex::ofName(db, issue->holder.name), *issue, desk,
                                 custody::carryOverOnLink());
    });
}
