#pragma once

#include "HttpRequest.h"
#include "HttpResponse.h"
#include "NetError.h"
#include "base/Result.h"

#include <QPointer>
#include <QTimer>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

using HttpResult = Result<HttpResponse, NetError>;

// Sends one request at a time on behalf of its owner, on the one network manager. The reply is a child of
// the owner and answers only while the owner exists. Any HTTP answer is a response, whatever its status;
// only a failed exchange is an error. A deadline bounds the whole exchange and the body is capped.
class HttpExchange
{
public:
    using Done = std::function<void(const HttpResult&)>;

    // Redirects are followed while they stay as safe (never from https to http), at most this many.
    static constexpr int maxRedirects = 5;

    explicit HttpExchange(QObject* owner);
    ~HttpExchange();
    HttpExchange(const HttpExchange&) = delete;
    HttpExchange& operator=(const HttpExchange&) = delete;

    // Starts `request`, replacing one in flight (which then never reports). `done` is called once, later,
    // on the owner's thread.
    void send(const HttpRequest& request, Done done);
    // Drops the request in flight without calling back.
    void abort();
    // Ends the request in flight at once with the kind `cancelled`; does nothing when none is.
    void cancel();

    // The network manager every request of the main thread goes through.
    static QNetworkAccessManager& manager();
    // The request every fetch starts from: the redirect policy and a time-out for a stalled transfer.
    static QNetworkRequest networkRequest(const QUrl& url, int stallTimeoutMs);
    // Only http and https addresses with a host are ever fetched.
    static bool isFetchable(const QUrl& url);
    // The error a finished reply stands for, when it is not an HTTP answer.
    static NetError transportError(const QNetworkReply& reply);
    // "The answer was larger than 64 MB."
    static NetError tooLarge(qint64 maxBytes);

private:
    void onFinished();
    void fail(const NetError& error);

    QObject* m_owner;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    Done m_done;
    qint64 m_maxBytes = 0;
    quint64 m_sequence = 0;
};
