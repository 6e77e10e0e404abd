// Saving a certificate whose validity has already ended is most often a wrong date or the old
// certificate picked by mistake: the user is asked first, and No (the default) keeps the form.

#include "component/ClsMain.h"
#include "listing/CellOrder.h"
#include "register/frmDscMain.h"

bool frmDscMain::confirmExpiredSave() {
    const QString validTo = txtdts[1]->text();
    const qint64 ends = cellorder::dateKey(validTo);
    const QDateTime now = ClsObj->services().clock->now();
    const qint64 nowKey = cellorder::dateKey(now.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")));
    if (ends < 0 || nowKey < 0 || ends > nowKey)
        return true;
    // A change to an expired record that keeps its date is no new mistake: it is not asked again.
    if (!AddMode && vs->TextMatrix(vs->Row(), RecordLayout::columnOf(RecordLayout::DtTo)) == validTo)
        return true;
    kyt::Answer answer = kyt::Answer::No;
    kyt::ErrorTrap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("CMDUPDATE_CLICK"))([&] {
        answer = ClsObj->services().dialogs->question(
            this, QStringLiteral("This certificate expired on %1. Save it anyway?").arg(validTo), kyt::Answer::No);
    });
    if (answer == kyt::Answer::Yes)
        return true;
    txtdts[1]->setFocus();
    return false;
}
