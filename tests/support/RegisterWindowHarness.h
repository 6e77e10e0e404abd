#pragma once

// A register window on a fresh database and document folder, offscreen, for the register window
// tests. The window is made the active one so that focus moves as it does for a user; controls are
// found by their object names, dialogs are answered through the scripted dialogs service.

#include "register/frmDscMain.h"
#include "register/MaskedDateBox.h"
#include "store/StoreStatements.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

namespace regtest {

using Kind = frmDscMain::ProofKind;

inline const QString kFrom = QStringLiteral("01/04/2010 10:00:00");
inline const QString kTo = QStringLiteral("31/03/2030 10:00:00");

// A stored record, its fields in the order of the table's columns after SrNo.
struct Record {
    int srNo = 0;
    QString name{}, type{}, serial{}, authority{};
    QString from = kFrom, to = kTo;
    QString email{}, mobile{}, tel{}, idType{}, idNo{}, idFile{}, addrType{}, addrNo{}, addrFile{};
};

class RegisterWindow {
public:
    explicit RegisterWindow(const QString& backend = QStringLiteral("sqlite")) : fx(backend) {
        fx.attach();
        fx.db->execute(StoreStatements::createTable());
    }
    ~RegisterWindow() { delete w.data(); }

    testsupport::ComponentFixture fx;
    QPointer<frmDscMain> w;

    // Writes a record and, for each proof file it names, the stored document with `content`.
    void store(const Record& r, const QByteArray& content = QByteArrayLiteral("stored")) {
        const StoreStatements::RecordValues v = {r.name, r.type,   r.serial,   r.authority, r.from,
                                                 r.to,   r.email,  r.mobile,   r.tel,       r.idType,
                                                 r.idNo, r.idFile, r.addrType, r.addrNo,    r.addrFile};
        fx.db->execute(StoreStatements::insertRecord(r.srNo, v));
        if (!r.idFile.isEmpty())
            writeFile(idDoc(r.srNo, r.idFile), content);
        if (!r.addrFile.isEmpty())
            writeFile(addrDoc(r.srNo, r.addrFile), content);
    }

    // Opens the window showing all certificates, the first row current.
    void open() {
        w = new frmDscMain();
        w->InitData(fx.cls, false);
        w->show();
        w->activateWindow();
        QApplication::setActiveWindow(w);
        if (!QTest::qWaitForWindowActive(w))
            qWarning("register window did not become active");
    }

    template <class T = QWidget> T* find(const QString& name) const {
        T* control = w->findChild<T*>(name);
        if (!control)
            qFatal("no control %s", qPrintable(name));
        return control;
    }
    QLineEdit* text(int index) const { return find<QLineEdit>(QStringLiteral("txtfields(%1)").arg(index)); }
    MaskedDateBox* date(int index) const { return find<MaskedDateBox>(QStringLiteral("txtdts(%1)").arg(index)); }
    QComboBox* combo(const char* name) const { return find<QComboBox>(QLatin1String(name)); }
    QPushButton* button(const char* name) const { return find<QPushButton>(QLatin1String(name)); }
    static QWidget* focus() { return QApplication::focusWidget(); }

    void fill(const QString& name, const QString& from = kFrom, const QString& to = kTo,
              const QString& serial = QString()) {
        text(0)->setText(name);
        date(0)->setText(from);
        date(1)->setText(to);
        text(2)->setText(serial);
    }
    // Clicks a button as the user does; a button out of reach (hidden or disabled) fails the test.
    void click(QAbstractButton* button) const {
        QVERIFY2(button->isVisible() && button->isEnabled(),
                 qPrintable(button->objectName() + QStringLiteral(" is out of reach")));
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // Adds a record through the window; true when it was saved (the window went back to list mode).
    bool add(const QString& name, const QString& serial = QString()) {
        click(w->cmdadd);
        fill(name, kFrom, kTo, serial);
        click(w->cmdupdate);
        return w->vs->isEnabled();
    }
    // Makes the row of record n current by clicking it in the list.
    void selectRecord(int n) {
        for (int row = 1; row < w->vs->Rows(); ++row)
            if (w->vs->TextMatrix(row, 1) == QString::number(n)) {
                clickRow(row);
                return;
            }
        QFAIL(qPrintable(QStringLiteral("record %1 is not in the list").arg(n)));
    }
    // Clicks list row `row` (1 for the first certificate), scrolled into view first.
    void clickRow(int row) {
        const QModelIndex cell = w->vs->model()->index(row - 1, 2);
        w->vs->scrollTo(cell);
        QTest::mouseClick(w->vs->viewport(), Qt::LeftButton, {}, w->vs->visualRect(cell).center());
        QCOMPARE(w->vs->Row(), row);
    }
    // Deletes record n, answering Yes to both questions.
    void deleteRecord(int n) {
        selectRecord(n);
        fx.dialogs->queueYes();
        fx.dialogs->queueYes();
        click(w->cmddelete);
    }
    // Chooses `path` as the proof document of one kind through its file dialog; an empty path
    // cancels the dialog.
    void choose(Kind kind, const QString& path) {
        fx.dialogs->queue(path.isEmpty() ? QStringList() : QStringList{path});
        click(w->proofSelectButton(kind));
    }

    QString idDoc(int n, const QString& name = QString()) const { return doc(QStringLiteral("IdProofs"), n, name); }
    QString addrDoc(int n, const QString& name = QString()) const { return doc(QStringLiteral("AddrProofs"), n, name); }
    // A file outside the document tree, as the user would pick it.
    QString outsideFile(const QString& name, const QByteArray& content) const {
        const QString path = fx.folder + QStringLiteral("/picked/") + name;
        writeFile(path, content);
        return path;
    }
    static void writeFile(const QString& path, const QByteArray& content) { testsupport::writeFile(path, content); }
    static QByteArray readFile(const QString& path) { return testsupport::readFile(path); }

    // One column of one record, straight from the table; empty when there is no such record.
    QString column(int n, const char* name) const {
        kyt::RowSet rs = fx.db->openRowSet(QStringLiteral("Select * From DscStore Where SrNo=%1").arg(n));
        const QString value = rs.eof() ? QString() : rs.text(QLatin1String(name));
        rs.close();
        return value;
    }
    QList<int> numbers() const {
        QList<int> out;
        kyt::RowSet rs = fx.db->openRowSet(QStringLiteral("Select SrNo From DscStore Order By SrNo"));
        for (; !rs.eof(); rs.next())
            out << rs.value(0).toInt();
        rs.close();
        return out;
    }
    // The messages and questions shown, in order (file dialogs have no text of their own).
    QStringList said() const {
        QStringList out = fx.dialogs->messages();
        out.removeAll(QString());
        return out;
    }

private:
    QString doc(const QString& kindFolder, int n, const QString& name) const {
        const QString folder =
            fx.folder + QStringLiteral("/DscDocs/") + kindFolder + QLatin1Char('/') + QString::number(n);
        return name.isEmpty() ? folder : folder + QLatin1Char('/') + name;
    }
};

} // namespace regtest
