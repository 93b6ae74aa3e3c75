#include "TestFiles.h"
#include "TestMain.h"
#include "TestPdf.h"
#include "base/AppPaths.h"
#include "exec/RunFolders.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace Qt::StringLiterals;

// The program killed outright in the middle of a long run: no tool outlives it, nothing half-made is left
// under a final name, and the next start removes what the dead run left.
class TestKilledRuns : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_temp; // the killed program's temporary folder

    QString path(const QString& name) const { return m_dir.filePath(name); }

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
        dev.setWorkingDirectory(m_dir.path());
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
        return QDir(m_dir.path()).entryList({u".trellick-*"_s}, QDir::Dirs | QDir::Hidden)
            + QDir(m_temp).entryList({u"Trellick-*"_s}, QDir::Dirs);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_temp = path(u"tmp"_s);
        QVERIFY(QDir().mkpath(m_temp) && QDir().mkpath(AppPaths::binDir()));
        QFile::remove(AppPaths::binDir() + u"/ffmpeg"_s);
        QVERIFY(QFile::link(u"/usr/bin/ffmpeg"_s, AppPaths::binDir() + u"/ffmpeg"_s));
    }

    void killedConversion()
    {
        const QString input = path(u"long.mp4"_s);
        QVERIFY(TestFiles::runTool(u"/usr/bin/ffmpeg"_s,
                                   {u"-v"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                                    u"testsrc=duration=60:size=320x240:rate=25"_s, u"-c:v"_s, u"libx264"_s,
                                    u"-preset"_s, u"ultrafast"_s, input}));
        const QByteArray reply = R"({"options":[{"label":"Bigger","summary":"Scales it up.","warnings":[],
            "result_seconds":60,"steps":[{"program":"ffmpeg","args":["-i","{input}","-vf","scale=1920:1440",
            "-c:v","libx264","-preset","veryslow","{output}"],"output":"long (bigger).mp4","summary":"Scales."}]}]})";
        // Midway: the tool has written part of its result.
        killMidway({u"run-plan"_s, u"--input"_s, input, u"--trusted"_s}, reply, [&] {
            QDirIterator it(m_dir.path(), {u"long (bigger).mp4"_s}, QDir::Files | QDir::Hidden,
                            QDirIterator::Subdirectories);
            return it.hasNext() && it.nextFileInfo().size() > 0;
        });
        // The tool was told to die with the program; the kernel does so at once, but not synchronously.
        QVERIFY(QTest::qWaitFor([] { return processesMentioning(u"long (bigger).mp4"_s).isEmpty(); }, 10000));
        QVERIFY(!QFile::exists(path(u"long (bigger).mp4"_s)));
        QCOMPARE(leftovers().size(), 2);
        QCOMPARE(RunFolders::removeLeftovers(m_temp), 2);
        QCOMPARE(leftovers(), QStringList());
    }

    void killedPagesToPictures()
    {
        TestPdf::write(path(u"thick.pdf"_s), 200);
        killMidway({u"do"_s, u"pdfImages"_s, path(u"thick.pdf"_s)}, {}, [&] {
            QDirIterator it(m_dir.path(), {u"page-*.png"_s}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            return it.hasNext();
        });
        QVERIFY(!QFile::exists(path(u"thick (pages)"_s)));
        // What a killed unpack leaves may lie deeper than one path can name: it goes too.
        const QStringList staging = QDir(m_dir.path()).entryList({u".trellick-*"_s}, QDir::Dirs | QDir::Hidden);
        QCOMPARE(staging.size(), 1);
        const QString deep = QStringList(200, QString(30, u'd')).join(u'/');
        QVERIFY(TestFiles::runTool(u"/bin/mkdir"_s, {u"-p"_s, path(staging.first()) + u'/' + deep}));
        RunFolders::removeLeftovers(m_temp);
        QCOMPARE(leftovers(), QStringList());
    }

    void liveRunsAreLeftAlone()
    {
        // Another run's folders, still locked by it, and folders that merely look alike.
        const QString scratch = m_temp + u"/Trellick-01234567-89AB-CDEF-0123-456789ABCDEF"_s;
        RunFolders live(scratch, m_temp);
        const Result<QString, PlanError> staging = live.stagingIn(m_dir.path());
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

TRELLICK_TEST_MAIN(TestKilledRuns)
#include "tst_killedruns.moc"
