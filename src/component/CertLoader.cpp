#include "component/ClsMain.h"
#include "component/Module1.h"

// TODO(certinfo): loader with registration and runtime check.
void CreateCertObject(ClsMain& ClsObj) {
    ClsObj.PdfObj.reset();
    kyt::ErrorTrap::silent()([&] { ClsObj.PdfObj = ClsObj.services().objects->create(QStringLiteral("KYTCertInfo.ClsCertMain")); });
}

void RegisterCertComponent(ClsMain&) {}

bool IsDotNetInstalled(ClsMain&) { return true; }
