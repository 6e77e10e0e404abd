#include "reminders/SmtpSender.h"

#include <cstring>
#include <curl/curl.h>
#include <QElapsedTimer>

namespace {
struct EasyDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

struct Upload {
    const QByteArray* data;
    qsizetype at = 0;
};

size_t readUpload(char* buffer, size_t size, size_t count, void* user) {
    auto* upload = static_cast<Upload*>(user);
    const size_t n = std::min(size * count, size_t(upload->data->size() - upload->at));
    std::memcpy(buffer, upload->data->constData() + upload->at, n);
    upload->at += qsizetype(n);
    return n;
}

size_t discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

// Called by the library while it waits; passes the wait on to the run at most every few seconds.
struct Waiting {
    const std::function<void()>* keepAlive;
    QElapsedTimer since;
};

int progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* waiting = static_cast<Waiting*>(user);
    if (*waiting->keepAlive && waiting->since.elapsed() > 5000) {
        (*waiting->keepAlive)();
        waiting->since.restart();
    }
    return 0;
}

// Failures that concern the server, the login or the secure channel rather than one message. A
// garbled or negative answer to a message, or a connection lost while it was sent, fails that
// message only: the next one connects anew, and stops the run there if the server is gone.
bool stopsTheRun(CURLcode code) {
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_LOGIN_DENIED:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_AUTH_ERROR:
        return true;
    default:
        return false;
    }
}

QString describe(CURLcode code, const char* detail, long response) {
    QString why = QString::fromUtf8(*detail ? detail : curl_easy_strerror(code));
    if (code == CURLE_LOGIN_DENIED || response == 535 || response == 334)
        why = QStringLiteral("the server refused the user name or password (%1)").arg(why);
    else if (code == CURLE_SSL_CONNECT_ERROR || code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_USE_SSL_FAILED)
        why = QStringLiteral("no secure connection could be made (%1)").arg(why);
    if (response > 0 && !why.contains(QString::number(response)))
        why += QStringLiteral(", server reply %1").arg(response);
    return why.simplified();
}
} // namespace

struct SmtpSender::Handle {
    std::unique_ptr<CURL, EasyDeleter> easy{curl_easy_init()};
};

SmtpSender::SmtpSender(Connection connection)
    : handle_(std::make_unique<Handle>()), connection_(std::move(connection)), url_(connection_.url.trimmed().toUtf8()),
      user_(connection_.user.trimmed().toUtf8()), password_(connection_.password.toUtf8()),
      caFile_(connection_.caFile.trimmed().toUtf8()) {}

SmtpSender::~SmtpSender() = default;

void SmtpSender::setConnectionOptions() {
    CURL* c = handle_->easy.get();
    curl_easy_setopt(c, CURLOPT_URL, url_.constData());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, long(connection_.timeoutSeconds));
    curl_easy_setopt(c, CURLOPT_TIMEOUT, long(connection_.timeoutSeconds) * 6);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile_.isEmpty()) {
        // The practice's own authority beside the system's: the file first, then the system folder.
        curl_easy_setopt(c, CURLOPT_CAINFO, caFile_.constData());
        curl_easy_setopt(c, CURLOPT_CAPATH, "/etc/ssl/certs");
    }
    if (url_.startsWith("smtp:")) {
        long tls = long(CURLUSESSL_TRY);
        if (!user_.isEmpty())
            tls = connection_.tlsNone ? long(CURLUSESSL_NONE) : long(CURLUSESSL_ALL);
        curl_easy_setopt(c, CURLOPT_USE_SSL, tls);
    }
    if (!user_.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, user_.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password_.constData());
    }
}

SmtpSender::Result SmtpSender::check() {
    CURL* c = handle_->easy.get();
    if (!c)
        return {Result::Kind::Unreachable, QStringLiteral("the mail library could not be started")};
    curl_easy_reset(c);
    setConnectionOptions();
    // A command that changes nothing on the server: the connection, TLS and login are made for it
    // and stay open for the messages.
    curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, "NOOP");
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, discard);
    return perform({}, true);
}

SmtpSender::Result SmtpSender::send(const QString& fromAddress, const QString& toAddress, const QByteArray& message,
                                    const std::function<void()>& keepAlive) {
    CURL* c = handle_->easy.get();
    if (!c)
        return {Result::Kind::Unreachable, QStringLiteral("the mail library could not be started")};
    // The same handle for every message: its connection to the server stays open between them.
    curl_easy_reset(c);
    setConnectionOptions();
    const QByteArray from = '<' + fromAddress.toLatin1() + '>';
    std::unique_ptr<curl_slist, ListDeleter> rcpt(
        curl_slist_append(nullptr, ('<' + toAddress.toLatin1() + '>').constData()));
    Upload upload{&message};
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt.get());
    curl_easy_setopt(c, CURLOPT_READFUNCTION, readUpload);
    curl_easy_setopt(c, CURLOPT_READDATA, &upload);
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(message.size()));
    return perform(keepAlive, false);
}

SmtpSender::Result SmtpSender::perform(const std::function<void()>& keepAlive, bool checking) {
    CURL* c = handle_->easy.get();
    char detail[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, detail);
    Waiting waiting{&keepAlive, {}};
    waiting.since.start();
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &waiting);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    const CURLcode code = curl_easy_perform(c);
    if (code == CURLE_OK)
        return {};
    long response = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &response);
    const QString why = describe(code, detail, response);
    // A refused login comes as a 535 reply to AUTH, which the library may report as a send error;
    // a server still waiting in the middle of AUTH (334) did not take the login either.
    const bool loginRefused = response == 535 || response == 534 || response == 530 || response == 334;
    return {checking || stopsTheRun(code) || loginRefused ? Result::Kind::Unreachable : Result::Kind::Refused, why};
}
