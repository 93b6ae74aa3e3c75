#pragma once

#include "AIError.h"
#include "HttpRequest.h"
#include "HttpResponse.h"
#include "base/Result.h"

#include <QPointer>
#include <QTimer>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

using HttpOutcome = Result<HttpResponse, AIError>;

// Sends one request at a time on behalf of a job, on the one shared network manager. The reply is a
// child of the job and answers only while the job exists; a deadline timer bounds the whole exchange, so
// a server that trickles bytes ends like one that never answers. A transport failure becomes "Could not
// reach the server: " and the system's description.
class Http
{
public:
    using Done = std::function<void(const HttpOutcome&)>;

    // Bodies above this size are refused rather than held in memory.
    static constexpr qint64 maxBodyBytes = 64LL * 1024 * 1024;

    explicit Http(QObject* job);
    ~Http();
    Http(const Http&) = delete;
    Http& operator=(const Http&) = delete;

    // Starts `request`, replacing one in flight (which then never reports). `done` is called once, later,
    // on the job's thread.
    void send(const HttpRequest& request, Done done);
    // Drops the request in flight without calling back.
    void abort();

    // The one network manager of the main thread.
    static QNetworkAccessManager& manager();

private:
    void onFinished();
    void fail(const QString& description);
    void deliver(const HttpOutcome& outcome);

    QObject* m_job;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    Done m_done;
    quint64 m_sequence = 0;
};
