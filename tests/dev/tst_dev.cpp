#include "FakeOpenRouter.h"
#include "FfmpegBuildServer.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "TestMedia.h"
#include "TestPdf.h"
#include "base/AppPaths.h"
#include "exec/RunFolders.h"
#include "platform/SecretServiceKeychain.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

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

// `trellick-dev` end to end, on real files with real tools, the local servers and the test's own keyring.
// Killed in the middle of a long run it leaves no tool running and nothing half-made under a final name, and
// the next start removes what the dead run left.
class TestDev : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_video;
    FakeOpenRouter m_openRouter;
    std::unique_ptr<FfmpegBuildServer> m_builds;
    QString m_killed; // where the killed runs work, apart from the finished runs' files
    QString m_temp; // the killed program's temporary folder

    // The processes (other than this one's children) whose command line mentions `text`.
    static QStringList processesMentioning(const QString& text)
    {
        QStringList found;
        for (const QString& pid : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
            QFile cmdline(u"/proc/"_s + pid + u"/cmdline"_s);
            if (pid.toInt() > 0 && cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(text.toUtf8())) {
                found << pid;
            }
        }
        return found;
    }

    // Starts trellick-dev with `args` (and `input` on its standard input), waits for `midway`, kills it.
    void killMidway(const QStringList& args, const QByteArray& input, const std::function<bool()>& midway)
    {
        QProcess dev;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"TMPDIR"_s, m_temp);
        dev.setProcessEnvironment(environment);
        dev.setWorkingDirectory(m_killed);
        dev.start(QStringLiteral(TRELLICK_DEV), args);
        QVERIFY(dev.waitForStarted());
        dev.write(input);
        dev.closeWriteChannel();
        QVERIFY2(QTest::qWaitFor(midway, 120000), dev.readAll().constData());
        QVERIFY(dev.state() == QProcess::Running);
        ::kill(pid_t(dev.processId()), SIGKILL);
        QVERIFY(dev.waitForFinished());
    }

    QStringList leftovers() const
    {
        return QDir(m_killed).entryList({u".trellick-*"_s}, QDir::Dirs | QDir::Hidden)
            + QDir(m_temp).entryList({u"Trellick-*"_s}, QDir::Dirs);
    }

    QString path(const QString& name) const { return m_dir.path() + u'/' + name; }
    QString killed(const QString& name) const { return m_killed + u'/' + name; }

    struct Run
    {
        int status = -1;
        QString out;
    };

    // Runs `trellick-dev command args...`, with `input` on its standard input if given, to its end; output and
    // errors together.
    Run dev(const QString& command, const QStringList& args, const QByteArray& input = {})
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"TRELLICK_OPENROUTER_URL"_s, m_openRouter.url().toString());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(TRELLICK_DEV), QStringList{command} + args);
        if (!input.isNull()) {
            process.write(input);
            process.closeWriteChannel();
        }
        // The servers live in this process: its event loop must turn while the tool runs.
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 120'000)) {
            process.kill();
            process.waitForFinished();
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAll())};
    }

private slots:
    void initTestCase()
    {
        m_killed = path(u"killed"_s);
        m_temp = path(u"tmp"_s);
        QVERIFY(QDir().mkpath(m_killed) && QDir().mkpath(m_temp) && QDir().mkpath(AppPaths::binDir()));
        QVERIFY(m_dir.isValid());
        m_builds = std::make_unique<FfmpegBuildServer>();
        m_builds->serve();

        TestFiles::write(path(u"notes.txt"_s), "some notes\n");
        QVERIFY(TestMedia::picture(path(u"cat.png"_s), 64, 48));
        QVERIFY(TestMedia::wav(path(u"song.wav"_s)));
        TestPdf::write(path(u"report.pdf"_s), 3);
        TestPdf::write(path(u"appendix.pdf"_s), 2);
        QDir().mkpath(path(u"box/inner"_s));
        TestFiles::write(path(u"box/inner/file.txt"_s), "inside\n");
        QVERIFY(TestFiles::runTool(u"/usr/bin/tar"_s,
                                   {u"-czf"_s, path(u"Backup.TAR.GZ"_s), u"-C"_s, m_dir.path(), u"box"_s}));
        QProcess zip;
        zip.setWorkingDirectory(m_dir.path());
        zip.start(u"/usr/bin/zip"_s, {u"-q"_s, u"-r"_s, u"bundle.zip"_s, u"box"_s});
        QVERIFY(zip.waitForFinished() && zip.exitCode() == 0);
        m_video = m_dir.filePath(u"holiday.mp4"_s);
        // 45 seconds: the request keeps 0:10 to 0:40 of it.
        QVERIFY(TestFiles::runTool(u"/usr/bin/ffmpeg"_s,
                                   {u"-v"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc=d=45:s=160x120:r=10"_s,
                                    u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=d=45"_s, u"-c:v"_s, u"libx264"_s, u"-preset"_s,
                                    u"ultrafast"_s, u"-c:a"_s, u"aac"_s, u"-shortest"_s, m_video}));
        m_openRouter.setModels({FakeOpenRouter::model(model, 1'700'000'000)});
        QSettings(u"Trellick"_s, u"Trellick"_s).setValue(u"aiProvider"_s, u"openRouter"_s);
    }

    void actions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("outputs");
        QTest::newRow("zip") << QStringList{u"zip"_s, u"notes.txt"_s} << QStringList{u"notes.zip"_s};
        QTest::newRow("extract tar") << QStringList{u"extract"_s, u"Backup.TAR.GZ"_s}
                                     << QStringList{u"Backup/box/inner/file.txt"_s};
        QTest::newRow("extract zip") << QStringList{u"extract"_s, u"bundle.zip"_s}
                                     << QStringList{u"bundle/box/inner/file.txt"_s};
        for (const QString& format : {u"jpg"_s, u"webp"_s}) {
            QTest::addRow("picture to %s", qPrintable(format))
                << QStringList{u"convertImage"_s, u"--format"_s, format, u"cat.png"_s}
                << QStringList{u"cat (converted)."_s + format};
        }
        for (const QString& format : {u"m4a"_s, u"mp3"_s}) {
            QTest::addRow("audio to %s", qPrintable(format))
                << QStringList{u"convertAudio"_s, u"--format"_s, format, u"song.wav"_s}
                << QStringList{u"song (converted)."_s + format};
        }
        QTest::newRow("rename, keeping a copy")
            << QStringList{u"rename"_s, u"--names"_s, u"memo.txt"_s, u"--keep-copy"_s, u"notes.txt"_s}
            << QStringList{u"memo.txt"_s, u"notes.txt"_s};
        QTest::newRow("extract pages") << QStringList{u"pdfExtract"_s, u"--pages"_s, u"3, 1"_s, u"report.pdf"_s}
                                       << QStringList{u"report (pages 3,1).pdf"_s};
        QTest::newRow("merge") << QStringList{u"pdfMerge"_s, u"appendix.pdf"_s, u"report.pdf"_s}
                               << QStringList{u"appendix (merged).pdf"_s};
        QTest::newRow("smaller") << QStringList{u"pdfSmaller"_s, u"report.pdf"_s}
                                 << QStringList{u"report (smaller).pdf"_s};
        QTest::newRow("pages to pictures")
            << QStringList{u"pdfImages"_s, u"report.pdf"_s}
            << QStringList{u"report (pages)/page-1.png"_s, u"report (pages)/page-3.png"_s};
    }

    void actions()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, outputs);
        QStringList absolute; // the files named are those of initTestCase
        for (const QString& arg : args) {
            absolute << (QFileInfo::exists(path(arg)) ? path(arg) : arg);
        }
        const auto [status, output] = dev(u"do"_s, absolute);
        QVERIFY2(status == 0, qPrintable(output));
        QVERIFY2(output.contains(u"Stage: finished"_s), qPrintable(output));
        for (const QString& name : outputs) {
            QVERIFY2(QFileInfo(path(name)).size() > 0, qPrintable(name + u'\n' + output));
        }
    }

    void realOutputsAreWhatTheyClaim()
    {
        // The pages really were taken, and the merge holds all pages.
        QProcess qpdf;
        qpdf.start(u"/usr/bin/qpdf"_s, {u"--show-npages"_s, path(u"report (pages 3,1).pdf"_s)});
        QVERIFY(qpdf.waitForFinished());
        QCOMPARE(qpdf.readAll().trimmed(), QByteArray("2"));
        qpdf.start(u"/usr/bin/qpdf"_s, {u"--show-npages"_s, path(u"appendix (merged).pdf"_s)});
        QVERIFY(qpdf.waitForFinished());
        QCOMPARE(qpdf.readAll().trimmed(), QByteArray("5"));
        QCOMPARE(QImage(path(u"cat (converted).jpg"_s)).size(), QSize(64, 48));
    }

    void renameMovesTheFile()
    {
        TestFiles::write(path(u"draft.txt"_s), "draft");
        const auto [status, output] = dev(u"do"_s, {u"rename"_s, u"--names"_s, u"final.txt"_s, path(u"draft.txt"_s)});
        QCOMPARE(status, 0);
        QVERIFY(!QFileInfo::exists(path(u"draft.txt"_s)));
        QCOMPARE(TestFiles::read(path(u"final.txt"_s)), QByteArray("draft"));
        QVERIFY(output.contains(u"Warning: This changes the original file's name."_s));
    }

    void refusalsAreNotices()
    {
        const auto [status, output] = dev(u"do"_s, {u"pdfExtract"_s, u"--pages"_s, u"3-5-7"_s, path(u"report.pdf"_s)});
        QCOMPARE(status, 1);
        QVERIFY2(output.contains(
                     u"Notice: I could not read “3-5-7”. Use page numbers like 1-3, 5 (this PDF has 3 pages)."_s),
                 qPrintable(output));
        const auto merge = dev(u"do"_s, {u"pdfMerge"_s, path(u"report.pdf"_s)});
        QVERIFY(merge.out.contains(u"Notice: Pick at least two PDFs to merge."_s));
    }

    void immediateActionsPrintWhatTheyAsk()
    {
        const auto copied = dev(u"do"_s, {u"copyPath"_s, path(u"notes.txt"_s), path(u"song.wav"_s)});
        QCOMPARE(copied.status, 0);
        QVERIFY(copied.out.contains(u"Clipboard: "_s + path(u"notes.txt"_s) + u'\n' + path(u"song.wav"_s)));
        QVERIFY(copied.out.contains(u"Notice: Path copied."_s));
        const auto info = dev(u"do"_s, {u"info"_s, path(u"notes.txt"_s)});
        QVERIFY2(info.out.contains(u"Command: gio info "_s + path(u"notes.txt"_s)), qPrintable(info.out));
    }

    // plan-check prints each option the checker accepts, or the refusal alone; only the application's own
    // plans may use tar.
    void planCheck()
    {
        const QString clip = TestFiles::write(path(u"checked/clip.mp4"_s));
        const QString folder = QFileInfo(clip).path();
        const QString cut = folder + u"/clip (cut).mp4"_s;
        const QString zip = folder + u"/clip.zip"_s;
        const QByteArray reply = R"(Sure: {"options":[
            {"label":"Fast","steps":[{"program":"ffmpeg","args":["-ss",5,"-i","{input}","-c","copy","{output}"],"output":"clip (cut).mp4"}]},
            {"label":"Bad","steps":[{"program":"bash","args":["x"],"output":"x.mp4"}]},
            {"label":"Zip","steps":[{"program":"zip","args":["-r","-X","{output}","{input}"],"output":"clip.zip"}]}]})";
        const auto [status, out] = dev(u"plan-check"_s, {u"--input"_s, clip}, reply);
        QCOMPARE(status, 0);
        QCOMPARE(out,
                 u"Fast\nffmpeg -hide_banner -n -nostdin -ss 5 -i "_s + clip + u" -c copy '"_s + cut + u"'\nOutput: "_s
                     + cut + u"\n\nZip\ncd "_s + folder + u" && zip -r -X "_s + zip + u" clip.mp4\nOutput: "_s + zip
                     + u"\n"_s);
        const Run refused = dev(u"plan-check"_s, {u"--input"_s, clip}, "no plan here");
        QCOMPARE(refused.status, 1);
        QCOMPARE(refused.out, u"The answer was not JSON.\n"_s);
        QCOMPARE(dev(u"plan-check"_s, {u"--input"_s}, "{}").status, 2);
        const QByteArray tar
            = R"({"steps":[{"program":"tar","args":["-xf","{input}","-C","{output}"],"output":"clip.zip"}]})";
        QCOMPARE(dev(u"plan-check"_s, {u"--input"_s, clip}, tar).status, 1);
        QCOMPARE(dev(u"plan-check"_s, {u"--trusted"_s, u"--input"_s, clip}, tar).status, 0);
    }

    void init() { QVERIFY(SecretServiceKeychain().save(u"sk-or-v1-dev"_s, account)); }

    void requestBecomesAReviewedPlan()
    {
        m_openRouter.answerEveryChat(trimPlan);
        const Run run = dev(u"ask"_s, {u"trim"_s, request, m_video});
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
        const Run run = dev(u"ask"_s, {u"trim"_s, u"Remove the subtitles"_s, m_video});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, u"Thinking: Asking OpenRouter...\nFailed: The video has no subtitles to remove.\n"_s);
    }

    void notSignedIn()
    {
        SecretServiceKeychain().remove(account);
        const Run run = dev(u"ask"_s, {u"trim"_s, request, m_video});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, u"Notice: AI is not set up yet. Sign in to OpenRouter in Settings to use free models.\n"_s);
    }

    void previewNamesThisComputer()
    {
        const qsizetype sent = m_openRouter.chatRequests().size();
        const Run run = dev(u"ask"_s, {u"--preview"_s, u"trim"_s, request, m_video});
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
        const Run run = dev(u"ask"_s, {u"zip"_s, request, m_video});
        QCOMPARE(run.status, 2);
    }

    void killedConversion()
    {
        // Debian's own, which the run below must find as if it were installed.
        QVERIFY(TestMedia::installTool(u"ffmpeg"_s));
        const QString input = killed(u"long.mp4"_s);
        QVERIFY(TestFiles::runTool(u"/usr/bin/ffmpeg"_s,
                                   {u"-v"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                                    u"testsrc=duration=60:size=320x240:rate=25"_s, u"-c:v"_s, u"libx264"_s,
                                    u"-preset"_s, u"ultrafast"_s, input}));
        const QByteArray reply = R"({"options":[{"label":"Bigger","summary":"Scales it up.","warnings":[],
            "result_seconds":60,"steps":[{"program":"ffmpeg","args":["-i","{input}","-vf","scale=1920:1440",
            "-c:v","libx264","-preset","veryslow","{output}"],"output":"long (bigger).mp4","summary":"Scales."}]}]})";
        // Midway: the tool has written part of its result.
        killMidway({u"run-plan"_s, u"--input"_s, input, u"--trusted"_s}, reply, [&] {
            QDirIterator it(m_killed, {u"long (bigger).mp4"_s}, QDir::Files | QDir::Hidden,
                            QDirIterator::Subdirectories);
            return it.hasNext() && it.nextFileInfo().size() > 0;
        });
        // The tool was told to die with the program; the kernel does so at once, but not synchronously.
        QVERIFY(QTest::qWaitFor([] { return processesMentioning(u"long (bigger).mp4"_s).isEmpty(); }, 10000));
        QVERIFY(!QFile::exists(killed(u"long (bigger).mp4"_s)));
        QCOMPARE(leftovers().size(), 2);
        QCOMPARE(RunFolders::removeLeftovers(m_temp), 2);
        QCOMPARE(leftovers(), QStringList());
    }

    void killedPagesToPictures()
    {
        TestPdf::write(killed(u"thick.pdf"_s), 200);
        killMidway({u"do"_s, u"pdfImages"_s, killed(u"thick.pdf"_s)}, {}, [&] {
            QDirIterator it(m_killed, {u"page-*.png"_s}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            return it.hasNext();
        });
        QVERIFY(!QFile::exists(killed(u"thick (pages)"_s)));
        // What a killed unpack leaves may lie deeper than one path can name: it goes too.
        const QStringList staging = QDir(m_killed).entryList({u".trellick-*"_s}, QDir::Dirs | QDir::Hidden);
        QCOMPARE(staging.size(), 1);
        const QString deep = QStringList(200, QString(30, u'd')).join(u'/');
        QVERIFY(TestFiles::runTool(u"/bin/mkdir"_s, {u"-p"_s, killed(staging.first()) + u'/' + deep}));
        RunFolders::removeLeftovers(m_temp);
        QCOMPARE(leftovers(), QStringList());
    }

    void liveRunsAreLeftAlone()
    {
        // Another run's folders, still locked by it, and folders that merely look alike.
        const QString scratch = m_temp + u"/Trellick-01234567-89AB-CDEF-0123-456789ABCDEF"_s;
        RunFolders live(scratch, m_temp);
        const Result<QString, PlanError> staging = live.stagingIn(m_killed);
        QVERIFY(staging.ok());
        QVERIFY(QDir().mkpath(m_temp + u"/Trellick-notes"_s));
        QCOMPARE(RunFolders::removeLeftovers(m_temp), 0);
        QVERIFY(QFileInfo(scratch).isDir() && QFileInfo(staging.value()).isDir());
        live.removeAll();
        QVERIFY(!QFileInfo::exists(staging.value()));
        QDir(scratch).removeRecursively();
        QVERIFY(QFileInfo::exists(m_temp + u"/Trellick-notes"_s));
    }
};

TRELLICK_TEST_MAIN(TestDev)
#include "tst_dev.moc"
