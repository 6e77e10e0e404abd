// The entry form's line saying when the shown certificate's holder was last reminded, and of which
// step, from the reminders' sent-log.
#include "component/ClsMain.h"
#include "register/frmDscMain.h"
#include "store/RecordLayout.h"
#include "store/ReminderLog.h"

#include <QGridLayout>

void frmDscMain::addLastRemindedRow(QGridLayout* grid, int row) {
    lbllastreminded = new QLabel(fammain1);
    lbllastreminded->setObjectName(QStringLiteral("lbllastreminded"));
    lbllastreminded->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(lbllastreminded, row, 0, 1, 6);
}

void frmDscMain::showLastReminded(int row) {
    if (!lbllastreminded)
        return;
    if (row < 1 || !ClsObj || !ClsObj->Db) {
        lbllastreminded->clear();
        return;
    }
    const int srNo = vs->TextMatrix(row, RecordLayout::kRecordNumberColumn).toInt();
    const auto last = reminderlog::lastReminded(*ClsObj->Db, srNo);
    lbllastreminded->setText(last ? QStringLiteral("Last reminded: %1").arg(last->describe())
                                  : QStringLiteral("Last reminded: never"));
}
