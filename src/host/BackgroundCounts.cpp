#include "host/BackgroundCounts.h"

#include "platform/Db.h"
#include "platform/DbAddress.h"

#include <QCoreApplication>
#include <thread>

namespace {
RegisterCounts countOnNewConnection(const QString& address, const QDateTime& now, int days) {
    QString why;
    const auto parsed = kyt::DbAddress::parse(address, &why);
    if (!parsed)
        return {};
    const auto db = kyt::Db::open(*parsed, &why, kyt::Db::Access::ReadOnly);
    return db ? countRegister(*db, now, days) : RegisterCounts{};
}
} // namespace

BackgroundCounts::BackgroundCounts(QString address, QObject* parent)
    : QObject(parent), address_(std::move(address)), self_(std::make_shared<BackgroundCounts*>(this)) {}

BackgroundCounts::~BackgroundCounts() = default;

void BackgroundCounts::request(const QDateTime& now, int days) {
    if (reading_) {
        pending_ = Request{now, days};
        return;
    }
    start(Request{now, days});
}

void BackgroundCounts::start(const Request& request) {
    reading_ = true;
    std::weak_ptr<BackgroundCounts*> self = self_;
    // A thread of its own rather than a pool's: a read waiting on a silent server must not keep the
    // program from ending, and the connection it makes lives and dies in it.
    std::thread([address = address_, request, self] {
        const RegisterCounts counts = countOnNewConnection(address, request.now, request.days);
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app,
                [self, counts, request] {
                    // Runs on the window's thread, where the object is destroyed: no race with that.
                    if (const auto alive = self.lock())
                        (*alive)->finished(counts, request);
                },
                Qt::QueuedConnection);
    }).detach();
}

void BackgroundCounts::finished(const RegisterCounts& counts, const Request& request) {
    reading_ = false;
    // A later request starts first, so that whoever hears of this read knows another is under way.
    if (pending_) {
        const Request next = *pending_;
        pending_.reset();
        start(next);
    }
    Q_EMIT read(counts, request.now, request.days);
}
