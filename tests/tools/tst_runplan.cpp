#include "StandIns.h"
#include "TestMain.h"
#include "TestMedia.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// trellick-dev run-plan: a model's reply checked and carried out by the real runner, with the real tools.
class TestRunPlan : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    struct Run
    {
        int status = -1;
        QString out;
    };

    static Run runPlan(const QString& input, const QByteArray& reply, bool trusted = false)
    {
        QStringList args{u"run-plan"_s, u"--input"_s, input};
        if (trusted) {
            args << u"--trusted"_s;
        }
        QProcess process;
        process.start(StandIns::path(u"trellick-dev"_s), args);
        process.write(reply);
        process.closeWriteChannel();
        if (!process.waitForFinished(120000)) {
            process.kill();
            return {};
        }
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput())};
    }

    static double duration(const QString& path)
    {
        return StandIns::output(
                   u"ffprobe"_s,
                   {u"-v"_s, u"error"_s, u"-show_entries"_s, u"format=duration"_s, u"-of"_s, u"csv=p=0"_s, path})
            .toDouble();
    }

private slots:
    void trimsAVideo()
    {
        const QString input = m_dir.filePath(u"talk.mp4"_s);
        QVERIFY(TestMedia::videoMp4(input));
        QVERIFY(TestMedia::installTool(u"ffmpeg"_s)); // the run flow downloads it; here Debian's stands in
        const QByteArray reply = R"j(Here is a plan:
```json
{"options":[{"label":"Trim","summary":"Keeps the first second.","steps":[{"program":"ffmpeg",
 "args":["-i","{input}","-t","1","-c:v","libx264","-c:a","aac","{output}"],"output":"talk (trimmed).mp4"}]}]}
```)j";
        const Run run = runPlan(input, reply);
        const QString output = m_dir.filePath(u"talk (trimmed).mp4"_s);
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.contains(u"Output: "_s + output), qPrintable(run.out));
        QVERIFY(run.out.contains(u"% "_s)); // ffmpeg's progress became fractions
        QVERIFY(duration(output) > 0.5 && duration(output) < 1.5);
        QVERIFY(duration(input) > 1.5);
    }

    // A title in a font fontconfig finds among the system's fonts, drawn by the confined step.
    void drawsATitle()
    {
        const QString input = m_dir.filePath(u"trip.mp4"_s);
        QVERIFY(TestMedia::videoMp4(input));
        QVERIFY(TestMedia::installTool(u"ffmpeg"_s));
        const QByteArray reply = R"j({"steps":[{"program":"ffmpeg","args":["-i","{input}","-vf",
 "drawtext=font=Sans:text='My Holiday\\: Day 1':fontsize=32:fontcolor=white:x=(w-text_w)/2:y=(h-text_h)/2",
 "-c:a","copy","{output}"],"output":"trip (title).mp4"}]})j";
        const Run run = runPlan(input, reply);
        QVERIFY2(run.status == 0, qPrintable(run.out));
        QVERIFY(qAbs(duration(m_dir.filePath(u"trip (title).mp4"_s)) - duration(input)) < 0.1);
    }

    void runsTheStandIns_data()
    {
        QTest::addColumn<QString>("maker");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("checker");
        QTest::addColumn<QStringList>("checkArgs");
        QTest::addColumn<QString>("expected");

        QTest::newRow("sips") << u"photo.jpg"_s
                              << QByteArray(
                                     R"j({"steps":[{"program":"sips","args":["-s","format","png","--resampleWidth",40,
                                    "{input}","-o","{output}"],"output":"photo.png"}]})j")
                              << u"photo.png"_s << u"vipsheader"_s << QStringList{u"-f"_s, u"width"_s} << u"40"_s;
        QTest::newRow("afconvert")
            << u"voice.wav"_s << QByteArray(R"j({"steps":[{"program":"afconvert","args":["-f","m4af","-d","aac","-b",
                                         128000,"{input}","{output}"],"output":"voice.m4a"}]})j")
            << u"voice.m4a"_s << u"ffprobe"_s
            << QStringList{u"-v"_s, u"error"_s, u"-show_entries"_s, u"stream=codec_name"_s, u"-of"_s, u"csv=p=0"_s}
            << u"aac"_s;
    }

    void runsTheStandIns()
    {
        QFETCH(QString, maker);
        QFETCH(QByteArray, reply);
        QFETCH(QString, output);
        QFETCH(QString, checker);
        QFETCH(QStringList, checkArgs);
        QFETCH(QString, expected);
        const QString input = m_dir.filePath(maker);
        QVERIFY(maker.endsWith(u".wav"_s) ? TestMedia::wav(input) : TestMedia::picture(input, 80, 60));
        const Run run = runPlan(input, reply);
        QVERIFY2(run.status == 0, qPrintable(run.out));
        QCOMPARE(StandIns::output(checker, checkArgs << m_dir.filePath(output)), expected);
    }
};

TRELLICK_TEST_MAIN(TestRunPlan)
#include "tst_runplan.moc"
