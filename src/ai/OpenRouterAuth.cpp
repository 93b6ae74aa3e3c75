#include "OpenRouterAuth.h"

#include "platform/Desktop.h"
#include "platform/Keychain.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace {

constexpr int keyExchangeTimeoutMs = 30'000;
constexpr auto base64url = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

} // namespace

OpenRouterAuth::OpenRouterAuth(std::shared_ptr<Keychain> keychain, const AIEndpoints& endpoints, QObject* parent)
    : QObject(parent)
    , m_keychain(std::move(keychain))
    , m_endpoints(endpoints)
    , m_http(this)
{
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, [this] { m_server.stop(); });
    connect(&m_server, &LoopbackServer::callbackReceived, this, &OpenRouterAuth::onCallback);
    connect(&m_server, &LoopbackServer::waitFailed, this, [this] {
        if (m_step == Step::waiting) {
            finish(AIError{u"Sign-in was not finished in time. Try again."_s});
        }
    });
}

QString OpenRouterAuth::randomString(int bytes)
{
    QByteArray random(bytes, Qt::Uninitialized);
    for (char& byte : random) {
        byte = char(QRandomGenerator::system()->bounded(256));
    }
    return QString::fromLatin1(random.toBase64(base64url));
}

QString OpenRouterAuth::challengeFor(const QString& verifier)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(verifier.toUtf8(), QCryptographicHash::Sha256).toBase64(base64url));
}

QUrl OpenRouterAuth::signInUrl(const QUrl& webBase, quint16 port, const QString& challenge, const QString& state)
{
    QUrl url = AIEndpoints::join(webBase, u"/auth"_s);
    if (!url.isValid()) {
        return {};
    }
    QUrlQuery query;
    query.setQueryItems({
        {u"callback_url"_s, u"http://localhost:"_s + QString::number(port) + u"/callback"_s},
        {u"code_challenge"_s, challenge},
        {u"code_challenge_method"_s, u"S256"_s},
        {u"state"_s, state},
    });
    url.setQuery(query);
    return url;
}

void OpenRouterAuth::start()
{
    Q_ASSERT(m_step == Step::idle);
    m_step = Step::waiting;
    m_verifier = randomString(48);
    m_state = randomString(16);
    const std::optional<quint16> port = m_server.start();
    if (!port) {
        finishLater(AIError{m_server.errorString()});
        return;
    }
    m_watchdog.start(m_timeLimitMs);
    const QUrl url = signInUrl(m_endpoints.openRouterWebBase, *port, challengeFor(m_verifier), m_state);
    if (!url.isValid()) {
        finishLater(AIError{u"Could not build the sign-in address."_s});
        return;
    }
    Desktop::openUrl(url);
    m_server.waitForCallback();
}

void OpenRouterAuth::cancel()
{
    finish(AIError::cancellation());
}

void OpenRouterAuth::onCallback(const LoopbackServer::Parameters& parameters)
{
    if (m_step != Step::waiting) {
        return;
    }
    const auto code = parameters.constFind(u"code"_s);
    if (code == parameters.cend()) {
        finish(AIError{u"OpenRouter did not send back a sign-in code."_s});
        return;
    }
    const auto state = parameters.constFind(u"state"_s);
    if (state != parameters.cend() && *state != m_state) {
        finish(AIError{u"The sign-in answer did not match this request, so it was ignored."_s});
        return;
    }
    m_step = Step::exchanging;
    HttpRequest request;
    request.method = "POST";
    request.url = AIEndpoints::join(m_endpoints.openRouterBase, u"/api/v1/auth/keys"_s);
    request.timeoutMs = keyExchangeTimeoutMs;
    request.headers = {{"Content-Type", "application/json"}};
    request.body = QJsonDocument(QJsonObject{
                                     {u"code"_s, *code},
                                     {u"code_verifier"_s, m_verifier},
                                     {u"code_challenge_method"_s, u"S256"_s},
                                 })
                       .toJson(QJsonDocument::Compact);
    m_http.send(request, [this](const HttpOutcome& outcome) { onKeyAnswer(outcome); });
}

void OpenRouterAuth::onKeyAnswer(const HttpOutcome& outcome)
{
    if (!outcome.ok()) {
        finish(outcome.error());
        return;
    }
    const HttpResponse& response = outcome.value();
    const QJsonValue key = QJsonDocument::fromJson(response.body).object().value(u"key"_s);
    if (response.status != 200 || !key.isString() || key.toString().isEmpty()) {
        finish(AIError{u"OpenRouter would not give a key (status "_s + QString::number(response.status)
                       + u"). Try signing in again."_s});
        return;
    }
    save(key.toString());
}

void OpenRouterAuth::save(const QString& key)
{
    m_step = Step::saving;
    // The secret store may ask the user to unlock it: that must not hold up the window.
    Keychain::saveLater(m_keychain, key, QStringView(account).toString(), this, [this](bool saved) {
        if (m_step != Step::saving) {
            return;
        }
        if (saved) {
            finish({});
        } else {
            finish(AIError{u"OpenRouter gave a key, but it could not be stored in your keyring. Check that a "
                           "keyring is running and unlocked, then sign in again."_s});
        }
    });
}

void OpenRouterAuth::finish(const SignInOutcome& outcome)
{
    if (m_step == Step::done) {
        return;
    }
    m_step = Step::done;
    m_watchdog.stop();
    m_server.stop();
    m_http.abort();
    emit finished(outcome);
}

void OpenRouterAuth::finishLater(const SignInOutcome& outcome)
{
    QTimer::singleShot(0, this, [this, outcome] { finish(outcome); });
}
