#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPair>
#include <QUrl>
#include <functional>

class QTcpServer;
class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for tests that play a network service. Each request is answered by
// the handler of its path (404 otherwise), one request per connection. Besides normal answers it can
// redirect, send the body slowly in pieces, hang, close in the middle of the body, or send bytes that
// are not HTTP at all.
class LocalHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method;
        QByteArray path; // without the query
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;

        QJsonObject json() const;
    };

    enum class Behaviour {
        answer, // the whole reply, then close
        hang, // accept the request and never answer
        closeMidBody, // announce the whole body, send half of it, close
        notHttp, // send the body as raw bytes without any status line
    };

    struct Reply
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        Behaviour behaviour = Behaviour::answer;
        QList<QPair<QByteArray, QByteArray>> headers = {};
        // When set, the body goes out in pieces of this size with a pause between them, so that a test
        // can act in the middle of a transfer.
        qsizetype chunkBytes = 0;
        int chunkDelayMs = 0;

        static Reply json(const QJsonObject& object, int status = 200);
        static Reply text(const QByteArray& body, int status = 200);
        static Reply bytes(const QByteArray& body, int status = 200);
        static Reply slowly(const QByteArray& body, qsizetype chunkBytes, int chunkDelayMs);
        // 302 to a path on this server or a full address.
        static Reply redirect(const QByteArray& location);
        static Reply hang();
        static Reply closeMidBody(const QByteArray& body);
        static Reply notHttp(const QByteArray& bytes);
    };

    using Handler = std::function<Reply(const Request&)>;

    explicit LocalHttpServer(QObject* parent = nullptr);
    ~LocalHttpServer() override;

    // http://127.0.0.1:PORT
    QUrl url() const;
    void route(const QByteArray& path, Handler handler);
    // Answers every request for the path with the same reply.
    void route(const QByteArray& path, const Reply& reply);
    // Every request received so far, or those of one path, in arrival order.
    QList<Request> requests(const QByteArray& path = {}) const;
    // Connections the client still holds open (a hanging request keeps one).
    int openConnections() const;

private:
    void onReadyRead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const Request& request);

    QTcpServer* m_server;
    QHash<QByteArray, Handler> m_routes;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QList<Request> m_requests;
};
