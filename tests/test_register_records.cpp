// Loading the current list row into the entry frame, and the three type lists.

#include "support/RegisterWindowHarness.h"

using namespace regtest;
using namespace Qt::StringLiterals;

namespace {
const QStringList kFixedProofTypes = {u"Passport"_s,        u"PAN Card"_s,        u"Voter ID Card"_s,
                                      u"Driving License"_s, u"ICAI Membership"_s, u"ICSI Membership"_s,
                                      u"ICWAI Membership"_s};

// A type list's entries. The stored types are sorted here, since the backends return distinct
// values in their own order; they follow the fixed proof types, which must come first as they are.
QStringList entries(QComboBox* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->itemText(i);
    const qsizetype fixed = out.mid(0, kFixedProofTypes.size()) == kFixedProofTypes ? kFixedProofTypes.size() : 0;
    std::sort(out.begin() + fixed, out.end());
    return out;
}

// One proof kind's buttons: the select button's tag and colour, the clear button's path, and
// whether clear and view are shown.
void verifyProof(RegisterWindow& r, Kind kind, const QString& file, const QString& path) {
    QPushButton* select = r.w->proofSelectButton(kind);
    QCOMPARE(frmDscMain::Tag(select), file);
    QCOMPARE(frmDscMain::Tag(r.w->proofClearButton(kind)), path);
    QCOMPARE(select->palette().color(QPalette::Button), file.isEmpty() ? QColor(192, 255, 255) : QColor(255, 192, 192));
    QCOMPARE(r.w->proofClearButton(kind)->isHidden(), file.isEmpty());
    QCOMPARE(r.w->proofViewButton(kind)->isHidden(), file.isEmpty());
}
} // namespace

class TestRegisterRecords : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private Q_SLOTS:
    void entryFrameFollowsTheCurrentRow();
    void oddStoredValuesLoadQuietly();
    void typeLists_data() { testsupport::addBackendColumn(); }
    void typeLists();
};

void TestRegisterRecords::entryFrameFollowsTheCurrentRow() {
    RegisterWindow r;
    const Record full{.srNo = 7,
                      .name = "Anil O'Neil \\ Śarmā",
                      .type = "Class 3",
                      .serial = "SN-7",
                      .authority = "Test CA",
                      .from = "01/01/2025 09:15:30",
                      .to = "31/12/2026 23:59:59",
                      .email = "anil@example.in",
                      .mobile = "9876543210",
                      .tel = "011-2345",
                      .idType = "PAN Card",
                      .idNo = "ABCDE1234F",
                      .idFile = "pan.pdf",
                      .addrType = "Ration Card",
                      .addrNo = "RC-77"};
    r.store(full);
    r.store({.srNo = 3,
             .name = "Zoya",
             .type = "DGFT",
             .from = "01/02/2025 10:00:00",
             .addrType = "Passport",
             .addrNo = "P-1",
             .addrFile = "passport scan.jpg"});
    r.open();

    // Row 1 (the earlier start date) is the record numbered 7, shown read-only.
    QVERIFY(!r.find(u"fammain1"_s)->isEnabled());
    const QList<std::pair<int, QString>> texts = {{0, full.name},  {2, full.serial}, {3, full.authority},
                                                  {6, full.email}, {7, full.mobile}, {8, full.tel},
                                                  {10, full.idNo}, {13, full.addrNo}};
    for (const auto& [slot, value] : texts)
        QCOMPARE(r.text(slot)->text(), value);
    QCOMPARE(r.combo("cbodsctype")->currentText(), full.type);
    QCOMPARE(r.combo("cboidproof")->currentText(), full.idType);
    QCOMPARE(r.combo("cboaddrproof")->currentText(), full.addrType);
    QCOMPARE(r.date(0)->text(), full.from);
    QCOMPARE(r.date(1)->text(), full.to);
    verifyProof(r, Kind::Id, full.idFile, r.idDoc(7, full.idFile));
    verifyProof(r, Kind::Addr, QString(), QString());
    QVERIFY(r.button("cmdmodify")->isEnabled());
    QVERIFY(r.button("cmddelete")->isEnabled());

    // Moving to the second row replaces everything, the proof selection included.
    r.clickRow(2);
    QCOMPARE(r.text(0)->text(), u"Zoya"_s);
    QVERIFY(r.text(6)->text().isEmpty());
    QVERIFY(r.combo("cboidproof")->currentText().isEmpty());
    QCOMPARE(r.combo("cboaddrproof")->currentText(), u"Passport"_s);
    verifyProof(r, Kind::Id, QString(), QString());
    verifyProof(r, Kind::Addr, u"passport scan.jpg"_s, r.addrDoc(3, u"passport scan.jpg"_s));

    // A click on a row's running number, or keys that lead there, change the current row and
    // the record shown together: the list never points at one record while the form shows another.
    CertGrid* vs = r.w->vs;
    QTest::mouseClick(vs->viewport(), Qt::LeftButton, {}, vs->visualRect(vs->model()->index(0, 0)).center());
    QCOMPARE(vs->Row(), 1);
    QCOMPARE(r.text(0)->text(), full.name);
    vs->setFocus();
    QTest::keyClick(vs, Qt::Key_Home);
    QTest::keyClick(vs, Qt::Key_Down);
    QCOMPARE(vs->Row(), 2);
    QCOMPARE(r.text(0)->text(), u"Zoya"_s);
    QVERIFY(vs->Col() >= 2);

    // "&Add New" forgets the record's documents as well.
    r.click(r.w->cmdadd);
    verifyProof(r, Kind::Addr, QString(), QString());
    QCOMPARE(r.said(), QStringList());
    QVERIFY(r.fx.logText().isEmpty());
}

void TestRegisterRecords::oddStoredValuesLoadQuietly() {
    RegisterWindow r;
    // Written around the register's own statements: dates that are empty or not dates at all.
    r.fx.db->execute(u"Insert Into DscStore (SrNo, Nm, Typ, DtFrom, DtTo, IdPrTyp) Values "
                     "(1, 'Quote '' and \\ backslash', 'Not a listed type', '', 'someday', 'Aadhaar ''Card''')"_s);
    r.open();
    QCOMPARE(r.w->vs->Rows(), 2);
    QCOMPARE(r.text(0)->text(), u"Quote ' and \\ backslash"_s);
    QCOMPARE(r.combo("cbodsctype")->currentText(), u"Not a listed type"_s);
    QCOMPARE(r.combo("cboidproof")->currentText(), u"Aadhaar 'Card'"_s);
    QVERIFY(r.date(0)->clipText().isEmpty());
    // Both boxes are masked again after taking whatever was stored.
    QCOMPARE(r.date(0)->displayText(), u"__/__/____ __:__:__"_s);
    QCOMPARE(r.date(1)->mask(), MaskedDateBox::kDateMask);
    QCOMPARE(r.said(), QStringList());
}

void TestRegisterRecords::typeLists() {
    QFETCH(QString, backend);
    RegisterWindow r(backend);
    r.open();
    QComboBox* typeList = r.combo("cbodsctype");
    QComboBox* idList = r.combo("cboidproof");
    QComboBox* addrList = r.combo("cboaddrproof");
    QCOMPARE(entries(typeList), QStringList());
    QCOMPARE(entries(idList), kFixedProofTypes);
    QCOMPARE(entries(addrList), kFixedProofTypes);

    r.store({.srNo = 1, .type = "Class 2", .idType = "PAN Card", .addrType = "Electricity Bill"});
    r.store({.srNo = 2, .type = "Class 3", .idType = "Ration Card", .addrType = "Passport"});
    // Types that differ in letter case or trailing blanks only are one type, on both backends.
    r.store({.srNo = 3, .type = "class 2", .idType = "ration card"});
    r.store({.srNo = 4, .type = "CLASS 2 ", .idType = "pan card ", .addrType = "Rent Agreement"});
    idList->setEditText(u"typed, not saved"_s);
    r.w->LoadLists();
    const QStringList addrExtras = {u"Electricity Bill"_s, u"Rent Agreement"_s};
    QCOMPARE(entries(typeList), (QStringList{u"Class 2"_s, u"Class 3"_s}));
    QCOMPARE(entries(idList), kFixedProofTypes + QStringList{u"Ration Card"_s});
    QCOMPARE(entries(addrList), kFixedProofTypes + addrExtras);
    QCOMPARE(idList->currentText(), u"typed, not saved"_s); // only the entries changed

    // Once the last record with an extra type is gone, so is its entry.
    r.fx.db->execute(u"Delete From DscStore Where SrNo In (2, 3)"_s);
    r.fx.db->execute(StoreStatements::flushTables());
    r.w->LoadLists();
    QCOMPARE(entries(typeList), QStringList{u"Class 2"_s});
    QCOMPARE(entries(idList), kFixedProofTypes);
    QCOMPARE(entries(addrList), kFixedProofTypes + addrExtras);
    QVERIFY(r.fx.logText().isEmpty());
}

QTEST_MAIN(TestRegisterRecords)
#include "test_register_records.moc"
