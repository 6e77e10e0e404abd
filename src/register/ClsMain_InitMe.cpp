// Opening the register window: the members of the component's public class that make, show and
// hand out the window. They live with the window so that the component's context below it never
// reaches up to it.

#include "component/ClsMain.h"
#include "component/Module1.h"
#include "register/frmDscMain.h"

frmDscMain* ClsMain::registerWindow() const {
    return static_cast<frmDscMain*>(window_.data());
}

bool ClsMain::InitMe(const QString& vCallFrom, bool ChkOnly, const QString& AP, const std::shared_ptr<kyt::Db>& CO,
                     const QString& LF, float SX, float SY, float SF, short vVerNo) {
    if (vVerNo >= 2)
        return false;

    DocPath = AP;
    Db = CO;
    LogFlNm = LF;
    ScreenRatX = SX;
    ScreenRatY = SY;
    ScreenRatFS = SF;
    MdiObj.reset();
    PdfObj.reset();

    if (!Db) {
        if (!ChkOnly)
            services_.dialogs->information(nullptr, QStringLiteral("Failed."));
        return false;
    }

    // From here on a failure ends InitMe with its description shown, unlogged.
    frmDscMain* window = nullptr;
    try {
        if (ChkOnly &&
            Val(GetSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCAuto"), QStringLiteral("1"))) != 1)
            return false;

        QString reportId = QStringLiteral("PrjLumen.RepView");
        if (vVerNo >= 1)
            reportId = QStringLiteral("PrjKYTLumen.ClsMain");
        else if (vCallFrom == QLatin1String("G"))
            reportId = QStringLiteral("PrjQuill.RepView");
        ReportObj() = services_.objects->create(reportId);

        window = new frmDscMain();
        window_ = window;
        window->InitData(shared_from_this(), ChkOnly);

        if (ChkOnly) {
            if (window->vs->Rows() <= window->vs->FixedRows()) {
                window->Unload();
                return false;
            }
            services_.dialogs->information(
                window,
                QStringLiteral("Some Digital Signature Certificates are expired or going to be expired within next ") +
                    window->txtdays[1]->text() + QStringLiteral(" Days."));
        }
        window->show();
        return true;
    } catch (const kyt::Error& e) {
        if (window)
            window->Unload();
        services_.dialogs->information(nullptr, e.record().description);
    } catch (const std::exception& e) {
        if (window)
            window->Unload();
        services_.dialogs->information(nullptr, QString::fromLocal8Bit(e.what()));
    }
    return false;
}
