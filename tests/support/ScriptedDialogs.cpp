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

void ScriptedDialogs::information(QWidget*, const QString& text) {
    shown_.push_back({Shown::Information, text, {}, {}, Answer::Ok, false});
    // An information box needs no answer; an Ok queued for it is consumed so scripts may be explicit.
    if (!replies_.empty() && std::holds_alternative<Answer>(replies_.front()) &&
        std::get<Answer>(replies_.front()) == Answer::Ok)
        replies_.pop_front();
}

void ScriptedDialogs::informationWithDetail(QWidget* parent, const QString& text, const QString& detail) {
    information(parent, text);
    shown_.back().detail = detail;
}

Answer ScriptedDialogs::question(QWidget*, const QString& text, Answer defaultButton) {
    shown_.push_back({Shown::Question, text, {}, {}, defaultButton, false});
    const auto r = take();
    if (r && std::holds_alternative<Answer>(*r))
        return std::get<Answer>(*r);
    return defaultButton;
}

std::optional<QString> ScriptedDialogs::prompt(QWidget*, const QString& text, const QString& title, bool masked) {
    shown_.push_back({Shown::Prompt, text, title, {}, Answer::Ok, masked});
    const auto r = take();
    if (r && std::holds_alternative<QString>(*r))
        return std::get<QString>(*r);
    return std::nullopt;
}

QStringList ScriptedDialogs::openFiles(QWidget*, const QString& title, const QString& filter, bool) {
    shown_.push_back({Shown::OpenFiles, {}, title, filter, Answer::Ok, false});
    const auto r = take();
    if (r && std::holds_alternative<QStringList>(*r))
        return std::get<QStringList>(*r);
    if (r && std::holds_alternative<QString>(*r))
        return {std::get<QString>(*r)};
    return {};
}

std::optional<QString> ScriptedDialogs::pickFolder(QWidget*, const QString& title) {
    shown_.push_back({Shown::PickFolder, {}, title, {}, Answer::Ok, false});
    const auto r = take();
    if (r && std::holds_alternative<QString>(*r))
        return std::get<QString>(*r);
    return std::nullopt;
}

} // namespace kyt

namespace testsupport {

void DialogsCheckedTest::cleanup() {
    const QStringList unsettled = kyt::ScriptedDialogs::takeUnsettled();
    QVERIFY2(unsettled.isEmpty(), qPrintable(unsettled.join(QStringLiteral("; "))));
}

} // namespace testsupport
