#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <optional>

class QTcpServer;
class QTcpSocket;

// The one-shot listener for the browser's sign-in redirect, on the loopback addresses only (127.0.0.1 and
// ::1 on the same port, because a browser may resolve "localhost" to either). Any request whose query
// carries "code" is the callback; other requests (the site icon, junk) get a 404 and the wait goes on.
class LoopbackServer : public QObject
{
    Q_OBJECT

public:
    using Parameters = QHash<QString, QString>;

    // The most a connection may send; only this one read is ever made.
    static constexpr qint64 maxRequestBytes = 8192;

    explicit LoopbackServer(QObject* parent = nullptr);
    ~LoopbackServer() override;

    // Listens on a port the system picks; the port, or nothing when no loopback address could be bound
    // (`errorString` says why).
    std::optional<quint16> start();
    QString errorString() const { return m_error; }

    // Asks for the first callback: `callbackReceived` follows, at once if one was parked, or
    // `waitFailed` when the server is stopped first. Reports always arrive from the event loop.
    void waitForCallback();
    // Closes the port and fails a pending wait. Harmless to call again.
    void stop();

    // The query parameters of a request's first bytes; empty unless they hold a complete request line
    // with a target (a later item of the same name replaces an earlier one, an item without "=" gives "").
    static Parameters parseRequest(const QByteArray& bytes);
    // The exact HTTP answer for a request that did or did not carry a code.
    static QByteArray response(bool signedIn);

signals:
    void callbackReceived(const LoopbackServer::Parameters& parameters);
    void waitFailed();

private:
    void onNewConnection(QTcpServer* server);
    void onReadyRead(QTcpSocket* socket);
    void deliver(const Parameters& parameters);

    QList<QTcpServer*> m_servers;
    QString m_error;
    std::optional<Parameters> m_pending;
    bool m_waiting = false;
    bool m_stopped = false;
};
