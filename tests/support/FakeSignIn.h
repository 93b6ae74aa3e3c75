#pragma once

#include "LocalHttpServer.h"

#include <QObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>
#include <optional>

// Plays everything outside the application in an OpenRouter browser sign-in: the default browser (the
// "http" URL handler of QDesktopServices), the service's "/auth" page, which sends the browser back to
// the callback with a code and the state, and the key exchange at /api/v1/auth/keys, which gives a key
// only for the right code and a verifier that matches the challenge of the "/auth" address.
class FakeSignIn : public QObject
{
    Q_OBJECT

public:
    enum class Browser {
        redirect, // asks for the site icon first, then follows the redirect
        redirectWithoutState,
        redirectWithWrongState,
        withoutCode, // comes back without a code
        never, // never comes back
        chromium, // Debian's chromium, headless, loads the "/auth" page and follows it
    };

    static constexpr char code[] = "c0de-from-the-service";

    FakeSignIn();
    ~FakeSignIn() override;

    // The web site and the API, both.
    QUrl url() const { return m_server.url(); }
    LocalHttpServer& server() { return m_server; }

    void setBrowser(Browser browser) { m_browser = browser; }
    void setKey(const QString& key) { m_key = key; }
    // Replaces the key exchange's answer.
    void setKeyReply(const LocalHttpServer::Reply& reply) { m_keyReply = reply; }

    // The address the application asked the browser to open, the latest first.
    QUrl openedUrl() const { return m_opened; }
    int keyRequests() const { return int(m_server.requests("/api/v1/auth/keys").size()); }

public slots:
    void open(const QUrl& url);

private:
    void follow(const QUrl& callback);
    LocalHttpServer::Reply keyExchange(const LocalHttpServer::Request& request) const;

    LocalHttpServer m_server;
    Browser m_browser = Browser::redirect;
    QString m_key = QStringLiteral("sk-or-v1-test-key");
    std::optional<LocalHttpServer::Reply> m_keyReply;
    QUrl m_opened;
    QUrl m_callback;
    std::unique_ptr<QProcess> m_chromium;
    std::unique_ptr<QTemporaryDir> m_profile;
};
