#include "LocalHttpServer.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

namespace {

// Sends the rest of a slow body piece by piece, then closes. The timer dies with the socket when the
// client goes away first.
void sendSlowly(QTcpSocket* socket, std::shared_ptr<QByteArray> rest, qsizetype chunk, int delayMs)
{
    if (rest->isEmpty()) {
        socket->disconnectFromHost();
        return;
    }
    socket->write(rest->left(chunk));
    rest->remove(0, chunk);
    QTimer::singleShot(delayMs, socket, [socket, rest, chunk, delayMs] { sendSlowly(socket, rest, chunk, delayMs); });
}

} // namespace

QJsonObject LocalHttpServer::Request::json() const
{
    return QJsonDocument::fromJson(body).object();
}

LocalHttpServer::Reply LocalHttpServer::Reply::json(const QJsonObject& object, int status)
{
    return {status, QJsonDocument(object).toJson(QJsonDocument::Compact), "application/json", Behaviour::answer};
}

LocalHttpServer::Reply LocalHttpServer::Reply::text(const QByteArray& body, int status)
{
    return {status, body, "text/plain; charset=utf-8", Behaviour::answer};
}

LocalHttpServer::Reply LocalHttpServer::Reply::bytes(const QByteArray& body, int status)
{
    return {status, body, "application/octet-stream", Behaviour::answer};
}

LocalHttpServer::Reply LocalHttpServer::Reply::slowly(const QByteArray& body, qsizetype chunkBytes, int chunkDelayMs)
{
    Reply reply = bytes(body);
    reply.chunkBytes = chunkBytes;
    reply.chunkDelayMs = chunkDelayMs;
    return reply;
}

LocalHttpServer::Reply LocalHttpServer::Reply::redirect(const QByteArray& location)
{
    Reply reply = text({}, 302);
    reply.headers = {{"Location", location}};
    return reply;
}

LocalHttpServer::Reply LocalHttpServer::Reply::hang()
{
    return {200, {}, {}, Behaviour::hang};
}

LocalHttpServer::Reply LocalHttpServer::Reply::closeMidBody(const QByteArray& body)
{
    return {200, body, "application/json", Behaviour::closeMidBody};
}

LocalHttpServer::Reply LocalHttpServer::Reply::notHttp(const QByteArray& bytes)
{
    return {0, bytes, {}, Behaviour::notHttp};
}

LocalHttpServer::LocalHttpServer(QObject* parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    if (!m_server->listen(QHostAddress::LocalHost)) {
        qFatal("the test server could not listen on 127.0.0.1");
    }
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) {
            socket->setParent(this);
            m_buffers.insert(socket, {});
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_buffers.remove(socket);
                socket->deleteLater();
            });
        }
    });
}

LocalHttpServer::~LocalHttpServer() = default;

QUrl LocalHttpServer::url() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort()));
}

void LocalHttpServer::route(const QByteArray& path, Handler handler)
{
    m_routes.insert(path, std::move(handler));
}

void LocalHttpServer::route(const QByteArray& path, const Reply& reply)
{
    route(path, [reply](const Request&) { return reply; });
}

QList<LocalHttpServer::Request> LocalHttpServer::requests(const QByteArray& path) const
{
    QList<Request> result;
    for (const Request& request : m_requests) {
        if (path.isEmpty() || request.path == path) {
            result.append(request);
        }
    }
    return result;
}

int LocalHttpServer::openConnections() const
{
    return int(m_buffers.size());
}

void LocalHttpServer::onReadyRead(QTcpSocket* socket)
{
    if (!m_buffers.contains(socket)) {
        return;
    }
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        return;
    }
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    Request request;
    request.method = requestLine.value(0);
    request.path = requestLine.value(1).split('?').value(0);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0) {
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
        }
    }
    const qsizetype length = request.headers.value("content-length", "0").toLongLong();
    if (buffer.size() - headerEnd - 4 < length) {
        return;
    }
    request.body = buffer.mid(headerEnd + 4, length);
    buffer.clear();
    m_requests.append(request);
    answer(socket, request);
}

void LocalHttpServer::answer(QTcpSocket* socket, const Request& request)
{
    const Handler handler = m_routes.value(request.path);
    const Reply reply = handler ? handler(request) : Reply::text("not found", 404);
    switch (reply.behaviour) {
    case Behaviour::hang:
        return;
    case Behaviour::notHttp:
        socket->write(reply.body);
        socket->disconnectFromHost();
        return;
    case Behaviour::answer:
    case Behaviour::closeMidBody:
        break;
    }
    // Clients read the code; the reason phrase is free text.
    QByteArray head
        = "HTTP/1.1 " + QByteArray::number(reply.status) + (reply.status == 200 ? " OK\r\n" : " Status\r\n");
    if (!reply.contentType.isEmpty()) {
        head += "Content-Type: " + reply.contentType + "\r\n";
    }
    for (const auto& [name, value] : reply.headers) {
        head += name + ": " + value + "\r\n";
    }
    head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\nConnection: close\r\n\r\n";
    socket->write(head);
    if (reply.behaviour == Behaviour::answer && reply.chunkBytes > 0) {
        sendSlowly(socket, std::make_shared<QByteArray>(reply.body), reply.chunkBytes, reply.chunkDelayMs);
        return;
    }
    socket->write(reply.behaviour == Behaviour::closeMidBody ? reply.body.left(reply.body.size() / 2) : reply.body);
    socket->disconnectFromHost();
}
