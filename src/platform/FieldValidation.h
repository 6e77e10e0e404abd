#pragma once

#include <functional>
#include <QHash>
#include <QObject>
#include <QPointer>

class QWidget;

namespace kyt {

// Checks a field when the focus is about to leave it for another control of the same window, and
// keeps the focus there when the check refuses the value. Controls whose "CausesValidation"
// property is false (Cancel, Back) take the focus without running the check.
//
// Focus can leave by Tab, by a click, by a button's access key, or programmatically; the first
// three are stopped before they happen (so a refused value never lets the click through), the
// last is undone afterwards.
class FieldValidation : public QObject {
public:
    using Check = std::function<bool()>; // true: the value is accepted

    explicit FieldValidation(QWidget* window);

    void watch(QWidget* field, Check check);
    static void setCausesValidation(QWidget* control, bool causes);
    static bool causesValidation(const QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* watchedAncestor(QWidget* w) const;
    bool leaveAllowed(QWidget* field, QWidget* target);
    void onFocusChanged(QWidget* old, QWidget* now);

    QWidget* window_;
    QHash<QWidget*, Check> checks_;
    bool checking_ = false;
    QPointer<QWidget> approvedField_;
    QPointer<QWidget> refusedTarget_;
};

} // namespace kyt
