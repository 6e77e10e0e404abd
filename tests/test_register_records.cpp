// Loading the current list row into the entry frame, and the three type lists.

#include "test_register_window.h"

#include <QDir>

using regtest::Record;
using regtest::RegisterWindow;

namespace {
const QColor kPresentDocument(255, 192, 192);
const QColor kNoDocument(192, 255, 255);

const QStringList kFixedProofTypes = {QStringLiteral("Passport"),        QStringLiteral("PAN Card"),
                                      QStringLiteral("Voter ID Card"),   QStringLiteral("Driving License"),
                                      QStringLiteral("ICAI Membership"), QStringLiteral("ICSI Membership"),
                                      QStringLiteral("ICWAI Membership")};

QStringList entries(QComboBox* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->itemText(i);
    return out;
}

// The entries after the fixed ones, sorted: the backends return distinct values in their own order.
QStringList extraEntries(QComboBox* list, int fixed) {
    QStringList out = entries(list).mid(fixed);
    out.sort();
    return out;
}

// Checks one proof kind's buttons: the select button's tag and colour, the clear button's path and
// whether clear and view are shown.
void verifyProof(RegisterWindow& r, const char* select, const QString& file, const QString& path) {
    QPushButton* button = r.button(QLatin1String(select));
    QCOMPARE(frmDscMain::Tag(button), file);
    QCOMPARE(frmDscMain::Tag(r.button(QLatin1String(select) + QLatin1Char('C'))), path);
    QCOMPARE(button->palette().color(QPalette::Button), file.isEmpty() ? kNoDocument : kPresentDocument);
    QCOMPARE(!r.button(QLatin1String(select) + QLatin1Char('C'))->isHidden(), !file.isEmpty());
    QCOMPARE(!r.button(QLatin1String(select) + QLatin1Char('V'))->isHidden(), !file.isEmpty());
}
} // namespace

class TestRegisterRecords : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void entryFrameFollowsTheCurrentRow();
    void emptyListLeavesTheFormEmpty();
    void oddStoredValuesLoadQuietly();
    void typeLists_data();
    void typeLists();
};

void TestRegisterRecords::entryFrameFollowsTheCurrentRow() {
    RegisterWindow r;
    Record full{QStringLiteral("Anil O'Neil \\ Śarmā"), QStringLiteral("Class 3"),
                QStringLiteral("01/01/2025 09:15:30"),  QStringLiteral("31/12/2026 23:59:59"),
                QStringLiteral("anil@example.in"),      QStringLiteral("PAN Card"),
                QStringLiteral("ABCDE1234F"),           QStringLiteral("pan.pdf"),
                QStringLiteral("Ration Card"),          QStringLiteral("RC-77")};
    r.insert(7, full);
    Record other{QStringLiteral("Zoya"),
                 QStringLiteral("DGFT"),
                 QStringLiteral("01/02/2025 10:00:00"),
                 QStringLiteral("01/02/2027 10:00:00"),
                 QString(),
                 QString(),
                 QString(),
                 QString(),
                 QStringLiteral("Passport"),
                 QStringLiteral("P-1"),
                 QStringLiteral("passport scan.jpg")};
    r.insert(3, other);
    r.open();

    // Row 1 (the earlier start date) is the record numbered 7, shown read-only.
    QVERIFY(!r.find(QStringLiteral("fammain1"))->isEnabled());
    const StoreStatements::RecordValues v = regtest::values(full);
    for (int slot : {0, 2, 3, 6, 7, 8, 10, 13})
        QCOMPARE(r.text(slot)->text(), v[size_t(slot)]);
    QCOMPARE(r.combo("cbodsctype")->currentText(), QStringLiteral("Class 3"));
    QCOMPARE(r.combo("cboidproof")->currentText(), QStringLiteral("PAN Card"));
    QCOMPARE(r.combo("cboaddrproof")->currentText(), QStringLiteral("Ration Card"));
    QCOMPARE(r.date(0)->text(), QStringLiteral("01/01/2025 09:15:30"));
    QCOMPARE(r.date(1)->text(), QStringLiteral("31/12/2026 23:59:59"));
    QCOMPARE(r.date(0)->mask(), MaskedDateBox::kDateMask);
    verifyProof(r, "cmdIdProof", QStringLiteral("pan.pdf"),
                r.fx.folder + QStringLiteral("/DscDocs/IdProofs/7/pan.pdf"));
    verifyProof(r, "cmdAddrProof", QString(), QString());
    QVERIFY(r.button(QStringLiteral("cmdmodify"))->isEnabled());
    QVERIFY(r.button(QStringLiteral("cmddelete"))->isEnabled());

    // Moving to the second row replaces everything, the proof selection included.
    r.w->vs->setRow(2);
    QCOMPARE(r.text(0)->text(), QStringLiteral("Zoya"));
    QVERIFY(r.text(6)->text().isEmpty());
    QVERIFY(r.combo("cboidproof")->currentText().isEmpty());
    QCOMPARE(r.combo("cboaddrproof")->currentText(), QStringLiteral("Passport"));
    verifyProof(r, "cmdIdProof", QString(), QString());
    verifyProof(r, "cmdAddrProof", QStringLiteral("passport scan.jpg"),
                r.fx.folder + QStringLiteral("/DscDocs/AddrProofs/3/passport scan.jpg"));

    // "&Add New" forgets the record and its documents.
    r.w->cmdadd_Click();
    QVERIFY(r.text(0)->text().isEmpty());
    QVERIFY(r.combo("cboaddrproof")->currentText().isEmpty());
    QVERIFY(r.date(1)->clipText().isEmpty());
    verifyProof(r, "cmdAddrProof", QString(), QString());
    QCOMPARE(r.messages(), QStringList());
    QVERIFY(r.fx.logText().isEmpty());
}

void TestRegisterRecords::emptyListLeavesTheFormEmpty() {
    RegisterWindow r;
    r.open();
    QCOMPARE(r.w->vs->Row(), 0);
    for (int slot : {0, 2, 3, 6, 7, 8, 10, 13})
        QVERIFY(r.text(slot)->text().isEmpty());
    QCOMPARE(r.date(0)->displayText(), QStringLiteral("__/__/____ __:__:__"));
    verifyProof(r, "cmdIdProof", QString(), QString());
    verifyProof(r, "cmdAddrProof", QString(), QString());
    QVERIFY(!r.button(QStringLiteral("cmdmodify"))->isEnabled());
    QVERIFY(!r.button(QStringLiteral("cmddelete"))->isEnabled());
}

void TestRegisterRecords::oddStoredValuesLoadQuietly() {
    RegisterWindow r;
    // Written around the register's own statements: dates that are empty or not dates at all.
    r.fx.db->execute(QStringLiteral("Insert Into DscStore (SrNo, Nm, Typ, DtFrom, DtTo, IdPrTyp) Values "
                                    "(1, 'Quote '' and \\ backslash', 'Not a listed type', '', 'someday', "
                                    "'Aadhaar ''Card''')"));
    r.open();
    QCOMPARE(r.w->vs->Rows(), 2);
    QCOMPARE(r.text(0)->text(), QStringLiteral("Quote ' and \\ backslash"));
    QCOMPARE(r.combo("cbodsctype")->currentText(), QStringLiteral("Not a listed type"));
    QCOMPARE(r.combo("cboidproof")->currentText(), QStringLiteral("Aadhaar 'Card'"));
    QVERIFY(r.date(0)->clipText().isEmpty());
    QCOMPARE(r.date(0)->mask(), MaskedDateBox::kDateMask);
    QCOMPARE(r.date(1)->mask(), MaskedDateBox::kDateMask);
    QCOMPARE(r.messages(), QStringList());
}

void TestRegisterRecords::typeLists_data() {
    testsupport::addBackendColumn();
}

void TestRegisterRecords::typeLists() {
    QFETCH(QString, backend);
    RegisterWindow r(backend);
    r.open();
    QCOMPARE(entries(r.combo("cbodsctype")), QStringList());
    QCOMPARE(entries(r.combo("cboidproof")), kFixedProofTypes);
    QCOMPARE(entries(r.combo("cboaddrproof")), kFixedProofTypes);

    const auto add = [&](int n, const QString& type, const QString& idType, const QString& addrType) {
        Record rec{QStringLiteral("R%1").arg(n), type, QStringLiteral("01/01/2025 00:00:00"),
                   QStringLiteral("01/01/2027 00:00:00")};
        rec.idType = idType;
        rec.addrType = addrType;
        r.insert(n, rec);
    };
    add(1, QStringLiteral("Class 2"), QStringLiteral("PAN Card"), QStringLiteral("Electricity Bill"));
    add(2, QStringLiteral("Class 3"), QStringLiteral("Ration Card"), QStringLiteral("Passport"));
    add(3, QStringLiteral("Class 2"), QStringLiteral("Ration Card"), QString());
    add(4, QString(), QString(), QStringLiteral("Rent Agreement"));

    QComboBox* idList = r.combo("cboidproof");
    idList->setEditText(QStringLiteral("typed, not saved"));
    r.w->LoadLists();
    QCOMPARE(extraEntries(r.combo("cbodsctype"), 0),
             (QStringList{QStringLiteral("Class 2"), QStringLiteral("Class 3")}));
    QCOMPARE(entries(idList).mid(0, 7), kFixedProofTypes);
    QCOMPARE(extraEntries(idList, 7), QStringList{QStringLiteral("Ration Card")});
    QCOMPARE(entries(r.combo("cboaddrproof")).mid(0, 7), kFixedProofTypes);
    QCOMPARE(extraEntries(r.combo("cboaddrproof"), 7),
             (QStringList{QStringLiteral("Electricity Bill"), QStringLiteral("Rent Agreement")}));
    QCOMPARE(idList->currentText(), QStringLiteral("typed, not saved")); // only the entries changed

    // Once the last record with an extra type is gone, so is its entry.
    r.fx.db->execute(QStringLiteral("Delete From DscStore Where SrNo In (2, 3)"));
    r.fx.db->execute(StoreStatements::flushTables());
    r.w->LoadLists();
    QCOMPARE(entries(r.combo("cbodsctype")), QStringList{QStringLiteral("Class 2")});
    QCOMPARE(entries(idList), kFixedProofTypes);
    QCOMPARE(extraEntries(r.combo("cboaddrproof"), 7),
             (QStringList{QStringLiteral("Electricity Bill"), QStringLiteral("Rent Agreement")}));
    QVERIFY(r.fx.logText().isEmpty());
}

QTEST_MAIN(TestRegisterRecords)
#include "test_register_records.moc"
