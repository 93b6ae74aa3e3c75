#include "PlanReplies.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "base/AppPaths.h"
#include "base/FFmpegTools.h"
#include "plans/PlanFactory.h"
#include "plans/PlanParser.h"
#include "plans/StepSandbox.h"
#include "plans/SystemTools.h"
#include "platform/Sandbox.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestPlanFactory : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_input;
    QString m_tools;

    QString outcome(const QString& reply) const
    {
        const Result<AIPlanResponse, PlanError> parsed = PlanParser::parse(reply);
        if (!parsed.ok()) {
            return parsed.error().message;
        }
        const Result<QList<ResolvedOption>, PlanError> resolved = PlanParser::resolve(parsed.value().options, m_input);
        return resolved.ok() ? u"(accepted)"_s : resolved.error().message;
    }

    ResolvedOption resolveOne(const QString& reply, bool trusted = false, const QString& input = {}) const
    {
        const Result<AIPlanResponse, PlanError> parsed = PlanParser::parse(reply);
        if (!parsed.ok() || parsed.value().options.isEmpty()) {
            qWarning("reply did not parse");
            return {};
        }
        PlanFactory factory;
        const Result<ResolvedOption, PlanError> result
            = factory.resolve(parsed.value().options.first(), input.isEmpty() ? m_input : input, trusted);
        if (!result.ok()) {
            qWarning("refused: %s", qPrintable(result.error().message));
            return {};
        }
        return result.value();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_input = TestFiles::write(m_dir.filePath(u"holiday.mp4"_s));
        m_tools = m_dir.filePath(u"tools"_s);
        for (const QString& tool : {u"sips"_s, u"afconvert"_s, u"ditto"_s}) {
            const QString path = TestFiles::write(m_tools + u"/"_s + tool, "#!/bin/sh\nexit 0\n");
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        SystemTools::setStandInDir(m_tools);
    }

    void hostileReplies_data() { PlanReplies::hostileRows(); }

    void hostileReplies()
    {
        QFETCH(QString, reply);
        QFETCH(QString, message);
        QCOMPARE(outcome(reply), message);
    }

    void everydayPlans_data() { PlanReplies::everydayRows(); }

    void everydayPlans()
    {
        QFETCH(QString, reply);
        QCOMPARE(outcome(reply), u"(accepted)"_s);
    }

    void programNameIsTrimmedAndLowerCased()
    {
        const ResolvedOption option = resolveOne(
            u"{\"steps\":[{\"program\":\" FFmpeg \\n\",\"args\":[\"-i\",\"{input}\",\"{output}\"],\"output\":\"a.mp4\"}]}"_s);
        QCOMPARE(option.steps.size(), 1);
        QCOMPARE(option.steps[0].executable, AppPaths::binDir() + u"/ffmpeg"_s);
        QVERIFY(option.steps[0].needsFFmpeg);
        QCOMPARE(option.steps[0].cwd, option.tempDir);

        const ResolvedOption sips = resolveOne(
            u"{\"steps\":[{\"program\":\"sips\",\"args\":[\"{input}\",\"-o\",\"{output}\"],\"output\":\"a.png\"}]}"_s);
        QCOMPARE(sips.steps[0].executable, m_tools + u"/sips"_s);
        QVERIFY(!sips.steps[0].needsFFmpeg);
    }

    void trustedStepsMayUseDittoAndTar()
    {
        RawOption raw{u"Unpack"_s, u" Unpacks. "_s, {}, std::nullopt, {}};
        raw.steps << RawStep{u"tar"_s, {u"-xf"_s, u"{input}"_s, u"-C"_s, u"{output}"_s}, u"holiday"_s, QString(), true};
        PlanFactory factory;
        Result<ResolvedOption, PlanError> tar = factory.resolve(raw, m_input, true);
        QVERIFY(tar.ok());
        const ResolvedStep& step = tar.value().steps[0];
        QCOMPARE(step.executable, u"/usr/bin/tar"_s);
        QCOMPARE(step.args, (QStringList{u"-xf"_s, m_input, u"-C"_s, m_dir.filePath(u"holiday"_s)}));
        QVERIFY(step.outputIsFolder);
        QCOMPARE(step.summary, u"Runs tar."_s);
        QCOMPARE(tar.value().summary, u"Unpacks."_s);

        raw.steps[0] = RawStep{u"ditto"_s, {u"-x"_s, u"-k"_s, u"{input}"_s, u"{output}"_s}, QString(), QString(), true};
        Result<ResolvedOption, PlanError> ditto = factory.resolve(raw, m_input, true);
        QVERIFY(ditto.ok());
        QCOMPARE(ditto.value().steps[0].executable, m_tools + u"/ditto"_s);
        // An empty folder name falls back to the input's name; the reserver already gave out "holiday".
        QCOMPARE(ditto.value().steps[0].outputPath, m_dir.filePath(u"holiday (new)"_s));
        QVERIFY(!factory.resolve(raw, m_input, false).ok());
    }

    void missingStandInIsReported()
    {
        QTemporaryDir empty;
        SystemTools::setStandInDir(empty.path());
        QCOMPARE(
            outcome(
                u"{\"steps\":[{\"program\":\"sips\",\"args\":[\"{input}\",\"-o\",\"{output}\"],\"output\":\"a.png\"}]}"_s),
            u"The tool “sips” was not found on this computer."_s);
        SystemTools::setStandInDir(m_tools);
    }

    void safetyOptionsAreAddedOnlyWhenMissing()
    {
        const auto args = [this](const QString& program, const QString& middle) {
            return resolveOne(u"{\"steps\":[{\"program\":\""_s + program + u"\",\"args\":["_s + middle
                              + u"\"-i\",\"{input}\",\"{output}\"],\"output\":\"a.mp4\"}]}"_s)
                .steps.value(0)
                .args;
        };
        QCOMPARE(args(u"ffmpeg"_s, u"\"-n\","_s).mid(0, 3), (QStringList{u"-hide_banner"_s, u"-nostdin"_s, u"-n"_s}));
        QCOMPARE(args(u"ffprobe"_s, QString()).first(), u"-i"_s);
        // "-n" as the value of another option is no "-n": ffmpeg would still overwrite.
        QCOMPARE(args(u"ffmpeg"_s, u"\"-metadata\",\"-n\","_s).mid(0, 3),
                 (QStringList{u"-hide_banner"_s, u"-n"_s, u"-nostdin"_s}));
    }

    void zipRunsInTheInputFolder()
    {
        const QString reply
            = u"{\"steps\":[{\"program\":\"zip\",\"args\":[\"-r\",\"-X\",\"{output}\",\"{input}\"],\"output\":\"a b.zip\"}]}"_s;
        const ResolvedOption option = resolveOne(reply);
        QCOMPARE(option.steps[0].cwd, m_dir.path());

        // A chosen file named like an option is passed so that zip cannot read it as one.
        const QString dashed = TestFiles::write(m_dir.filePath(u"-m"_s));
        const ResolvedOption moved = resolveOne(reply, false, dashed);
        QCOMPARE(moved.steps[0].args.last(), u"./-m"_s);
        QCOMPARE(moved.steps[0].inputs, QStringList{dashed});
    }

    void splitOutput_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QString>("expected"); // "base|ext", or the refusal
        const auto refused = [](const QString& name) -> QString {
            return u"Step 3 names its output “"_s + name
                + u"”, which does not end in a file type I allow (for example mp4, mp3, jpg, png, pdf, zip)."_s;
        };
        QTest::newRow("parent path") << u"../x.mp4"_s << false << u"-x|mp4"_s;
        QTest::newRow("only an extension") << u".mp4"_s << false << u"holiday (new)|mp4"_s;
        QTest::newRow("hidden name") << u"..hidden.MOV"_s << false << u"hidden|mov"_s;
        QTest::newRow("separators") << u"a:b%c\\d/e.MP4"_s << false << u"a-b-c-d-e|mp4"_s;
        QTest::newRow("controls and direction overrides") << u" a\u202Eb\u0007\t.png "_s << false << u"ab|png"_s;
        QTest::newRow("spaces before the dot") << u"holiday (cut)  .mp4"_s << false << u"holiday (cut)|mp4"_s;
        QTest::newRow("long name") << u"é"_s.repeated(150) + u".jpg"_s << false << u"é"_s.repeated(100) + u"|jpg"_s;
        QTest::newRow("long name of emoji")
            << u"👍🏽"_s.repeated(120) + u".png"_s << false << u"👍🏽"_s.repeated(100) + u"|png"_s;
        QTest::newRow("folder") << u"Backup"_s << true << u"Backup|"_s;
        QTest::newRow("folder without a name") << u" .. "_s << true << u"holiday (new)|"_s;
        for (const QString& name : {u"notes.txt"_s, u"x"_s, u"x.mp4.exe"_s, QString()}) {
            QTest::addRow("refused: %s", qPrintable(name)) << name << false << refused(name);
        }
    }

    void splitOutput()
    {
        QFETCH(QString, name);
        QFETCH(bool, folder);
        QFETCH(QString, expected);
        const Result<PlanFactory::OutputName, PlanError> split
            = PlanFactory::splitOutput(name, u"holiday"_s, folder, 3);
        QCOMPARE(split.ok() ? split.value().base + u'|' + split.value().ext : split.error().message, expected);
    }

    void earlierStepsWriteToTheScratchFolder()
    {
        QString steps;
        for (int k = 0; k < 6; ++k) {
            steps += (k == 0 ? QString() : u","_s) + u"{\"program\":\"ffmpeg\",\"args\":[\"-i\",\""_s
                + (k == 0 ? u"{input}"_s : u"{prev}"_s) + u"\",\"{output}\"],\"output\":\"s.png\"}"_s;
        }
        const ResolvedOption option = resolveOne(u"{\"label\":\" Six \",\"steps\":["_s + steps + u"]}"_s);
        QCOMPARE(option.steps.size(), 6);
        QCOMPARE(option.label, u" Six "_s);
        QVERIFY(option.tempDir->startsWith(QDir::tempPath() + u"/Trellick-"_s));
        for (int k = 0; k < 5; ++k) {
            // In the scratch folder, each under its own name.
            QCOMPARE(QFileInfo(option.steps[k].outputPath).absolutePath(), *option.tempDir);
            QVERIFY(QFileInfo(option.steps[k].outputPath).fileName().startsWith(u"step%1-"_s.arg(k + 1)));
            QVERIFY(!option.steps[k].isFinal);
            QCOMPARE(option.steps[k + 1].args[4], option.steps[k].outputPath);
            QCOMPARE(option.steps[k + 1].inputs, QStringList{option.steps[k].outputPath});
        }
        QVERIFY(option.steps[5].isFinal);
        QCOMPARE(option.finalOutputs(), QStringList{m_dir.filePath(u"s.png"_s)});
        QCOMPARE(option.raw->steps.size(), 6); // kept for the history's Run again
    }

    void answersWithSeveralOptions()
    {
        const QString good
            = u"{\"label\":\"B\",\"steps\":[{\"program\":\"ffmpeg\",\"args\":[\"-i\",\"{input}\",\"{output}\"],\"output\":\"holiday (cut).mp4\"}]}"_s;
        const QString bad1 = u"{\"steps\":[{\"program\":\"bash\",\"args\":[\"x\"],\"output\":\"a.mp4\"}]}"_s;
        const QString bad2 = u"{\"steps\":[{\"program\":\"zip\",\"args\":[],\"output\":\"a.zip\"}]}"_s;
        const auto resolve = [this](const QStringList& options) {
            return PlanParser::resolve(
                PlanParser::parse(u"{\"options\":["_s + options.join(u","_s) + u"]}"_s).value().options, m_input);
        };
        const Result<QList<ResolvedOption>, PlanError> some = resolve({bad1, good, good});
        QCOMPARE(some.value().size(), 2);
        // Each option has its own reserver, so both propose the same fresh name.
        QCOMPARE(some.value()[0].finalOutputs(), some.value()[1].finalOutputs());
        QVERIFY(some.value()[0].tempDir != some.value()[1].tempDir);
        QCOMPARE(resolve({bad2, bad1}).error().message, u"Step 1 has no arguments."_s);
    }

    void namesAreFreshOnDiskAndInMemory()
    {
        QTemporaryDir dir;
        NameReserver reserver;
        TestFiles::write(dir.filePath(u"clip (cut).mp4"_s));
        QVERIFY(QFile::link(dir.filePath(u"nowhere"_s), dir.filePath(u"clip (cut) 2.mp4"_s)));
        QCOMPARE(reserver.unique(u"clip (cut)"_s, u"mp4"_s, dir.path()), dir.filePath(u"clip (cut) 3.mp4"_s));
        QCOMPARE(reserver.unique(u"clip (cut)"_s, u"mp4"_s, dir.path()), dir.filePath(u"clip (cut) 4.mp4"_s));
        QCOMPARE(reserver.unique(u"CLIP (CUT) 4"_s, u"MP4"_s, dir.path()), dir.filePath(u"CLIP (CUT) 4 2.MP4"_s));
        QCOMPARE(reserver.unique(u"Backup"_s, QString(), dir.path()), dir.filePath(u"Backup"_s));
        QCOMPARE(reserver.unique(u"Backup"_s, QString(), dir.path()), dir.filePath(u"Backup 2"_s));
    }

    void longNamesAreCutToFitKeepingWhatTheyAre()
    {
        // 251 bytes of name (ending in a two-byte letter), a suffix and an extension: the name before
        // the suffix is cut, at a whole character, so that the whole fits in 255 bytes.
        QTemporaryDir dir;
        NameReserver reserver;
        const QString base = QString(249, u'x') + u"é"_s;
        for (const QString& expected : {u" (pages 1-3,5 and more).pdf"_s, u" (pages 1-3,5 and more) 2.pdf"_s}) {
            const QString name
                = QFileInfo(reserver.unique(base + u" (pages 1-3,5 and more)"_s, u"pdf"_s, dir.path())).fileName();
            QVERIFY2(QFile::encodeName(name).size() <= 255 && name.endsWith(expected), qPrintable(name));
            QVERIFY(name.startsWith(u"xxx"_s) && !name.contains(QChar::ReplacementCharacter));
            TestFiles::write(dir.filePath(name));
        }
    }

    void fileReadingWordsMatchWholeNames_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("bass") << u"bass=g=3"_s << true;
        QTest::newRow("highpass") << u"highpass=f=200"_s << true;
        QTest::newRow("lowpass and bandpass") << u"lowpass=f=3000,bandpass=f=1000"_s << true;
        QTest::newRow("profile") << u"profile=high"_s << true;
        QTest::newRow("libx264 is no file") << u"libx264"_s << true;
        QTest::newRow("ass") << u"ass=x"_s << false;
        QTest::newRow("ass after a comma") << u"scale=2:2,ass=x"_s << false;
        QTest::newRow("file with instance") << u"x@y=1:file@z = a"_s << false;
        QTest::newRow("subtitles alone") << u"subtitles"_s << false;
        QTest::newRow("zmq upper case") << u"ZMQ"_s << false;
    }

    void fileReadingWordsMatchWholeNames()
    {
        QFETCH(QString, argument);
        QFETCH(bool, accepted);
        QCOMPARE(PlanFactory::checkGeneric(argument, 1).ok(), accepted);
    }

    void encodersOfTheFFmpegInUse_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("listed") << uR"("-c:v","libx264","-c:a","aac")"_s << u"(accepted)"_s;
        QTest::newRow("stream copy") << uR"("-c","copy")"_s << u"(accepted)"_s;
        QTest::newRow("not listed") << uR"("-c:v","libx264","-acodec","libopus")"_s
                                    << u"Step 1 uses the encoder “libopus”, which the ffmpeg on this computer does not "
                                       "have."_s;
        QTest::newRow("another system's") << uR"("-vcodec","h264_videotoolbox")"_s
                                          << u"Step 1 uses the encoder “h264_videotoolbox”, which needs the graphics "
                                             "hardware; only software encoders are available."_s;
        QTest::newRow("listed, but hardware") << uR"("-codec:v:0","h264_nvenc")"_s
                                              << u"Step 1 uses the encoder “h264_nvenc”, which needs the graphics "
                                                 "hardware; only software encoders are available."_s;
    }

    void encodersOfTheFFmpegInUse()
    {
        QFETCH(QString, args);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const TestFiles::ScopedPath path(dir.path());
        QVERIFY(path.writeTools("6.1.2", {u"libx264"_s, u"aac"_s, u"h264_nvenc"_s}));
        FFmpegTools::checkNow();
        QCOMPARE(outcome(uR"({"steps":[{"program":"ffmpeg","args":["-i","{input}",)"_s + args
                         + uR"(,"{output}"],"output":"x.mp4"}]})"_s),
                 message);
    }

    // What a step may write is sized by all it reads, a folder by the files at every depth in it.
    void fileSizeLimitFollowsTheInputs()
    {
        QTemporaryDir dir;
        const auto sparse = [&dir](const QString& name, qint64 megabytes) {
            QDir().mkpath(QFileInfo(dir.filePath(name)).absolutePath());
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(megabytes << 20)); // takes no room on disk
        };
        sparse(u"big/a.wav"_s, 60);
        sparse(u"big/deeper/b.wav"_s, 40);
        sparse(u"other.wav"_s, 50);
        ResolvedStep step;
        step.executable = u"/usr/bin/zip"_s;
        step.inputs = {dir.filePath(u"big"_s), dir.filePath(u"other.wav"_s)};
        step.outputPath = dir.filePath(u"big.zip"_s);
        ResolvedOption option;
        option.tempDir = dir.filePath(u"scratch"_s);
        option.steps = {step};
        QCOMPARE(StepSandbox::policy(option, step, {}).fileSizeLimit,
                 SandboxPolicy::fileSizeLimitFor(qint64(150) << 20));
    }
};

TRELLICK_TEST_MAIN(TestPlanFactory)
#include "tst_planfactory.moc"
