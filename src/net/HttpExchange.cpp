#include "HttpExchange.h"

#include <QCoreApplication>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

// Errors Qt derives from an HTTP status the server did send: the exchange itself worked.
bool isStatusError(QNetworkReply::NetworkError error)
{
    const int code = error;
    return (code >= QNetworkReply::ContentAccessDenied && code <= QNetworkReply::UnknownContentError)
        || error == QNetworkReply::ProtocolInvalidOperationError
        || (code >= QNetworkReply::InternalServerError && code <= QNetworkReply::UnknownServerError);
}

NetError timedOut()
{
    return {NetError::Kind::timedOut, u"The request timed out."_s};
}

} // namespace

HttpExchange::HttpExchange(QObject* owner)
    : m_owner(owner)
{
    m_deadline.setSingleShot(true);
    QObject::connect(&m_deadline, &QTimer::timeout, m_owner, [this] { fail(timedOut()); });
}

HttpExchange::~HttpExchange()
{
    abort();
}

QNetworkAccessManager& HttpExchange::manager()
{
    // A network manager serves only the thread it lives on, and every fetch starts on the main thread.
    Q_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
    static QPointer<QNetworkAccessManager> shared;
    if (!shared) {
        shared = new QNetworkAccessManager(QCoreApplication::instance());
    }
    return *shared;
}

QNetworkRequest HttpExchange::networkRequest(const QUrl& url, int stallTimeoutMs)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(maxRedirects);
    request.setTransferTimeout(stallTimeoutMs);
    return request;
}

bool HttpExchange::isFetchable(const QUrl& url)
{
    return url.isValid() && (url.scheme() == u"http"_s || url.scheme() == u"https"_s) && !url.host().isEmpty();
}

NetError HttpExchange::transportError(const QNetworkReply& reply)
{
    // Only the transfer time-out aborts a reply without us: say what happened rather than "canceled".
    if (reply.error() == QNetworkReply::OperationCanceledError) {
        return timedOut();
    }
    return {NetError::Kind::unreachable, reply.errorString()};
}

NetError HttpExchange::tooLarge(qint64 maxBytes)
{
    return {NetError::Kind::tooLarge,
            u"The answer was larger than %1."_s.arg(
                QLocale::c().formattedDataSize(maxBytes, 0, QLocale::DataSizeTraditionalFormat))};
}

void HttpExchange::send(const HttpRequest& request, Done done)
{
    abort();
    m_done = std::move(done);
    m_maxBytes = request.maxBodyBytes;
    if (!isFetchable(request.url)) {
        const quint64 sequence = m_sequence;
        QTimer::singleShot(0, m_owner, [this, sequence] {
            if (sequence == m_sequence) {
                fail({NetError::Kind::badAddress, u"Bad address."_s});
            }
        });
        return;
    }

    QNetworkRequest networkRequest = HttpExchange::networkRequest(request.url, request.timeoutMs);
    for (const auto& [name, value] : request.headers) {
        networkRequest.setRawHeader(name, value);
    }
    QNetworkReply* reply = request.body.isEmpty() && request.method == "GET"
        ? manager().get(networkRequest)
        : manager().sendCustomRequest(networkRequest, request.method, request.body);
    reply->setParent(m_owner);
    m_reply = reply;
    QObject::connect(reply, &QNetworkReply::readyRead, m_owner, [this, reply] {
        if (reply == m_reply && reply->bytesAvailable() > m_maxBytes) {
            fail(tooLarge(m_maxBytes));
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, m_owner, [this, reply] {
        if (reply == m_reply) {
            onFinished();
        }
    });
    m_deadline.start(request.timeoutMs);
}

void HttpExchange::abort()
{
    ++m_sequence;
    m_deadline.stop();
    m_done = {};
    if (QNetworkReply* reply = m_reply.data()) {
        m_reply = nullptr;
        reply->disconnect(m_owner);
        reply->abort();
        reply->deleteLater();
    }
}

void HttpExchange::cancel()
{
    if (m_done) {
        fail({NetError::Kind::cancelled, u"The request was cancelled."_s});
    }
}

void HttpExchange::onFinished()
{
    QNetworkReply* reply = m_reply.data();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    if (error != QNetworkReply::NoError && !(status.isValid() && isStatusError(error))) {
        fail(transportError(*reply));
        return;
    }
    HttpResponse response{reply->readAll(), status.toInt()};
    if (response.body.size() > m_maxBytes) {
        fail(tooLarge(m_maxBytes));
        return;
    }
    Done done = std::exchange(m_done, {});
    abort();
    done(response);
}

void HttpExchange::fail(const NetError& error)
{
    Done done = std::exchange(m_done, {});
    abort();
    if (done) {
        done(error);
    }
}
