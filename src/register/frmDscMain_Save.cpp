#include "component/ClsMain.h"
#include "component/Module1.h"
#include "platform/Db.h"
#include "register/frmDscMain.h"
#include "register/MaskedDateBox.h"
#include "store/DocumentWrites.h"
#include "store/RecordLayout.h"
#include "store/RecordNumbers.h"
#include "store/StoreStatements.h"

#include <optional>
#include <QDate>
#include <QDir>

#include <limits>

namespace {
const QString kModule = QStringLiteral("frmDscMain");
const QString kProcedure = QStringLiteral("CMDUPDATE_CLICK");
constexpr int kCompleteDateDigits = 14;

// The number of digits typed into a date box; a complete date has fourteen.
qsizetype typedDigits(const QLineEdit* dateBox) {
    const auto* date = qobject_cast<const MaskedDateBox*>(dateBox);
    return date ? date->clipText().size() : 0;
}

// The day, month and year of a "DD/MM/YYYY HH:MM:SS" text as a calendar date. Parts out of range
// roll over into the next month or year (31/02 is early March), as the date boxes only check a
// date when the user leaves them and a value set otherwise may not be a real one.
QDate calendarDate(const QString& text) {
    const int day = text.mid(0, 2).toInt();
    const int month = text.mid(3, 2).toInt();
    const int year = text.mid(6, 4).toInt();
    return QDate(year, 1, 1).addMonths(month - 1).addDays(day - 1);
}

int secondsOfDay(const QString& text) {
    return text.mid(11, 2).toInt() * 3600 + text.mid(14, 2).toInt() * 60 + text.mid(17, 2).toInt();
}

// The time of day counts only when both dates fall on the same day; equal moments pass.
bool endsBeforeStart(const QString& from, const QString& to) {
    const QDate fromDate = calendarDate(from);
    const QDate toDate = calendarDate(to);
    if (toDate != fromDate)
        return toDate < fromDate;
    return secondsOfDay(to) < secondsOfDay(from);
}

StoreStatements::RecordValues entryValues(const frmDscMain& w) {
    using K = frmDscMain::ProofKind;
    using namespace RecordLayout;
    // The boxes hold what was typed or loaded, bidirectional controls included.
    StoreStatements::RecordValues v;
    const auto of = [&v](Field field) -> QString& { return StoreStatements::valueOf(v, field); };
    // The plain text boxes are numbered as the values they hold.
    for (Field field : {Nm, SerialNo, IssAuth, Email, Mobile, TelNo, IdPrNo, AddrPrNo})
        of(field) = w.txtfields[size_t(valueIndex(field))]->text();
    of(Typ) = w.cbodsctype->currentText();
    of(DtFrom) = w.txtdts[0]->text();
    of(DtTo) = w.txtdts[1]->text();
    of(IdPrTyp) = w.cboidproof->currentText();
    of(IdPrFlNm) = frmDscMain::Tag(w.proofSelectButton(K::Id));
    of(AddrPrTyp) = w.cboaddrproof->currentText();
    of(AddrPrFlNm) = frmDscMain::Tag(w.proofSelectButton(K::Addr));
    return v;
}

// The caption of the box that holds entry slot i, as the user sees it.
QString entryBoxName(int slot) {
    static const QStringList names = {QStringLiteral("\"Certificate Name\""),
                                      QStringLiteral("\"Type of DSC\""),
                                      QStringLiteral("\"Serial No.\""),
                                      QStringLiteral("\"Issuing Authority\""),
                                      QStringLiteral("\"From\""),
                                      QStringLiteral("\"To\""),
                                      QStringLiteral("\"E-mail Id\""),
                                      QStringLiteral("\"Mobile No.\""),
                                      QStringLiteral("\"Tel. No.\""),
                                      QStringLiteral("\"ID Proof Type\""),
                                      QStringLiteral("The ID proof's \"Proof No.\""),
                                      QStringLiteral("The ID proof's file name"),
                                      QStringLiteral("\"Address Proof Type\""),
                                      QStringLiteral("The address proof's \"Proof No.\""),
                                      QStringLiteral("The address proof's file name")};
    return names.value(slot);
}

// The control that holds entry slot i.
QWidget* entryBox(const frmDscMain& w, int slot) {
    using K = frmDscMain::ProofKind;
    switch (RecordLayout::valueField(slot)) {
    case RecordLayout::Typ:
        return w.cbodsctype;
    case RecordLayout::DtFrom:
    case RecordLayout::DtTo:
        return w.txtdts[size_t(RecordLayout::valueField(slot) - RecordLayout::DtFrom)];
    case RecordLayout::IdPrTyp:
        return w.cboidproof;
    case RecordLayout::IdPrFlNm:
        return w.proofSelectButton(K::Id);
    case RecordLayout::AddrPrTyp:
        return w.cboaddrproof;
    case RecordLayout::AddrPrFlNm:
        return w.proofSelectButton(K::Addr);
    default:
        return w.txtfields[slot];
    }
}

// The record number of the list's current row.
int currentRecordNumber(const CertGrid& vs) {
    return RoundHalfEven(Val(vs.TextMatrix(vs.Row(), RecordLayout::kRecordNumberColumn)));
}

enum class StoredRecord { Unchanged, Changed, Deleted };

// How record n stands in the table against the list row it was loaded from.
StoredRecord storedRecord(kyt::Db& db, int n, const CertGrid& vs) {
    kyt::RowSet rs = db.openRowSet(StoreStatements::selectByRecordNumber(n));
    StoredRecord state = rs.eof() ? StoredRecord::Deleted : StoredRecord::Unchanged;
    for (int i = 0; state == StoredRecord::Unchanged && i < RecordLayout::kValueCount; ++i) {
        const RecordLayout::Field field = RecordLayout::valueField(i);
        const QString name = QLatin1String(RecordLayout::name(field));
        const QString stored = RecordLayout::isDate(field) ? rs.dateText(name) : rs.text(name);
        if (stored != vs.TextMatrix(vs.Row(), RecordLayout::columnOf(field)))
            state = StoredRecord::Changed;
    }
    rs.close();
    return state;
}

// Makes the row holding record n current; when the filter hides it, the first row (or none).
// The grid is not scrolled here: where the row lies against the rows in view decides the scrolling.
void selectRecordRow(CertGrid& vs, int n) {
    const bool autoScroll = vs.hasAutoScroll();
    vs.setAutoScroll(false);
    const QString wanted = QString::number(n);
    int found = 0;
    for (int row = 1; row < vs.Rows() && found == 0; ++row)
        if (vs.TextMatrix(row, RecordLayout::kRecordNumberColumn) == wanted)
            found = row;
    vs.setRow(found > 0 ? found : vs.Rows() > 1 ? 1 : 0);
    vs.setAutoScroll(autoScroll);
}

// A current row above the first visible row, or at or below the last (even partly) visible one,
// becomes the first visible row.
void scrollCurrentRowToTop(CertGrid& vs) {
    const QModelIndex current = vs.currentIndex();
    if (!current.isValid())
        return;
    // The reload lays the rows out later; measuring needs them laid out now.
    vs.doItemsLayout();
    const int first = vs.rowAt(0);
    const int last = vs.rowAt(vs.viewport()->height() - 1);
    const bool above = first >= 0 && current.row() < first;
    const bool atOrBelowLast = last >= 0 && current.row() >= last;
    if (above || atOrBelowLast)
        vs.scrollTo(current, QAbstractItemView::PositionAtTop);
}
} // namespace

void frmDscMain::cmdupdate_Click() {
    kyt::ErrorTrap trap(ClsObj.get(), kModule, kProcedure);
    // A refused entry is reported and the save ends before anything is written.
    auto refuse = [&](const QString& message, QWidget* focus) {
        trap([&] { ClsObj->services().dialogs->information(this, message); });
        focus->setFocus();
    };

    if (txtfields[0]->text().isEmpty()) {
        refuse(QStringLiteral("Specify Certificate Name."), txtfields[0]);
        return;
    }
    if (typedDigits(txtdts[0]) != kCompleteDateDigits) {
        refuse(QStringLiteral("Specify Valid Date From Certificate Valid."), txtdts[0]);
        return;
    }
    if (typedDigits(txtdts[1]) != kCompleteDateDigits) {
        refuse(QStringLiteral("Specify Valid Date To Certificate Valid."), txtdts[1]);
        return;
    }
    if (endsBeforeStart(txtdts[0]->text(), txtdts[1]->text())) {
        refuse(QStringLiteral("Invalid Date. Date should be on or after ") + txtdts[0]->text(), txtdts[1]);
        return;
    }
    if (!confirmExpiredSave())
        return;
    // A save that cannot be carried out says why; the window stays in entry mode with every entry.
    auto tell = [&](const QString& why) { trap([&] { ClsObj->services().dialogs->information(this, why); }); };
    // When the database cannot be reached, going on would drop what the user typed: they are told
    // once, for a later save to write it.
    auto databaseUnreachable = [&] {
        if (trap.lastError().number != kyt::errnum::DatabaseUnreachable)
            return false;
        tell(QStringLiteral("The database cannot be reached, so the record was not saved. Nothing you entered is "
                            "lost: save again when the database is back."));
        return true;
    };

    // A value the table cannot hold as typed is refused before anything is written: a server would
    // cut it, and a cut serial number would never be found as a duplicate again.
    if (const StoreStatements::UnstorableValue bad = StoreStatements::FindUnstorableValue(entryValues(*this));
        bad.index >= 0) {
        refuse(StoreStatements::UnstorableText(bad, entryBoxName(bad.index)) +
                   QStringLiteral(". Nothing you entered is lost: change it and save again."),
               entryBox(*this, bad.index));
        return;
    }

    const QString serial = txtfields[2]->text();
    if (!serial.isEmpty()) {
        bool duplicate = false;
        trap([&] {
            const QString sql = AddMode ? StoreStatements::selectBySerial(serial)
                                        : StoreStatements::selectBySerialExcept(serial, currentRecordNumber(*vs));
            kyt::RowSet rs = ClsObj->Db->openRowSet(sql);
            duplicate = !rs.isEmpty();
            rs.close();
        });
        if (databaseUnreachable())
            return;
        if (duplicate) {
            refuse(QStringLiteral("Duplicate Serial Number."), txtfields[2]);
            return;
        }
    }

    // A new record's number is read again, under the allocation lock, when it is written.
    int n = 0;
    trap([&] { n = AddMode ? NextRecordNumber(*ClsObj->Db) : currentRecordNumber(*vs); });
    if (databaseUnreachable())
        return;
    // Numbers are whole numbers from 1 up to the largest the column holds; past that one the next
    // number would turn negative and be shared by every later record.
    if (AddMode && n < 1) {
        tell(QStringLiteral("The register has no record number left after %1, so the certificate was not saved. "
                            "Nothing you entered is lost.")
                 .arg(std::numeric_limits<qint32>::max()));
        return;
    }

    // Another window on the same register may have deleted or changed the record since this list
    // was read: an update would then write nothing, or overwrite the other change (or another
    // certificate that took over the number) without a word.
    if (!AddMode) {
        StoredRecord stored = StoredRecord::Unchanged;
        trap([&] { stored = storedRecord(*ClsObj->Db, n, *vs); });
        if (databaseUnreachable())
            return;
        if (stored == StoredRecord::Deleted) {
            tell(QStringLiteral("This certificate has been deleted from the register meanwhile, so the changes were "
                                "not saved. Nothing you entered is lost: press Cancel to drop it, or add the "
                                "certificate again."));
            return;
        }
        if (stored == StoredRecord::Changed) {
            kyt::Answer answer = kyt::Answer::No;
            trap([&] {
                answer = ClsObj->services().dialogs->question(
                    this,
                    QStringLiteral("This certificate was changed by someone else after the list was shown. Save "
                                   "your entries over those changes?"),
                    kyt::Answer::No);
            });
            if (answer != kyt::Answer::Yes)
                return;
        }
    }

    for (ProofKind kind : {ProofKind::Id, ProofKind::Addr}) {
        bool missing = false;
        trap([&] { missing = proofSourceMissing(kind, n); });
        if (missing)
            return;
    }

    // The duplicate check is made again as one step with the write, under the allocation lock: a
    // desk may have stored the serial number since. A write that fails, its commit included,
    // stored nothing; the user is told why and keeps every entry.
    // From the commit until the documents are in place, a backup waits.
    std::optional<DocumentWrites> documentWrites;
    const bool newDocuments =
        !Tag(proofClearButton(ProofKind::Id)).isEmpty() || !Tag(proofClearButton(ProofKind::Addr)).isEmpty();
    if (newDocuments || !AddMode) {
        if (newDocuments)
            QDir().mkpath(ClsObj->DocPath + QStringLiteral("/DscDocs"));
        documentWrites.emplace(ClsObj->DocPath, DocumentWrites::Side::Writer, DocumentWrites::kWriterPatience);
    }

    trap.clearLastError();
    StoreOutcome outcome = StoreOutcome::Stored;
    QString kept;
    const bool written = trap([&] {
        kept = replacedDocumentsFolder(n);
        const StoreStatements::RecordValues values = entryValues(*this);
        qint64 entry = 0;
        outcome = AddMode ? InsertNewRecord(*ClsObj->Db, values, n, 1, &entry)
                          : UpdateRecord(*ClsObj->Db, n, values, &entry, kept);
        if (entry > 0)
            UndoEntry = entry;
    });
    if (databaseUnreachable())
        return;
    if (!written) {
        tell(QStringLiteral("The record was not saved: %1. Nothing you entered is lost: save again once that is "
                            "mended, or press Cancel to drop it.")
                 .arg(kyt::Db::whyNotWritten(trap.lastError())));
        return;
    }
    if (outcome == StoreOutcome::DuplicateSerial) {
        refuse(QStringLiteral("Duplicate Serial Number."), txtfields[2]);
        return;
    }
    trap([&] { ClsObj->Db->execute(StoreStatements::flushTables()); });
    LinkSavedRecord(n);

    // Reads the list row as it was before this save, so it must run before the reload.
    trap([&] { storeProofDocument(ProofKind::Id, n, kept); });
    trap([&] { storeProofDocument(ProofKind::Addr, n, kept); });
    documentWrites.reset();

    // The reloads log their own failures.
    LoadLists();
    LoadGrid();
    selectRecordRow(*vs, n);
    scrollCurrentRowToTop(*vs);
    EnableList(true);
    LoadData();
    (AddMode ? cmdadd : cmdmodify)->setFocus();
}

void frmDscMain::connectRecordButtons() {
    connect(cmdupdate, &QPushButton::clicked, this, &frmDscMain::cmdupdate_Click);
    connect(cmddelete, &QPushButton::clicked, this, &frmDscMain::cmddelete_Click);
    connect(cmdIdProof, &QPushButton::clicked, this, &frmDscMain::cmdIdProof_Click);
    connect(cmdIdProofC, &QPushButton::clicked, this, &frmDscMain::cmdIdProofC_Click);
    connect(cmdIdProofV, &QPushButton::clicked, this, &frmDscMain::cmdIdProofV_Click);
    connect(cmdAddrProof, &QPushButton::clicked, this, &frmDscMain::cmdAddrProof_Click);
    connect(cmdAddrProofC, &QPushButton::clicked, this, &frmDscMain::cmdAddrProofC_Click);
    connect(cmdAddrProofV, &QPushButton::clicked, this, &frmDscMain::cmdAddrProofV_Click);
}
