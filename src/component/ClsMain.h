#pragma once

#include "platform/Db.h"
#include "platform/ErrorTrap.h"
#include "platform/ObjectRegistry.h"
#include "platform/Services.h"

#include <memory>
#include <optional>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

class frmDscMain;

// The component's one public class and its shared context: the host creates it, calls InitMe,
// and every window keeps it (as ClsObj) to reach the database, settings, error log, scaling and
// certificate details.
class ClsMain : public std::enable_shared_from_this<ClsMain>, public kyt::ErrorSink {
public:
    explicit ClsMain(kyt::Services services = kyt::Services::production());
    ~ClsMain() override;

    // --- Properties ---
    int FileNos = 0;
    QString DocPath;
    std::shared_ptr<kyt::Db> Db;
    QString LogFlNm;
    float ScreenRatX = 1, ScreenRatY = 1, ScreenRatFS = 1;
    kyt::ObjectRef PdfObj;
    kyt::ObjectRef MdiObj;
    QString Proc_Name;

    // --- Operations ---
    // InitMe and registerWindow live with the window they open (register/ClsMain_InitMe.cpp).
    void DoErrorLogEntry();
    bool InitMe(const QString& vCallFrom, bool ChkOnly, const QString& AP, const std::shared_ptr<kyt::Db>& CO,
                const QString& LF, float SX, float SY, float SF, short vVerNo = 0);
    void Resize_For_Resolution(QWidget* MyForm, bool RePosForm = false);
    void GetSignInfo(const QString& FlNm, const QString& Pwd, int StoreInd);
    QString GetCertInfo(short Index) const;
    QString GetSettingINI(const QString& Section, const QString& Key, const QString& DefVal);
    void SaveSettingINI(const QString& Section, const QString& Key, const QString& KeyVal);

    // --- Implementation support ---
    // The error being handled (number 0 when none), read by DoErrorLogEntry.
    kyt::ErrorRecord& Err() { return err_; }
    // A logging trap caught an error: log it under procName and clear it.
    void logTrappedError(const kyt::ErrorRecord& error, const QString& procName) override;
    // The first error a logging trap caught since the component was made (number 0 when none):
    // what the command line reports when the register could not be read.
    const kyt::ErrorRecord& firstTrappedError() const { return firstTrapped_; }
    kyt::Services& services() { return services_; }
    // Why the last GetSignInfo failed, in a few plain words ("wrong password", "file not found"):
    // shown beside the fixed error text, never instead of it. Empty after a selection that worked.
    const QString& failureReason() const { return failureReason_; }
    // The register window the last InitMe opened, while it is open.
    frmDscMain* registerWindow() const;
    void forgetRegisterWindow();
    QString settingsFile() const;
    QString logFile() const;

private:
    kyt::Services services_;
    kyt::ErrorRecord err_;
    kyt::ErrorRecord firstTrapped_;
    std::optional<QStringList> certInfo_; // the eight certificate details of the last GetSignInfo
    QString failureReason_;
    QPointer<QWidget> window_;

    friend class CertDetailsAccess;
};
