#include "FakeOllama.h"
#include "FakeOpenRouter.h"
#include "TestMain.h"
#include "TestMedia.h"
#include "TestServices.h"
#include "ai/AIPrompts.h"
#include "core/AppState.h"
#include "files/Actions.h"

#include <QJsonArray>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString account = u"openrouter-api-key"_s;
const QString model = u"maker/model:free"_s;

QString trimPlan(const QString& label)
{
    return u"{\"options\":[{\"label\":\"%1\",\"summary\":\"Keeps 0:10 to 0:40.\",\"steps\":[{\"program\":\"ffmpeg\","
           "\"args\":[\"-ss\",\"10\",\"-i\",\"{input}\",\"-t\",\"30\",\"-c\",\"copy\",\"-n\",\"{output}\"],"
           "\"output\":\"song (cut).wav\",\"summary\":\"Cuts the audio.\"}]}]}"_s.arg(label);
}

const QString bashPlan = u"{\"options\":[{\"label\":\"Shell\",\"steps\":[{\"program\":\"bash\",\"args\":[\"-c\","
                         "\"ffmpeg -i {input} {output}\"],\"output\":\"song (cut).wav\"}]}]}"_s;

QString userMessage(const QJsonObject& body)
{
    return body.value(u"messages"_s).toArray().at(1).toObject().value(u"content"_s).toString();
}

// The action the window would offer for a file of this kind.
FileAction offered(AppState& state, ActionId id)
{
    const QList<FileAction> actions = state.actions();
    const auto it = std::find_if(actions.begin(), actions.end(), [&](const FileAction& a) { return a.id == id; });
    return it == actions.end() ? FileAction{} : *it;
}

} // namespace

// From a typed request to a plan under review, against the local OpenRouter and Ollama servers.
class TestRequestFlow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_song;
    QString m_other;
    std::unique_ptr<FakeOpenRouter> m_openRouter;
    std::unique_ptr<FakeOllama> m_ollama;
    std::shared_ptr<MemoryKeychain> m_keychain;
    std::unique_ptr<AppState> m_state;

    AISettings& settings() { return m_state->settings(); }

    // The song loaded, "Trim or cut parts" chosen and `request` typed, as the user would.
    void askingWith(const QString& request)
    {
        m_state->load({m_song});
        m_state->perform(offered(*m_state, ActionId::trim));
        QCOMPARE(m_state->stage(), Stage::asking);
        m_state->setRequestText(request);
        // The facts go into the request: wait for them as the user would see them.
        QTRY_VERIFY(m_state->details()->facts.duration.has_value());
    }

    bool waitWhileThinking()
    {
        return QTest::qWaitFor([&] { return m_state->stage() != Stage::thinking; }, 20'000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_song = m_dir.filePath(u"song.wav"_s);
        m_other = m_dir.filePath(u"other.wav"_s);
        QVERIFY(TestMedia::wav(m_song));
        QVERIFY(TestMedia::wav(m_other));
    }

    void init()
    {
        QSettings(u"Trellick"_s, u"Trellick"_s).clear();
        m_openRouter = std::make_unique<FakeOpenRouter>();
        m_openRouter->setModels({FakeOpenRouter::model(model, 1'700'000'000)});
        m_ollama = std::make_unique<FakeOllama>();
        TestServices fakes;
        m_keychain = fakes.keychain;
        QVERIFY(m_keychain->save(u"sk-or-test"_s, account));
        fakes.services.endpoints.openRouterBase = m_openRouter->url();
        fakes.services.endpoints.ollamaBase = m_ollama->url();
        fakes.services.endpoints.chatTimeoutMs = 5000;
        fakes.services.makePlayer = [](const QString&, QObject*) -> MediaPlayer* { return nullptr; };
        m_state = std::make_unique<AppState>(fakes.services);
        QTRY_VERIFY(settings().signedIn());
        settings().setAcknowledgedSend(true);
    }

    void cleanup()
    {
        m_state.reset();
        m_keychain.reset();
    }

    void blankRequestDoesNothing()
    {
        askingWith(u"  \n\t \n"_s);
        m_state->requestAI();
        QCOMPARE(m_state->stage(), Stage::asking);
        QCOMPARE(m_state->message(), std::nullopt);
        QCOMPARE(m_state->dialog(), std::nullopt);
        QTest::qWait(50);
        QVERIFY(m_openRouter->chatRequests().isEmpty());
    }

    void notSetUpOpensTheSettings_data()
    {
        QTest::addColumn<AIProviderKind>("provider");
        QTest::addColumn<QString>("message");
        QTest::newRow("openRouter without key")
            << AIProviderKind::openRouter
            << u"AI is not set up yet. Sign in to OpenRouter in Settings to use free models."_s;
        QTest::newRow("ollama without model")
            << AIProviderKind::ollama
            << u"AI is not set up yet. Pick an Ollama model in Settings (Ollama must be running)."_s;
    }

    void notSetUpOpensTheSettings()
    {
        QFETCH(AIProviderKind, provider);
        QFETCH(QString, message);
        m_keychain->remove(account);
        settings().readKey();
        QTRY_VERIFY(!settings().readingKey());
        settings().setProvider(provider);
        askingWith(u"Keep from 0:10 to 0:40"_s);
        m_state->requestAI();
        QCOMPARE(m_state->stage(), Stage::asking);
        QCOMPARE(m_state->message(), message);
        QCOMPARE(m_state->dialog(), DialogKind::settings);
    }

    // A locked keyring is not "signed out": it says so, and asking again lets the keyring offer to unlock.
    void lockedKeyringSaysSoUntilUnlocked()
    {
        m_keychain->setUnavailable(true);
        settings().readKey();
        QTRY_VERIFY(settings().keyUnavailable());
        m_openRouter->answerEveryChat(trimPlan(u"Fast"_s));
        askingWith(u"Keep from 0:10 to 0:40"_s);
        m_state->requestAI();
        QCOMPARE(m_state->message(), AISettings::keyringUnavailableText());
        QCOMPARE(m_state->dialog(), std::nullopt);
        QCOMPARE(m_state->stage(), Stage::asking);
        QTRY_VERIFY(!settings().readingKey());
        m_keychain->setUnavailable(false); // the user unlocks it
        m_state->requestAI();
        QTRY_VERIFY(settings().signedIn());
        m_state->requestAI();
        QTRY_COMPARE(m_state->stage(), Stage::review);
    }

    void answerBecomesAPlanUnderReview()
    {
        m_openRouter->answerEveryChat(trimPlan(u"Fast"_s));
        askingWith(u"  Keep from 0:10 to 0:40\n"_s);
        m_state->requestAI();
        QCOMPARE(m_state->stage(), Stage::thinking);
        QCOMPARE(m_state->thinkingText(), u"Asking OpenRouter..."_s);
        // Edits made while the AI thinks do not change what the review says was asked.
        m_state->setRequestText(u"something else"_s);
        QVERIFY(waitWhileThinking());
        QCOMPARE(m_state->stage(), Stage::review);

        const ReviewState review = *m_state->review();
        QCOMPARE(review.options.size(), 1);
        QCOMPARE(review.options[0].label, u"Fast"_s);
        QCOMPARE(review.options[0].steps[0].outputPath, m_dir.filePath(u"song (cut).wav"_s));
        QCOMPARE(review.selected, 0);
        QCOMPARE(review.request, u"Keep from 0:10 to 0:40"_s);
        QCOMPARE(review.title, u"Trim or cut parts"_s);
        QCOMPARE(review.model, model);
        QVERIFY(!review.retried);
        QVERIFY(review.isAI);
        QCOMPARE(settings().lastModel(), model);
        QVERIFY(m_state->task().isEmpty());

        // Exactly the texts of the preview went out, with the key of the keychain.
        const auto request = m_openRouter->chatRequests().first();
        QCOMPARE(request.headers.value("authorization"), "Bearer sk-or-test");
        QCOMPARE(
            userMessage(request.json()),
            AIPrompts::user(u"Keep from 0:10 to 0:40"_s, u"Trim or cut parts of the audio"_s, *m_state->details()));
    }

    void rejectedFirstAnswerIsRetried()
    {
        auto answers = std::make_shared<QStringList>(QStringList{bashPlan, trimPlan(u"Second"_s)});
        m_openRouter->setChat([answers](const QJsonObject& body) {
            return FakeOpenRouter::completion(body.value(u"model"_s).toString(), answers->takeFirst());
        });
        askingWith(u"Keep from 0:10 to 0:40"_s);
        m_state->askAI();
        QVERIFY(waitWhileThinking());
        QCOMPARE(m_state->stage(), Stage::review);
        QCOMPARE(m_state->review()->options[0].label, u"Second"_s);
        QVERIFY(m_state->review()->retried);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("failure");
        QTest::newRow("nothing proposed, with a reason")
            << u"{\"error\":\"There is no video in a sound file.\"}"_s << u"There is no video in a sound file."_s;
        QTest::newRow("nothing usable") << u"{\"options\":[]}"_s << u"None of the free models gave a usable answer."_s;
        QTest::newRow("rejected twice") << bashPlan
                                        << u"The AI's answer was not safe or usable, even after a second try: Step 1 "
                                           u"wants to use “bash”, which is not on the list of allowed tools "
                                           "(ffmpeg, ffprobe, sips, afconvert, zip)."_s;
    }

    void failures()
    {
        QFETCH(QString, answer);
        QFETCH(QString, failure);
        m_openRouter->answerEveryChat(answer);
        askingWith(u"Keep from 0:10 to 0:40"_s);
        const FileAction action = *m_state->currentAction();
        m_state->requestAI();
        QVERIFY(waitWhileThinking());
        QCOMPARE(m_state->stage(), Stage::failed);
        QVERIFY2(m_state->failureText().startsWith(failure), qPrintable(m_state->failureText()));
        QCOMPARE(m_state->failureDetails(), QString());
        QCOMPARE(m_state->failureBack(), Stage::asking);
        QVERIFY(m_state->task().isEmpty());

        m_state->backFromFailure();
        QCOMPARE(m_state->stage(), Stage::asking);
        QCOMPARE(m_state->requestText(), u"Keep from 0:10 to 0:40"_s);
        QCOMPARE(m_state->currentAction(), action);
        QCOMPARE(m_state->files(), QStringList{m_song});
    }

    // Cancel, a new request, a new load or a clear each drop the pending answer; what comes later changes nothing.
    void pendingAnswerIsDropped_data()
    {
        QTest::addColumn<QString>("interruption");
        QTest::newRow("cancel, then send again") << u"cancel"_s;
        QTest::newRow("second request") << u"ask"_s;
        QTest::newRow("load") << u"load"_s;
        QTest::newRow("clear") << u"clear"_s;
    }

    void pendingAnswerIsDropped()
    {
        QFETCH(QString, interruption);
        int requests = 0;
        // The first request hangs until it is dropped; later ones answer at once.
        m_openRouter->setChat([&requests](const QJsonObject& body) {
            return ++requests == 1
                ? LocalHttpServer::Reply::hang()
                : FakeOpenRouter::completion(body.value(u"model"_s).toString(), trimPlan(u"Second"_s));
        });
        askingWith(u"Keep from 0:10 to 0:40"_s);
        m_state->requestAI();
        QTRY_COMPARE(requests, 1);
        QCOMPARE(m_state->stage(), Stage::thinking);

        if (interruption == u"cancel"_s) {
            m_state->cancelThinking();
            QCOMPARE(m_state->stage(), Stage::asking);
            m_state->requestAI();
        } else if (interruption == u"ask"_s) {
            m_state->requestAI();
        } else if (interruption == u"load"_s) {
            m_state->load({m_other});
        } else {
            m_state->clearFiles();
        }
        // The dropped request does not hold its connection open.
        QTRY_COMPARE(m_openRouter->server().openConnections(), 0);
        if (interruption == u"cancel"_s || interruption == u"ask"_s) {
            QVERIFY(waitWhileThinking());
            QCOMPARE(m_state->stage(), Stage::review);
            QCOMPARE(m_state->review()->options[0].label, u"Second"_s);
        } else {
            QTest::qWait(200);
            QCOMPARE(m_state->stage(), Stage::idle);
            QCOMPARE(m_state->review(), std::nullopt);
            QCOMPARE(settings().lastModel(), QString());
        }
    }

    void onlyTheFirstFileIsDescribed()
    {
        m_openRouter->answerEveryChat(trimPlan(u"Fast"_s));
        m_state->load({m_song, m_other});
        m_state->setCurrentAction(Actions::forSelection(FileKind::audio, 1, {m_song}).first());
        m_state->setRequestText(u"Keep from 0:10 to 0:40"_s);
        m_state->askAI();
        QVERIFY(waitWhileThinking());
        QCOMPARE(m_state->stage(), Stage::review);
        const QString sent = userMessage(m_openRouter->chatBodies().first());
        QVERIFY(sent.contains(u"song.wav"_s));
        QVERIFY(!sent.contains(u"other.wav"_s));
        QCOMPARE(m_state->review()->options[0].steps[0].inputs, QStringList{m_song});
    }

    void ollamaNamesTheChannelModel()
    {
        settings().setProvider(AIProviderKind::ollama);
        QCOMPARE(m_state->providerLabel(), u"Ollama (no model chosen)"_s);
        settings().setOllamaModel(u"qwen3:8b"_s);
        QCOMPARE(m_state->providerLabel(), u"Ollama (qwen3:8b)"_s);
        m_ollama->answerEveryChat(trimPlan(u"Local"_s));
        askingWith(u"Keep from 0:10 to 0:40"_s);
        m_state->requestAI();
        QCOMPARE(m_state->thinkingText(), u"Asking Ollama (qwen3:8b)..."_s);
        QVERIFY(waitWhileThinking());
        QCOMPARE(m_state->review()->options[0].label, u"Local"_s);
        QCOMPARE(m_ollama->chatBodies().first().value(u"model"_s).toString(), u"qwen3:8b"_s);

        settings().setProvider(AIProviderKind::apple);
        QCOMPARE(m_state->providerLabel(), u"Apple on-device model"_s);
        settings().setProvider(AIProviderKind::openRouter);
        QCOMPARE(m_state->providerLabel(), u"OpenRouter"_s);
    }

    void currentPrompt()
    {
        QCOMPARE(m_state->currentPrompt(), std::nullopt);
        m_state->load({m_song});
        QCOMPARE(m_state->currentPrompt(), std::nullopt); // no action chosen
        m_state->perform(offered(*m_state, ActionId::trim));
        const auto prompt = m_state->currentPrompt();
        QVERIFY(prompt);
        QCOMPARE(prompt->first, AIPrompts::planSystem());
        QCOMPARE(prompt->second,
                 AIPrompts::user(u"(your request will appear here)"_s, u"Trim or cut parts of the audio"_s,
                                 *m_state->details()));
    }
};

TRELLICK_TEST_MAIN(TestRequestFlow)
#include "tst_requestflow.moc"
