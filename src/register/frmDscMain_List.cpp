#include "component/ClsMain.h"
#include "component/Module1.h"
#include "register/frmDscMain.h"
#include "store/CertRows.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {
// More days than lie between any two dates with four-digit years.
constexpr double kMaxDays = 3652059;
} // namespace

void frmDscMain::LoadGrid() {
    if (LoadRenewalQueue())
        return;
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("LOADGRID"));
    vs->clearRows();

    const QDateTime now = ClsObj->services().clock->now();
    const auto selection = [&]() -> std::optional<CertRows::Selection> {
        if (options[0]->isChecked())
            return CertRows::select(CertRows::Filter::All, now, 0);
        if (options[1]->isChecked())
            return CertRows::select(CertRows::Filter::Expired, now, 0);
        if (options[2]->isChecked())
            return CertRows::select(CertRows::Filter::Expiring, now, Val(txtdays[0]->text()));
        return shownSelection_;
    }();
    if (selection) {
        if (!selection->cutOff.isEmpty())
            setTag(cmdok, selection->cutOff);
        lblhead->setText(selection->heading);
    }

    // Rows are tinted by how their validity ends, now and within the "DSCDays" setting.
    const double days = std::clamp(
        Val(ClsObj->GetSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("0"))), 0.0,
        kMaxDays);
    vs->listModel()->setExpiryCutOff(now, int(days));

    // A row that cannot be read ends the reload with the rows read so far.
    std::optional<custody::TokenWithColumn> tokens;
    if (selection && !selection->sql.isEmpty()) {
        CertListModel* model = vs->listModel();
        tokens = startTokenWithColumn();
        // One list for every row's view cell: a row's cell is copied into the model, the list kept.
        QStringList tokenCell(1);
        model->beginAppend();
        trap([&] {
            CertRows::read(*ClsObj->Db, selection->sql, [&](const CertRows::Fields& fields) {
                if (tokens) {
                    tokenCell[0] = tokens->cell(fields);
                    model->append(fields, tokenCell);
                } else {
                    model->append(fields);
                }
            });
        });
        model->endAppend();
    }
    vs->autoFitColumns();
    if (tokens)
        placeTokenWithColumn(*tokens);
    vs->setRow(vs->Rows() > 1 ? 1 : 0);
}

void frmDscMain::options_Click(int) {
    const QString code = options[0]->isChecked()   ? QStringLiteral("0")
                         : options[1]->isChecked() ? QStringLiteral("1")
                                                   : QStringLiteral("2");
    if (code == Tag(options[0]))
        return;
    restoreSortOutsideQueue();
    setTag(options[0], code);
    // The reload logs its own failures.
    EnableList(true);
    vs->setEnabled(false);
    LoadGrid();
    vs->setEnabled(true);
    LoadData();
}

void frmDscMain::cmdok_Click() {
    setTag(options[0], QStringLiteral("-1"));
    // Selecting the option counts as its click when it was not selected already.
    if (!options[2]->isChecked()) {
        options[2]->setChecked(true);
        options_Click(2);
    }
    options_Click(2);
}

void frmDscMain::vs_AfterRowColChange(int OldRow, int, int NewRow, int NewCol) {
    if (vs->isEnabled() && NewRow > 0 && NewCol > 0 && NewRow != OldRow)
        LoadData();
}

void frmDscMain::txtdays_KeyPress(int, int& KeyAscii) {
    const bool digit = KeyAscii >= '0' && KeyAscii <= '9';
    if (!digit && KeyAscii != 8 && KeyAscii != 46)
        KeyAscii = 0;
}

void frmDscMain::txtdays_Validate(int Index, bool& Cancel) {
    QLineEdit* box = txtdays[size_t(Index)];
    const QString text = box->text();
    if (text.isEmpty())
        return;
    auto refuse = [&](const QString& message) {
        kyt::ErrorTrap::silent()([&] { ClsObj->services().dialogs->information(this, message); });
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
}
