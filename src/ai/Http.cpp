#include "Http.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

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

} // namespace

Http::Http(QObject* job)
    : m_job(job)
{
    m_deadline.setSingleShot(true);
    QObject::connect(&m_deadline, &QTimer::timeout, m_job, [this] { fail(u"The request timed out."_s); });
}

Http::~Http()
{
    abort();
}

QNetworkAccessManager& Http::manager()
{
    static QPointer<QNetworkAccessManager> shared;
    if (!shared) {
        shared = new QNetworkAccessManager(QCoreApplication::instance());
    }
    return *shared;
}

void Http::send(const HttpRequest& request, Done done)
{
    abort();
    m_done = std::move(done);
    const quint64 sequence = m_sequence;
    if (!request.url.isValid() || request.url.host().isEmpty()) {
        QTimer::singleShot(0, m_job, [this, sequence] {
            if (sequence == m_sequence) {
                deliver(AIError{u"Bad address."_s});
            }
        });
        return;
    }

    QNetworkRequest networkRequest(request.url);
    networkRequest.setTransferTimeout(request.timeoutMs);
    for (const auto& [name, value] : request.headers) {
        networkRequest.setRawHeader(name, value);
    }
    QNetworkReply* reply = request.body.isEmpty() && request.method == "GET"
        ? manager().get(networkRequest)
        : manager().sendCustomRequest(networkRequest, request.method, request.body);
    reply->setParent(m_job);
    m_reply = reply;
    QObject::connect(reply, &QNetworkReply::readyRead, m_job, [this, reply] {
        if (reply == m_reply && reply->bytesAvailable() > maxBodyBytes) {
            fail(u"The answer was larger than %1 MB."_s.arg(maxBodyBytes / (1024 * 1024)));
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, m_job, [this, reply] {
        if (reply == m_reply) {
            onFinished();
        }
    });
    m_deadline.start(request.timeoutMs);
}

void Http::abort()
{
    ++m_sequence;
    m_deadline.stop();
    m_done = {};
    if (QNetworkReply* reply = m_reply.data()) {
        m_reply = nullptr;
        reply->disconnect(m_job);
        reply->abort();
        reply->deleteLater();
    }
}

void Http::onFinished()
{
    QNetworkReply* reply = m_reply.data();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    if (error == QNetworkReply::NoError || (status.isValid() && isStatusError(error))) {
        HttpResponse response{reply->readAll(), status.toInt()};
        if (response.body.size() > maxBodyBytes) {
            fail(u"The answer was larger than %1 MB."_s.arg(maxBodyBytes / (1024 * 1024)));
            return;
        }
        m_reply = nullptr;
        reply->deleteLater();
        deliver(response);
        return;
    }
    // Only the transfer time-out aborts a reply without us: say what happened rather than "canceled".
    fail(error == QNetworkReply::OperationCanceledError ? u"The request timed out."_s : reply->errorString());
}

void Http::fail(const QString& description)
{
    Done done = std::exchange(m_done, {});
    abort();
    if (done) {
        done(AIError{u"Could not reach the server: "_s + description});
    }
}

void Http::deliver(const HttpOutcome& outcome)
{
    m_deadline.stop();
    if (Done done = std::exchange(m_done, {})) {
        done(outcome);
    }
}
