#pragma once

// Opens the register window on a fixture's database, offscreen, for the register window tests.

#include "register/frmDscMain.h"
#include "register/MaskedDateBox.h"
#include "register/StoreStatements.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QPointer>

namespace regtest {

struct Record {
    QString name, type, dtFrom, dtTo, email;
    QString idType, idNo, idFile, addrType, addrNo, addrFile;
};

inline StoreStatements::RecordValues values(const Record& r) {
    StoreStatements::RecordValues v;
    v[0] = r.name;
    v[1] = r.type;
    v[2] = QStringLiteral("SN-") + r.name.left(8);
    v[3] = QStringLiteral("Test CA");
    v[4] = r.dtFrom;
    v[5] = r.dtTo;
    v[6] = r.email;
    v[7] = QStringLiteral("9876543210");
    v[8] = QStringLiteral("011-2345");
    v[9] = r.idType;
    v[10] = r.idNo;
    v[11] = r.idFile;
    v[12] = r.addrType;
    v[13] = r.addrNo;
    v[14] = r.addrFile;
    return v;
}

class RegisterWindow {
public:
    explicit RegisterWindow(const QString& backend = QStringLiteral("sqlite")) : fx(backend) {
        fx.attach();
        fx.db->execute(StoreStatements::createTable());
    }
    ~RegisterWindow() { delete w.data(); }

    void insert(int srNo, const Record& r) { fx.db->execute(StoreStatements::insertRecord(srNo, values(r))); }

    // Prepares the window as InitMe does, shows it and makes it the active window, so that focus
    // moves as it does for a user.
    frmDscMain* open() {
        w = new frmDscMain();
        w->InitData(fx.cls, false);
        w->show();
        w->activateWindow();
        QApplication::setActiveWindow(w);
        if (!QTest::qWaitForWindowActive(w))
            qWarning("register window did not become active");
        return w;
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
    QPushButton* button(const QString& name) const { return find<QPushButton>(name); }
    QStringList messages() const { return fx.dialogs->messages(); }

    testsupport::ComponentFixture fx;
    QPointer<frmDscMain> w;
};

} // namespace regtest
