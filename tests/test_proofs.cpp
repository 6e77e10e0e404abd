// Proof documents of a record: choosing, clearing and viewing them, storing them in the record's
// folders when it is saved, and deleting a record with its documents.

#include "support/RegisterWindowHarness.h"

using namespace regtest;
using namespace Qt::StringLiterals;
using testsupport::addBackendColumn;

namespace {
const QString kIdOverwrite = u"Id Proof file already exists. Do you want to Overwrite ?"_s;
const QString kDeleteFirst = u"Do you really want to Delete the selected DSC details?"_s;
const QString kDeleteSecond =
    u"It will also delete the attached Proof Files with the DSC. Do you really want to continue ?"_s;

QString tagOf(const QObject* o) {
    return frmDscMain::Tag(o);
}

bool makeReadOnly(const QString& path) {
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser | QFile::ExeOwner | QFile::ExeUser);
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files);
}
} // namespace

class TestProofs : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private Q_SLOTS:
    void selectClearAndView_data();
    void selectClearAndView();
    void newRecordStoresCopies_data() { addBackendColumn(); }
    void newRecordStoresCopies();
    void unchangedSaveTouchesNoFile_data() { addBackendColumn(); }
    void unchangedSaveTouchesNoFile();
    void replaceAndClearThenSave_data() { addBackendColumn(); }
    void replaceAndClearThenSave();
    void changingAStoredDocument_data() { addBackendColumn(); }
    void changingAStoredDocument();
    void deleteAnsweredNo_data() { addBackendColumn(); }
    void deleteAnsweredNo();
    void deleteRemovesTheRowThenItsFolders_data() { addBackendColumn(); }
    void deleteRemovesTheRowThenItsFolders();
    void unwritableDocumentFolder_data() { addBackendColumn(); }
    void unwritableDocumentFolder();
};

void TestProofs::selectClearAndView_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("clearQuestion");
    QTest::addColumn<QString>("missing");
    QTest::newRow("id") << Kind::Id << u"Select ID Proof File"_s
                        << u"Do you really want to Clear the Selected File for ID Proof?"_s
                        << u"ID Proof file does not exist."_s;
    QTest::newRow("address") << Kind::Addr << u"Select Address Proof File"_s
                             << u"Do you really want to Clear the Selected File for Address Proof ?"_s
                             << u"Address Proof file does not exist."_s;
}

// The buttons change only the tags and what the buttons show; nothing is copied.
void TestProofs::selectClearAndView() {
    QFETCH(Kind, kind);
    QFETCH(QString, title);
    QFETCH(QString, clearQuestion);
    QFETCH(QString, missing);
    RegisterWindow h;
    h.open();
    frmDscMain& w = *h.w;
    auto clear = [&] { h.click(w.proofClearButton(kind)); };
    auto view = [&] { h.click(w.proofViewButton(kind)); };
    QPushButton* selectButton = w.proofSelectButton(kind);
    QPushButton* clearButton = w.proofClearButton(kind);
    h.click(w.cmdadd);

    // Cancelling the dialog changes nothing and says nothing.
    h.choose(kind, QString());
    QCOMPARE(h.fx.dialogs->shown().size(), size_t(1));
    QCOMPARE(h.fx.dialogs->shown()[0].title, title);
    QCOMPARE(h.fx.dialogs->shown()[0].filter, u"All File|*.*"_s);
    QCOMPARE(tagOf(selectButton), QString());
    QVERIFY(!clearButton->isVisible());

    const QString picked = h.outsideFile(u"scan 1.pdf"_s, "pdf");
    h.choose(kind, picked);
    QCOMPARE(tagOf(selectButton), u"scan 1.pdf"_s);
    QCOMPARE(tagOf(clearButton), picked);
    QVERIFY(clearButton->isVisible());
    QVERIFY(w.proofViewButton(kind)->isVisible());
    QCOMPARE(selectButton->palette().color(QPalette::Button), QColor(255, 192, 192));
    QVERIFY(!QFileInfo::exists(h.fx.folder + u"/DscDocs"_s));

    QCOMPARE(selectButton->toolTip(), title + u"\nAttached: scan 1.pdf"_s);

    // Viewing opens the chosen file where it lies; a file no program opens is said so.
    view();
    QCOMPARE(h.fx.desktop->documents, QStringList{picked});
    h.fx.desktop->opensDocuments = false;
    view();
    QVERIFY2(h.said().last().endsWith(u" Proof file \"scan 1.pdf\"."_s), qPrintable(h.said().last()));
    h.fx.desktop->opensDocuments = true;

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
    QCOMPARE(selectButton->toolTip(), title);
    QVERIFY(!clearButton->isVisible());
    QCOMPARE(selectButton->palette().color(QPalette::Button), QColor(192, 255, 255));
    QVERIFY(QFile::exists(picked));

    // A chosen file that vanished is reported when viewed.
    h.choose(kind, picked);
    QVERIFY(QFile::remove(picked));
    view();
    QCOMPARE(h.said().last(), missing);
    QCOMPARE(h.fx.desktop->documents.size(), 2);
}

// The chosen files are copied, not moved, whatever their size or name: here a large file without an
// extension and a name with quotes and letters beyond ASCII.
void TestProofs::newRecordStoresCopies() {
    QFETCH(QString, backend);
    RegisterWindow h(backend);
    h.open();
    const QString huge = h.outsideFile(u"SCAN"_s, QByteArray());
    {
        QFile f(huge);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.resize(qint64(300) << 20)); // 300 MiB, mostly holes
        f.seek(f.size() - 4);
        f.write("tail");
    }
    const QString odd = u"O'Brien \"Adresse\" Straße-ß ü.pdf"_s;
    const QString addr = h.outsideFile(odd, "ODD");
    h.click(h.w->cmdadd);
    h.fill(u"Holder"_s);
    h.choose(Kind::Id, huge);
    h.choose(Kind::Addr, addr);
    h.click(h.w->cmdupdate);

    QCOMPARE(h.said(), QStringList());
    QCOMPARE(h.fx.logLines(), QStringList());
    QFile copy(h.idDoc(1, u"SCAN"_s));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.size(), qint64(300) << 20);
    copy.seek(copy.size() - 4);
    QCOMPARE(copy.read(4), QByteArray("tail"));
    QCOMPARE(filesIn(h.idDoc(1)), QStringList{u"SCAN"_s}); // no partial copy beside it
    QCOMPARE(RegisterWindow::readFile(h.addrDoc(1, odd)), QByteArray("ODD"));
    QVERIFY(QFile::exists(huge) && QFile::exists(addr));
    QCOMPARE(h.column(1, "IdPrFlNm"), u"SCAN"_s);
    QCOMPARE(h.column(1, "AddrPrFlNm"), odd);
    // The entry controls now point at the stored copies.
    QCOMPARE(tagOf(h.w->cmdIdProofC), h.idDoc(1, u"SCAN"_s));
    QCOMPARE(tagOf(h.w->cmdAddrProofC), h.addrDoc(1, odd));
}

void TestProofs::unchangedSaveTouchesNoFile() {
    QFETCH(QString, backend);
    RegisterWindow h(backend);
    h.store({.srNo = 1, .name = "Holder", .idFile = "pan.pdf", .addrFile = "bill.pdf"});
    // A stored document that has vanished is not looked for either.
    QVERIFY(QFile::remove(h.addrDoc(1, u"bill.pdf"_s)));
    const QString stored = h.idDoc(1, u"pan.pdf"_s);
    QVERIFY(makeReadOnly(stored));
    const QDateTime modified = QFileInfo(stored).lastModified();
    h.open();
    h.click(h.w->cmdmodify);
    h.text(7)->setText(u"9800000000"_s);
    h.click(h.w->cmdupdate);

    QCOMPARE(h.said(), QStringList());
    QCOMPARE(h.column(1, "Mobile"), u"9800000000"_s);
    QCOMPARE(RegisterWindow::readFile(stored), QByteArray("stored"));
    QCOMPARE(QFileInfo(stored).lastModified(), modified);
    QCOMPARE(filesIn(h.idDoc(1)), QStringList{u"pan.pdf"_s});
    QCOMPARE(h.column(1, "AddrPrFlNm"), u"bill.pdf"_s);
    QCOMPARE(h.fx.logLines(), QStringList());
}

// The ID proof is replaced by a file of another name, the address proof is cleared: both old
// documents go (read-only ones too), their folders stay.
void TestProofs::replaceAndClearThenSave() {
    QFETCH(QString, backend);
    RegisterWindow h(backend);
    h.store({.srNo = 1, .name = "Holder", .idFile = "old.pdf", .addrFile = "bill.pdf"});
    QVERIFY(makeReadOnly(h.idDoc(1, u"old.pdf"_s)));
    h.open();
    h.click(h.w->cmdmodify);
    h.choose(Kind::Id, h.outsideFile(u"new.pdf"_s, "NEW"));
    h.fx.dialogs->queueYes();
    h.click(h.w->cmdAddrProofC);
    h.click(h.w->cmdupdate);

    QCOMPARE(filesIn(h.idDoc(1)), QStringList{u"new.pdf"_s});
    QCOMPARE(RegisterWindow::readFile(h.idDoc(1, u"new.pdf"_s)), QByteArray("NEW"));
    QCOMPARE(h.column(1, "IdPrFlNm"), u"new.pdf"_s);
    QVERIFY(QFileInfo(h.addrDoc(1)).isDir());
    QCOMPARE(filesIn(h.addrDoc(1)), QStringList());
    QCOMPARE(h.column(1, "AddrPrFlNm"), QString());
    QVERIFY(!h.w->cmdAddrProofC->isVisible());
    QCOMPARE(h.said(), QStringList{u"Do you really want to Clear the Selected File for Address Proof ?"_s});
    QCOMPARE(h.fx.logLines(), QStringList());
}

void TestProofs::changingAStoredDocument() {
    QFETCH(QString, backend);
    RegisterWindow h(backend);
    h.store({.srNo = 1, .name = "Holder", .idFile = "pan.pdf"}, "OLD");
    const QString stored = h.idDoc(1, u"pan.pdf"_s);
    h.open();

    // Cancel brings the stored choice back; nothing was copied.
    h.click(h.w->cmdmodify);
    h.choose(Kind::Id, h.outsideFile(u"other.pdf"_s, "X"));
    h.choose(Kind::Addr, h.outsideFile(u"bill.pdf"_s, "Y"));
    h.click(h.w->cmdcancel);
    QCOMPARE(tagOf(h.w->cmdIdProof), u"pan.pdf"_s);
    QCOMPARE(tagOf(h.w->cmdIdProofC), stored);
    QCOMPARE(tagOf(h.w->cmdAddrProof), QString());
    QCOMPARE(tagOf(h.w->cmdAddrProofC), QString());
    QCOMPARE(filesIn(h.idDoc(1)), QStringList{u"pan.pdf"_s});
    QVERIFY(!QFileInfo::exists(h.addrDoc(1)));

    // A chosen file moved away before saving is refused, the ID proof before the address proof.
    const QString moved = h.outsideFile(u"new scan.pdf"_s, "NEW");
    h.click(h.w->cmdmodify);
    h.text(0)->setText(u"Renamed"_s);
    h.choose(Kind::Id, moved);
    h.choose(Kind::Addr, moved);
    QVERIFY(QFile::remove(moved));
    h.click(h.w->cmdupdate);
    QCOMPARE(h.said(), QStringList{u"ID Proof file ["_s + moved + u"] does not exist."_s});
    QCOMPARE(h.w->focusWidget(), h.w->cmdIdProof);
    QVERIFY2(!h.w->vs->isEnabled(), "the save ends in entry mode");
    QCOMPARE(h.column(1, "Nm"), u"Holder"_s);
    h.fx.dialogs->clear();
    h.fx.dialogs->queueYes();
    h.click(h.w->cmdIdProofC);
    h.click(h.w->cmdupdate);
    QCOMPARE(h.said().last(), u"Address Proof file ["_s + moved + u"] does not exist."_s);
    QCOMPARE(h.w->focusWidget(), h.w->cmdAddrProof);
    QCOMPARE(RegisterWindow::readFile(stored), QByteArray("OLD"));
    h.click(h.w->cmdcancel);

    // A file of the stored name: No keeps the stored file and still saves the record, Yes replaces it.
    const QString picked = h.outsideFile(u"pan.pdf"_s, "NEW");
    h.fx.dialogs->clear();
    for (const bool yes : {false, true}) {
        h.click(h.w->cmdmodify);
        h.text(0)->setText(yes ? u"Replaced"_s : u"Kept"_s);
        h.choose(Kind::Id, picked);
        yes ? h.fx.dialogs->queueYes() : h.fx.dialogs->queueNo();
        h.click(h.w->cmdupdate);
        QCOMPARE(h.said().last(), kIdOverwrite);
        QCOMPARE(h.fx.dialogs->shown().back().defaultButton, kyt::Answer::Yes);
        QCOMPARE(RegisterWindow::readFile(stored), yes ? QByteArray("NEW") : QByteArray("OLD"));
        QCOMPARE(h.column(1, "Nm"), yes ? u"Replaced"_s : u"Kept"_s);
        QVERIFY(h.w->vs->isEnabled());
    }
    QCOMPARE(h.said().size(), 2);

    // A file whose name differs in letter case only takes the stored one's place.
    h.click(h.w->cmdmodify);
    h.choose(Kind::Id, h.outsideFile(u"PAN.PDF"_s, "UPPER"));
    h.click(h.w->cmdupdate);
    QCOMPARE(filesIn(h.idDoc(1)), QStringList{u"PAN.PDF"_s});
    QCOMPARE(h.column(1, "IdPrFlNm"), u"PAN.PDF"_s);
    QCOMPARE(h.fx.logLines(), QStringList());
}

// After the first Yes the list is reloaded under the current filter, whatever the second answer.
void TestProofs::deleteAnsweredNo() {
    QFETCH(QString, backend);
    RegisterWindow h(backend);
    h.store({.srNo = 1, .name = "Valid"});
    h.store({.srNo = 2, .name = "Expired", .to = "01/01/2015 00:00:00", .idFile = "pan.pdf"});
    h.open();
    h.click(h.w->options[1]);
    QCOMPARE(h.w->vs->Rows(), 2);
    // Other clients add records; only the reload shows them.
    h.store({.srNo = 3, .name = "Expired elsewhere", .to = "01/01/2016 00:00:00"});

    h.fx.dialogs->queueYes();
    h.fx.dialogs->queueNo();
    h.click(h.w->cmddelete);
    QCOMPARE(h.said(), (QStringList{kDeleteFirst, kDeleteSecond}));
    QCOMPARE(h.fx.dialogs->shown()[0].defaultButton, kyt::Answer::No);
    QCOMPARE(h.fx.dialogs->shown()[1].defaultButton, kyt::Answer::No);
    QCOMPARE(h.numbers(), (QList<int>{1, 2, 3}));
    QVERIFY(QFile::exists(h.idDoc(2, u"pan.pdf"_s)));
    QCOMPARE(h.w->vs->Rows(), 3);
    QVERIFY(h.w->options[1]->isChecked());
    QVERIFY(h.w->vs->isEnabled());

    // No to the first question ends it without a reload.
    h.store({.srNo = 4, .name = "Expired later", .to = "01/01/2017 00:00:00"});
    h.fx.dialogs->clear();
    h.fx.dialogs->queueNo();
    h.click(h.w->cmddelete);
    QCOMPARE(h.said(), QStringList{kDeleteFirst});
    QCOMPARE(h.w->vs->Rows(), 3);
}

// The row goes first and its folders after it; a row the register refuses to delete keeps its
// documents, and the user is told once.
void TestProofs::deleteRemovesTheRowThenItsFolders() {
    QFETCH(QString, backend);
    RegisterWindow h(backend);
    h.store({.srNo = 1, .name = "Keep", .idFile = "keep.pdf"});
    h.store({.srNo = 2, .name = "Go", .from = "01/01/2011 00:00:00", .idFile = "pan.pdf", .addrFile = "bill.pdf"});
    // Whatever else lies in the folders goes too, read-only files and folders included.
    const QString extra = h.idDoc(2, u"sub/x.txt"_s);
    RegisterWindow::writeFile(extra, "x");
    QVERIFY(makeReadOnly(extra));
    QVERIFY(makeReadOnly(QFileInfo(extra).path()));
    QVERIFY(makeReadOnly(h.idDoc(2, u"pan.pdf"_s)));
    // A row written by another program without a record number owns no folder.
    h.fx.db->execute(u"Insert Into DscStore (Nm, DtFrom, DtTo) Values ('Foreign', '2009-01-01 00:00:00', "
                     "'2030-01-01 00:00:00')"_s);
    h.fx.db->execute(backend == "sqlite"_L1
                         ? u"Create Trigger KeepRows Before Delete On DscStore Begin Select Raise(Abort, 'kept'); End"_s
                         : u"Create Trigger KeepRows Before Delete On DscStore For Each Row Signal SqlState '45000' "
                           "Set Message_Text='kept'"_s);
    h.open();
    h.deleteRecord(2);
    QCOMPARE(h.said().size(), 3);
    QVERIFY2(h.said().last().startsWith(u"The certificate was not deleted: the register refused it"_s),
             qPrintable(h.said().last()));
    QCOMPARE(h.numbers(), (QList<int>{0, 1, 2}));
    QVERIFY(QFile::exists(h.idDoc(2, u"pan.pdf"_s)));
    QVERIFY(QFile::exists(h.addrDoc(2, u"bill.pdf"_s)));
    QCOMPARE(h.fx.logLines().filter(u"\tfrmDscMain\tCMDDELETE_CLICK"_s).size(), 1);
    h.fx.db->execute(u"Drop Trigger KeepRows"_s);
    h.fx.dialogs->clear();
    h.clickRow(1);
    QCOMPARE(h.w->vs->TextMatrix(1, 2), u"Foreign"_s);
    h.fx.dialogs->queueYes();
    h.fx.dialogs->queueYes();
    h.click(h.w->cmddelete);
    QVERIFY(QFile::exists(h.idDoc(1, u"keep.pdf"_s)));
    QVERIFY(QFile::exists(h.idDoc(2, u"pan.pdf"_s)));
    QVERIFY(QFile::exists(h.addrDoc(2, u"bill.pdf"_s)));
    h.fx.dialogs->clear();
    h.deleteRecord(2);

    QCOMPARE(h.numbers(), (QList<int>{0, 1})); // the foreign row's NULL reads as 0
    QVERIFY(!QFileInfo::exists(h.idDoc(2)));
    QVERIFY(!QFileInfo::exists(h.addrDoc(2)));
    QVERIFY(QFile::exists(h.idDoc(1, u"keep.pdf"_s)));
    QCOMPARE(h.w->vs->Rows(), 3); // the foreign row stays, as nothing names it
    QCOMPARE(h.fx.logLines().size(), 1);
}

// A document folder that cannot be made: the record is written, every failed step is logged, the
// user is told the document was not stored, and the window goes on to list mode.
void TestProofs::unwritableDocumentFolder() {
    QFETCH(QString, backend);
    RegisterWindow h(backend);
    // A plain file where the record's folder should be blocks it for every user, root included.
    RegisterWindow::writeFile(h.idDoc(1), "in the way");
    h.open();
    h.click(h.w->cmdadd);
    h.fill(u"Holder"_s);
    h.choose(Kind::Id, h.outsideFile(u"pan.pdf"_s, "PAN"));
    h.click(h.w->cmdupdate);

    QCOMPARE(h.numbers(), QList<int>{1});
    QCOMPARE(h.column(1, "IdPrFlNm"), u"pan.pdf"_s);
    QVERIFY(!QFile::exists(h.idDoc(1, u"pan.pdf"_s)));
    const QStringList errors = h.fx.logLines().filter(u"\tfrmDscMain\tCMDUPDATE_CLICK"_s);
    QCOMPARE(errors.size(), 2); // the folder, then the copy
    QVERIFY2(errors[0].contains(h.idDoc(1)), qPrintable(errors[0]));
    QVERIFY2(errors[1].contains(h.idDoc(1, u"pan.pdf"_s)), qPrintable(errors[1]));
    QVERIFY(h.w->vs->isEnabled());
    QCOMPARE(h.w->vs->TextMatrix(h.w->vs->Row(), 1), u"1"_s);
    QCOMPARE(h.said().size(), 1);
    QVERIFY2(
        h.said().first().startsWith(u"ID Proof file ["_s + h.fx.folder + u"/picked/pan.pdf] could not be stored"_s),
        qPrintable(h.said().first()));

    // A read-only target folder: refused for an ordinary user, written by root; either way the
    // record is saved and nothing goes unlogged or untold.
    QVERIFY(QDir().mkpath(h.addrDoc(1)));
    QVERIFY(makeReadOnly(h.addrDoc(1)));
    h.click(h.w->cmdmodify);
    h.choose(Kind::Addr, h.outsideFile(u"bill.pdf"_s, "BILL"));
    h.click(h.w->cmdupdate);
    const bool copied = QFile::exists(h.addrDoc(1, u"bill.pdf"_s));
    QCOMPARE(h.fx.logLines().filter(u"\tfrmDscMain\tCMDUPDATE_CLICK"_s).size(), copied ? 2 + 1 : 2 + 2);
    QCOMPARE(h.said().size(), copied ? 1 : 2);
    QCOMPARE(h.column(1, "AddrPrFlNm"), u"bill.pdf"_s);
    QVERIFY(h.w->vs->isEnabled());
}

QTEST_MAIN(TestProofs)
#include "test_proofs.moc"
