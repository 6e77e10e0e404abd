#pragma once

#include "store/RegisterCounts.h"

#include <memory>
#include <optional>
#include <QDateTime>
#include <QObject>

// Reads the register's counts (countRegister) away from the window's thread, on a database
// connection of its own made for the read, so that a slow or silent server never holds the window
// up. One read runs at a time; a request made meanwhile is carried out once that read ends, with the
// latest values. A read still under way when this object goes is left to end on its own and its
// result is dropped. What is read is countRegister's struct: a figure added there (and filled in the
// same pass) reaches the window by the same way.
class BackgroundCounts : public QObject {
    Q_OBJECT
public:
    // `address` as the host's --db takes it (sqlite:PATH or mysql://...).
    explicit BackgroundCounts(QString address, QObject* parent = nullptr);
    ~BackgroundCounts() override;

    // `tokenDays`: a token out longer than this many days is counted as overdue.
    void request(const QDateTime& now, int days, int tokenDays);
    bool reading() const { return reading_; }

Q_SIGNALS:
    // A read ended; counts.readable is false when the register could not be read. `now` and `days`
    // are those it was requested with.
    void read(const RegisterCounts& counts, const QDateTime& now, int days);

private:
    struct Request {
        QDateTime now;
        int days = 0;
        int tokenDays = 0;
    };
    void start(const Request& request);
    void finished(const RegisterCounts& counts, const Request& request);

    QString address_;
    bool reading_ = false;
    std::optional<Request> pending_;
    // Reads hold it weakly: once it is gone their results are not delivered.
    std::shared_ptr<BackgroundCounts*> self_;
};
