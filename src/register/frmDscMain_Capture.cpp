// The two capture buttons of the entry frame: read a certificate's details from a file or from
// the certificate store and put them into the entry controls.

#include "component/ClsMain.h"
#include "component/Module1.h"
#include "register/frmDscMain.h"
#include "register/MaskedDateBox.h"

namespace {
const QString kModule = QStringLiteral("frmDscMain");
const QString kProcedure = QStringLiteral("CMDCERT_CLICK");
const QString kFileTitle = QStringLiteral("Select Certificate File");
const QString kFileFilter = QStringLiteral("Personal Information Exchange (*.pfx;*.p12)|*.pfx;*.p12|"
                                           "X.509 Certificate (*.cer;*.crt)|*.cer;*.crt|All Files (*.*)|*.*");
const QString kPasswordText = QStringLiteral("Enter Password for the Selected Certificate (If any)");
const QString kPasswordTitle = QStringLiteral("Certificate Password");

constexpr int kFileButton = 0;
// Store selectors of GetSignInfo: -2 reads the file, -1 lets the component's chooser pick one.
constexpr int kReadFile = -2;
constexpr int kChooseFromStore = -1;

} // namespace

void frmDscMain::connectCaptureButtons() {
    for (int i = 0; i < int(cmdcert.size()); ++i)
        connect(cmdcert[size_t(i)], &QPushButton::clicked, this, [this, i] { cmdcert_Click(i); });
}

void frmDscMain::cmdcert_Click(int Index) {
    kyt::ErrorTrap trap(ClsObj.get(), kModule, kProcedure);
    // The loader tells the user itself why the component could not be had.
    if (!ClsObj->PdfObj) {
        trap([&] { CreateCertObject(*ClsObj); });
        if (!ClsObj->PdfObj)
            return;
    }

    if (Index != kFileButton) {
        trap([&] { ClsObj->GetSignInfo(QString(), QString(), kChooseFromStore); });
    } else {
        QStringList chosen;
        // A cancelled dialog, or one that cannot be shown, ends the capture without a trace.
        const bool shown = kyt::ErrorTrap::silent()(
            [&] { chosen = ClsObj->services().dialogs->openFiles(this, kFileTitle, kFileFilter, false); });
        if (!shown || chosen.isEmpty())
            return;
        // A cancelled prompt reads the file without a password, which is what a bundle without one needs.
        QString password;
        trap([&] {
            password =
                ClsObj->services().dialogs->prompt(this, kPasswordText, kPasswordTitle, true).value_or(QString());
        });
        trap([&] { ClsObj->GetSignInfo(chosen.first(), password, kReadFile); });
    }

    QString error;
    trap([&] { error = ClsObj->GetCertInfo(0); });
    if (!error.isEmpty()) {
        // The fixed text says that reading failed; the detail says why.
        trap([&] { ClsObj->services().dialogs->informationWithDetail(this, error, ClsObj->failureReason()); });
        return;
    }
    // Every field is overwritten, also by an empty detail, so nothing of an earlier certificate stays.
    trap([&] { txtfields[0]->setText(ClsObj->GetCertInfo(1)); });
    trap([&] { cbodsctype->setEditText(ClsObj->GetCertInfo(2)); });
    trap([&] { txtfields[2]->setText(ClsObj->GetCertInfo(3)); });
    trap([&] { txtfields[3]->setText(ClsObj->GetCertInfo(4)); });
    trap([&] { MaskedDateBox::setDateText(txtdts[0], ClsObj->GetCertInfo(5)); });
    trap([&] { MaskedDateBox::setDateText(txtdts[1], ClsObj->GetCertInfo(6)); });
    trap([&] { txtfields[6]->setText(ClsObj->GetCertInfo(7)); });
    OfferCarryOver();
}
