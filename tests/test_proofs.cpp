// Proof documents of a record: choosing, clearing and viewing them, storing them in the record's
// folders when it is saved, and deleting a record with its documents.

#include "RegisterHarness.h"

#include <QFile>

using namespace testsupport;
using Kind = frmDscMain::ProofKind;

namespace {
const QString kIdOverwrite = QStringLiteral("Id Proof file already exists. Do you want to Overwrite ?");
const QString kDeleteFirst = QStringLiteral("Do you really want to Delete the selected DSC details?");
const QString kDeleteSecond =
    QStringLiteral("It will also delete the attached Proof Files with the DSC. Do you really want to continue ?");

QString tagOf(const QObject* o) {
    return frmDscMain::Tag(o);
}

bool makeReadOnly(const QString& path) {
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser | QFile::ExeOwner | QFile::ExeUser);
}
} // namespace

class TestProofs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void selectClearAndView_data();
    void selectClearAndView();
    void newRecordStoresCopies_data() { addBackendColumn(); }
    void newRecordStoresCopies();
    void unchangedSaveTouchesNoFile_data() { addBackendColumn(); }
    void unchangedSaveTouchesNoFile();
    void replaceWithAnotherName_data() { addBackendColumn(); }
    void replaceWithAnotherName();
    void replaceWithSameName_data() { addBackendColumn(); }
    void replaceWithSameName();
    void clearThenSave_data() { addBackendColumn(); }
    void clearThenSave();
    void cancelBringsBackStoredChoice_data() { addBackendColumn(); }
    void cancelBringsBackStoredChoice();
    void chosenFileMovedAway_data() { addBackendColumn(); }
    void chosenFileMovedAway();
    void deleteAnsweredYesThenNo_data() { addBackendColumn(); }
    void deleteAnsweredYesThenNo();
    void deleteRemovesFoldersFirst_data() { addBackendColumn(); }
    void deleteRemovesFoldersFirst();
    void deleteWithoutRow_data() { addBackendColumn(); }
    void deleteWithoutRow();
    void reusedNumberStartsWithoutDocuments_data() { addBackendColumn(); }
    void reusedNumberStartsWithoutDocuments();
    void awkwardFiles_data() { addBackendColumn(); }
    void awkwardFiles();
    void unwritableDocumentFolder_data() { addBackendColumn(); }
    void unwritableDocumentFolder();
};

void TestProofs::selectClearAndView_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("clearQuestion");
    QTest::addColumn<QString>("missing");
    QTest::newRow("id") << int(Kind::Id) << QStringLiteral("Select ID Proof File")
                        << QStringLiteral("Do you really want to Clear the Selected File for ID Proof?")
                        << QStringLiteral("ID Proof file does not exist.");
    QTest::newRow("address") << int(Kind::Addr) << QStringLiteral("Select Address Proof File")
                             << QStringLiteral("Do you really want to Clear the Selected File for Address Proof ?")
                             << QStringLiteral("Address Proof file does not exist.");
}

// The buttons change only the tags and what the buttons show; nothing is copied.
void TestProofs::selectClearAndView() {
    QFETCH(int, kind);
    QFETCH(QString, title);
    QFETCH(QString, clearQuestion);
    QFETCH(QString, missing);
    const Kind k = Kind(kind);
    RegisterHarness h(QStringLiteral("sqlite"));
    h.open();
    frmDscMain& w = *h.w;
    auto select = [&] { k == Kind::Id ? w.cmdIdProof_Click() : w.cmdAddrProof_Click(); };
    auto clear = [&] { k == Kind::Id ? w.cmdIdProofC_Click() : w.cmdAddrProofC_Click(); };
    auto view = [&] { k == Kind::Id ? w.cmdIdProofV_Click() : w.cmdAddrProofV_Click(); };
    QPushButton* selectButton = w.proofSelectButton(k);
    QPushButton* clearButton = w.proofClearButton(k);
    w.cmdadd_Click();

    // Cancelling the dialog changes nothing and says nothing.
    h.fx.dialogs->queue(QStringList{});
    select();
    QCOMPARE(h.fx.dialogs->shown().size(), size_t(1));
    QCOMPARE(h.fx.dialogs->shown()[0].title, title);
    QCOMPARE(h.fx.dialogs->shown()[0].filter, QStringLiteral("All File|*.*"));
    QCOMPARE(tagOf(selectButton), QString());
    QVERIFY(!clearButton->isVisible());

    const QString picked = h.outsideFile(QStringLiteral("scan 1.pdf"), "pdf");
    h.fx.dialogs->queue(QStringList{picked});
    select();
    QCOMPARE(tagOf(selectButton), QStringLiteral("scan 1.pdf"));
    QCOMPARE(tagOf(clearButton), picked);
    QVERIFY(clearButton->isVisible());
    QVERIFY(w.proofViewButton(k)->isVisible());
    QCOMPARE(selectButton->palette().color(QPalette::Button), QColor(255, 192, 192));
    QVERIFY(!QFileInfo::exists(h.fx.folder + QStringLiteral("/DscDocs")));

    // Viewing opens the chosen file where it lies.
    view();
    QCOMPARE(h.fx.desktop->documents, QStringList{picked});

    // Clear answered No keeps the choice; Yes empties it and hides the buttons.
    h.fx.dialogs->clear();
    h.fx.dialogs->queueNo();
    clear();
    QCOMPARE(h.fx.dialogs->shown().at(0).text, clearQuestion);
    QCOMPARE(h.fx.dialogs->shown().at(0).defaultButton, kyt::Answer::Yes);
    QCOMPARE(tagOf(clearButton), picked);
    h.fx.dialogs->queueYes();
    clear();
    QCOMPARE(tagOf(selectButton), QString());
    QCOMPARE(tagOf(clearButton), QString());
    QVERIFY(!clearButton->isVisible());
    QCOMPARE(selectButton->palette().color(QPalette::Button), QColor(192, 255, 255));
    QVERIFY(QFile::exists(picked));

    // A chosen file that vanished is reported when viewed.
    h.fx.dialogs->clear();
    h.fx.dialogs->queue(QStringList{picked});
    select();
    QVERIFY(QFile::remove(picked));
    view();
    QCOMPARE(h.said().last(), missing);
    QCOMPARE(h.fx.desktop->documents.size(), 1);
    QCOMPARE(h.fx.dialogs->unexpected(), 0);
}

void TestProofs::newRecordStoresCopies() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    h.open();
    const QString id = h.outsideFile(QStringLiteral("pan.pdf"), "PAN");
    const QString addr = h.outsideFile(QStringLiteral("bill.jpg"), "BILL");
    h.w->cmdadd_Click();
    h.fill(QStringLiteral("Holder"));
    h.fx.dialogs->queue(QStringList{id});
    h.w->cmdIdProof_Click();
    h.fx.dialogs->queue(QStringList{addr});
    h.w->cmdAddrProof_Click();
    h.w->cmdupdate_Click();

    QCOMPARE(RegisterHarness::readFile(h.idDoc(1, QStringLiteral("pan.pdf"))), QByteArray("PAN"));
    QCOMPARE(RegisterHarness::readFile(h.addrDoc(1, QStringLiteral("bill.jpg"))), QByteArray("BILL"));
    QVERIFY2(QFile::exists(id) && QFile::exists(addr), "the chosen files are copied, not moved");
    QCOMPARE(h.column(1, QStringLiteral("IdPrFlNm")), QStringLiteral("pan.pdf"));
    QCOMPARE(h.column(1, QStringLiteral("AddrPrFlNm")), QStringLiteral("bill.jpg"));
    // The entry controls now point at the stored copies.
    QCOMPARE(tagOf(h.w->cmdIdProofC), h.idDoc(1, QStringLiteral("pan.pdf")));
    QCOMPARE(tagOf(h.w->cmdAddrProofC), h.addrDoc(1, QStringLiteral("bill.jpg")));
    QCOMPARE(h.said(), QStringList{});
    QCOMPARE(h.fx.logLines(), QStringList{});
}

void TestProofs::unchangedSaveTouchesNoFile() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    h.store({1, QStringLiteral("Holder"), {}, {}, {}, QStringLiteral("pan.pdf"), QStringLiteral("bill.pdf")});
    // A stored document that has vanished is not looked for either.
    QVERIFY(QFile::remove(h.addrDoc(1, QStringLiteral("bill.pdf"))));
    const QString stored = h.idDoc(1, QStringLiteral("pan.pdf"));
    QVERIFY(makeReadOnly(stored));
    const QDateTime modified = QFileInfo(stored).lastModified();
    h.open();
    h.w->cmdmodify_Click();
    h.w->txtfields[7]->setText(QStringLiteral("9800000000"));
    h.w->cmdupdate_Click();

    QCOMPARE(h.said(), QStringList{});
    QCOMPARE(h.column(1, QStringLiteral("Mobile")), QStringLiteral("9800000000"));
    QCOMPARE(RegisterHarness::readFile(stored), QByteArray("stored"));
    QCOMPARE(QFileInfo(stored).lastModified(), modified);
    QCOMPARE(QDir(QFileInfo(stored).path()).entryList(QDir::Files), QStringList{QStringLiteral("pan.pdf")});
    QCOMPARE(h.column(1, QStringLiteral("AddrPrFlNm")), QStringLiteral("bill.pdf"));
    QCOMPARE(h.fx.logLines(), QStringList{});
}

void TestProofs::replaceWithAnotherName() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    h.store({1, QStringLiteral("Holder"), {}, {}, {}, QStringLiteral("old.pdf")});
    // Read-only documents are removed all the same.
    QVERIFY(makeReadOnly(h.idDoc(1, QStringLiteral("old.pdf"))));
    h.open();
    h.w->cmdmodify_Click();
    h.fx.dialogs->queue(QStringList{h.outsideFile(QStringLiteral("new.pdf"), "NEW")});
    h.w->cmdIdProof_Click();
    h.w->cmdupdate_Click();

    QVERIFY(!QFile::exists(h.idDoc(1, QStringLiteral("old.pdf"))));
    QCOMPARE(RegisterHarness::readFile(h.idDoc(1, QStringLiteral("new.pdf"))), QByteArray("NEW"));
    QCOMPARE(h.column(1, QStringLiteral("IdPrFlNm")), QStringLiteral("new.pdf"));
    QCOMPARE(h.said(), QStringList{});
    QCOMPARE(h.fx.logLines(), QStringList{});
}

void TestProofs::replaceWithSameName() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    h.store({1, QStringLiteral("Holder"), {}, {}, {}, QStringLiteral("pan.pdf")}, "OLD");
    h.open();
    const QString picked = h.outsideFile(QStringLiteral("pan.pdf"), "NEW");

    // No keeps the stored file and still saves the record.
    h.w->cmdmodify_Click();
    h.w->txtfields[0]->setText(QStringLiteral("Renamed"));
    h.fx.dialogs->queue(QStringList{picked});
    h.w->cmdIdProof_Click();
    h.fx.dialogs->queueNo();
    h.w->cmdupdate_Click();
    QCOMPARE(h.fx.dialogs->shown().back().text, kIdOverwrite);
    QCOMPARE(h.fx.dialogs->shown().back().defaultButton, kyt::Answer::Yes);
    QCOMPARE(RegisterHarness::readFile(h.idDoc(1, QStringLiteral("pan.pdf"))), QByteArray("OLD"));
    QCOMPARE(h.column(1, QStringLiteral("Nm")), QStringLiteral("Renamed"));
    QVERIFY(h.w->vs->isEnabled());

    // Yes replaces it.
    h.fx.dialogs->clear();
    h.w->cmdmodify_Click();
    h.fx.dialogs->queue(QStringList{picked});
    h.w->cmdIdProof_Click();
    h.fx.dialogs->queueYes();
    h.w->cmdupdate_Click();
    QCOMPARE(h.said().back(), kIdOverwrite);
    QCOMPARE(RegisterHarness::readFile(h.idDoc(1, QStringLiteral("pan.pdf"))), QByteArray("NEW"));
    QCOMPARE(h.fx.dialogs->unexpected(), 0);
    QCOMPARE(h.fx.logLines(), QStringList{});
}

void TestProofs::clearThenSave() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    h.store({1, QStringLiteral("Holder"), {}, {}, {}, QStringLiteral("pan.pdf"), QStringLiteral("bill.pdf")});
    h.open();
    h.w->cmdmodify_Click();
    h.fx.dialogs->queueYes();
    h.w->cmdIdProofC_Click();
    h.w->cmdupdate_Click();

    const QString folder = QFileInfo(h.idDoc(1, QStringLiteral("pan.pdf"))).path();
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{});
    QCOMPARE(h.column(1, QStringLiteral("IdPrFlNm")), QString());
    QVERIFY2(QFile::exists(h.addrDoc(1, QStringLiteral("bill.pdf"))), "the other kind is left alone");
    QVERIFY(!h.w->cmdIdProofC->isVisible());
}

void TestProofs::cancelBringsBackStoredChoice() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    h.store({1, QStringLiteral("Holder"), {}, {}, {}, QStringLiteral("pan.pdf")});
    h.open();
    h.w->cmdmodify_Click();
    h.fx.dialogs->queue(QStringList{h.outsideFile(QStringLiteral("other.pdf"), "X")});
    h.w->cmdIdProof_Click();
    h.fx.dialogs->queue(QStringList{h.outsideFile(QStringLiteral("bill.pdf"), "Y")});
    h.w->cmdAddrProof_Click();
    h.w->cmdcancel_Click();

    QCOMPARE(tagOf(h.w->cmdIdProof), QStringLiteral("pan.pdf"));
    QCOMPARE(tagOf(h.w->cmdIdProofC), h.idDoc(1, QStringLiteral("pan.pdf")));
    QCOMPARE(tagOf(h.w->cmdAddrProof), QString());
    QCOMPARE(tagOf(h.w->cmdAddrProofC), QString());
    QVERIFY(!QFile::exists(h.idDoc(1, QStringLiteral("other.pdf"))));
    QVERIFY(!QFileInfo::exists(h.fx.folder + QStringLiteral("/DscDocs/AddrProofs")));
}

void TestProofs::chosenFileMovedAway() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    h.store({1, QStringLiteral("Holder"), {}, {}, {}, QStringLiteral("pan.pdf")});
    h.open();
    const QString picked = h.outsideFile(QStringLiteral("new scan.pdf"), "NEW");
    h.w->cmdmodify_Click();
    h.w->txtfields[0]->setText(QStringLiteral("Renamed"));
    h.fx.dialogs->queue(QStringList{picked});
    h.w->cmdIdProof_Click();
    QVERIFY(QFile::rename(picked, picked + QStringLiteral(".moved")));
    h.w->cmdupdate_Click();

    QCOMPARE(h.said(), QStringList{QStringLiteral("ID Proof file [") + picked + QStringLiteral("] does not exist.")});
    QCOMPARE(h.w->focusWidget(), h.w->cmdIdProof);
    QVERIFY2(!h.w->vs->isEnabled(), "the save ends in entry mode");
    QCOMPARE(h.column(1, QStringLiteral("Nm")), QStringLiteral("Holder"));
    QVERIFY(QFile::exists(h.idDoc(1, QStringLiteral("pan.pdf"))));

    // The address proof is checked the same way, after the ID proof.
    h.fx.dialogs->clear();
    h.fx.dialogs->queueYes();
    h.w->cmdIdProofC_Click();
    const QString bill = h.outsideFile(QStringLiteral("bill.pdf"), "B");
    h.fx.dialogs->queue(QStringList{bill});
    h.w->cmdAddrProof_Click();
    QVERIFY(QFile::remove(bill));
    h.w->cmdupdate_Click();
    QCOMPARE(h.said().last(), QStringLiteral("Address Proof file [") + bill + QStringLiteral("] does not exist."));
    QCOMPARE(h.w->focusWidget(), h.w->cmdAddrProof);
    QVERIFY(QFile::exists(h.idDoc(1, QStringLiteral("pan.pdf"))));
}

void TestProofs::deleteAnsweredYesThenNo() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    h.store({1, QStringLiteral("Holder"), {}, {}, {}, QStringLiteral("pan.pdf")});
    h.open();
    h.w->options[1]->setChecked(true);
    h.w->options_Click(1); // nothing has expired: the list is empty under this filter
    QCOMPARE(h.w->vs->Rows(), 1);
    h.w->options[0]->setChecked(true);
    h.w->options_Click(0);
    // Another client adds a record: the reload after the questions shows it.
    h.store({2, QStringLiteral("Added elsewhere")});

    h.fx.dialogs->queueYes();
    h.fx.dialogs->queueNo();
    h.w->cmddelete_Click();
    QCOMPARE(h.said(), (QStringList{kDeleteFirst, kDeleteSecond}));
    QCOMPARE(h.fx.dialogs->shown()[0].defaultButton, kyt::Answer::No);
    QCOMPARE(h.fx.dialogs->shown()[1].defaultButton, kyt::Answer::No);
    QCOMPARE(h.numbers(), (QList<int>{1, 2}));
    QVERIFY(QFile::exists(h.idDoc(1, QStringLiteral("pan.pdf"))));
    QCOMPARE(h.w->vs->Rows(), 3);
    QVERIFY(h.w->options[0]->isChecked());
    QVERIFY(h.w->vs->isEnabled());

    // No to the first question ends it without a reload.
    h.store({3, QStringLiteral("Added later")});
    h.fx.dialogs->clear();
    h.fx.dialogs->queueNo();
    h.w->cmddelete_Click();
    QCOMPARE(h.said(), QStringList{kDeleteFirst});
    QCOMPARE(h.w->vs->Rows(), 3);
}

void TestProofs::deleteRemovesFoldersFirst() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    h.store({1, QStringLiteral("Keep"), {}, {}, {}, QStringLiteral("keep.pdf")});
    h.store({2,
             QStringLiteral("Go"),
             {},
             QStringLiteral("01/01/2011 00:00:00"),
             {},
             QStringLiteral("pan.pdf"),
             QStringLiteral("bill.pdf")});
    // Whatever else lies in the folders goes too, read-only files and folders included.
    const QString extra = QFileInfo(h.idDoc(2, QStringLiteral("pan.pdf"))).path() + QStringLiteral("/sub/x.txt");
    RegisterHarness::writeFile(extra, "x");
    QVERIFY(makeReadOnly(extra));
    QVERIFY(makeReadOnly(QFileInfo(extra).path()));
    QVERIFY(makeReadOnly(h.idDoc(2, QStringLiteral("pan.pdf"))));
    h.open();
    h.selectRecord(2);
    h.fx.dialogs->queueYes();
    h.fx.dialogs->queueYes();
    h.w->cmddelete_Click();

    QCOMPARE(h.numbers(), QList<int>{1});
    QVERIFY(!QFileInfo::exists(h.fx.folder + QStringLiteral("/DscDocs/IdProofs/2")));
    QVERIFY(!QFileInfo::exists(h.fx.folder + QStringLiteral("/DscDocs/AddrProofs/2")));
    QVERIFY(QFile::exists(h.idDoc(1, QStringLiteral("keep.pdf"))));
    QCOMPARE(h.w->vs->Rows(), 2);
    QCOMPARE(h.w->vs->Row(), 1);
    QCOMPARE(h.w->txtfields[0]->text(), QStringLiteral("Keep"));
    QCOMPARE(h.fx.logLines(), QStringList{});

    // A record without documents: both questions, no folder touched, the row goes.
    h.fx.dialogs->clear();
    h.store({3, QStringLiteral("Plain"), {}, QStringLiteral("01/01/2012 00:00:00")});
    frmDscMain::setTag(h.w->options[0], QStringLiteral("-1")); // reload under the same filter
    h.w->options_Click(0);
    h.selectRecord(3);
    h.fx.dialogs->queueYes();
    h.fx.dialogs->queueYes();
    h.w->cmddelete_Click();
    QCOMPARE(h.said(), (QStringList{kDeleteFirst, kDeleteSecond}));
    QCOMPARE(h.numbers(), QList<int>{1});
    QVERIFY(QFile::exists(h.idDoc(1, QStringLiteral("keep.pdf"))));
}

void TestProofs::deleteWithoutRow() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    h.open();
    h.w->cmddelete_Click();
    QCOMPARE(h.said(), QStringList{QStringLiteral("Select a DSC.")});
    QCOMPARE(h.w->focusWidget(), static_cast<QWidget*>(h.w->vs));
}

void TestProofs::reusedNumberStartsWithoutDocuments() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    h.store({1, QStringLiteral("First")});
    h.store({2,
             QStringLiteral("Highest"),
             {},
             QStringLiteral("01/01/2011 00:00:00"),
             {},
             QStringLiteral("pan.pdf"),
             QStringLiteral("bill.pdf")});
    h.open();
    h.selectRecord(2);
    h.fx.dialogs->queueYes();
    h.fx.dialogs->queueYes();
    h.w->cmddelete_Click();

    QVERIFY(h.add(QStringLiteral("Successor")));
    QCOMPARE(h.numbers(), (QList<int>{1, 2}));
    QCOMPARE(h.column(2, QStringLiteral("IdPrFlNm")), QString());
    QCOMPARE(h.column(2, QStringLiteral("AddrPrFlNm")), QString());
    QVERIFY(!QFileInfo::exists(h.fx.folder + QStringLiteral("/DscDocs/IdProofs/2")));
    QVERIFY(!QFileInfo::exists(h.fx.folder + QStringLiteral("/DscDocs/AddrProofs/2")));
    QCOMPARE(h.w->txtfields[0]->text(), QStringLiteral("Successor"));
    QVERIFY(!h.w->cmdIdProofV->isVisible());
}

// Large files, files without an extension, and names with quotes and letters beyond ASCII are
// stored as they are.
void TestProofs::awkwardFiles() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    h.open();
    const QString huge = h.outsideFile(QStringLiteral("SCAN"), QByteArray());
    {
        QFile f(huge);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.resize(qint64(300) << 20)); // 300 MiB, mostly holes
        f.seek(f.size() - 4);
        f.write("tail");
    }
    const QString odd = QStringLiteral("O'Brien \"Adresse\" Straße-ß ü.pdf");
    h.outsideFile(odd, "ODD");

    h.w->cmdadd_Click();
    h.fill(QStringLiteral("Holder"));
    h.fx.dialogs->queue(QStringList{huge});
    h.w->cmdIdProof_Click();
    h.fx.dialogs->queue(QStringList{h.fx.folder + QStringLiteral("/picked/") + odd});
    h.w->cmdAddrProof_Click();
    h.w->cmdupdate_Click();

    QCOMPARE(h.fx.logLines(), QStringList{});
    QCOMPARE(QFileInfo(h.idDoc(1, QStringLiteral("SCAN"))).size(), qint64(300) << 20);
    QFile copy(h.idDoc(1, QStringLiteral("SCAN")));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    copy.seek(copy.size() - 4);
    QCOMPARE(copy.read(4), QByteArray("tail"));
    QCOMPARE(RegisterHarness::readFile(h.addrDoc(1, odd)), QByteArray("ODD"));
    QCOMPARE(h.column(1, QStringLiteral("IdPrFlNm")), QStringLiteral("SCAN"));
    QCOMPARE(h.column(1, QStringLiteral("AddrPrFlNm")), odd);
    QCOMPARE(tagOf(h.w->cmdAddrProofC), h.addrDoc(1, odd));
    QVERIFY2(QDir(QFileInfo(h.idDoc(1, QStringLiteral("SCAN"))).path()).entryList(QDir::Files).size() == 1,
             "no partial copy is left beside the document");
}

// A document folder that cannot be made: the record is written, every failed step is logged, and
// the window goes on to list mode.
void TestProofs::unwritableDocumentFolder() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    // A plain file where the record's folder should be blocks it for every user, root included.
    RegisterHarness::writeFile(h.fx.folder + QStringLiteral("/DscDocs/IdProofs/1"), "in the way");
    h.open();
    const QString picked = h.outsideFile(QStringLiteral("pan.pdf"), "PAN");
    h.w->cmdadd_Click();
    h.fill(QStringLiteral("Holder"));
    h.fx.dialogs->queue(QStringList{picked});
    h.w->cmdIdProof_Click();
    h.w->cmdupdate_Click();

    QCOMPARE(h.numbers(), QList<int>{1});
    QCOMPARE(h.column(1, QStringLiteral("IdPrFlNm")), QStringLiteral("pan.pdf"));
    QVERIFY(!QFile::exists(h.idDoc(1, QStringLiteral("pan.pdf"))));
    const QStringList errors = h.errorsOf(QStringLiteral("CMDUPDATE_CLICK"));
    QCOMPARE(errors.size(), 2); // the folder, then the copy
    QVERIFY2(errors[0].contains(h.fx.folder + QStringLiteral("/DscDocs/IdProofs/1")), qPrintable(errors[0]));
    QVERIFY2(errors[1].contains(h.idDoc(1, QStringLiteral("pan.pdf"))), qPrintable(errors[1]));
    QVERIFY(h.w->vs->isEnabled());
    QCOMPARE(h.w->vs->TextMatrix(h.w->vs->Row(), 1), QStringLiteral("1"));
    QCOMPARE(h.said(), QStringList{});

    // A read-only target folder: refused for an ordinary user, written by root; either way the
    // record is saved and nothing goes unlogged.
    const QString folder = h.fx.folder + QStringLiteral("/DscDocs/AddrProofs/1");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(makeReadOnly(folder));
    h.w->cmdmodify_Click();
    h.fx.dialogs->queue(QStringList{h.outsideFile(QStringLiteral("bill.pdf"), "BILL")});
    h.w->cmdAddrProof_Click();
    h.w->cmdupdate_Click();
    const bool copied = QFile::exists(h.addrDoc(1, QStringLiteral("bill.pdf")));
    QCOMPARE(h.errorsOf(QStringLiteral("CMDUPDATE_CLICK")).size(), copied ? 2 + 1 : 2 + 2);
    QCOMPARE(h.column(1, QStringLiteral("AddrPrFlNm")), QStringLiteral("bill.pdf"));
    QVERIFY(h.w->vs->isEnabled());
}

QTEST_MAIN(TestProofs)
#include "test_proofs.moc"
