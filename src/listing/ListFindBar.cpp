#include "listing/ListFindBar.h"

#include "listing/CertGrid.h"
#include "store/RecordLayout.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

namespace {
const QColor kNotFound(255, 200, 200);
} // namespace

ListFindBar::ListFindBar(CertGrid* grid) : QFrame(grid), grid_(grid), box_(new QLineEdit(this)) {
    setObjectName(QStringLiteral("famfind"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    box_->setObjectName(QStringLiteral("txtfind"));
    box_->setClearButtonEnabled(true);
    box_->setMinimumWidth(220);
    auto* hint = new QLabel(QStringLiteral("F3 next, Shift+F3 previous"), this);
    QFont small = hint->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    hint->setFont(small);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(new QLabel(QStringLiteral("Find:"), this));
    layout->addWidget(box_);
    layout->addWidget(hint);
    connect(box_, &QLineEdit::textChanged, this, &ListFindBar::narrow);
    grid_->installEventFilter(this);
    hide();
}

bool ListFindBar::handleKey(QObject* watched, const QKeyEvent* key) {
    const int k = key->key();
    if (k == Qt::Key_F && key->modifiers() == Qt::ControlModifier) {
        if (!grid_->isEnabled() || !grid_->isVisible())
            return false;
        open();
        return true;
    }
    // In entry mode the box is disabled with the list: the window's keys are its own.
    if (!isVisible() || !isEnabled())
        return false;
    const bool back = key->modifiers() & Qt::ShiftModifier;
    if (k == Qt::Key_Escape) {
        dismiss();
    } else if (k == Qt::Key_F3) {
        find(grid_->Row() - 1 + (back ? -1 : 1), back ? -1 : 1);
    } else if (watched == box_ && (k == Qt::Key_Return || k == Qt::Key_Enter)) {
        find(grid_->Row() - 1 + (back ? -1 : 1), back ? -1 : 1);
    } else {
        return false;
    }
    return true;
}

void ListFindBar::open() {
    place();
    show();
    raise();
    box_->setFocus(Qt::ShortcutFocusReason);
    box_->selectAll();
}

void ListFindBar::dismiss() {
    box_->clear();
    hide();
    grid_->setFocus(Qt::OtherFocusReason);
}

void ListFindBar::narrow() {
    CertListModel* model = grid_->listModel();
    const QString text = box_->text();
    if (text == model->filterText())
        return;
    const QString record = grid_->TextMatrix(grid_->Row(), RecordLayout::kRecordNumberColumn);
    model->setFilterText(text);
    int row = grid_->Rows() > 1 ? 1 : 0;
    if (!record.isEmpty())
        for (int r = 1; r < grid_->Rows(); ++r)
            if (grid_->TextMatrix(r, RecordLayout::kRecordNumberColumn) == record) {
                row = r;
                break;
            }
    grid_->setRow(row);
    grid_->showCurrentRow();
    QPalette p = box_->palette();
    p.setColor(QPalette::Base, model->rowCount() == 0 && !text.isEmpty() ? kNotFound : palette().color(QPalette::Base));
    box_->setPalette(p);
}

void ListFindBar::find(int from, int step) {
    const int row = grid_->listModel()->findRow(box_->text(), from, step);
    if (row >= 0) {
        grid_->setRow(row + 1);
        grid_->showCurrentRow();
    }
    QPalette p = box_->palette();
    p.setColor(QPalette::Base, row < 0 && !box_->text().isEmpty() ? kNotFound : palette().color(QPalette::Base));
    box_->setPalette(p);
}

void ListFindBar::place() {
    adjustSize();
    const QScrollBar* bar = grid_->verticalScrollBar();
    const int right = grid_->width() - grid_->frameWidth() - (bar->isVisible() ? bar->width() : 0) - 8;
    move(std::max(0, right - width()), grid_->frameWidth() + grid_->horizontalHeader()->height() + 4);
}

bool ListFindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_) {
        if (event->type() == QEvent::Resize && isVisible())
            place();
        // Entry mode and reloads disable the list: an empty box goes, so it never moves a row then;
        // one that narrows the list stays in sight, disabled with the list.
        if (event->type() == QEvent::EnabledChange && !grid_->isEnabled() && isVisible() && box_->text().isEmpty())
            hide();
    }
    return QFrame::eventFilter(watched, event);
}
