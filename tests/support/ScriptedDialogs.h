#pragma once

#include "platform/Dialogs.h"

#include <deque>
#include <functional>
#include <QObject>
#include <variant>
#include <vector>

namespace kyt {

// Answers dialogs from a queue and records what was shown. An unexpected dialog (queue empty) is
// answered with the default button, Cancel or nothing. Whatever went wrong with a script (a dialog
// nobody answered, an answer nobody asked for) is kept until takeUnsettled() collects it, also
// after clear() or the end of the instance, so that a test's cleanup fails on it.
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        enum Kind { Information, Question, Prompt, OpenFiles, PickFolder, SaveFile } kind = Information;
        QString text{};  // message, question or prompt text
        QString title{}; // prompt or picker title
        QString filter{};
        Answer defaultButton = Answer::Ok;
        bool masked = false;
        QString detail{}; // an information box's detail text
    };
    // A save dialog's answer: the name typed and the number (from 0) of the file type chosen.
    struct SaveAs {
        QString path;
        int type = 0;
    };
    using Reply = std::variant<Answer, QString, QStringList, SaveAs>;

    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    void queue(Reply reply) { replies_.push_back(std::move(reply)); }
    void queueYes() { queue(Answer::Yes); }
    void queueNo() { queue(Answer::No); }
    // Runs `step` when the next dialog shows, before it is answered: what the program has done by then.
    void whenNextShown(std::function<void()> step) { whenShown_ = std::move(step); }

    const std::vector<Shown>& shown() const { return shown_; }
    QStringList messages() const; // texts of everything shown, in order
    // Forgets what was shown; answers still queued are dropped and noted as unsettled.
    void clear();

    // Everything unsettled in any instance since the last call: dialogs that found no answer and
    // answers left queued. Leaves every instance settled.
    static QStringList takeUnsettled();

    // An information box needs no answer.
    void information(QWidget*, const QString& text) override {
        shown_.push_back({.kind = Shown::Information, .text = text});
    }
    void informationWithDetail(QWidget*, const QString& text, const QString& detail) override {
        shown_.push_back({.kind = Shown::Information, .text = text, .detail = detail});
    }
    Answer question(QWidget*, const QString& text, Answer defaultButton) override {
        return answer<Answer>({.kind = Shown::Question, .text = text, .defaultButton = defaultButton})
            .value_or(defaultButton);
    }
    std::optional<QString> prompt(QWidget*, const QString& text, const QString& title, bool masked) override {
        return answer<QString>({.kind = Shown::Prompt, .text = text, .title = title, .masked = masked});
    }
    QStringList openFiles(QWidget*, const QString& title, const QString& filter, bool) override {
        return answer<QStringList>({.kind = Shown::OpenFiles, .title = title, .filter = filter})
            .value_or(QStringList());
    }
    std::optional<QString> pickFolder(QWidget*, const QString& title) override {
        return answer<QString>({.kind = Shown::PickFolder, .title = title});
    }
    std::optional<QString> saveFile(QWidget*, const QString& title, const QString& filter, const QString&) override {
        shown_.push_back({.kind = Shown::SaveFile, .title = title, .filter = filter});
        const std::optional<Reply> reply = take();
        if (reply && std::holds_alternative<SaveAs>(*reply))
            return withChosenEnding(std::get<SaveAs>(*reply).path, filter, std::get<SaveAs>(*reply).type);
        if (reply && std::holds_alternative<QString>(*reply))
            return std::get<QString>(*reply);
        return std::nullopt;
    }

private:
    // Records the dialog and takes the next answer, when there is one of the kind it needs.
    template <class T> std::optional<T> answer(Shown shown) {
        shown_.push_back(std::move(shown));
        if (whenShown_)
            std::exchange(whenShown_, {})();
        const std::optional<Reply> reply = take();
        if (reply && std::holds_alternative<T>(*reply))
            return std::get<T>(*reply);
        return std::nullopt;
    }
    std::optional<Reply> take();
    void dropPending();

    std::deque<Reply> replies_;
    std::function<void()> whenShown_;
    std::vector<Shown> shown_;
};

} // namespace kyt

namespace testsupport {

// The base of every test class: after each test function it fails the test when a scripted
// dialog found no answer or an answer was left queued, in any dialogs service the test made.
// A test class with a cleanup() of its own calls this one from it.
class DialogsCheckedTest : public QObject {
    Q_OBJECT
protected slots:
    void cleanup();
};

} // namespace testsupport
