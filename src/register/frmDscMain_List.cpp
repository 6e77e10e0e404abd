#include "component/ClsMain.h"
#include "component/Module1.h"
#include "register/frmDscMain.h"
#include "store/CertRows.h"

#include <algorithm>
#include <cmath>

namespace {
// More days than lie between any two dates with four-digit years.
constexpr double kMaxDays = 3652059;
} // namespace

void frmDscMain::LoadGrid() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("LOADGRID"));
    trap([&] { vs->clearRows(); });

    QString sql;
    trap([&] {
        const QDateTime now = ClsObj->services().clock->now();
        CertRows::Selection selection;
        if (options[0]->isChecked())
            selection = CertRows::select(CertRows::Filter::All, now, 0);
        else if (options[1]->isChecked())
            selection = CertRows::select(CertRows::Filter::Expired, now, 0);
        else if (options[2]->isChecked())
            selection = CertRows::select(CertRows::Filter::Expiring, now, Val(txtdays[0]->text()));
        else
            return;
        if (!selection.cutOff.isEmpty())
            setTag(cmdok, selection.cutOff);
        lblhead->setText(selection.heading);
        sql = selection.sql;
    });

    // Rows are tinted by how their validity ends, now and within the "DSCDays" setting.
    trap([&] {
        const double days = std::clamp(
            Val(ClsObj->GetSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("0"))), 0.0,
            kMaxDays);
        vs->listModel()->setExpiryCutOff(ClsObj->services().clock->now(), int(days));
    });

    // A row that cannot be read ends the reload with the rows read so far.
    if (!sql.isEmpty()) {
        CertListModel* model = vs->listModel();
        model->beginAppend();
        trap([&] { CertRows::read(*ClsObj->Db, sql, [&](const CertRows::Fields& fields) { model->append(fields); }); });
        model->endAppend();
    }
    trap([&] { vs->autoFitColumns(); });
    trap([&] {
        if (vs->Rows() > 1)
            vs->setRow(1);
        else
            vs->setRow(0);
    });
}

void frmDscMain::options_Click(int) {
    kyt::ErrorTrap trap = kyt::ErrorTrap::silent();
    QString code;
    trap([&] {
        code = options[0]->isChecked()   ? QStringLiteral("0")
               : options[1]->isChecked() ? QStringLiteral("1")
                                         : QStringLiteral("2");
    });
    if (code == Tag(options[0]))
        return;
    trap([&] { setTag(options[0], code); });
    trap([&] { EnableList(true); });
    trap([&] { vs->setEnabled(false); });
    trap([&] { LoadGrid(); });
    trap([&] { vs->setEnabled(true); });
    trap([&] { LoadData(); });
}

void frmDscMain::cmdok_Click() {
    kyt::ErrorTrap trap = kyt::ErrorTrap::silent();
    trap([&] { setTag(options[0], QStringLiteral("-1")); });
    trap([&] {
        // Selecting the option counts as its click when it was not selected already.
        if (!options[2]->isChecked()) {
            options[2]->setChecked(true);
            options_Click(2);
        }
    });
    trap([&] { options_Click(2); });
}

void frmDscMain::vs_AfterRowColChange(int OldRow, int, int NewRow, int NewCol) {
    if (vs->isEnabled() && NewRow > 0 && NewCol > 0 && NewRow != OldRow)
        kyt::ErrorTrap::silent()([&] { LoadData(); });
}

void frmDscMain::txtdays_KeyPress(int, int& KeyAscii) {
    const bool digit = KeyAscii >= '0' && KeyAscii <= '9';
    if (!digit && KeyAscii != 8 && KeyAscii != 46)
        KeyAscii = 0;
}

void frmDscMain::txtdays_Validate(int Index, bool& Cancel) {
    kyt::ErrorTrap::silent()([&] {
        QLineEdit* box = txtdays[size_t(Index)];
        const QString text = box->text();
        if (text.isEmpty())
            return;
        auto refuse = [&](const QString& message) {
            ClsObj->services().dialogs->information(this, message);
            Cancel = true;
        };
        if (text.contains(QLatin1Char('.'))) {
            refuse(QStringLiteral("Invalid Value. Decimal not allowed."));
            return;
        }
        bool numeric = false;
        const double value = text.trimmed().toDouble(&numeric);
        if (!numeric) {
            refuse(QStringLiteral("Invalid Value. Only Numeric allowed."));
            return;
        }
        if (value < 0) {
            refuse(QStringLiteral("Invalid Value. Only Positive Value allowed."));
            return;
        }
        box->setText(QString::number(std::nearbyint(value), 'f', 0));
    });
}
