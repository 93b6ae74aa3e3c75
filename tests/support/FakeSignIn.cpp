#include "FakeSignIn.h"

#include <QCryptographicHash>
#include <QDesktopServices>
#include <QJsonObject>
#include <QTcpSocket>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace {

// One plain request to the callback listener, as a browser sends it; the answer is not needed.
void browserGet(const QUrl& url)
{
    auto* socket = new QTcpSocket;
    QObject::connect(socket, &QTcpSocket::connected, socket, [socket, url] {
        socket->write("GET " + url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority)
                      + " HTTP/1.1\r\nHost: " + url.authority().toUtf8() + "\r\nAccept: text/html\r\n\r\n");
    });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QTcpSocket::errorOccurred, socket, &QObject::deleteLater);
    socket->connectToHost(url.host(), quint16(url.port()));
}

} // namespace

FakeSignIn::FakeSignIn()
{
    QDesktopServices::setUrlHandler(u"http"_s, this, "open");
    m_server.route("/api/v1/auth/keys",
                   [this](const LocalHttpServer::Request& request) { return keyExchange(request); });
    // The service's sign-in page: straight back to the application with a code and the state.
    m_server.route("/auth", [this](const LocalHttpServer::Request&) {
        const QByteArray target = QString::fromLatin1(m_callback.toEncoded()).toHtmlEscaped().toUtf8();
        return LocalHttpServer::Reply{
            200, "<html><head><meta http-equiv='refresh' content='0;url=" + target + "'></head></html>",
            "text/html; charset=utf-8", LocalHttpServer::Behaviour::answer};
    });
}

FakeSignIn::~FakeSignIn()
{
    QDesktopServices::unsetUrlHandler(u"http"_s);
    if (m_chromium) {
        m_chromium->kill();
        m_chromium->waitForFinished(10'000);
    }
}

void FakeSignIn::open(const QUrl& url)
{
    m_opened = url;
    const QUrlQuery query(url);
    QUrl callback(query.queryItemValue(u"callback_url"_s, QUrl::FullyDecoded));
    QUrlQuery back;
    if (m_browser != Browser::withoutCode) {
        back.addQueryItem(u"code"_s, QString::fromLatin1(code));
    }
    if (m_browser != Browser::redirectWithoutState) {
        back.addQueryItem(u"state"_s,
                          m_browser == Browser::redirectWithWrongState ? u"not-the-state"_s
                                                                       : query.queryItemValue(u"state"_s));
    }
    callback.setQuery(back);
    m_callback = callback;
    if (m_browser == Browser::never) {
        return;
    }
    if (m_browser == Browser::chromium) {
        m_profile = std::make_unique<QTemporaryDir>();
        m_chromium = std::make_unique<QProcess>();
        m_chromium->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_chromium->setStandardOutputFile(QProcess::nullDevice());
        m_chromium->start(u"chromium"_s,
                          {u"--headless"_s, u"--no-sandbox"_s, u"--disable-gpu"_s, u"--disable-quic"_s,
                           u"--no-first-run"_s, u"--disable-background-networking"_s, u"--disable-component-update"_s,
                           u"--disable-sync"_s, u"--user-data-dir="_s + m_profile->path(),
                           url.toString(QUrl::FullyEncoded)});
        return;
    }
    // Browsers ask for the site icon of whatever they show; that request carries no code.
    QUrl icon = callback;
    icon.setPath(u"/favicon.ico"_s);
    icon.setQuery(QString());
    browserGet(icon);
    browserGet(callback);
}

LocalHttpServer::Reply FakeSignIn::keyExchange(const LocalHttpServer::Request& request) const
{
    if (m_keyReply) {
        return *m_keyReply;
    }
    const QJsonObject body = request.json();
    const QByteArray challenge
        = QCryptographicHash::hash(body.value(u"code_verifier"_s).toString().toUtf8(), QCryptographicHash::Sha256)
              .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    const bool valid = request.headers.value("content-type") == "application/json"
        && body.value(u"code"_s).toString() == QLatin1String(code)
        && body.value(u"code_challenge_method"_s).toString() == u"S256"_s
        && QString::fromLatin1(challenge) == QUrlQuery(m_opened).queryItemValue(u"code_challenge"_s);
    if (!valid) {
        return LocalHttpServer::Reply::json({{u"error"_s, QJsonObject{{u"message"_s, u"Invalid code or verifier"_s}}}},
                                            403);
    }
    return LocalHttpServer::Reply::json({{u"key"_s, m_key}});
}
