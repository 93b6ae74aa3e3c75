#pragma once

#include "ai/AIChannel.h"
#include "ai/AIEndpoints.h"
#include "ai/AIProviderKind.h"
#include "platform/Keychain.h"

#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>

// Everything the user chooses about the AI, and the status lines of the settings window. Three choices
// are kept in the per-user settings, written at every assignment; the OpenRouter key lives only in the
// keychain, read off the main thread at start and after a sign-in or sign-out, and held here. Lives on the
// main thread; the sign-in and the model lists run as jobs owned by this object, so a result never reaches an
// object that is gone.
class AISettings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(AIProviderKind provider READ provider WRITE setProvider NOTIFY providerChanged)
    Q_PROPERTY(QString ollamaModel READ ollamaModel WRITE setOllamaModel NOTIFY ollamaModelChanged)
    Q_PROPERTY(bool acknowledgedSend READ acknowledgedSend WRITE setAcknowledgedSend NOTIFY acknowledgedSendChanged)
    Q_PROPERTY(bool signedIn READ signedIn NOTIFY signedInChanged)
    Q_PROPERTY(QString lastModel READ lastModel WRITE setLastModel NOTIFY lastModelChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(QString notice READ notice WRITE setNotice NOTIFY noticeChanged)
    Q_PROPERTY(QStringList ollamaModels READ ollamaModels NOTIFY ollamaModelsChanged)
    Q_PROPERTY(QString ollamaNotice READ ollamaNotice NOTIFY ollamaNoticeChanged)
    Q_PROPERTY(QString freeModelNote READ freeModelNote NOTIFY freeModelNoteChanged)
    Q_PROPERTY(QString setupHint READ setupHint NOTIFY channelChanged)

public:
    // The keychain account of the OpenRouter key.
    static QString keyAccount();
    // The providers this computer has, in the picker's order: the on-device model only where it exists.
    static QList<AIProviderKind> offeredProviders();
    // What is said where a locked keyring or one that does not answer keeps the key from being read.
    static QString keyringUnavailableText();

    AISettings(std::shared_ptr<Keychain> keychain, const AIEndpoints& endpoints, QObject* parent = nullptr);

    AIProviderKind provider() const { return m_provider; }
    QString ollamaModel() const { return m_ollamaModel; }
    bool acknowledgedSend() const { return m_acknowledgedSend; }
    // A key was read (an empty one too: `channel` is what refuses it).
    bool signedIn() const { return m_key.state == KeychainRead::State::found; }
    // The keyring is locked or not running, so whether there is a key is not known.
    bool keyUnavailable() const { return m_key.state == KeychainRead::State::unavailable; }
    bool readingKey() const { return m_readingKey; }
    QString lastModel() const { return m_lastModel; }
    bool busy() const { return m_busy; }
    QString notice() const { return m_notice; }
    QStringList ollamaModels() const { return m_ollamaModels; }
    QString ollamaNotice() const { return m_ollamaNotice; }
    QString freeModelNote() const { return m_freeModelNote; }

    void setProvider(AIProviderKind provider);
    void setOllamaModel(const QString& model);
    void setAcknowledgedSend(bool acknowledged);
    void setLastModel(const QString& model);
    void setNotice(const QString& notice);

    // What is missing for the chosen provider, in one sentence: the provider and, for OpenRouter, the key decide it.
    QString setupHint() const;
    // The provider and its credentials for one request, or nothing when the chosen one cannot be used now.
    std::optional<AIChannel> channel() const;
    // The service addresses the requests of these settings go to.
    const AIEndpoints& endpoints() const { return m_endpoints; }

    // Reads the key from the keychain again; `keyRead` follows. What the last read found stays meanwhile.
    void readKey();
    // Starts the browser sign-in unless one is running; returns at once.
    void signIn();
    // Removes the stored key: what the settings window's Sign out does.
    void signOut();
    // Lists OpenRouter's free models into `freeModelNote`; returns at once.
    void checkFreeModels();
    // Looks for the local Ollama server and its models, and may choose `ollamaModel`; returns at once.
    void refreshOllama();

    // How long the browser may take to come back; tests shorten it.
    void setSignInTimeLimit(int milliseconds) { m_signInTimeLimitMs = milliseconds; }

signals:
    void providerChanged();
    void ollamaModelChanged();
    void acknowledgedSendChanged();
    void signedInChanged();
    void lastModelChanged();
    void busyChanged();
    void noticeChanged();
    void ollamaModelsChanged();
    void ollamaNoticeChanged();
    void freeModelNoteChanged();
    // What `channel()` gives may have changed: the provider, the Ollama model or the sign-in did.
    void channelChanged();
    // A read of the key has finished.
    void keyRead();

private:
    // True when the value changed (and the change was signalled).
    template <typename T>
    bool assign(T& field, const T& value, void (AISettings::*changed)());
    void setKey(const KeychainRead& key);
    void setBusy(bool busy);
    void setOllamaModels(const QStringList& models);
    void setOllamaNotice(const QString& notice);
    void setFreeModelNote(const QString& note);

    std::shared_ptr<Keychain> m_keychain;
    AIEndpoints m_endpoints;
    AIProviderKind m_provider = AIProviderKind::openRouter;
    QString m_ollamaModel;
    bool m_acknowledgedSend = false;
    KeychainRead m_key;
    bool m_readingKey = false;
    // Counts the reads started: only the latest one's answer is kept.
    quint64 m_keyReads = 0;
    QString m_lastModel;
    bool m_busy = false;
    QString m_notice;
    QStringList m_ollamaModels;
    QString m_ollamaNotice;
    QString m_freeModelNote;
    std::optional<int> m_signInTimeLimitMs;
};
