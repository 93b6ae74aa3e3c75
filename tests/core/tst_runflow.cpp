#include "FfmpegBuildServer.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "TestMedia.h"
#include "TestServices.h"
#include "base/AppPaths.h"
#include "core/AppState.h"
#include "exec/ToolInstaller.h"
#include "files/Actions.h"
#include "plans/PlanFactory.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr int timeoutMs = 60000;

RawOption zipPlan()
{
    return RawOption{
        u"Zip it"_s,
        u"Makes a zip."_s,
        {},
        std::nullopt,
        {RawStep{u"zip"_s, {u"-q"_s, u"{output}"_s, u"{input}"_s}, u"packed.zip"_s, u"Zips it."_s, false}}};
}

} // namespace

class TestRunFlow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_pathDir;
    TestFiles::ScopedPath m_path{m_pathDir.path()};
    std::shared_ptr<FakeWorkspace> m_workspace;
    std::unique_ptr<AppState> m_state;
    QList<Stage> m_stages;

    QString file(const QString& name, const QByteArray& bytes = "some text")
    {
        return TestFiles::write(m_dir.path() + u'/' + name, bytes);
    }

    // A WAV of `seconds` of tone, made by Debian's ffmpeg.
    QString wav(const QString& name, int seconds)
    {
        const QString path = m_dir.path() + u'/' + name;
        TestFiles::runTool(
            u"/usr/bin/ffmpeg"_s,
            {u"-v"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=d="_s + QString::number(seconds), path});
        return path;
    }

    bool waitForEnd()
    {
        return QTest::qWaitFor(
            [&] {
                const Stage stage = m_state->stage();
                return stage == Stage::finished || stage == Stage::failed || stage == Stage::review;
            },
            timeoutMs);
    }

    // A sound to convert to MP3, with an ffmpeg download slow enough to act in the middle of it.
    void convertWhileServingSlowly(FfmpegBuildServer& builds)
    {
        builds.serve();
        builds.route(FfmpegBuildServer::archivePath(),
                     LocalHttpServer::Reply::slowly(FfmpegBuildServer::archive(), 4096, 20));
        m_state->load({wav(u"song.wav"_s, 1)});
        m_state->prepareConvert(ActionId::convertAudio, u"mp3"_s);
    }

    HistoryEntry lastEntry() const { return m_state->history().entries().value(0); }

    // `plan`, resolved for `input`, under review as the AI's answer to `request`.
    void reviewing(const RawOption& plan, const QString& input, const QString& request)
    {
        auto resolved = PlanFactory().resolve(plan, input, false);
        QVERIFY(resolved.ok());
        m_state->setReview(
            ReviewState{{resolved.value()}, 0, request, u"Request"_s, u"model"_s, false, true, 0, std::nullopt});
        m_state->setStage(Stage::review);
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid() && m_pathDir.isValid()); }

    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        QDir(AppPaths::supportDir()).removeRecursively();
        TestServices fakes;
        m_workspace = fakes.workspace;
        fakes.services.makePlayer = [](const QString&, QObject*) -> MediaPlayer* { return nullptr; };
        m_state = std::make_unique<AppState>(fakes.services);
        m_stages.clear();
        connect(m_state.get(), &AppState::stageChanged, this, [this] { m_stages << m_state->stage(); });
    }

    void cleanup()
    {
        m_state.reset();
        for (const QString& tool : ToolInstaller::tools()) {
            QFile::remove(m_pathDir.path() + u'/' + tool);
        }
    }

    void directPlanRunsAndIsRemembered_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("result");
        QTest::newRow("one file") << QStringList{u"a.txt"_s} << u"a.txt"_s << u"Done: a.zip"_s;
        QTest::newRow("three files") << QStringList{u"a.txt"_s, u"b.txt"_s, u"c.txt"_s} << u"3 files"_s
                                     << u"Done: a.zip, b.zip, c.zip"_s;
    }

    void directPlanRunsAndIsRemembered()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, fileName);
        QFETCH(QString, result);
        FfmpegBuildServer builds; // serves nothing: a plan without ffmpeg never downloads it
        QStringList paths;
        for (const QString& name : names) {
            paths << file(name);
        }
        m_state->load(paths);
        m_state->perform(Actions::zip());
        m_state->startRun();
        QCOMPARE(m_state->stage(), Stage::running);
        QVERIFY(waitForEnd());
        QCOMPARE(m_stages, (QList<Stage>{Stage::review, Stage::running, Stage::finished}));
        QCOMPARE(m_state->outcome()->outputs.value(0), m_dir.path() + u"/a.zip"_s);
        QVERIFY(QFileInfo(m_dir.path() + u"/a.zip"_s).size() > 0);
        QVERIFY(builds.http().requests().isEmpty());

        // The clock's time in whole seconds, as the history keeps it; no plan, as a direct action is not re-run.
        const QDateTime now = TestServices::fixedNow().addMSecs(-TestServices::fixedNow().time().msec());
        QCOMPARE(lastEntry(),
                 (HistoryEntry{lastEntry().id, now, fileName, paths.first(), u"Compress to .zip"_s,
                               m_state->review()->options.first().commandText(), result, std::nullopt}));
    }

    // The new files are probed before "Done": another length than the plan said is a warning under the file,
    // a clip without its video a failure; the history says what was shown.
    void theResultIsCheckedBeforeDone_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("done");
        QTest::addColumn<QString>("text");
        QTest::newRow("shorter than said") << QStringList{u"-i"_s, u"{input}"_s, u"-t"_s, u"2"_s, u"{output}"_s}
                                           << u"tone (cut).wav"_s << true << u"Expected about 0:30, got 0:02."_s;
        QTest::newRow("no video") << QStringList{u"-i"_s, u"{input}"_s, u"-c:a"_s, u"aac"_s, u"{output}"_s}
                                  << u"tone (cut).mp4"_s << false << u"“tone (cut).mp4” has no video stream."_s;
    }

    void theResultIsCheckedBeforeDone()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, output);
        QFETCH(bool, done);
        QFETCH(QString, text);
        QVERIFY(TestMedia::installTool(u"ffmpeg"_s) && TestMedia::installTool(u"ffprobe"_s));
        const QString input = wav(u"tone.wav"_s, 3);
        m_state->load({input});
        reviewing({u"Cut"_s, u"Cuts it."_s, {}, 30.0, {RawStep{u"ffmpeg"_s, args, output, u"Cuts."_s, false}}}, input,
                  u"cut it"_s);
        m_state->startRun();
        QVERIFY(waitForEnd());
        if (!done) {
            QCOMPARE(m_state->stage(), Stage::failed);
            QCOMPARE(m_state->failureText(), text);
            QCOMPARE(lastEntry().result, u"Failed: "_s + text);
            return;
        }
        QCOMPARE(m_state->stage(), Stage::finished);
        const CheckedOutput checked = m_state->outcome()->checked.value(0);
        QCOMPARE(checked.path, m_dir.path() + u'/' + output);
        QVERIFY2(checked.facts.startsWith(u"0:02 · "_s), qPrintable(checked.facts));
        QCOMPARE(checked.warning, text);
        QCOMPARE(lastEntry().result, u"Done: "_s + output + u" ("_s + text + u")"_s);
    }

    void failedRunGoesBackToTheSamePlan()
    {
        m_state->load({file(u"a.txt"_s)});
        m_state->prepareRename({u"c.txt"_s}, false);
        file(u"c.txt"_s, "appeared meanwhile");
        m_state->startRun();
        QVERIFY(waitForEnd());
        QCOMPARE(m_state->stage(), Stage::failed);
        const QString summary
            = u"A file named “c.txt” already exists, so nothing was written. Plan the action again to get a fresh name."_s;
        QCOMPARE(m_state->failureText(), summary);
        QCOMPARE(lastEntry().result, u"Failed: "_s + summary);
        QCOMPARE(TestFiles::read(m_dir.path() + u"/c.txt"_s), QByteArray("appeared meanwhile"));
        m_state->backFromFailure();
        QCOMPARE(m_state->stage(), Stage::review);
    }

    void aiPlanKeepsItsPlanInTheHistory()
    {
        const QString a = file(u"a.txt"_s);
        m_state->load({a});
        reviewing(zipPlan(), a, u"Zip it please"_s);
        m_state->startRun();
        QVERIFY(waitForEnd());
        QCOMPARE(m_state->stage(), Stage::finished);
        QCOMPARE(lastEntry().option, zipPlan());
        QCOMPARE(lastEntry().request, u"Zip it please"_s);

        // ...and it can be run again, on the same file, under a fresh name.
        m_state->history().waitForWrites();
        const HistoryEntry entry = lastEntry();
        m_state->setDialog(DialogKind::history);
        m_state->rerun(entry);
        QCOMPARE(m_state->dialog(), std::nullopt);
        QCOMPARE(m_state->stage(), Stage::review);
        QCOMPARE(m_state->files(), QStringList{a});
        QCOMPARE(*m_state->review(),
                 (ReviewState{m_state->review()->options, 0, u"Zip it please"_s, u"Re-run"_s, std::nullopt, false,
                              false, 0, std::nullopt}));
        QCOMPARE(QFileInfo(m_state->review()->options.first().finalOutputs().first()).fileName(), u"packed 2.zip"_s);
    }

    void rerunRefusals_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("withPlan");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("message");
        QTest::newRow("file gone") << u"gone.txt"_s << true << u"zip"_s
                                   << u"The original file is no longer where it was."_s;
        QTest::newRow("not from the AI") << u"a.txt"_s << false << u"zip"_s
                                         << u"That entry can't be re-run because it was not made by the AI."_s;
        QTest::newRow("refused now")
            << u"a.txt"_s << true << u"bash"_s
            << u"Step 1 wants to use “bash”, which is not on the list of allowed tools (ffmpeg, ffprobe, sips, afconvert, zip)."_s;
    }

    void rerunRefusals()
    {
        QFETCH(QString, input);
        QFETCH(bool, withPlan);
        QFETCH(QString, program);
        QFETCH(QString, message);
        file(u"a.txt"_s);
        HistoryEntry entry;
        entry.inputPath = input.isEmpty() ? QString() : m_dir.path() + u'/' + input;
        if (withPlan) {
            entry.option = zipPlan();
            entry.option->steps.first().program = program;
        }
        m_state->rerun(entry);
        QCOMPARE(m_state->message(), message);
        QCOMPARE(m_state->stage(), Stage::idle);
        QVERIFY(!m_state->review());
    }

    void cancelledRunIsRememberedAsCancelled()
    {
        QVERIFY(TestMedia::installTool(u"ffmpeg"_s) && TestMedia::installTool(u"ffprobe"_s));
        m_state->load({wav(u"long.wav"_s, 120)});
        m_state->prepareConvert(ActionId::convertAudio, u"mp3"_s);
        connect(m_state.get(), &AppState::runTextChanged, this, [this] { m_state->runner().cancel(); });
        m_state->startRun();
        QVERIFY(waitForEnd());
        QCOMPARE(m_state->stage(), Stage::review);
        QCOMPARE(m_state->message(), u"Cancelled. Nothing was changed."_s);
        QCOMPARE(lastEntry().result, u"Cancelled"_s);
        QVERIFY(!QFileInfo::exists(m_dir.path() + u"/long (converted).mp3"_s));
    }

    void runGoesOnWhenTheFilesAreCleared()
    {
        QVERIFY(TestMedia::installTool(u"ffmpeg"_s) && TestMedia::installTool(u"ffprobe"_s));
        m_state->load({wav(u"tone.wav"_s, 20)});
        m_state->prepareConvert(ActionId::convertAudio, u"mp3"_s);
        m_state->startRun();
        m_state->clearFiles();
        QVERIFY(waitForEnd());
        QCOMPARE(m_state->stage(), Stage::finished);
        QVERIFY(QFileInfo(m_dir.path() + u"/tone (converted).mp3"_s).size() > 0);
        QCOMPARE(lastEntry().fileName, u"tone.wav"_s);
    }

    // Without an ffmpeg of its own the run downloads one first, unless the system has one.
    void ffmpegIsInstalledBeforeTheRunUnlessTheSystemHasOne_data()
    {
        QTest::addColumn<bool>("system");
        QTest::newRow("system ffmpeg") << true;
        QTest::newRow("downloaded") << false;
    }

    void ffmpegIsInstalledBeforeTheRunUnlessTheSystemHasOne()
    {
        QFETCH(bool, system);
        FfmpegBuildServer builds;
        if (system) {
            QVERIFY(m_path.linkDebianTools()); // and nothing served: a download would fail
        } else {
            builds.serve();
        }
        m_state->load({wav(u"song.wav"_s, 2)});
        m_state->prepareConvert(ActionId::convertAudio, u"mp3"_s);
        QVERIFY(m_state->review()->options.first().steps.first().needsFFmpeg);
        m_state->startRun();
        QCOMPARE(m_state->toolsInstalling(), !system);
        QVERIFY(waitForEnd());
        QCOMPARE(m_stages,
                 system ? (QList<Stage>{Stage::review, Stage::running, Stage::finished})
                        : (QList<Stage>{Stage::review, Stage::installing, Stage::running, Stage::finished}));
        QVERIFY(m_state->toolsReady());
        QVERIFY(!m_state->toolsInstalling());
        QVERIFY(QFileInfo(m_dir.path() + u"/song (converted).mp3"_s).size() > 1000);
        QCOMPARE(lastEntry().result, u"Done: song (converted).mp3"_s);
        if (system) {
            QVERIFY(builds.http().requests().isEmpty());
            QVERIFY(!QFileInfo::exists(AppPaths::binDir() + u"/ffmpeg"_s));
        } else {
            QCOMPARE(m_state->installFraction(), 1.0);
            QCOMPARE(m_state->installText(), u"Done"_s);
        }
    }

    void cancelledDownloadLeavesNoHistory()
    {
        FfmpegBuildServer builds;
        convertWhileServingSlowly(builds);
        connect(m_state.get(), &AppState::installTextChanged, this, [this] {
            if (m_state->installText().startsWith(u"Downloading"_s)) {
                m_state->installer().cancel();
            }
        });
        m_state->startRun();
        QVERIFY(waitForEnd());
        QCOMPARE(m_state->stage(), Stage::review);
        QCOMPARE(m_state->message(), u"The download was cancelled."_s);
        QVERIFY(m_state->history().entries().isEmpty());
        QVERIFY(!m_state->toolsInstalling());
        QVERIFY(!m_state->toolsReady());
    }

    void runJoinsTheDownloadUnderWay()
    {
        FfmpegBuildServer builds;
        convertWhileServingSlowly(builds);
        m_state->installToolsNow();
        QTRY_VERIFY_WITH_TIMEOUT(m_state->installFraction() > 0, timeoutMs);
        QVERIFY(m_state->toolsInstalling());
        const QString text = m_state->installText();
        const double fraction = m_state->installFraction();
        m_state->startRun();
        QCOMPARE(m_state->stage(), Stage::installing);
        // The download's own progress, not a new start from nothing.
        QCOMPARE(m_state->installText(), text);
        QCOMPARE(m_state->installFraction(), fraction);
        QVERIFY(waitForEnd());
        QCOMPARE(m_state->stage(), Stage::finished);
    }

    void failedDownloadFailsBackToTheReview()
    {
        FfmpegBuildServer builds; // nothing served
        m_state->load({file(u"cat.png"_s)});
        m_state->prepareConvert(ActionId::convertImage, u"webp"_s);
        m_state->startRun();
        QVERIFY(waitForEnd());
        QCOMPARE(m_state->stage(), Stage::failed);
        QCOMPARE(m_state->failureText(), u"ffmpeg could not be downloaded. Could not read the published checksum."_s);
        QCOMPARE(m_state->failureDetails(), QString());
        QVERIFY(m_state->history().entries().isEmpty());
        m_state->backFromFailure();
        QCOMPARE(m_state->stage(), Stage::review);
    }

    void installFromTheSettingsWindow()
    {
        FfmpegBuildServer builds;
        QSignalSpy installing(m_state.get(), &AppState::toolsInstallingChanged);
        m_state->installToolsNow();
        QVERIFY(m_state->toolsInstalling());
        m_state->installToolsNow(); // refused while one is under way
        QTRY_VERIFY_WITH_TIMEOUT(!m_state->toolsInstalling(), timeoutMs);
        QCOMPARE(installing.size(), 2);
        QCOMPARE(m_state->toolsMessage(), u"Could not read the published checksum."_s);
        QCOMPARE(m_state->stage(), Stage::idle);

        builds.serve();
        m_state->installToolsNow();
        QCOMPARE(m_state->toolsMessage(), QString());
        QTRY_VERIFY_WITH_TIMEOUT(!m_state->toolsInstalling(), timeoutMs);
        QCOMPARE(m_state->toolsMessage(), u"ffmpeg and ffprobe are installed."_s);
        QVERIFY(m_state->toolsReady());
        QCOMPARE(m_stages, QList<Stage>());
    }

    void playResultOpensOrReveals()
    {
        m_state->playResult(); // no outcome: nothing
        const QString folder = m_dir.path() + u"/pages"_s;
        QDir().mkpath(folder);
        m_state->setOutcome(RunOutcome{{folder}, {}});
        m_state->playResult();
        QCOMPARE(m_workspace->revealed, (QList<QStringList>{{folder}}));
        const QString song = file(u"song.mp3"_s);
        m_state->setOutcome(RunOutcome{{song, folder}, {}});
        m_state->playResult();
        QCOMPARE(m_workspace->opened, QStringList{song});
    }
};

TRELLICK_TEST_MAIN(TestRunFlow)
#include "tst_runflow.moc"
