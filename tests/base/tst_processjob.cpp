#include "TestMain.h"
#include "base/ProcessJob.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Runs a shell script through a job whose outputs are capped at `cap` bytes.
ProcResult capped(int cap, const QString& script)
{
    ProcessJob job;
    job.setOutputCap(cap);
    QSignalSpy finished(&job, &ProcessJob::finished);
    job.start(u"/bin/sh"_s, {u"-c"_s, script});
    return finished.wait(30000) ? finished.first().first().value<ProcResult>() : ProcResult{};
}

} // namespace

class TestProcessJob : public QObject
{
    Q_OBJECT

private slots:
    void missingProgramFinishesLaterWithTheSystemsWords()
    {
        ProcessJob job;
        QSignalSpy finished(&job, &ProcessJob::finished);
        job.start(u"/nonexistent/tool"_s, {});
        QCOMPARE(finished.size(), 0); // never from inside start()
        QVERIFY(finished.wait(10000));
        // The system's words, without the name of the call that failed.
        QCOMPARE(finished.first().first().value<ProcResult>(), (ProcResult{-1, {}, qt_error_string(ENOENT)}));
        QVERIFY(!finished.wait(100)); // and only once
    }

    void floodingBothStreamsDoesNotDeadlock()
    {
        // 8 MB on standard error and 3 MB on standard output: far beyond any pipe buffer.
        const ProcResult r = ProcessJob::runBlocking(
            u"/bin/sh"_s,
            {u"-c"_s, u"head -c 8000000 /dev/zero | tr '\\0' e >&2; head -c 3000000 /dev/zero | tr '\\0' o; exit 3"_s});
        QCOMPARE(r, (ProcResult{3, QString(3000000, u'o'), QString(8000000, u'e')}));
    }

    void outputsAreCutAtTheCap()
    {
        // The error output ends with the words that say what went wrong: its end is what is kept.
        const ProcResult r = capped(1000, u"seq 100000; seq 100000 >&2; echo 'the real error' >&2"_s);
        QVERIFY(r.cut);
        QCOMPARE(r.out.size(), 1000);
        QVERIFY(r.out.startsWith(u"1\n2\n3\n"_s));
        QVERIFY(r.err.size() <= 1000);
        QVERIFY(r.err.endsWith(u"100000\nthe real error\n"_s));
    }

    void cuttingKeepsTheTextDecodable()
    {
        // Two-byte characters: a tail of 1001 bytes would start inside one.
        QCOMPARE(capped(1001, u"for i in $(seq 2000); do printf 'ü'; done >&2"_s).err, QString(500, u'ü'));
    }

    void invalidUtf8GivesAnEmptyText()
    {
        QCOMPARE(ProcessJob::runBlocking(u"/usr/bin/printf"_s, {u"\\377\\376ok"_s}), ProcResult());
        QCOMPARE(ProcessJob::runBlocking(u"/usr/bin/printf"_s, {u"gr\\303\\274n"_s}).out, u"grün"_s);
    }

    void workingFolderAndNullInput()
    {
        QTemporaryDir dir;
        QCOMPARE(ProcessJob::runBlocking(u"/bin/pwd"_s, {}, dir.path()).out.trimmed(),
                 QFileInfo(dir.path()).canonicalFilePath());
        // cat would wait forever on an inherited terminal or pipe.
        QCOMPARE(ProcessJob::runBlocking(u"/bin/cat"_s, {}, {}, 10000), ProcResult());
    }

    void deadlineStopsAHangingChild()
    {
        QCOMPARE(ProcessJob::runBlocking(u"/bin/sleep"_s, {u"600"_s}, {}, 300),
                 (ProcResult{-1, {}, u"The program took too long and was stopped."_s}));
    }

    void cancelTerminatesThenKills()
    {
        for (const QString& script : {u"exec sleep 600"_s, u"trap '' TERM; echo ready; while :; do sleep 1; done"_s}) {
            ProcessJob job;
            QSignalSpy read(&job, &ProcessJob::outputRead);
            QSignalSpy finished(&job, &ProcessJob::finished);
            job.start(u"/bin/sh"_s, {u"-c"_s, script});
            // The second child has set up its trap once it says so.
            QVERIFY(script.startsWith(u"exec"_s) || read.wait(10000));
            job.cancel();
            QVERIFY(finished.wait(30000));
            const int status = finished.first().first().value<ProcResult>().status;
            QCOMPARE(status, script.startsWith(u"exec"_s) ? 15 : 9);
        }
    }
};

TRELLICK_TEST_MAIN(TestProcessJob)
#include "tst_processjob.moc"
