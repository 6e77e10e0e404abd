#include "host/BackgroundCounts.h"

#include "custody/TokenOut.h"
#include "platform/Db.h"
#include "platform/DbAddress.h"

#include <QCoreApplication>
#include <thread>

namespace {
RegisterCounts countOnNewConnection(const QString& address, const QDateTime& now, int days, int tokenDays) {
    QString why;
    const auto parsed = kyt::DbAddress::parse(address, &why);
    if (!parsed)
        return {};
    const auto db = kyt::Db::open(*parsed, &why, kyt::Db::Access::ReadOnly);
    if (!db)
        return {};
    RegisterCounts counts = countRegister(*db, now, days);
    if (!counts.readable)
        return counts;
    try {
        const custody::OutCounts tokens = custody::countOut(*db, now, tokenDays);
        counts.tokensOut = tokens.out;
        counts.tokensOverdue = tokens.overdue;
        counts.tokenDays = tokenDays;
    } catch (const kyt::Error&) {
        counts.readable = false;
    }
    return counts;
}
} // namespace

BackgroundCounts::BackgroundCounts(QString address, QObject* parent)
    : QObject(parent), address_(std::move(address)), self_(std::make_shared<BackgroundCounts*>(this)) {}

BackgroundCounts::~BackgroundCounts() = default;

void BackgroundCounts::request(const QDateTime& now, int days, int tokenDays) {
    if (reading_) {
        pending_ = Request{now, days, tokenDays};
        return;
    }
    start(Request{now, days, tokenDays});
}

void BackgroundCounts::start(const Request& request) {
    reading_ = true;
    std::weak_ptr<BackgroundCounts*> self = self_;
    // A thread of its own rather than a pool's: a read waiting on a silent server must not keep the
    // program from ending, and the connection it makes lives and dies in it.
    std::thread([address = address_, request, self] {
        const RegisterCounts counts = countOnNewConnection(address, request.now, request.days, request.tokenDays);
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
