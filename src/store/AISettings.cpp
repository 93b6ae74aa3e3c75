#include "AISettings.h"

#include "ai/AppleOnDevice.h"
#include "ai/OllamaModelsJob.h"
#include "ai/OpenRouterAuth.h"
#include "ai/OpenRouterModelsJob.h"
#include "base/EnumNames.h"
#include "platform/Keychain.h"

#include <QSettings>

using namespace Qt::StringLiterals;

namespace {

const QString providerKey = u"aiProvider"_s;
const QString ollamaModelKey = u"ollamaModel"_s;
const QString acknowledgedSendKey = u"acknowledgedSend"_s;

// The per-user store, named explicitly so that the application, the developer tool and the tests agree.
QSettings store()
{
    return QSettings(u"Trellick"_s, u"Trellick"_s);
}

} // namespace

QString AISettings::keyAccount()
{
    return QStringView(OpenRouterAuth::account).toString();
}

QList<AIProviderKind> AISettings::offeredProviders()
{
    QList<AIProviderKind> kinds{AIProviderKind::openRouter, AIProviderKind::ollama};
    if (AppleOnDevice::isSupportedSystem()) {
        kinds << AIProviderKind::apple;
    }
    return kinds;
}

QString AISettings::keyringUnavailableText()
{
    return u"Your keyring is locked or not running, so the OpenRouter key cannot be read. Unlock it and try again."_s;
}

AISettings::AISettings(std::shared_ptr<Keychain> keychain, const AIEndpoints& endpoints, QObject* parent)
    : QObject(parent)
    , m_keychain(std::move(keychain))
    , m_endpoints(endpoints)
{
    const QSettings settings = store();
    // A provider this computer does not have (the on-device model, chosen elsewhere) reads as the default.
    const std::optional<AIProviderKind> stored
        = EnumNames::value<AIProviderKind>(settings.value(providerKey).toString());
    m_provider = stored && offeredProviders().contains(*stored) ? *stored : AIProviderKind::openRouter;
    m_ollamaModel = settings.value(ollamaModelKey).toString();
    m_acknowledgedSend = settings.value(acknowledgedSendKey, false).toBool();
    readKey();
}

void AISettings::readKey()
{
    const quint64 read = ++m_keyReads;
    m_readingKey = true;
    Keychain::readLater(m_keychain, keyAccount(), this, [this, read](const KeychainRead& key) {
        // A later read, sign-in or sign-out has the last word.
        if (read != m_keyReads) {
            return;
        }
        m_readingKey = false;
        setKey(key);
        if (key.state == KeychainRead::State::unavailable) {
            setNotice(keyringUnavailableText());
        }
        emit keyRead();
    });
}

void AISettings::setKey(const KeychainRead& key)
{
    if (key == m_key) {
        return;
    }
    const bool wasSignedIn = signedIn();
    m_key = key;
    if (wasSignedIn != signedIn()) {
        emit signedInChanged();
    }
    emit channelChanged();
}

template <typename T>
bool AISettings::assign(T& field, const T& value, void (AISettings::*changed)())
{
    if (field == value) {
        return false;
    }
    field = value;
    emit(this->*changed)();
    return true;
}

void AISettings::setProvider(AIProviderKind provider)
{
    if (assign(m_provider, provider, &AISettings::providerChanged)) {
        emit channelChanged();
    }
    store().setValue(providerKey, EnumNames::name(provider));
}

void AISettings::setOllamaModel(const QString& model)
{
    if (assign(m_ollamaModel, model, &AISettings::ollamaModelChanged)) {
        emit channelChanged();
    }
    store().setValue(ollamaModelKey, model);
}

void AISettings::setAcknowledgedSend(bool acknowledged)
{
    assign(m_acknowledgedSend, acknowledged, &AISettings::acknowledgedSendChanged);
    store().setValue(acknowledgedSendKey, acknowledged);
}

void AISettings::setLastModel(const QString& model)
{
    assign(m_lastModel, model, &AISettings::lastModelChanged);
}

void AISettings::setNotice(const QString& notice)
{
    assign(m_notice, notice, &AISettings::noticeChanged);
}

void AISettings::setBusy(bool busy)
{
    assign(m_busy, busy, &AISettings::busyChanged);
}

void AISettings::setOllamaModels(const QStringList& models)
{
    assign(m_ollamaModels, models, &AISettings::ollamaModelsChanged);
}

void AISettings::setOllamaNotice(const QString& notice)
{
    assign(m_ollamaNotice, notice, &AISettings::ollamaNoticeChanged);
}

void AISettings::setFreeModelNote(const QString& note)
{
    assign(m_freeModelNote, note, &AISettings::freeModelNoteChanged);
}

QString AISettings::setupHint() const
{
    switch (m_provider) {
    case AIProviderKind::openRouter:
        return keyUnavailable() ? keyringUnavailableText() : u"Sign in to OpenRouter in Settings to use free models."_s;
    case AIProviderKind::ollama:
        return u"Pick an Ollama model in Settings (Ollama must be running)."_s;
    case AIProviderKind::apple:
        if (!AppleOnDevice::isSupportedSystem()) {
            return u"Not available on this computer."_s;
        }
        if (AppleOnDevice::isAvailable()) {
            return u"Available on this computer."_s;
        }
        return u"This computer supports it, but Apple Intelligence is not ready (turn it on in System Settings, or "
               u"wait "
               "for its download)."_s;
    }
    Q_UNREACHABLE();
}

std::optional<AIChannel> AISettings::channel() const
{
    switch (m_provider) {
    case AIProviderKind::openRouter: {
        if (!signedIn() || m_key.value.isEmpty()) {
            return std::nullopt;
        }
        return AIChannel{AIProviderKind::openRouter, m_key.value, QString()};
    }
    case AIProviderKind::ollama:
        if (m_ollamaModel.isEmpty()) {
            return std::nullopt;
        }
        return AIChannel{AIProviderKind::ollama, QString(), m_ollamaModel};
    case AIProviderKind::apple:
        if (!AppleOnDevice::isSupportedSystem() || !AppleOnDevice::isAvailable()) {
            return std::nullopt;
        }
        return AIChannel{AIProviderKind::apple, QString(), QString()};
    }
    Q_UNREACHABLE();
}

void AISettings::signIn()
{
    if (m_busy) {
        return;
    }
    setBusy(true);
    setNotice(u"Your browser opened. Approve the sign-in there, then come back."_s);
    auto* auth = new OpenRouterAuth(m_keychain, m_endpoints, this);
    if (m_signInTimeLimitMs) {
        auth->setTimeLimit(*m_signInTimeLimitMs);
    }
    connect(auth, &OpenRouterAuth::finished, this, [this, auth](const SignInOutcome& outcome) {
        auth->deleteLater();
        if (outcome.ok()) {
            setNotice(u"Signed in. The key is kept in your keyring."_s);
            readKey();
        } else if (outcome.error().kind != ErrorKind::cancelled) {
            setNotice(outcome.error().message);
        }
        setBusy(false);
    });
    auth->start();
}

void AISettings::signOut()
{
    // Nothing goes out with the key from now on; the read after the removal shows what the keyring kept.
    ++m_keyReads;
    m_readingKey = true;
    setKey({});
    setNotice(u"Signed out. The key was removed from your keyring."_s);
    Keychain::removeLater(m_keychain, keyAccount(), this, [this] { readKey(); });
}

void AISettings::checkFreeModels()
{
    setFreeModelNote(u"Looking..."_s);
    auto* job = new OpenRouterModelsJob(m_endpoints, this);
    connect(job, &OpenRouterModelsJob::finished, this, [this, job](const FreeModelsOutcome& outcome) {
        job->deleteLater();
        if (outcome.ok()) {
            const QList<OpenRouterClient::ModelInfo>& models = outcome.value();
            QStringList tried;
            for (const OpenRouterClient::ModelInfo& model :
                 models.first(qMin(models.size(), OpenRouterClient::maxModelsTried))) {
                tried.append(model.id);
            }
            setFreeModelNote(QString::number(models.size()) + u" free models found. They are tried in this order:\n"_s
                             + tried.join(u'\n'));
        } else if (outcome.error().kind != ErrorKind::cancelled) {
            setFreeModelNote(outcome.error().message);
        }
    });
    job->start();
}

void AISettings::refreshOllama()
{
    setOllamaNotice(u"Looking for Ollama on this computer..."_s);
    auto* job = new OllamaModelsJob(m_endpoints, this);
    connect(job, &OllamaModelsJob::finished, this, [this, job](const OllamaModelsOutcome& outcome) {
        job->deleteLater();
        if (!outcome.ok()) {
            if (outcome.error().kind != ErrorKind::cancelled) {
                setOllamaModels({});
                setOllamaNotice(
                    u"Could not reach Ollama at 127.0.0.1:11434. Start the Ollama app, then press Look again."_s);
            }
            return;
        }
        const QStringList* models = &outcome.value();
        setOllamaModels(*models);
        if (models->isEmpty()) {
            setOllamaNotice(u"Ollama is running but has no models. Run “ollama pull llama3.2” in Terminal."_s);
            return;
        }
        setOllamaNotice(u"Found Ollama with "_s + QString::number(models->size()) + u" model(s)."_s);
        if (m_ollamaModel.isEmpty() || !models->contains(m_ollamaModel)) {
            setOllamaModel(models->first());
        }
    });
    job->start();
}
