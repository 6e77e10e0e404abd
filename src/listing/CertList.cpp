#include "component/ClsMain.h"
#include "component/Module1.h"
#include "register/frmDscMain.h"
#include "register/StoreStatements.h"

#include <algorithm>
#include <cmath>

namespace {
// The stored columns of the list (columns 1..16), in table order.
const char* const kFields[] = {"SrNo",     "Nm",        "Typ",      "SerialNo",  "IssAuth", "DtFrom",
                               "DtTo",     "Email",     "Mobile",   "TelNo",     "IdPrTyp", "IdPrNo",
                               "IdPrFlNm", "AddrPrTyp", "AddrPrNo", "AddrPrFlNm"};
constexpr int kDtFromField = 5;
constexpr int kDtToField = 6;
// More days than lie between any two dates with four-digit years.
constexpr double kMaxDays = 3652059;

// Now plus a number of days, kept within the dates that have four-digit years: a day count beyond
// them lists every certificate (or none), under a heading that names the cut-off really used.
QDateTime expiryCutOff(const QDateTime& now, double days) {
    const QDateTime last(QDate(9999, 12, 31), QTime(23, 59, 59));
    const QDateTime first(QDate(1, 1, 1), QTime(0, 0, 0));
    if (!(days <= kMaxDays))
        return last;
    if (!(days >= -kMaxDays))
        return first;
    const QDateTime cutOff = now.addDays(qint64(days));
    return cutOff > last ? last : cutOff < first ? first : cutOff;
}
} // namespace

void frmDscMain::LoadGrid() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("LOADGRID"));
    trap([&] { vs->clearRows(); });

    QString sql;
    trap([&] {
        if (options[0]->isChecked()) {
            lblhead->setText(QStringLiteral("List of All Certificates"));
            sql = StoreStatements::selectAll();
        } else if (options[1]->isChecked()) {
            setTag(cmdok, FormatDisplayDate(ClsObj->services().clock->now()));
            lblhead->setText(QStringLiteral("List of Certificates Expired on or before ") + Tag(cmdok));
            sql = StoreStatements::selectExpiringBy(Tag(cmdok));
        } else if (options[2]->isChecked()) {
            const QDateTime cutOff = expiryCutOff(ClsObj->services().clock->now(), Val(txtdays[0]->text()));
            setTag(cmdok, FormatDisplayDate(cutOff));
            lblhead->setText(QStringLiteral("List of Certificates To be Expired on or before ") + Tag(cmdok));
            sql = StoreStatements::selectExpiringBy(Tag(cmdok));
        }
    });

    // Rows are tinted by how their validity ends, now and within the "DSCDays" setting.
    trap([&] {
        const double days = std::clamp(
            Val(ClsObj->GetSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("0"))), 0.0,
            kMaxDays);
        vs->listModel()->setExpiryCutOff(ClsObj->services().clock->now(), int(days));
    });

    kyt::RowSet rs;
    bool opened = !sql.isEmpty() && trap([&] { rs = ClsObj->Db->openRowSet(sql); });
    if (opened) {
        CertListModel* model = vs->listModel();
        model->beginAppend();
        std::array<int, CertListModel::kStoredColumns> index{};
        // A table without one of the columns is not the register, empty or not.
        const bool fieldsFound = trap([&] {
            for (size_t i = 0; i < index.size(); ++i) {
                index[i] = rs.indexOf(QLatin1String(kFields[i]));
                if (index[i] < 0)
                    kyt::raise(
                        3265,
                        QStringLiteral("Item cannot be found in the collection: %1").arg(QLatin1String(kFields[i])),
                        QStringLiteral("KYTDscMgr.Db"));
            }
        });
        // A row that cannot be read ends the reload with the rows read so far.
        if (fieldsFound)
            trap([&] {
                std::array<QString, CertListModel::kStoredColumns> fields;
                while (!rs.eof()) {
                    for (int i = 0; i < CertListModel::kStoredColumns; ++i) {
                        const int at = index[size_t(i)];
                        fields[size_t(i)] = i == kDtFromField || i == kDtToField ? rs.dateText(at) : rs.text(at);
                    }
                    model->append(fields);
                    rs.next();
                }
            });
        model->endAppend();
        trap([&] { rs.close(); });
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
