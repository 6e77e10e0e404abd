#include "support/ScriptedDialogs.h"

#include <QTest>
#include <set>

namespace kyt {

namespace {
std::set<ScriptedDialogs*>& liveInstances() {
    static std::set<ScriptedDialogs*> live;
    return live;
}
QStringList& unsettled() {
    static QStringList notes;
    return notes;
}
} // namespace

ScriptedDialogs::ScriptedDialogs() {
    liveInstances().insert(this);
}

ScriptedDialogs::~ScriptedDialogs() {
    dropPending();
    liveInstances().erase(this);
}

QStringList ScriptedDialogs::takeUnsettled() {
    for (ScriptedDialogs* dialogs : liveInstances())
        dialogs->dropPending();
    return std::exchange(unsettled(), {});
}

void ScriptedDialogs::dropPending() {
    if (!replies_.empty())
        unsettled() << QStringLiteral("%1 answer(s) left queued").arg(replies_.size());
    replies_.clear();
}

std::optional<ScriptedDialogs::Reply> ScriptedDialogs::take() {
    if (replies_.empty()) {
        unsettled() << QStringLiteral("unexpected dialog: ") + shown_.back().text + shown_.back().title;
        return std::nullopt;
    }
    Reply r = std::move(replies_.front());
    replies_.pop_front();
    return r;
}

QStringList ScriptedDialogs::messages() const {
    QStringList out;
    for (const Shown& s : shown_)
        out << s.text;
    return out;
}

void ScriptedDialogs::clear() {
    dropPending();
    shown_.clear();
}

} // namespace kyt

namespace testsupport {

void DialogsCheckedTest::cleanup() {
    const QStringList unsettled = kyt::ScriptedDialogs::takeUnsettled();
    QVERIFY2(unsettled.isEmpty(), qPrintable(unsettled.join(QStringLiteral("; "))));
}

} // namespace testsupport
