#pragma once

// A register window on a fresh database and document folder, for the tests of saving, proof
// documents and deletion. Entry mode is driven by setting the entry controls directly.

#include "register/frmDscMain.h"
#include "register/StoreStatements.h"
#include "support/TestSupport.h"

#include <memory>
#include <QDir>
#include <QFile>
#include <QFileInfo>

struct StoredRecord {
    int srNo = 0;
    QString name;
    QString serial;
    QString from = QStringLiteral("01/04/2010 10:00:00");
    QString to = QStringLiteral("31/03/2030 10:00:00");
    QString idFile;   // IdPrFlNm
    QString addrFile; // AddrPrFlNm
};

class RegisterHarness {
public:
    explicit RegisterHarness(const QString& backend) : fx(backend) {
        fx.attach();
        fx.db->execute(StoreStatements::createTable());
    }
    ~RegisterHarness() {
        if (w)
            w->setAttribute(Qt::WA_DeleteOnClose, false);
    }

    testsupport::ComponentFixture fx;
    std::unique_ptr<frmDscMain> w;

    // Writes a record and, for each proof file it names, the stored document with `content`.
    void store(const StoredRecord& r, const QByteArray& content = QByteArrayLiteral("stored")) {
        StoreStatements::RecordValues v;
        v[0] = r.name;
        v[2] = r.serial;
        // An empty date in a brace-initialised record means the default one.
        v[4] = r.from.isEmpty() ? StoredRecord().from : r.from;
        v[5] = r.to.isEmpty() ? StoredRecord().to : r.to;
        v[11] = r.idFile;
        v[14] = r.addrFile;
        fx.db->execute(StoreStatements::insertRecord(r.srNo, v));
        if (!r.idFile.isEmpty())
            writeFile(docPath(QStringLiteral("IdProofs"), r.srNo, r.idFile), content);
        if (!r.addrFile.isEmpty())
            writeFile(docPath(QStringLiteral("AddrProofs"), r.srNo, r.addrFile), content);
    }

    // Opens the window showing all certificates, the first row current.
    void open() {
        w = std::make_unique<frmDscMain>();
        w->InitData(fx.cls, false);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }

    void fill(const QString& name, const QString& from = QStringLiteral("01/04/2010 10:00:00"),
              const QString& to = QStringLiteral("31/03/2030 10:00:00"), const QString& serial = QString()) {
        w->txtfields[0]->setText(name);
        w->txtdts[0]->setText(from);
        w->txtdts[1]->setText(to);
        w->txtfields[2]->setText(serial);
    }

    // Adds a record through the window; true when it was saved (the window went back to list mode).
    bool add(const QString& name, const QString& serial = QString()) {
        w->cmdadd_Click();
        fill(name, QStringLiteral("01/04/2010 10:00:00"), QStringLiteral("31/03/2030 10:00:00"), serial);
        w->cmdupdate_Click();
        return w->vs->isEnabled();
    }

    // Makes the row of record n current, as a click in the list would.
    void selectRecord(int n) {
        for (int row = 1; row < w->vs->Rows(); ++row)
            if (w->vs->TextMatrix(row, 1) == QString::number(n)) {
                w->vs->setRow(row);
                return;
            }
        QFAIL(qPrintable(QStringLiteral("record %1 is not in the list").arg(n)));
    }

    QString docPath(const QString& kindFolder, int n, const QString& name) const {
        return fx.folder + QStringLiteral("/DscDocs/") + kindFolder + QLatin1Char('/') + QString::number(n) +
               QLatin1Char('/') + name;
    }
    QString idDoc(int n, const QString& name) const { return docPath(QStringLiteral("IdProofs"), n, name); }
    QString addrDoc(int n, const QString& name) const { return docPath(QStringLiteral("AddrProofs"), n, name); }

    // A file outside the document tree, as the user would pick it.
    QString outsideFile(const QString& name, const QByteArray& content) {
        const QString path = fx.folder + QStringLiteral("/picked/") + name;
        writeFile(path, content);
        return path;
    }

    static void writeFile(const QString& path, const QByteArray& content) {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
        f.write(content);
    }
    static QByteArray readFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // One column of one record, straight from the table; empty when there is no such record.
    QString column(int n, const QString& name) {
        kyt::RowSet rs = fx.db->openRowSet(QStringLiteral("Select * From DscStore Where SrNo=%1").arg(n));
        const QString value = rs.eof() ? QString() : rs.text(name);
        rs.close();
        return value;
    }
    QList<int> numbers() {
        QList<int> out;
        kyt::RowSet rs = fx.db->openRowSet(QStringLiteral("Select SrNo From DscStore Order By SrNo"));
        for (; !rs.eof(); rs.next())
            out << rs.value(0).toInt();
        rs.close();
        return out;
    }
    // The messages and questions shown, in order (file dialogs have no text of their own).
    QStringList said() const {
        QStringList out;
        for (const kyt::ScriptedDialogs::Shown& shown : fx.dialogs->shown())
            if (shown.kind == kyt::ScriptedDialogs::Shown::Information ||
                shown.kind == kyt::ScriptedDialogs::Shown::Question)
                out << shown.text;
        return out;
    }
    QStringList errorsOf(const QString& procedure) const {
        QStringList out;
        for (const QString& line : fx.logLines())
            if (line.endsWith(QStringLiteral("\tfrmDscMain\t") + procedure))
                out << line;
        return out;
    }
};
