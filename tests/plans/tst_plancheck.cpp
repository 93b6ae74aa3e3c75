#include "TestFiles.h"
#include "TestMain.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// trellick-dev plan-check, run as a developer runs it.
class TestPlanCheck : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    int check(const QStringList& args, const QByteArray& reply, QString& out)
    {
        QProcess process;
        process.start(QCoreApplication::applicationDirPath() + u"/trellick-dev"_s, QStringList{u"plan-check"_s} + args);
        process.write(reply);
        process.closeWriteChannel();
        if (!process.waitForFinished(60000)) {
            return -1;
        }
        out = QString::fromUtf8(process.readAllStandardOutput());
        return process.exitCode();
    }

private slots:
    void printsEachAcceptedOption()
    {
        const QString input = TestFiles::write(m_dir.filePath(u"clip.mp4"_s));
        QString out;
        const QByteArray reply = R"(Sure: {"options":[
            {"label":"Fast","steps":[{"program":"ffmpeg","args":["-ss",5,"-i","{input}","-c","copy","{output}"],"output":"clip (cut).mp4"}]},
            {"label":"Bad","steps":[{"program":"bash","args":["x"],"output":"x.mp4"}]},
            {"label":"Zip","steps":[{"program":"zip","args":["-r","-X","{output}","{input}"],"output":"clip.zip"}]}]})";
        QCOMPARE(check({u"--input"_s, input}, reply, out), 0);
        const QString cut = m_dir.filePath(u"clip (cut).mp4"_s);
        QCOMPARE(out,
                 u"Fast\nffmpeg -hide_banner -n -nostdin -ss 5 -i "_s + input + u" -c copy '"_s + cut + u"'\nOutput: "_s
                     + cut + u"\n\nZip\ncd "_s + m_dir.path() + u" && zip -r -X "_s + m_dir.filePath(u"clip.zip"_s)
                     + u" clip.mp4\nOutput: "_s + m_dir.filePath(u"clip.zip"_s) + u"\n"_s);
    }

    void printsTheRefusalAlone()
    {
        QString out;
        QCOMPARE(check({u"--input"_s, m_dir.filePath(u"clip.mp4"_s)}, "no plan here", out), 1);
        QCOMPARE(out, u"The answer was not JSON.\n"_s);
        QCOMPARE(check({u"--input"_s}, "{}", out), 2);
        // Only the application's own plans may use tar.
        const QByteArray tar
            = R"({"steps":[{"program":"tar","args":["-xf","{input}","-C","{output}"],"output":"clip.zip"}]})";
        QCOMPARE(check({u"--input"_s, m_dir.filePath(u"clip.mp4"_s)}, tar, out), 1);
        QCOMPARE(check({u"--trusted"_s, u"--input"_s, m_dir.filePath(u"clip.mp4"_s)}, tar, out), 0);
    }
};

TRELLICK_TEST_MAIN(TestPlanCheck)
#include "tst_plancheck.moc"
