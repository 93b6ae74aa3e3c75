#include "TestMain.h"
#include "TestMedia.h"
#include "TestServices.h"
#include "ai/AIPrompts.h"
#include "core/AppState.h"
#include "files/Actions.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString model = u"maker/model:free"_s;

QString trimPlan(const QString& label)
{
    return u"{\"options\":[{\"label\":\"%1\",\"summary\":\"Keeps 0:10 to 0:40.\",\"steps\":[{\"program\":\"ffmpeg\","
           "\"args\":[\"-ss\",\"10\",\"-i\",\"{input}\",\"-t\",\"30\",\"-c\",\"copy\",\"-n\",\"{output}\"],"
           "\"output\":\"song (cut).wav\",\"summary\":\"Cuts the audio.\"}]}]}"_s.arg(label);
}

// A re-encode with a preset libx264 refuses: it passes every check and fails only when ffmpeg runs.
QString smallerPlan(const QString& preset)
{
    return u"{\"options\":[{\"label\":\"Smaller\",\"summary\":\"Re-encodes it.\",\"steps\":[{\"program\":\"ffmpeg\","
           "\"args\":[\"-i\",\"{input}\",\"-c:v\",\"libx264\",\"-preset\",\"%1\",\"-c:a\",\"aac\",\"-n\",\"{output}\"],"
           "\"output\":\"talk (smaller).mp4\",\"summary\":\"Re-encodes the video.\"}]}]}"_s.arg(preset);
}

const QString bashPlan = u"{\"options\":[{\"label\":\"Shell\",\"steps\":[{\"program\":\"bash\",\"args\":[\"-c\","
                         "\"ffmpeg -i {input} {output}\"],\"output\":\"song (cut).wav\"}]}]}"_s;

} // namespace

// From a typed request to a plan under review, against the local OpenRouter and Ollama servers, and from a
// plan that fails when it runs to a fix asked for with its error.
class TestRequestFlow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_song;
    QString m_other;
    QString m_video;
    std::unique_ptr<AITestServices> m_ai;
    std::unique_ptr<AppState> m_state;

    AISettings& settings() { return m_state->settings(); }

    // The file (the song by default) loaded, "Trim or cut parts" chosen and `request` typed, as the user would.
    void askingWith(const QString& request, const QString& file = {})
    {
        m_state->load({file.isEmpty() ? m_song : file});
        const QList<FileAction> offered = m_state->actions();
        const auto trim = std::find_if(offered.begin(), offered.end(), [](auto& a) { return a.id == ActionId::trim; });
        QVERIFY(trim != offered.end());
        m_state->perform(*trim);
        QCOMPARE(m_state->stage(), Stage::asking);
        m_state->setRequestText(request);
        // The facts go into the request: wait for them as the user would see them.
        QTRY_VERIFY(m_state->details()->facts.duration.has_value());
    }

    bool waitFor(Stage stage)
    {
        return QTest::qWaitFor([&] { return m_state->stage() == stage; }, 60'000);
    }

    // The video's request sent and its failing plan run, as the user would.
    void runFailingPlan()
    {
        askingWith(u"make it smaller"_s, m_video);
        m_state->requestAI();
        QVERIFY(waitFor(Stage::review));
        m_state->startRun();
        QVERIFY(waitFor(Stage::failed));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_song = m_dir.filePath(u"song.wav"_s);
        m_other = m_dir.filePath(u"other.wav"_s);
        m_video = m_dir.filePath(u"talk.mp4"_s);
        QVERIFY(TestMedia::wav(m_song) && TestMedia::wav(m_other) && TestMedia::videoMp4(m_video));
        QVERIFY(TestMedia::installTool(u"ffmpeg"_s) && TestMedia::installTool(u"ffprobe"_s));
    }

    void init()
    {
        QSettings(u"Trellick"_s, u"Trellick"_s).clear();
        for (const QString& name : QDir(m_dir.path()).entryList({u"talk (*"_s})) {
            QFile::remove(m_dir.filePath(name));
        }
        m_ai = std::make_unique<AITestServices>();
        m_state = std::make_unique<AppState>(m_ai->services);
        QTRY_VERIFY(settings().signedIn());
        settings().setAcknowledgedSend(true);
    }

    void cleanup()
    {
        m_state.reset();
        m_ai.reset();
    }

    void blankRequestDoesNothing()
    {
        askingWith(u"  \n\t \n"_s);
        m_state->requestAI();
        QCOMPARE(m_state->stage(), Stage::asking);
        QCOMPARE(m_state->message(), std::nullopt);
        QCOMPARE(m_state->dialog(), std::nullopt);
        QTest::qWait(50);
        QVERIFY(m_ai->openRouter.chatRequests().isEmpty());
    }

    // A locked keyring is not "signed out": it says so, and asking again lets the keyring offer to unlock.
    void lockedKeyringSaysSoUntilUnlocked()
    {
        m_ai->keychain->setUnavailable(true);
        settings().readKey();
        QTRY_VERIFY(settings().keyUnavailable());
        m_ai->openRouter.answerEveryChat(trimPlan(u"Fast"_s));
        askingWith(u"Keep from 0:10 to 0:40"_s);
        m_state->requestAI();
        QCOMPARE(m_state->message(), AISettings::keyringUnavailableText());
        QCOMPARE(m_state->dialog(), std::nullopt);
        QCOMPARE(m_state->stage(), Stage::asking);
        QTRY_VERIFY(!settings().readingKey());
        m_ai->keychain->setUnavailable(false); // the user unlocks it
        m_state->requestAI();
        QTRY_VERIFY(settings().signedIn());
        m_state->requestAI();
        QTRY_COMPARE(m_state->stage(), Stage::review);
    }

    void answerBecomesAPlanUnderReview()
    {
        m_ai->openRouter.answerEveryChat(trimPlan(u"Fast"_s));
        askingWith(u"  Keep from 0:10 to 0:40\n"_s);
        m_state->requestAI();
        QCOMPARE(m_state->stage(), Stage::thinking);
        QCOMPARE(m_state->thinkingText(), u"Asking OpenRouter..."_s);
        // Edits made while the AI thinks do not change what the review says was asked.
        m_state->setRequestText(u"something else"_s);
        QVERIFY(waitFor(Stage::review));

        const ReviewState review = *m_state->review();
        QCOMPARE(review.options.size(), 1);
        QCOMPARE(review.options[0].label, u"Fast"_s);
        QCOMPARE(review.options[0].steps[0].outputPath, m_dir.filePath(u"song (cut).wav"_s));
        QCOMPARE(review,
                 (ReviewState{review.options, 0, u"Keep from 0:10 to 0:40"_s, u"Trim or cut parts"_s, model, false,
                              true, 0, std::nullopt}));
        QCOMPARE(settings().lastModel(), model);
        QVERIFY(m_state->task().isEmpty());

        // Exactly the texts of the preview went out, with the key of the keychain.
        const auto request = m_ai->openRouter.chatRequests().first();
        QCOMPARE(request.headers.value("authorization"), "Bearer sk-or-test");
        QCOMPARE(
            FakeChatServer::userMessage(request.json()),
            AIPrompts::user(u"Keep from 0:10 to 0:40"_s, u"Trim or cut parts of the audio"_s, *m_state->details()));
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
        m_ai->openRouter.answerEveryChat(answer);
        askingWith(u"Keep from 0:10 to 0:40"_s);
        const FileAction action = *m_state->currentAction();
        m_state->requestAI();
        QVERIFY(waitFor(Stage::failed));
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
        m_ai->openRouter.setChat([&requests](const QJsonObject& body) {
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
        QTRY_COMPARE(m_ai->openRouter.server().openConnections(), 0);
        if (interruption == u"cancel"_s || interruption == u"ask"_s) {
            QVERIFY(waitFor(Stage::review));
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
        m_ai->openRouter.answerEveryChat(trimPlan(u"Fast"_s));
        m_state->load({m_song, m_other});
        m_state->setCurrentAction(Actions::forSelection(FileKind::audio, 1, {m_song}).first());
        m_state->setRequestText(u"Keep from 0:10 to 0:40"_s);
        m_state->askAI();
        QVERIFY(waitFor(Stage::review));
        const QString sent = FakeChatServer::userMessage(m_ai->openRouter.chatBodies().first());
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
        m_ai->ollama.answerEveryChat(trimPlan(u"Local"_s));
        askingWith(u"Keep from 0:10 to 0:40"_s);
        m_state->requestAI();
        QCOMPARE(m_state->thinkingText(), u"Asking Ollama (qwen3:8b)..."_s);
        QVERIFY(waitFor(Stage::review));
        QCOMPARE(m_state->review()->options[0].label, u"Local"_s);
        QCOMPARE(m_ai->ollama.chatBodies().first().value(u"model"_s).toString(), u"qwen3:8b"_s);

        settings().setProvider(AIProviderKind::apple);
        QCOMPARE(m_state->providerLabel(), u"Apple on-device model"_s);
        settings().setProvider(AIProviderKind::openRouter);
        QCOMPARE(m_state->providerLabel(), u"OpenRouter"_s);
    }

    void aFixIsCheckedAndRunsToACheckedResult()
    {
        m_ai->openRouter.answerInTurn({smallerPlan(u"sluggish"_s), bashPlan, smallerPlan(u"fast"_s)});
        runFailingPlan();
        QVERIFY(m_state->canTryFix());
        const QString failure = m_state->failureText();

        // What will be sent: the commands with placeholders, the failed step and ffmpeg's own words, no folder.
        const QString sent = m_state->currentPrompt()->second;
        QVERIFY2(
            sent.contains(
                u"1. ffmpeg -hide_banner -nostdin -i {input} -c:v libx264 -preset sluggish -c:a aac -n {output}"_s),
            qPrintable(sent));
        QVERIFY(sent.contains(u"Step 1 failed."_s));
        QVERIFY2(sent.contains(u"invalid preset 'sluggish'"_s), qPrintable(sent));
        QVERIFY(!sent.contains(m_dir.path()));
        QVERIFY(sent.split(u'\n').size() < 60);

        m_state->tryFix();
        QCOMPARE(m_state->stage(), Stage::thinking);
        QVERIFY(waitFor(Stage::review));
        const QList<QJsonObject> bodies = m_ai->openRouter.chatBodies();
        QCOMPARE(bodies.size(), 3); // the request, the fix, and the fix's one retry after the checker said no
        QCOMPARE(FakeChatServer::userMessage(bodies.at(1)), sent);
        const ReviewState review = *m_state->review();
        QVERIFY(review.retried);
        QCOMPARE(review.fixedAfter, failure);
        QCOMPARE(review.fixes, 1);

        m_state->startRun();
        QVERIFY(waitFor(Stage::finished));
        QVERIFY(m_state->outcome()->checked.value(0).facts.startsWith(u"0:02 · 320 × 240 · "_s));
        QCOMPARE(m_state->history().entries().value(0).option->steps.first().args.at(5), u"fast"_s);
    }

    void twoFailedFixesEndTheOffer()
    {
        m_ai->openRouter.answerInTurn({smallerPlan(u"sluggish"_s), smallerPlan(u"sleepy"_s), smallerPlan(u"drowsy"_s)});
        runFailingPlan();
        for (int fix = 1; fix <= 2; ++fix) {
            QVERIFY(m_state->canTryFix());
            m_state->tryFix();
            QVERIFY(waitFor(Stage::review));
            m_state->startRun();
            QVERIFY(waitFor(Stage::failed));
        }
        QVERIFY(!m_state->canTryFix());
        QVERIFY(m_state->fixNote().isEmpty());
        m_state->tryFix(); // nothing to offer: nothing is sent
        QCOMPARE(m_state->stage(), Stage::failed);
        QCOMPARE(m_ai->openRouter.chatBodies().size(), 3);
    }

    // The fix goes to the provider the request went to.
    void aLocalModelIsAskedToFixToo()
    {
        settings().setProvider(AIProviderKind::ollama);
        settings().setOllamaModel(u"qwen3:8b"_s);
        m_ai->ollama.answerInTurn({smallerPlan(u"sluggish"_s), smallerPlan(u"fast"_s)});
        runFailingPlan();
        m_state->tryFix();
        QVERIFY(waitFor(Stage::review));
        QCOMPARE(m_ai->openRouter.chatBodies().size(), 0);
        const QList<QJsonObject> bodies = m_ai->ollama.chatBodies();
        QCOMPARE(bodies.size(), 2);
        QVERIFY(FakeChatServer::userMessage(bodies.at(1)).contains(u"Step 1 failed."_s));
        m_state->startRun();
        QVERIFY(waitFor(Stage::finished));
    }

    void cancelWhileItThinksGoesBackToTheFailure()
    {
        m_ai->openRouter.answerEveryChat(smallerPlan(u"sluggish"_s));
        runFailingPlan();
        const QString failure = m_state->failureText();
        m_ai->openRouter.setChat([](const QJsonObject&) { return FakeOpenRouter::Reply::hang(); });
        m_state->tryFix();
        QCOMPARE(m_state->stage(), Stage::thinking);
        m_state->cancelThinking();
        QCOMPARE(m_state->stage(), Stage::failed);
        QCOMPARE(m_state->failureText(), failure);
        QVERIFY(m_state->canTryFix());
    }

    // The file gone from under the run: no plan can mend that, and no fix is offered.
    void aVanishedInputOffersNoFix()
    {
        const QString copy = m_dir.filePath(u"gone.mp4"_s);
        QVERIFY(QFile::copy(m_video, copy));
        m_ai->openRouter.answerEveryChat(smallerPlan(u"fast"_s));
        askingWith(u"make it smaller"_s, copy);
        m_state->requestAI();
        QVERIFY(waitFor(Stage::review));
        QVERIFY(QFile::remove(copy));
        m_state->startRun();
        QVERIFY(waitFor(Stage::failed));
        QVERIFY(!m_state->canTryFix());
        QCOMPARE(m_state->fixNote(),
                 u"The original file is no longer where it was, so a changed plan would not help."_s);
    }
};

TRELLICK_TEST_MAIN(TestRequestFlow)
#include "tst_requestflow.moc"
