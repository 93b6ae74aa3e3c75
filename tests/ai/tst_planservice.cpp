#include "FakeOllama.h"
#include "FakeOpenRouter.h"
#include "JobWaiter.h"
#include "TableCheck.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "ai/AIPrompts.h"
#include "ai/NameSuggestJob.h"
#include "ai/PlanAskJob.h"
#include "base/FFmpegTools.h"
#include "files/Format.h"
#include "plans/PlanParser.h"

#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString bashPlan
    = u"Sure, here you go:\n```json\n{\"options\":[{\"label\":\"Fast\",\"steps\":[{\"program\":\"bash\","
      u"\"args\":[\"-c\",\"ffmpeg -i {input} {output}\"],\"output\":\"holiday (cut).mp4\"}]}]}\n```"_s;
const QString bashReason = u"Step 1 wants to use “bash”, which is not on the list of allowed tools (ffmpeg, ffprobe, "
                           u"sips, afconvert, zip)."_s;
const QString trimPlan
    = u"I kept 0:10 to 0:40.\n```json\n{\"options\":[{\"label\":\"Fast\",\"summary\":\"Keeps 0:10 "
      u"to 0:40.\",\"warnings\":[],\"result_seconds\":30,\"steps\":[{\"program\":\"ffmpeg\",\"args\":"
      u"[\"-ss\",\"10\",\"-i\",\"{input}\",\"-t\",\"30\",\"-c\",\"copy\",\"-n\",\"{output}\"],"
      u"\"output\":\"holiday (cut).mp4\",\"summary\":\"Cuts the video.\"}]}]}\n```\nHope this helps!"_s;

FileDetails video()
{
    FileDetails details;
    details.path = u"/home/ann/Videos/holiday.mp4"_s;
    details.name = u"holiday.mp4"_s;
    details.ext = u"mp4"_s;
    details.kind = FileKind::video;
    details.sizeText = u"48.2 MB"_s;
    details.facts.duration = 330.4;
    details.facts.width = 1920;
    details.facts.height = 1080;
    details.facts.videoCodec = u"h264"_s;
    details.facts.frameRate = u"29.97 fps"_s;
    details.facts.audioCodec = u"aac"_s;
    details.facts.sampleRate = u"48000 Hz"_s;
    details.facts.bitRate = 1'170'000;
    details.facts.source = u"ffprobe"_s;
    return details;
}

} // namespace

// Plans and names asked of the local OpenRouter and Ollama servers, and the texts that are sent.
class TestPlanService : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_input;
    std::unique_ptr<FakeOpenRouter> m_openRouter;
    std::unique_ptr<FakeOllama> m_ollama;
    const QString m_user = u"Request: Keep from 0:10 to 0:40\nFile name: holiday.mp4"_s;

    AIEndpoints endpoints() const
    {
        AIEndpoints endpoints;
        endpoints.openRouterBase = m_openRouter->url();
        endpoints.ollamaBase = AIEndpoints::ollamaBaseFrom(m_ollama->hostVariable());
        endpoints.modelListTimeoutMs = endpoints.chatTimeoutMs = endpoints.ollamaChatTimeoutMs = 2000;
        return endpoints;
    }

    std::optional<PlanOutcome> ask(const AIChannel& channel)
    {
        PlanAskJob job(channel, endpoints(), AIPrompts::planSystem(), m_user, m_input);
        return runJob<PlanOutcome>(job);
    }

    static AIChannel openRouter() { return {AIProviderKind::openRouter, u"sk-or-v1-test"_s, QString()}; }
    static AIChannel ollama() { return {AIProviderKind::ollama, QString(), u"llama3.2"_s}; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_input = TestFiles::write(m_dir.filePath(u"holiday.mp4"_s), "not really a video");
    }

    void init()
    {
        // Fresh servers for every test: they keep the requests they saw.
        m_openRouter = std::make_unique<FakeOpenRouter>();
        m_ollama = std::make_unique<FakeOllama>();
        m_openRouter->setModels({FakeOpenRouter::model(u"meta/llama-3.3-70b:free"_s, 2),
                                 FakeOpenRouter::model(u"qwen/qwen-2.5-72b:free"_s, 1)});
    }

    void rejectedAnswerIsRetriedOnceWithTheReason()
    {
        m_openRouter->answerInTurn({bashPlan, trimPlan});
        const auto outcome = ask(openRouter());
        QVERIFY2(outcome && outcome->ok(), qPrintable(errorOf(outcome)));
        const PlanService::Result result = outcome->value();
        QVERIFY(result.retried);
        QCOMPARE(result.model, u"meta/llama-3.3-70b:free"_s);
        QCOMPARE(result.explanation, std::nullopt);
        QCOMPARE(result.options.size(), 1);
        QCOMPARE(result.options[0].label, u"Fast"_s);
        QCOMPARE(result.options[0].steps[0].outputPath, m_dir.filePath(u"holiday (cut).mp4"_s));

        const QList<QJsonObject> bodies = m_openRouter->chatBodies();
        QCOMPARE(bodies.size(), 2);
        QCOMPARE(FakeChatServer::userMessage(bodies[0]), m_user);
        QCOMPARE(FakeChatServer::userMessage(bodies[1]),
                 m_user + u"\n\nYour previous answer was rejected: "_s + bashReason
                     + u"\nTry again, follow the rules exactly, and reply with JSON only."_s);
        QCOMPARE(FakeChatServer::systemMessage(bodies[1]), AIPrompts::planSystem());
        // Each try starts from a fresh list of free models.
        QCOMPARE(m_openRouter->modelListRequests(), 2);
    }

    void emptyOptionsMeanTheNextFreeModel()
    {
        m_openRouter->setChat([](const QJsonObject& body) {
            const QString model = body.value(u"model"_s).toString();
            return FakeOpenRouter::completion(model, model.startsWith(u"meta"_s) ? u"{\"options\":[]}"_s : trimPlan);
        });
        const auto outcome = ask(openRouter());
        QVERIFY(outcome);
        QCOMPARE(outcome->value().model, u"qwen/qwen-2.5-72b:free"_s);
        QVERIFY(!outcome->value().retried);
    }

    void providerFailuresAreNotRetried()
    {
        m_openRouter->setChat([](const QJsonObject&) { return FakeOpenRouter::error(401, u"User not found."_s); });
        QCOMPARE(errorOf(ask(openRouter())),
                 u"OpenRouter did not accept the saved key. Open Settings and sign in again."_s);
        QCOMPARE(m_openRouter->chatBodies().size(), 1);
        QCOMPARE(m_openRouter->modelListRequests(), 1);
    }

    void ollamaAnswers_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("message");
        const QString notExpected
            = u"llama3.2 did not answer in the expected format. Try again or pick another model."_s;
        QTest::newRow("prose without braces") << u"You could use ffmpeg to trim it."_s << notExpected;
        QTest::newRow("empty options") << u"{\"options\":[]}"_s << notExpected;
    }
    void ollamaAnswers()
    {
        QFETCH(QString, answer);
        QFETCH(QString, message);
        m_ollama->answerEveryChat(answer);
        QCOMPARE(errorOf(ask(ollama())), message);
        QCOMPARE(m_ollama->chatBodies().size(), 1);
    }

    void cancellingStopsTheRetryInFlight()
    {
        auto count = std::make_shared<int>(0);
        m_openRouter->setChat([count](const QJsonObject& body) {
            return (*count)++ ? LocalHttpServer::Reply::hang()
                              : FakeOpenRouter::completion(body.value(u"model"_s).toString(), bashPlan);
        });
        PlanAskJob job(openRouter(), endpoints(), AIPrompts::planSystem(), m_user, m_input);
        std::optional<PlanOutcome> outcome;
        connect(&job, &PlanAskJob::finished, this, [&](const PlanOutcome& o) { outcome = o; });
        job.start();
        QTRY_COMPARE(m_openRouter->chatBodies().size(), 2);
        job.cancel();
        QVERIFY(outcome && !outcome->ok() && outcome->error().kind == ErrorKind::cancelled);
        QTRY_COMPARE(m_openRouter->server().openConnections(), 0);
        QTest::qWait(50);
        QVERIFY(!outcome->ok() && outcome->error().kind == ErrorKind::cancelled);
    }

    void parseNames_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<std::optional<QStringList>>("expected");
        QTest::newRow("no braces") << u"names: a, b"_s << std::optional<QStringList>();
        QTest::newRow("not JSON") << u"{names: [a]}"_s << std::optional<QStringList>();
        QTest::newRow("no names key") << u"{\"files\":[\"a.jpg\"]}"_s << std::optional<QStringList>();
        QTest::newRow("a number among them") << u"{\"names\":[\"a.jpg\",2]}"_s << std::optional<QStringList>();
        QTest::newRow("empty list") << u"{\"names\":[]}"_s << std::optional<QStringList>(QStringList());
        QTest::newRow("kept as written, prose around")
            << u"Here:\n```json\n{\"names\": [\" Beach 2024.jpg\", \"Été.heic\"]}\n```"_s
            << std::optional<QStringList>({u" Beach 2024.jpg"_s, u"Été.heic"_s});
    }
    void parseNames() { checkRow<QString, std::optional<QStringList>>(&PlanService::parseNames); }

    void namesThroughOpenRouterSkipAShortList()
    {
        const QStringList files{m_dir.filePath(u"a.jpg"_s), m_dir.filePath(u"b.jpg"_s), m_dir.filePath(u"c.jpg"_s)};
        m_openRouter->setChat([](const QJsonObject& body) {
            const QString model = body.value(u"model"_s).toString();
            return FakeOpenRouter::completion(model,
                                              model.startsWith(u"meta"_s)
                                                  ? u"{\"names\":[\"1.jpg\",\"2.jpg\"]}"_s
                                                  : u"{\"names\":[\"1.jpg\",\"2.jpg\",\"3.jpg\"]}"_s);
        });
        NameSuggestJob job(openRouter(), endpoints(), u"Number them"_s, files);
        const auto outcome = runJob<NamesOutcome>(job);
        QVERIFY(outcome);
        QCOMPARE(outcome->value(), (QStringList{u"1.jpg"_s, u"2.jpg"_s, u"3.jpg"_s}));
        const QJsonObject body = m_openRouter->chatBodies().value(0);
        QCOMPARE(FakeChatServer::systemMessage(body), AIPrompts::renameSystem());
        QCOMPARE(FakeChatServer::userMessage(body), AIPrompts::renameUser(u"Number them"_s, files));
    }

    void namesThroughOllama_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("message");
        QTest::newRow("one short") << u"{\"names\":[\"1.jpg\",\"2.jpg\"]}"_s
                                   << u"The AI did not give one name per file."_s;
        QTest::newRow("a number")
            << u"{\"names\":[\"1.jpg\",2,\"3.jpg\"]}"_s
            << u"llama3.2 did not answer in the expected format. Try again or pick another model."_s;
    }
    void namesThroughOllama()
    {
        QFETCH(QString, answer);
        QFETCH(QString, message);
        m_ollama->answerEveryChat(answer);
        NameSuggestJob job(ollama(), endpoints(), u"Number them"_s, {u"/p/a.jpg"_s, u"/p/b.jpg"_s, u"/p/c.jpg"_s});
        QCOMPARE(errorOf(runJob<NamesOutcome>(job)), message);
    }

    // The texts sent: the system prompt, which describes the ffmpeg in use, and the user's messages.
    void planSystemPromptExampleIsAValidAnswer()
    {
        const QStringList lines = AIPrompts::planSystem().split(u'\n');
        QVERIFY(lines.size() > 3);
        // The example the model copies must itself be an answer the plan checker accepts, or the prompt would
        // teach a refused answer.
        const Result<AIPlanResponse, PlanError> parsed = PlanParser::parse(lines[3]);
        QVERIFY(parsed.ok() && parsed.value().options.size() == 1);
        QVERIFY(lines[3].startsWith(u'{') && lines[3].endsWith(u'}')); // JSON alone, as the model must answer
        const Result<QList<ResolvedOption>, PlanError> resolved = PlanParser::resolve(parsed.value().options, m_input);
        QVERIFY2(resolved.ok(), qPrintable(resolved.ok() ? QString() : resolved.error().message));
    }

    void planSystemPromptDescribesTheFFmpegInUse_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<QStringList>("encoders");
        QTest::addColumn<QString>("rule");
        const QString none = u". There are no hardware encoders and no hardware acceleration."_s;
        QTest::newRow("checked, with some encoders")
            << QByteArray("6.1.2") << QStringList{u"aac"_s, u"h264_nvenc"_s, u"libx264"_s, u"libwebp"_s}
            << u"- This computer runs Linux with ffmpeg 6.1. Only software encoders are available: libx264, aac"_s
                + none;
        QTest::newRow("development build") << QByteArray("N-118000-g1234abcd") << QStringList{u"flac"_s}
                                           << u"- This computer runs Linux with ffmpeg. Only software encoders are "
                                              "available: flac"_s
                + none;
        // Still to be downloaded: the build that comes has them all.
        QTest::newRow("none yet") << QByteArray() << QStringList{}
                                  << u"- This computer runs Linux with ffmpeg. Only software encoders are available: "
                                     "libx264, libx265, libvpx-vp9, libaom-av1, aac, libmp3lame, libopus, flac"_s
                + none;
    }

    void planSystemPromptDescribesTheFFmpegInUse()
    {
        QFETCH(QByteArray, version);
        QFETCH(QStringList, encoders);
        QFETCH(QString, rule);
        QTemporaryDir dir;
        const TestFiles::ScopedPath path(dir.path());
        if (!version.isEmpty()) {
            QVERIFY(path.writeTools(version, encoders));
        }
        FFmpegTools::checkNow();
        const QStringList lines = AIPrompts::planSystem().split(u'\n');
        QCOMPARE(lines.size(), 24);
        QCOMPARE(lines[0],
                 u"You turn a user's plain-words request about ONE file on a Linux computer into command-line "
                 "steps. Reply with JSON only, no prose, no code fences."_s);
        QCOMPARE(lines[16], rule);
    }

    void userMessageOfAVideo()
    {
        QCOMPARE(AIPrompts::user(u"Keep from 0:10 to 0:40"_s, u"Trim the video"_s, video()),
                 u"Request: Keep from 0:10 to 0:40\n"
                 u"Kind of task: Trim the video\n"
                 u"File name: holiday.mp4\n"
                 u"Extension: mp4\n"
                 u"Size: 48.2 MB\n"
                 u"Kind: Video\n"
                 u"Facts:\n"
                 u"- Duration: 5:30\n"
                 u"- Resolution: 1920 × 1080\n"
                 u"- Video codec: h264\n"
                 u"- Frame rate: 29.97 fps\n"
                 u"- Audio codec: aac\n"
                 u"- Sample rate: 48000 Hz\n"
                 u"- Bit rate: 1.2 Mbit/s"_s);
    }

    void plainFileWithoutTaskExtensionOrFacts()
    {
        FileDetails notes;
        notes.name = u"README"_s;
        notes.kind = FileKind::other;
        notes.sizeText = u"2 KB"_s;
        QCOMPARE(AIPrompts::user(u"(your request will appear here)"_s, QString(), notes),
                 u"Request: (your request will appear here)\nFile name: README\nExtension: (none)\nSize: 2 KB\n"
                 u"Kind: File"_s);
    }

    void renameMessageNumbersTheFiles()
    {
        QCOMPARE(AIPrompts::renameUser(u"Add the date"_s,
                                       {u"/tmp/a/IMG_0001.HEIC"_s, u"/tmp/b/notes.txt"_s, u"/tmp/a/No extension"_s}),
                 u"Request: Add the date\nToday's date: "_s + Format::today()
                     + u"\nFiles:\n1. IMG_0001.HEIC\n2. notes.txt\n3. No extension"_s);
    }

    void previewShowsExactlyWhatIsSent()
    {
        QCOMPARE(AIPrompts::preview(u"Ollama (no model chosen)"_s, u"SYS"_s, u"USER"_s),
                 u"Sent to: Ollama (no model chosen)\n\nInstructions (the same every time):\nSYS\n\n"
                 u"Your message:\nUSER\n\nThe file itself is never sent. Only the text above."_s);
    }
};

TRELLICK_TEST_MAIN(TestPlanService)
#include "tst_planservice.moc"
