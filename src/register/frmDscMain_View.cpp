// The list's sort and the widths the user dragged its columns to, kept in section "View" of the
// settings file under the user's login name, so that each clerk sharing a register folder finds
// the list as they left it.

#include "component/ClsMain.h"
#include "component/Module1.h"
#include "register/frmDscMain.h"

#include <algorithm>
#include <QHeaderView>
#include <QTimer>

namespace {
const QString kSection = QStringLiteral("View");

QString userKey(const char* key) {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("LOGNAME");
    // Keys hold no blanks, "=" or brackets, whatever the login name holds.
    for (QChar& c : user)
        if (!c.isLetterOrNumber() && c != QLatin1Char('_') && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    return user.isEmpty() ? QLatin1String(key) : user + QLatin1Char('.') + QLatin1String(key);
}

// "5 Descending": the sorted column and its direction.
QString sortText(int column, Qt::SortOrder order) {
    return column < 0 ? QString()
                      : QStringLiteral("%1 %2").arg(column).arg(
                            order == Qt::DescendingOrder ? QStringLiteral("Descending") : QStringLiteral("Ascending"));
}

// "3:240 5:120": each dragged column and its width in pixels.
QString widthsText(const CertGrid::Widths& widths) {
    QStringList parts;
    for (size_t c = 0; c < widths.size(); ++c)
        if (widths[c] > 0)
            parts << QStringLiteral("%1:%2").arg(c).arg(widths[c]);
    return parts.join(QLatin1Char(' '));
}

// Whatever does not read as a column and a sensible width is passed over.
CertGrid::Widths parseWidths(const QString& text) {
    CertGrid::Widths widths{};
    for (const QString& part : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList pair = part.split(QLatin1Char(':'));
        bool columnOk = false, widthOk = false;
        const int column = pair.value(0).toInt(&columnOk);
        const int width = pair.value(1).toInt(&widthOk);
        if (pair.size() == 2 && columnOk && widthOk && column >= 0 && column < int(widths.size()) && width >= 8 &&
            width <= 4000)
            widths[size_t(column)] = width;
    }
    return widths;
}
} // namespace

void frmDscMain::restoreListView() {
    const QStringList sort =
        ClsObj->GetSettingINI(kSection, userKey("Sort"), QString()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bool ok = false;
    const int column = sort.value(0).toInt(&ok);
    if (ok && column >= 0 && column < vs->Cols() && column != RecordLayout::kRecordNumberColumn)
        vs->sortAsMarked(column,
                         sort.value(1) == QLatin1String("Descending") ? Qt::DescendingOrder : Qt::AscendingOrder);
    vs->setDraggedWidths(parseWidths(ClsObj->GetSettingINI(kSection, userKey("Widths"), QString())));
    if (viewSaver_)
        return;
    // Dragging a border resizes its column many times a second: it is kept once the dragging pauses.
    viewSaver_ = new QTimer(this);
    viewSaver_->setSingleShot(true);
    viewSaver_->setInterval(400);
    connect(viewSaver_, &QTimer::timeout, this, &frmDscMain::saveListView);
    connect(vs, &CertGrid::viewChanged, viewSaver_, qOverload<>(&QTimer::start));
    // A heading clicked inside a queue is the user's sort from then on, there and elsewhere.
    connect(vs->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this, [this] { sortOutsideQueue_.reset(); });
}

void frmDscMain::saveListView() {
    if (!ClsObj || !viewSaver_)
        return;
    viewSaver_->stop();
    const CertListModel* model = vs->listModel();
    // The order a queue puts itself in is not the user's: what they chose is kept.
    const QString sort = sortOutsideQueue_ ? sortText(sortOutsideQueue_->first, sortOutsideQueue_->second)
                                           : sortText(model->sortColumn(), model->sortOrder());
    const QString widths = widthsText(vs->draggedWidths());
    // The settings file is written only when something differs from what it holds.
    if (ClsObj->GetSettingINI(kSection, userKey("Sort"), QString()) != sort)
        ClsObj->SaveSettingINI(kSection, userKey("Sort"), sort);
    if (ClsObj->GetSettingINI(kSection, userKey("Widths"), QString()) != widths)
        ClsObj->SaveSettingINI(kSection, userKey("Widths"), widths);
}

void frmDscMain::applyDaySetting() {
    const double days = std::clamp(
        Val(ClsObj->GetSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("0"))), 0.0,
        3652059.0);
    vs->listModel()->setExpiryCutOff(ClsObj->services().clock->now(), int(days));
}

void frmDscMain::ShowSelection(const CertRows::Selection& selection) {
    // Entry mode keeps the list as it is, as it keeps the options out of reach.
    if (!vs->isEnabled())
        return;
    shownSelection_ = selection;
    // The queue's filters too: one left chosen would list the queue instead.
    for (QRadioButton* option : {options[0], options[1], options[2], optdue, optrecent}) {
        option->setAutoExclusive(false);
        option->setChecked(false);
        option->setAutoExclusive(true);
    }
    // A later click on any option differs from this and reloads the list.
    setTag(options[0], QStringLiteral("-1"));
    EnableList(true);
    vs->setEnabled(false);
    LoadGrid();
    vs->setEnabled(true);
    LoadData();
}
