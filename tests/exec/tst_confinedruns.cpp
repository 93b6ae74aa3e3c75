#include "TestFiles.h"
#include "TestMain.h"
#include "TestMedia.h"
#include "base/ProcessJob.h"
#include "exec/ToolRunner.h"
#include "plans/PlanFactory.h"
#include "plans/PlanParser.h"
#include "plans/Recipes.h"
#include "platform/SandboxSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SandboxSupport)

namespace {

// This machine's kernel, and one without Landlock: the run must work on both.
const SandboxSupport thisKernel{99, true, true};
const SandboxSupport noLandlock{0, true, true};

// A model's reply with one option whose steps are given as JSON objects.
QString reply(const QString& steps, const QString& resultSeconds = u"null"_s)
{
    return u"Here is the plan:\n```json\n{\"options\":[{\"label\":\"Plan\",\"summary\":\"The plan.\",\"result_seconds\":"_s
        + resultSeconds + u",\"warnings\":[],\"steps\":["_s + steps + u"]}]}\n```"_s;
}

QString step(const QString& program, const QString& args, const QString& output)
{
    return u"{\"program\":\""_s + program + u"\",\"args\":["_s + args + u"],\"output\":\""_s + output
        + u"\",\"summary\":\"Runs "_s + program + u".\"}"_s;
}

// Runs the option in a runner of its own (on `kernel` when given): the outputs, or the failure as one text.
Result<QStringList, QString> run(const ResolvedOption& option, std::optional<SandboxSupport> kernel = std::nullopt)
{
    SandboxSupport::setForTesting(kernel);
    ToolRunner runner;
    std::optional<RunResult> outcome;
    RunJob* job = runner.run(option, std::nullopt, {});
    QObject::connect(job, &RunJob::finished, &runner, [&](const RunResult& result) { outcome = result; });
    const bool finished = QTest::qWaitFor([&] { return outcome.has_value(); }, 120000);
    SandboxSupport::setForTesting(std::nullopt);
    if (!finished) {
        return u"the run did not finish"_s;
    }
    if (!outcome->ok()) {
        return QString(outcome->error().message + u' ' + outcome->error().details);
    }
    return outcome->value().outputs;
}

QString probe(const QString& entries, const QString& file)
{
    const ProcResult result = ProcessJob::runBlocking(
        u"/usr/bin/ffprobe"_s, {u"-v"_s, u"error"_s, u"-show_entries"_s, entries, u"-of"_s, u"csv=p=0"_s, file});
    return result.out.trimmed();
}

} // namespace

class TestConfinedRuns : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(TestMedia::installTool(u"ffmpeg"_s));
        QVERIFY(TestMedia::videoMp4(path(u"holiday.mp4"_s)));
        QVERIFY(TestMedia::wav(path(u"song.wav"_s)));
        QVERIFY(TestMedia::picture(path(u"photo.png"_s), 64, 48));
        TestFiles::write(path(u"album/a.txt"_s), "a");
        TestFiles::write(path(u"album/inner/b.txt"_s), "b");
        // Readable to the tests' own user: only the sandbox keeps a step from it. It lies beside the inputs
        // (a step reads its input files, not their folder) and outside the folder a step writes into.
        TestFiles::write(path(u"passwords.txt"_s), "hunter2\n");
    }

    void plansWorkConfined_data()
    {
        QTest::addColumn<SandboxSupport>("kernel");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("check"); // what the output must show: ffprobe entries, or a tool's name
        QTest::addColumn<QString>("expected");
        const QList<std::pair<QString, SandboxSupport>> kernels{{u"this kernel"_s, thisKernel},
                                                                {u"no Landlock"_s, noLandlock}};
        for (const auto& [kernelName, kernel] : kernels) {
            const QByteArray name = kernelName.toUtf8();
            QTest::addRow("%s: ffmpeg trims", name.constData())
                << kernel << u"holiday.mp4"_s
                << reply(step(u"ffmpeg"_s,
                              u"\"-ss\",\"0.5\",\"-i\",\"{input}\",\"-t\",\"1\",\"-c:v\",\"libx264\",\"-preset\","
                              "\"ultrafast\",\"-c:a\",\"aac\",\"-movflags\",\"+faststart\",\"{output}\""_s,
                              u"holiday (cut).mp4"_s),
                         u"1"_s)
                << u"format=duration"_s << u"1"_s;
            QTest::addRow("%s: ffmpeg converts in two steps", name.constData())
                << kernel << u"holiday.mp4"_s
                << reply(step(u"ffmpeg"_s, u"\"-i\",\"{input}\",\"-vn\",\"-c:a\",\"pcm_s16le\",\"{output}\""_s,
                              u"sound.wav"_s)
                         + u","_s
                         + step(u"ffmpeg"_s,
                                u"\"-i\",\"{prev}\",\"-c:a\",\"libmp3lame\",\"-b:a\",\"128k\",\"{output}\""_s,
                                u"holiday.mp3"_s))
                << u"stream=codec_name"_s << u"mp3"_s;
            // A title in a font that fontconfig finds among the system's fonts.
            QTest::addRow("%s: ffmpeg draws a title", name.constData())
                << kernel << u"holiday.mp4"_s
                << reply(step(
                       u"ffmpeg"_s,
                       uR"("-i","{input}","-vf","drawtext=font=Sans:text='My Holiday\\: Day 1':fontsize=32:x=10:y=10","-c:v","libx264","-preset","ultrafast","-an","{output}")"_s,
                       u"holiday (title).mp4"_s))
                << u"stream=codec_name"_s << u"h264"_s;
            QTest::addRow("%s: sips", name.constData())
                << kernel << u"photo.png"_s
                << reply(step(u"sips"_s,
                              u"\"-s\",\"format\",\"jpeg\",\"--resampleWidth\",32,\"{input}\",\"-o\",\"{output}\""_s,
                              u"photo (small).jpg"_s))
                << u"stream=codec_name,width,height"_s << u"mjpeg,32,24"_s;
            QTest::addRow("%s: afconvert", name.constData())
                << kernel << u"song.wav"_s
                << reply(step(u"afconvert"_s,
                              u"\"-f\",\"m4af\",\"-d\",\"aac\",\"-b\",128000,\"{input}\",\"{output}\""_s,
                              u"song.m4a"_s))
                << u"stream=codec_name"_s << u"aac"_s;
            QTest::addRow("%s: zip a folder", name.constData())
                << kernel << u"album"_s
                << reply(step(u"zip"_s, u"\"-r\",\"-X\",\"{output}\",\"{input}\""_s, u"album.zip"_s)) << u"unzip"_s
                << u"album/inner/b.txt"_s;
        }
    }

    void plansWorkConfined()
    {
        QFETCH(SandboxSupport, kernel);
        QFETCH(QString, input);
        QFETCH(QString, answer);
        QFETCH(QString, check);
        QFETCH(QString, expected);
        const Result<AIPlanResponse, PlanError> parsed = PlanParser::parse(answer);
        QVERIFY(parsed.ok());
        const Result<QList<ResolvedOption>, PlanError> options
            = PlanParser::resolve(parsed.value().options, path(input));
        QVERIFY2(options.ok(), options.ok() ? "" : qPrintable(options.error().message));
        const ResolvedOption option = options.value().first();

        const Result<QStringList, QString> outputs = run(option, kernel);
        QVERIFY2(outputs.ok(), qPrintable(outputs.ok() ? QString() : outputs.error()));
        QCOMPARE(outputs.value().size(), 1);
        const QString output = outputs.value().first();
        QVERIFY(!QFileInfo::exists(*option.tempDir));

        if (check == u"unzip") {
            const ProcResult list = ProcessJob::runBlocking(u"/usr/bin/unzip"_s, {u"-l"_s, output});
            QVERIFY2(list.out.contains(expected), qPrintable(list.out));
        } else if (check == u"format=duration") {
            const double seconds = probe(check, output).toDouble();
            QVERIFY2(seconds > 0.8 && seconds < 1.3, qPrintable(QString::number(seconds)));
        } else {
            QCOMPARE(probe(check, output), expected);
        }
    }

    void listsOfOtherFilesAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("direct"); // the action "Convert to mp3", else a plan copying the streams
        const QByteArray hls = "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n%1\n#EXT-X-ENDLIST\n";
        const QByteArray concat = "ffconcat version 1.0\nfile '%1'\n";
        QTest::newRow("HLS song, sibling") << u"innocent.wav"_s << hls << u"innocent.mp3"_s << false;
        QTest::newRow("HLS song, sibling, converted") << u"song.wav"_s << hls << u"song (converted).mp3"_s << true;
        QTest::newRow("ffconcat video, other folder") << u"clip.mp4"_s << concat << u"clip (copy).mp4"_s << false;
    }

    void listsOfOtherFilesAreRefused()
    {
        // A stranger's "song" that is a playlist of the private file beside it (or in another folder):
        // the run fails with the sentence and the private file goes nowhere.
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        QFETCH(QString, output);
        QFETCH(bool, direct);
        const QString memo = QString::fromUtf8(QTest::currentDataTag()).contains(u"other folder"_s)
            ? path(u"private/memo.mp3"_s)
            : path(u"lists/memo.mp3"_s);
        QVERIFY(QDir().mkpath(QFileInfo(memo).absolutePath()) && QDir().mkpath(path(u"lists"_s)));
        QVERIFY(QFileInfo::exists(memo)
                || TestFiles::runTool(u"/usr/bin/ffmpeg"_s,
                                      {u"-v"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=d=2"_s, memo}));
        const QString input
            = TestFiles::write(path(u"lists/"_s + name), QString::fromUtf8(contents).arg(memo).toUtf8());
        const QString args = u"\"-i\",\"{input}\",\"-c\",\"copy\",\"{output}\""_s;
        const Result<AIPlanResponse, PlanError> parsed = PlanParser::parse(reply(step(u"ffmpeg"_s, args, output)));
        QVERIFY(parsed.ok());
        PlanFactory factory;
        const Result<ResolvedOption, PlanError> option = direct
            ? Recipes::convert(ActionId::convertAudio, {input}, u"mp3"_s, true)
            : factory.resolve(parsed.value().options.first(), input, false);
        QVERIFY2(option.ok(), qPrintable(option.ok() ? QString() : option.error().message));
        const Result<QStringList, QString> outputs = run(option.value());
        QVERIFY(!outputs.ok());
        QVERIFY2(outputs.error().startsWith(u"That file is a list of other files, not a video or audio file."_s),
                 qPrintable(outputs.error()));
        QVERIFY(!QFileInfo::exists(path(u"lists/"_s + output)));
    }

    void stepsAreConfinedToTheirOwnFiles_data()
    {
        QTest::addColumn<SandboxSupport>("kernel");
        // What the step did to a file in another folder and to a neighbour of its output: read the one,
        // read, overwrite and delete the other.
        QTest::addColumn<QByteArray>("secret");
        QTest::newRow("this kernel") << thisKernel << QByteArray("refused\nrefused\nrefused\nkept\n");
        QTest::newRow("no Landlock") << noLandlock << QByteArray("hunter2\nmine\nwrote\ndeleted\n");
    }

    void stepsAreConfinedToTheirOwnFiles()
    {
        // A tool that reads a file it was not given: the runner starts it with its step's sandbox, and
        // only a kernel without Landlock lets the read through; the run itself works either way.
        QFETCH(SandboxSupport, kernel);
        QFETCH(QByteArray, secret);
        const QString tool = TestFiles::write(path(u"tools/peek"_s),
                                              "#!/bin/sh\n"
                                              "{ cat \"$2\" 2>/dev/null || echo refused\n"
                                              "  cat \"$3\" 2>/dev/null || echo refused\n"
                                              "  (echo x > \"$3\") 2>/dev/null && echo wrote || echo refused\n"
                                              "  rm -f \"$3\" 2>/dev/null; [ -e \"$3\" ] && echo kept || echo deleted\n"
                                              "  echo \"home=$HOME\"; } > \"$1\"\n");
        QFile(tool).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        const QString output = path(u"out/"_s + QString::fromUtf8(QTest::currentDataTag()) + u".txt"_s);
        const QString neighbour = TestFiles::write(path(u"out/neighbour.txt"_s), "mine\n");
        ResolvedStep peek;
        peek.summary = u"Peek"_s;
        peek.executable = tool;
        peek.args = {output, path(u"passwords.txt"_s), neighbour};
        peek.inputs = {path(u"song.wav"_s)};
        peek.outputPath = output;
        peek.isFinal = true;
        ResolvedOption option;
        option.steps = {peek};
        option.tempDir = path(u"scratch"_s);

        const Result<QStringList, QString> outputs = run(option, kernel);
        QVERIFY2(outputs.ok(), qPrintable(outputs.ok() ? QString() : outputs.error()));
        QCOMPARE(TestFiles::read(output), secret + "home=" + path(u"scratch"_s).toUtf8() + "\n");
    }
};

TRELLICK_TEST_MAIN(TestConfinedRuns)
#include "tst_confinedruns.moc"
