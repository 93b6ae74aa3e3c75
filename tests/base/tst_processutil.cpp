#include "TestMain.h"
#include "base/ProcessUtil.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestProcessUtil : public QObject
{
    Q_OBJECT

private slots:
    void missingProgramGivesMinusOneAndTheSystemsWords()
    {
        const ProcResult r = ProcessUtil::capture(u"/nonexistent/tool"_s, {}).result();
        QCOMPARE(r.status, -1);
        QVERIFY(r.out.isEmpty());
        QVERIFY(!r.err.isEmpty());
    }

    void floodingBothStreamsDoesNotDeadlock()
    {
        // 8 MB on standard error and 3 MB on standard output: far beyond any pipe buffer.
        const ProcResult r
            = ProcessUtil::capture(
                  u"/bin/sh"_s,
                  {u"-c"_s,
                   u"head -c 8000000 /dev/zero | tr '\\0' e >&2; head -c 3000000 /dev/zero | tr '\\0' o; exit 3"_s})
                  .result();
        QCOMPARE(r.status, 3);
        QCOMPARE(r.err.size(), 8000000);
        QCOMPARE(r.out.size(), 3000000);
        QVERIFY(r.err.count(u'e') == 8000000);
    }

    void invalidUtf8GivesAnEmptyText()
    {
        const ProcResult r = ProcessUtil::capture(u"/usr/bin/printf"_s, {u"\\377\\376ok"_s}).result();
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QString());
        const ProcResult good = ProcessUtil::capture(u"/usr/bin/printf"_s, {u"gr\\303\\274n"_s}).result();
        QCOMPARE(good.out, u"grün"_s);
    }

    void workingFolderIsUsed()
    {
        QTemporaryDir dir;
        const ProcResult r = ProcessUtil::capture(u"/bin/pwd"_s, {}, dir.path()).result();
        QCOMPARE(r.out.trimmed(), QFileInfo(dir.path()).canonicalFilePath());
    }

    void standardInputIsTheNullDevice()
    {
        // cat would wait forever on an inherited terminal or pipe.
        const ProcResult r = ProcessUtil::capture(u"/bin/cat"_s, {}, {}, 10000).result();
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QString());
    }

    void sandboxedChildReadsOnlyWhatItWasGiven()
    {
        QTemporaryDir dir;
        const QString given = dir.filePath(u"given.txt"_s), other = dir.filePath(u"other.txt"_s);
        QVERIFY(QFile(given).open(QIODevice::WriteOnly) && QFile(other).open(QIODevice::WriteOnly));
        SandboxPolicy policy;
        policy.program = u"/bin/cat"_s;
        policy.readPaths = {given};
        const ProcResult allowed = ProcessUtil::capture(u"/bin/cat"_s, {given}, {}, 10000, policy).result();
        QCOMPARE(allowed.status, 0);
        const ProcResult refused = ProcessUtil::capture(u"/bin/cat"_s, {other}, {}, 10000, policy).result();
        QCOMPARE(refused.status, 1);
        QVERIFY2(refused.err.contains(u"Permission denied"_s), qPrintable(refused.err));
    }

    void timeLimitStopsAHangingChild()
    {
        QElapsedTimer timer;
        timer.start();
        const ProcResult r = ProcessUtil::capture(u"/bin/sleep"_s, {u"30"_s}, {}, 300).result();
        QCOMPARE(r.status, -1);
        QVERIFY(timer.elapsed() < 10000);
    }

    void callerThreadKeepsRunning()
    {
        QFuture<ProcResult> future = ProcessUtil::capture(u"/bin/sleep"_s, {u"0.3"_s});
        QVERIFY(!future.isFinished());
        QCOMPARE(future.result().status, 0);
    }

    void signalledChildReportsTheSignal()
    {
        const ProcResult r = ProcessUtil::capture(u"/bin/sh"_s, {u"-c"_s, u"kill -TERM $$"_s}).result();
        QCOMPARE(r.status, 15);
    }
};

TRELLICK_TEST_MAIN(TestProcessUtil)
#include "tst_processutil.moc"
