// The entry form's line saying when the shown certificate's holder was last reminded, and of which
// step, from the reminders' sent-log.
#include "component/ClsMain.h"
#include "register/frmDscMain.h"
#include "store/RecordLayout.h"
#include "store/ReminderLog.h"

#include <QGridLayout>

// Beside the validity dates, in room the form has anyway: a row of its own would squeeze the form
// at large scales.
void frmDscMain::addLastRemindedLabel(QGridLayout* grid, int row, int column) {
    lbllastreminded = new QLabel(fammain1);
    lbllastreminded->setObjectName(QStringLiteral("lbllastreminded"));
    lbllastreminded->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(lbllastreminded, row, column, 1, 2);
}

void frmDscMain::showLastReminded(int row) {
    if (!lbllastreminded)
        return;
    lbllastreminded->clear();
    lbllastreminded->setToolTip(QString());
    if (row < 1 || !ClsObj || !ClsObj->Db)
        return;
    const int srNo = vs->TextMatrix(row, RecordLayout::kRecordNumberColumn).toInt();
    const auto last = reminderlog::lastReminded(*ClsObj->Db, srNo);
    if (!last) {
        lbllastreminded->setText(QStringLiteral("Never reminded"));
        return;
    }
    // The day and step in the form, the time (UTC) in the tool tip: the label shares its row.
    lbllastreminded->setText(QStringLiteral("Reminded %1, %2").arg(last->sentAt.left(10), last->stepText()));
    lbllastreminded->setToolTip(QStringLiteral("Last reminded: %1").arg(last->describe()));
}
