#include "FakeOllama.h"
#include "FakeOpenRouter.h"
#include "FakeSignIn.h"
#include "MemoryKeychain.h"
#include "TestMain.h"
#include "platform/SecretServiceKeychain.h"
#include "store/AISettings.h"

#include <QJsonArray>
#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString account = u"openrouter-api-key"_s;
const QString signInHint = u"Sign in to OpenRouter in Settings to use free models."_s;
const QString ollamaHint = u"Pick an Ollama model in Settings (Ollama must be running)."_s;
const QString unreachableOllama
    = u"Could not reach Ollama at 127.0.0.1:11434. Start the Ollama app, then press Look again."_s;

QSettings stored()
{
    return QSettings(u"Trellick"_s, u"Trellick"_s);
}

// Nothing listens on port 1 of the loopback address.
const QUrl nowhere(u"http://127.0.0.1:1"_s);

AIEndpoints endpointsWith(const QUrl& openRouter, const QUrl& ollama = nowhere)
{
    AIEndpoints endpoints;
    endpoints.openRouterBase = openRouter;
    endpoints.openRouterWebBase = openRouter;
    endpoints.ollamaBase = ollama;
    endpoints.modelListTimeoutMs = 2000;
    endpoints.ollamaTagsTimeoutMs = 2000;
    return endpoints;
}

QJsonArray freeModels(int count)
{
    QJsonArray models;
    for (int i = 0; i < count; ++i) {
        // Newer first is the order the client tries them in.
        models.append(FakeOpenRouter::model(u"maker/model-%1:free"_s.arg(i), 1'700'000'000 - i));
    }
    return models;
}

} // namespace

class TestAISettings : public QObject
{
    Q_OBJECT

private slots:
    void init() { stored().clear(); }

    void storedProvider_data()
    {
        QTest::addColumn<QVariant>("raw");
        QTest::addColumn<AIProviderKind>("provider");
        QTest::newRow("absent") << QVariant() << AIProviderKind::openRouter;
        QTest::newRow("other letter case") << QVariant(u"Ollama"_s) << AIProviderKind::openRouter;
        QTest::newRow("ollama") << QVariant(u"ollama"_s) << AIProviderKind::ollama;
        QTest::newRow("on-device, not here") << QVariant(u"apple"_s) << AIProviderKind::openRouter;
    }

    void storedProvider()
    {
        QFETCH(QVariant, raw);
        QFETCH(AIProviderKind, provider);
        if (raw.isValid()) {
            stored().setValue(u"aiProvider"_s, raw);
        }
        auto keychain = std::make_shared<MemoryKeychain>();
        AISettings settings(keychain, endpointsWith(nowhere));
        QCOMPARE(settings.provider(), provider);
        // Loading writes nothing back.
        QCOMPARE(stored().value(u"aiProvider"_s), raw);
    }

    void assignmentsAreWrittenAndSurvive()
    {
        auto keychain = std::make_shared<MemoryKeychain>();
        {
            AISettings settings(keychain, endpointsWith(nowhere));
            settings.setProvider(AIProviderKind::ollama);
            settings.setOllamaModel(u" llama3.2 "_s);
            settings.setAcknowledgedSend(true);
            settings.setLastModel(u"m"_s);
            QCOMPARE(stored().value(u"aiProvider"_s).toString(), u"ollama"_s);
        }
        AISettings again(keychain, endpointsWith(nowhere));
        QCOMPARE(again.provider(), AIProviderKind::ollama);
        QCOMPARE(again.ollamaModel(), u" llama3.2 "_s);
        QCOMPARE(again.acknowledgedSend(), true);
        QCOMPARE(again.lastModel(), QString()); // not kept
        QCOMPARE(stored().allKeys().size(), 3);
    }

    void channelsAndHints_data()
    {
        QTest::addColumn<AIProviderKind>("provider");
        QTest::addColumn<KeychainRead>("key");
        QTest::addColumn<QString>("ollamaModel");
        QTest::addColumn<std::optional<AIChannel>>("channel");
        QTest::addColumn<QString>("hint");

        const std::optional<AIChannel> none;
        QTest::newRow("openRouter without key")
            << AIProviderKind::openRouter << KeychainRead() << u"m"_s << none << signInHint;
        QTest::newRow("openRouter with empty key")
            << AIProviderKind::openRouter << storedKey(u""_s) << u""_s << none << signInHint;
        QTest::newRow("ollama without model")
            << AIProviderKind::ollama << storedKey(u"k"_s) << u""_s << none << ollamaHint;
        QTest::newRow("apple") << AIProviderKind::apple << storedKey(u"k"_s) << u"m"_s << none
                               << u"Not available on this computer."_s;
        QTest::newRow("openRouter with key")
            << AIProviderKind::openRouter << storedKey(u"sk-or"_s) << u"m"_s
            << std::optional(AIChannel{AIProviderKind::openRouter, u"sk-or"_s, QString()}) << signInHint;
        QTest::newRow("openRouter with a locked keyring")
            << AIProviderKind::openRouter << KeychainRead{KeychainRead::State::unavailable, {}} << u"m"_s << none
            << AISettings::keyringUnavailableText();
        QTest::newRow("ollama model untrimmed")
            << AIProviderKind::ollama << KeychainRead() << u" qwen "_s
            << std::optional(AIChannel{AIProviderKind::ollama, QString(), u" qwen "_s}) << ollamaHint;
    }

    void channelsAndHints()
    {
        QFETCH(AIProviderKind, provider);
        QFETCH(KeychainRead, key);
        QFETCH(QString, ollamaModel);
        QFETCH(std::optional<AIChannel>, channel);
        QFETCH(QString, hint);

        auto keychain = std::make_shared<MemoryKeychain>();
        if (key.state == KeychainRead::State::found) {
            QVERIFY(keychain->save(key.value, account));
        }
        keychain->setUnavailable(key.state == KeychainRead::State::unavailable);
        AISettings settings(keychain, endpointsWith(nowhere));
        QTRY_VERIFY(!settings.readingKey());
        settings.setProvider(provider);
        settings.setOllamaModel(ollamaModel);
        QCOMPARE(settings.channel(), channel);
        QCOMPARE(settings.setupHint(), hint);
    }

    void emptyStoredKey()
    {
        auto keychain = std::make_shared<MemoryKeychain>();
        QVERIFY(keychain->save(QString(), account));
        AISettings settings(keychain, endpointsWith(nowhere));
        QTRY_VERIFY(settings.signedIn());
        QCOMPARE(settings.channel(), std::nullopt);
        // What the keyring holds counts from the next read on.
        QVERIFY(keychain->save(u"sk-later"_s, account));
        QCOMPARE(settings.channel(), std::nullopt);
        settings.readKey();
        QTRY_VERIFY(!settings.readingKey());
        QCOMPARE(settings.channel()->apiKey, u"sk-later"_s);
    }

    void resultsDroppedWhenTheSettingsAreGone()
    {
        FakeSignIn service;
        service.setKeyReply(LocalHttpServer::Reply::hang());
        FakeOpenRouter openRouter;
        openRouter.setModelsReply(LocalHttpServer::Reply::hang());
        auto keychain = std::make_shared<MemoryKeychain>();
        auto* settings = new AISettings(keychain, endpointsWith(service.url()));
        settings->signIn();
        QTRY_COMPARE(service.server().openConnections(), 1); // the key exchange is under way
        delete settings;

        settings = new AISettings(keychain, endpointsWith(openRouter.url()));
        settings->checkFreeModels();
        settings->refreshOllama();
        QTRY_COMPARE(openRouter.server().openConnections(), 1);
        delete settings;
        // The hanging requests end with their owner; nothing is left to report into freed memory.
        QTRY_COMPARE(service.server().openConnections(), 0);
        QTRY_COMPARE(openRouter.server().openConnections(), 0);
        QTest::qWait(50);
        QCOMPARE(keychain->saves(), 0);
    }

    void freeModelNote()
    {
        FakeOpenRouter openRouter;
        openRouter.setModels(freeModels(10));
        auto keychain = std::make_shared<MemoryKeychain>();
        AISettings settings(keychain, endpointsWith(openRouter.url()));
        settings.checkFreeModels();
        QCOMPARE(settings.freeModelNote(), u"Looking..."_s);
        QTRY_COMPARE(settings.freeModelNote(),
                     u"10 free models found. They are tried in this order:\nmaker/model-0:free\n"
                     "maker/model-1:free\nmaker/model-2:free\nmaker/model-3:free\nmaker/model-4:free\n"
                     "maker/model-5:free"_s);
        QVERIFY(!settings.busy());
    }

    // A look for Ollama chooses one of its models, keeps the saved one if it is installed in that letter case,
    // and keeps the saved one but no list when Ollama has no models or cannot be read.
    void refreshOllama_data()
    {
        QTest::addColumn<QStringList>("models");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("notice");
        const QStringList three{u"gemma3:4b"_s, u"llama3.2:latest"_s, u"qwen3:8b"_s};
        const QString found = u"Found Ollama with 3 model(s)."_s;
        QTest::newRow("none saved") << three << true << QString() << u"gemma3:4b"_s << found;
        QTest::newRow("saved one still installed") << three << true << u"qwen3:8b"_s << u"qwen3:8b"_s << found;
        QTest::newRow("differs in letter case") << three << true << u"QWEN3:8b"_s << u"gemma3:4b"_s << found;
        QTest::newRow("no models") << QStringList() << true << u"llama3.2"_s << u"llama3.2"_s
                                   << u"Ollama is running but has no models. Run “ollama pull llama3.2” in Terminal."_s;
        QTest::newRow("unreadable") << QStringList{u"a"_s} << false << QString() << u"a"_s << unreachableOllama;
    }

    void refreshOllama()
    {
        QFETCH(QStringList, models);
        QFETCH(bool, readable);
        QFETCH(QString, saved);
        QFETCH(QString, chosen);
        QFETCH(QString, notice);
        FakeOllama ollama;
        ollama.setModels(models);
        auto keychain = std::make_shared<MemoryKeychain>();
        AISettings settings(keychain, endpointsWith(nowhere, ollama.url()));
        settings.setProvider(AIProviderKind::ollama);
        settings.setOllamaModel(saved);
        if (!readable) {
            // The earlier list does not outlive a failed look.
            settings.refreshOllama();
            QTRY_COMPARE(settings.ollamaModels(), models);
            ollama.setTagsReply(LocalHttpServer::Reply::notHttp("nonsense"));
        }
        settings.refreshOllama();
        QCOMPARE(settings.ollamaNotice(), u"Looking for Ollama on this computer..."_s);
        QTRY_COMPARE(settings.ollamaNotice(), notice);
        QCOMPARE(settings.ollamaModels(), readable ? models : QStringList());
        QCOMPARE(settings.ollamaModel(), chosen);
        QCOMPARE(settings.channel(), (AIChannel{AIProviderKind::ollama, QString(), chosen}));
    }

    // The real Secret Service of the test's private session: the key survives new settings, and signing out
    // removes it.
    void keyringRoundTrip()
    {
        auto keychain = std::make_shared<SecretServiceKeychain>();
        keychain->remove(account);
        FakeSignIn service;
        {
            AISettings settings(keychain, endpointsWith(service.url()));
            QVERIFY(!settings.signedIn());
            QSignalSpy busySpy(&settings, &AISettings::busyChanged);
            settings.signIn();
            settings.signIn(); // a second press while the first sign-in runs starts nothing
            QVERIFY(settings.busy());
            QCOMPARE(settings.notice(), u"Your browser opened. Approve the sign-in there, then come back."_s);
            QTRY_VERIFY(!settings.busy());
            QCOMPARE(busySpy.size(), 2);
            QCOMPARE(service.keyRequests(), 1);
            QCOMPARE(settings.notice(), u"Signed in. The key is kept in your keyring."_s);
            QTRY_VERIFY(settings.signedIn());
        }
        {
            AISettings settings(keychain, endpointsWith(service.url()));
            QTRY_VERIFY(settings.signedIn());
            QCOMPARE(settings.channel(), (AIChannel{AIProviderKind::openRouter, u"sk-or-v1-test-key"_s, QString()}));
            settings.signOut();
            QVERIFY(!settings.signedIn());
            QCOMPARE(settings.notice(), u"Signed out. The key was removed from your keyring."_s);
            QCOMPARE(settings.channel(), std::nullopt);
            QTRY_VERIFY(!settings.readingKey());
            QVERIFY(!settings.signedIn());
        }
        QCOMPARE(SecretServiceKeychain().load(account), KeychainRead());
    }
};

TRELLICK_TEST_MAIN(TestAISettings)
#include "tst_aisettings.moc"
