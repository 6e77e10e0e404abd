#include "platform/FieldValidation.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

namespace kyt {

FieldValidation::FieldValidation(QWidget* window) : QObject(window), window_(window) {
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &FieldValidation::onFocusChanged);
}

void FieldValidation::watch(QWidget* field, Check check) {
    checks_.insert(field, std::move(check));
}

void FieldValidation::setCausesValidation(QWidget* control, bool causes) {
    control->setProperty("CausesValidation", causes);
}

bool FieldValidation::causesValidation(const QWidget* control) {
    const QVariant v = control->property("CausesValidation");
    return !v.isValid() || v.toBool();
}

QWidget* FieldValidation::watchedAncestor(QWidget* w) const {
    for (; w; w = w->parentWidget())
        if (checks_.contains(w))
            return w;
    return nullptr;
}

bool FieldValidation::leaveAllowed(QWidget* field, QWidget* target) {
    if (checking_ || !field || !target || field == target || !window_->isAncestorOf(target))
        return true;
    if (watchedAncestor(target) == field)
        return true;
    if (!causesValidation(target))
        return true;
    checking_ = true;
    bool ok = true;
    try {
        ok = checks_.value(field)();
    } catch (...) {
        ok = true;
    }
    checking_ = false;
    if (ok)
        approvedField_ = field; // the focus change that follows needs no second check
    return ok;
}

bool FieldValidation::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::KeyPress && type != QEvent::Shortcut)
        return false;
    auto* target = qobject_cast<QWidget*>(watched);
    if (!target || !window_->isAncestorOf(target))
        return false;
    // A click moves the focus before the press reaches any filter; when that move was refused,
    // the press itself must not reach its target either (no second check, no click).
    if (type == QEvent::MouseButtonPress && refusedTarget_ && refusedTarget_ == target) {
        refusedTarget_ = nullptr;
        return true;
    }
    QWidget* field = watchedAncestor(QApplication::focusWidget());
    if (!field || !field->isEnabled())
        return false;

    if (type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) || watchedAncestor(target) != field)
            return false;
        // The control Tab leads to is not known yet; any control of the window stands for it.
        QWidget* next = field->nextInFocusChain();
        return !leaveAllowed(field, next && next != field ? next : window_);
    }
    if (type == QEvent::MouseButtonPress && !(target->focusPolicy() & Qt::ClickFocus))
        return false;
    return !leaveAllowed(field, target);
}

void FieldValidation::onFocusChanged(QWidget* old, QWidget* now) {
    QWidget* field = watchedAncestor(old);
    if (!field || !now || checking_ || !window_->isAncestorOf(now) || watchedAncestor(now) == field)
        return;
    const bool approved = approvedField_ == field;
    approvedField_ = nullptr;
    if (approved || !field->isEnabled() || !field->isVisible())
        return;
    const bool ok = leaveAllowed(field, now);
    approvedField_ = nullptr;
    if (!ok) {
        refusedTarget_ = now;
        // Only the event that caused this focus change may be swallowed, not a later one.
        QTimer::singleShot(0, this, [this] { refusedTarget_ = nullptr; });
        field->setFocus(Qt::OtherFocusReason);
    }
}

} // namespace kyt
