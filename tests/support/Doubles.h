#pragma once

// What the tests put in the place of the clock and the desktop.

#include "platform/Clock.h"
#include "platform/Desktop.h"

#include <QList>

namespace kyt {

// A clock that shows the time a test sets.
class FixedClock : public Clock {
public:
    explicit FixedClock(QDateTime at) : at_(std::move(at)) {}
    QDateTime now() const override { return at_; }
    void set(const QDateTime& at) { at_ = at; }

private:
    QDateTime at_;
};

// Records what would have been opened or started instead of doing it.
class RecordingDesktop : public Desktop {
public:
    bool openDocument(const QString& path) override {
        documents << path;
        return opensDocuments;
    }
    bool openUrl(const QString& url) override {
        urls << url;
        return true;
    }
    bool startDetached(const QString& program, const QStringList& arguments) override {
        started << (QStringList{program} + arguments);
        return true;
    }

    QStringList documents, urls;
    QList<QStringList> started; // program followed by its arguments
    bool opensDocuments = true; // when cleared, no program opens any document
};

} // namespace kyt
