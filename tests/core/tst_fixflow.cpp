#include "FakeOllama.h"
#include "FakeOpenRouter.h"
#include "TestMain.h"
#include "TestMedia.h"
#include "TestServices.h"
#include "ai/AIPrompts.h"
#include "core/AppState.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString account = u"openrouter-api-key"_s;
const QString model = u"maker/model:free"_s;

// A re-encode with a preset libx264 refuses: it passes every check and fails only when ffmpeg runs.
QString plan(const QString& preset)
{
    return u"{\"options\":[{\"label\":\"Smaller\",\"summary\":\"Re-encodes it.\",\"steps\":[{\"program\":\"ffmpeg\","
           "\"args\":[\"-i\",\"{input}\",\"-c:v\",\"libx264\",\"-preset\",\"%1\",\"-c:a\",\"aac\",\"-n\",\"{output}\"],"
           "\"output\":\"talk (smaller).mp4\",\"summary\":\"Re-encodes the video.\"}]}]}"_s.arg(preset);
}

const QString bashPlan = u"{\"options\":[{\"label\":\"Shell\",\"steps\":[{\"program\":\"bash\",\"args\":[\"-c\","
                         "\"ffmpeg -i {input} {output}\"],\"output\":\"talk (smaller).mp4\"}]}]}"_s;

QString userMessage(const QJsonObject& body)
{
    return body.value(u"messages"_s).toArray().at(1).toObject().value(u"content"_s).toString();
}

} // namespace

// A plan that fails when it runs, sent back with its error to the local OpenRouter server and run again.
class TestFixFlow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_video;
    std::unique_ptr<FakeOpenRouter> m_openRouter;
    std::unique_ptr<FakeOllama> m_ollama;
    std::shared_ptr<QStringList> m_answers;
    std::unique_ptr<AppState> m_state;

    bool waitFor(Stage stage)
    {
        return QTest::qWaitFor([&] { return m_state->stage() == stage; }, 60'000);
    }

    // The request sent and its failing plan run, as the user would.
    void runFailingPlan()
    {
        m_state->load({m_video});
        QTRY_VERIFY(m_state->details()->facts.duration.has_value());
        const QList<FileAction> actions = m_state->actions();
        m_state->perform(
            *std::find_if(actions.begin(), actions.end(), [](const auto& a) { return a.id == ActionId::trim; }));
        m_state->setRequestText(u"make it smaller"_s);
        m_state->requestAI();
        QVERIFY(waitFor(Stage::review));
        m_state->startRun();
        QVERIFY(waitFor(Stage::failed));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_video = m_dir.filePath(u"talk.mp4"_s);
        QVERIFY(TestMedia::videoMp4(m_video));
        QVERIFY(TestMedia::installTool(u"ffmpeg"_s));
        QVERIFY(TestMedia::installTool(u"ffprobe"_s));
    }

    void init()
    {
        QSettings(u"Trellick"_s, u"Trellick"_s).clear();
        for (const QString& name : QDir(m_dir.path()).entryList({u"talk (*"_s})) {
            QFile::remove(m_dir.filePath(name));
        }
        m_openRouter = std::make_unique<FakeOpenRouter>();
        m_openRouter->setModels({FakeOpenRouter::model(model, 1'700'000'000)});
        m_answers = std::make_shared<QStringList>();
        m_openRouter->setChat([answers = m_answers](const QJsonObject& body) {
            return FakeOpenRouter::completion(body.value(u"model"_s).toString(), answers->takeFirst());
        });
        TestServices fakes;
        QVERIFY(fakes.keychain->save(u"sk-or-test"_s, account));
        m_ollama = std::make_unique<FakeOllama>();
        m_ollama->setChat([answers = m_answers](const QJsonObject& body) {
            return FakeOllama::answer(body.value(u"model"_s).toString(), answers->takeFirst());
        });
        fakes.services.endpoints.openRouterBase = m_openRouter->url();
        fakes.services.endpoints.ollamaBase = m_ollama->url();
        fakes.services.endpoints.chatTimeoutMs = 5000;
        fakes.services.makePlayer = [](const QString&, QObject*) -> MediaPlayer* { return nullptr; };
        m_state = std::make_unique<AppState>(fakes.services);
        QTRY_VERIFY(m_state->settings().signedIn());
        m_state->settings().setAcknowledgedSend(true);
    }

    void cleanup() { m_state.reset(); }

    void aFixIsCheckedAndRunsToACheckedResult()
    {
        *m_answers << plan(u"sluggish"_s) << bashPlan << plan(u"fast"_s);
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
        const QList<QJsonObject> bodies = m_openRouter->chatBodies();
        QCOMPARE(bodies.size(), 3); // the request, the fix, and the fix's one retry after the checker said no
        QCOMPARE(userMessage(bodies.at(1)), sent);
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
        *m_answers << plan(u"sluggish"_s) << plan(u"sleepy"_s) << plan(u"drowsy"_s);
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
        QCOMPARE(m_openRouter->chatBodies().size(), 3);
    }

    // The fix goes to the provider the request went to.
    void aLocalModelIsAskedToFixToo()
    {
        m_state->settings().setProvider(AIProviderKind::ollama);
        m_state->settings().setOllamaModel(u"qwen3:8b"_s);
        *m_answers << plan(u"sluggish"_s) << plan(u"fast"_s);
        runFailingPlan();
        m_state->tryFix();
        QVERIFY(waitFor(Stage::review));
        QCOMPARE(m_openRouter->chatBodies().size(), 0);
        const QList<QJsonObject> bodies = m_ollama->chatBodies();
        QCOMPARE(bodies.size(), 2);
        QVERIFY(userMessage(bodies.at(1)).contains(u"Step 1 failed."_s));
        m_state->startRun();
        QVERIFY(waitFor(Stage::finished));
    }

    void cancelWhileItThinksGoesBackToTheFailure()
    {
        *m_answers << plan(u"sluggish"_s);
        runFailingPlan();
        const QString failure = m_state->failureText();
        m_openRouter->setChat([](const QJsonObject&) { return FakeOpenRouter::Reply::hang(); });
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
        *m_answers << plan(u"fast"_s);
        m_state->load({copy});
        QTRY_VERIFY(m_state->details()->facts.duration.has_value());
        const QList<FileAction> actions = m_state->actions();
        m_state->perform(
            *std::find_if(actions.begin(), actions.end(), [](const auto& a) { return a.id == ActionId::trim; }));
        m_state->setRequestText(u"make it smaller"_s);
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

TRELLICK_TEST_MAIN(TestFixFlow)
#include "tst_fixflow.moc"
