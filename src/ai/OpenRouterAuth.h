#pragma once

#include "AIEndpoints.h"
#include "AIError.h"
#include "Http.h"
#include "LoopbackServer.h"
#include "base/Result.h"

#include <QObject>
#include <QTimer>
#include <memory>

class Keychain;

// The outcome of a sign-in: done (the key is in the keychain), one sentence for the user, or cancelled.
using SignInOutcome = Result<void, AIError>;

// The OpenRouter browser sign-in with a proof key (PKCE, S256): opens the service's "/auth" page in the
// default browser, takes the redirect on a loopback port, trades the code for an API key and keeps the
// key in the keychain. The user never pastes a key. start() once; `finished` is emitted exactly once.
class OpenRouterAuth : public QObject
{
    Q_OBJECT

public:
    static constexpr char16_t account[] = u"openrouter-api-key";

    OpenRouterAuth(std::shared_ptr<Keychain> keychain, const AIEndpoints& endpoints, QObject* parent = nullptr);

    // How long the browser may take; tests shorten it.
    void setTimeLimit(int milliseconds) { m_timeLimitMs = milliseconds; }

    void start();
    void cancel();

    // 48 random bytes for the verifier, 16 for the state, from the system's secure generator, in
    // base64url without padding.
    static QString randomString(int bytes);
    // base64url of the SHA-256 of the verifier, without padding.
    static QString challengeFor(const QString& verifier);
    // The web site's "/auth" page with callback_url, code_challenge, code_challenge_method and state,
    // in that order; invalid when the base is not a web address.
    static QUrl signInUrl(const QUrl& webBase, quint16 port, const QString& challenge, const QString& state);

signals:
    void finished(const SignInOutcome& outcome);

private:
    enum class Step { idle, waiting, exchanging, saving, done };

    void onCallback(const LoopbackServer::Parameters& parameters);
    void onKeyAnswer(const HttpOutcome& outcome);
    void save(const QString& key);
    void finish(const SignInOutcome& outcome);
    // Reports from the event loop, never from inside start().
    void finishLater(const SignInOutcome& outcome);

    std::shared_ptr<Keychain> m_keychain;
    AIEndpoints m_endpoints;
    LoopbackServer m_server;
    Http m_http;
    QTimer m_watchdog;
    int m_timeLimitMs = 300'000;
    Step m_step = Step::idle;
    QString m_verifier;
    QString m_state;
};
