#include "FakeOpenRouter.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "platform/SecretServiceKeychain.h"

#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString account = u"openrouter-api-key"_s;
const QString model = u"maker/model:free"_s;
const QString request = u"Keep from 0:10 to 0:40"_s;

const QString trimPlan
    = u"Here it is:\n```json\n{\"options\":[{\"label\":\"Keep 0:10 to 0:40\",\"summary\":\"Copies the 30 seconds "
      "without re-encoding.\",\"warnings\":[\"Cuts land on the nearest keyframe.\"],\"result_seconds\":30,"
      "\"steps\":[{\"program\":\"ffmpeg\",\"args\":[\"-ss\",\"10\",\"-i\",\"{input}\",\"-t\",\"30\",\"-c\",\"copy\","
      "\"-n\",\"{output}\"],\"output\":\"holiday (cut).mp4\",\"summary\":\"Cuts the video.\"}]}]}\n```"_s;

} // namespace

// `trellick-dev ask` against the local OpenRouter server, with the key in the test's own keyring.
class TestDevAsk : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_video;
    FakeOpenRouter m_openRouter;

    struct Run
    {
        int status = -1;
        QString out;
    };

    Run ask(const QStringList& args)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"TRELLICK_OPENROUTER_URL"_s, m_openRouter.url().toString());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(TRELLICK_DEV), QStringList{u"ask"_s} + args);
        // The server lives in this process: its event loop must turn while the tool runs.
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60'000)) {
            process.kill();
            process.waitForFinished();
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAll())};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_video = m_dir.filePath(u"holiday.mp4"_s);
        // 45 seconds: the request keeps 0:10 to 0:40 of it.
        QVERIFY(TestFiles::runTool(u"/usr/bin/ffmpeg"_s,
                                   {u"-v"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc=d=45:s=160x120:r=10"_s,
                                    u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=d=45"_s, u"-c:v"_s, u"libx264"_s, u"-preset"_s,
                                    u"ultrafast"_s, u"-c:a"_s, u"aac"_s, u"-shortest"_s, m_video}));
        m_openRouter.setModels({FakeOpenRouter::model(model, 1'700'000'000)});
        QSettings(u"Trellick"_s, u"Trellick"_s).setValue(u"aiProvider"_s, u"openRouter"_s);
    }

    void init() { QVERIFY(SecretServiceKeychain().save(u"sk-or-v1-dev"_s, account)); }

    void requestBecomesAReviewedPlan()
    {
        m_openRouter.answerEveryChat(trimPlan);
        const Run run = ask({u"trim"_s, request, m_video});
        QVERIFY2(run.status == 0, qPrintable(run.out));
        const QString command = u"ffmpeg -ss 10 -i "_s + m_video;
        QVERIFY2(run.out.startsWith(u"Thinking: Asking OpenRouter...\nOption 1: Keep 0:10 to 0:40\n"
                                    "  Summary: Copies the 30 seconds without re-encoding.\n"
                                    "  Warning: Cuts land on the nearest keyframe.\n"_s),
                 qPrintable(run.out));
        QVERIFY2(run.out.contains(m_dir.filePath(u"holiday (cut).mp4"_s)), qPrintable(run.out));
        QVERIFY2(run.out.endsWith(u"Model: maker/model:free\nRetried: no\n"_s), qPrintable(run.out));

        const auto chat = m_openRouter.chatRequests().last();
        QCOMPARE(chat.headers.value("authorization"), "Bearer sk-or-v1-dev");
        const QString sent = FakeChatServer::userMessage(chat.json());
        QVERIFY2(sent.startsWith(u"Request: Keep from 0:10 to 0:40\nKind of task: Trim or cut parts of the video\n"_s),
                 qPrintable(sent));
        QVERIFY2(sent.contains(u"Duration: 0:45"_s), qPrintable(sent));
    }

    void aiThatProposesNothing()
    {
        m_openRouter.answerEveryChat(u"{\"error\":\"The video has no subtitles to remove.\"}"_s);
        const Run run = ask({u"trim"_s, u"Remove the subtitles"_s, m_video});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, u"Thinking: Asking OpenRouter...\nFailed: The video has no subtitles to remove.\n"_s);
    }

    void notSignedIn()
    {
        SecretServiceKeychain().remove(account);
        const Run run = ask({u"trim"_s, request, m_video});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, u"Notice: AI is not set up yet. Sign in to OpenRouter in Settings to use free models.\n"_s);
    }

    void previewNamesThisComputer()
    {
        const qsizetype sent = m_openRouter.chatRequests().size();
        const Run run = ask({u"--preview"_s, u"trim"_s, request, m_video});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.startsWith(u"Sent to: OpenRouter\n\nInstructions (the same every time):\nYou turn a user's "
                                    "plain-words request about ONE file on a Linux computer"_s),
                 qPrintable(run.out));
        // Debian's ffmpeg, found on PATH.
        static const QRegularExpression rule(u"\n- This computer runs Linux with ffmpeg [0-9]+\\.[0-9]+\\. Only "
                                             "software encoders are available: libx264, "_s);
        QVERIFY2(rule.match(run.out).hasMatch(), qPrintable(run.out));
        QCOMPARE(m_openRouter.chatRequests().size(), sent);
    }

    void notAnAIAction()
    {
        const Run run = ask({u"zip"_s, request, m_video});
        QCOMPARE(run.status, 2);
    }
};

TRELLICK_TEST_MAIN(TestDevAsk)
#include "tst_devask.moc"
