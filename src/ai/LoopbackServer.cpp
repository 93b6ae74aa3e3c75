#include "LoopbackServer.h"

#include "AILog.h"

#include <QHostAddress>
#include <QStringDecoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace {

// A port free on 127.0.0.1 may be taken on ::1; a few fresh picks find one free on both.
constexpr int bindAttempts = 8;

} // namespace

LoopbackServer::LoopbackServer(QObject* parent)
    : QObject(parent)
{
}

LoopbackServer::~LoopbackServer()
{
    stop();
}

std::optional<quint16> LoopbackServer::start()
{
    Q_ASSERT(m_servers.isEmpty());
    for (int attempt = 0; attempt < bindAttempts; ++attempt) {
        auto* v4 = new QTcpServer(this);
        if (!v4->listen(QHostAddress::LocalHost, 0)) {
            m_error = u"Could not start listening for the sign-in: "_s + v4->errorString();
            delete v4;
            return std::nullopt;
        }
        const quint16 port = v4->serverPort();
        auto* v6 = new QTcpServer(this);
        if (!v6->listen(QHostAddress::LocalHostIPv6, port)) {
            const bool taken = v6->serverError() == QAbstractSocket::AddressInUseError;
            delete v6;
            if (taken) {
                delete v4;
                continue;
            }
            // This system has no IPv6 loopback, so no browser here can reach us on it either.
            v6 = nullptr;
        }
        for (QTcpServer* server : {v4, v6}) {
            if (server) {
                m_servers.append(server);
                connect(server, &QTcpServer::newConnection, this, [this, server] { onNewConnection(server); });
            }
        }
        return port;
    }
    m_error = u"Could not start listening for the sign-in: no port was free on both loopback addresses."_s;
    return std::nullopt;
}

void LoopbackServer::waitForCallback()
{
    QTimer::singleShot(0, this, [this] {
        if (m_pending) {
            const Parameters parameters = *std::exchange(m_pending, std::nullopt);
            emit callbackReceived(parameters);
        } else if (m_stopped) {
            emit waitFailed();
        } else {
            m_waiting = true;
        }
    });
}

void LoopbackServer::stop()
{
    m_stopped = true;
    for (QTcpServer* server : std::exchange(m_servers, {})) {
        server->close();
        server->deleteLater();
    }
    // A connection that never sent its request must not outlive the port (answered ones are no longer ours).
    for (QTcpSocket* socket : findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly)) {
        socket->abort();
        socket->deleteLater();
    }
    if (std::exchange(m_waiting, false)) {
        QTimer::singleShot(0, this, &LoopbackServer::waitFailed);
    }
}

void LoopbackServer::onNewConnection(QTcpServer* server)
{
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        // The socket belongs to the server object: closing the port ends every connection still open.
        socket->setParent(this);
        socket->setReadBufferSize(maxRequestBytes);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void LoopbackServer::onReadyRead(QTcpSocket* socket)
{
    // One read only: whatever the first bytes say decides the answer.
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    const Parameters parameters = parseRequest(socket->read(maxRequestBytes));
    const bool found = parameters.contains(u"code"_s);
    socket->write(response(found));
    // An answered connection finishes on its own, even when the port is closed right after.
    socket->setParent(nullptr);
    socket->disconnectFromHost();
    if (found) {
        deliver(parameters);
    } else {
        qCDebug(lcAI, "the sign-in listener answered a request without a code");
    }
}

void LoopbackServer::deliver(const Parameters& parameters)
{
    if (std::exchange(m_waiting, false)) {
        // From the event loop, so that a receiver may stop or delete the server right away.
        QTimer::singleShot(0, this, [this, parameters] { emit callbackReceived(parameters); });
    } else {
        m_pending = parameters;
    }
}

LoopbackServer::Parameters LoopbackServer::parseRequest(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    const qsizetype lineEnd = text.indexOf(u"\r\n"_s);
    // A request line cut off by the read limit could carry a cut-off code: only a complete line counts.
    if (decoder.hasError() || lineEnd < 0) {
        return {};
    }
    const QStringList pieces = text.left(lineEnd).split(u' ', Qt::SkipEmptyParts);
    if (pieces.size() < 2) {
        return {};
    }
    const QUrl url(u"http://localhost"_s + pieces.at(1), QUrl::StrictMode);
    if (!url.isValid()) {
        return {};
    }
    Parameters parameters;
    for (const auto& [name, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        parameters.insert(name, value);
    }
    return parameters;
}

QByteArray LoopbackServer::response(bool signedIn)
{
    // system-ui is the desktop's own font in every current browser; without it the page would be in serif.
    const QByteArray body = signedIn
        ? QByteArrayLiteral("<html><body style='font-family:system-ui,sans-serif;text-align:center;margin-top:80px'>"
                            "<h2>You're signed in</h2><p>You can close this tab and go back to Trellick.</p>"
                            "</body></html>")
        : QByteArrayLiteral("<html><body></body></html>");
    return (signedIn ? QByteArrayLiteral("HTTP/1.1 200 OK") : QByteArrayLiteral("HTTP/1.1 404 Not Found"))
        + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\nConnection: close\r\n\r\n" + body;
}
