#include "TestMain.h"
#include "plans/StepSandbox.h"
#include "platform/Sandbox.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestStepSandbox : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;

    QString path(const QString& name) const { return m_root.filePath(name); }

    // A file of `bytes` that takes no room on disk.
    QString sparse(const QString& name, qint64 bytes)
    {
        QDir().mkpath(QFileInfo(path(name)).absolutePath());
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly) || !file.resize(bytes)) {
            qWarning("could not make %s", qPrintable(name));
        }
        return path(name);
    }

    ResolvedOption option(const ResolvedStep& step) const
    {
        ResolvedOption option;
        option.tempDir = path(u"scratch"_s);
        option.steps = {step};
        return option;
    }

private slots:
    void outputGetsOnlyItsStagingAndScratchFolders()
    {
        // Not the output's folder: that is where the input and its neighbours are.
        ResolvedStep step;
        step.executable = u"/usr/bin/ffmpeg"_s;
        step.inputs = {sparse(u"in/clip.mp4"_s, 1000)};
        step.outputPath = path(u"in/.staging/clip (cut).mp4"_s);
        const SandboxPolicy policy = StepSandbox::policy(option(step), step, path(u"in/.staging"_s));
        QCOMPARE(policy.program, u"/usr/bin/ffmpeg"_s);
        QCOMPARE(policy.readPaths, QStringList{path(u"in/clip.mp4"_s)});
        QCOMPARE(policy.ownFolders, (QStringList{path(u"in/.staging"_s), path(u"scratch"_s)}));
        QCOMPARE(policy.scratchDir, path(u"scratch"_s));
        QCOMPARE(policy.fileSizeLimit, SandboxPolicy::fileSizeFloor);
    }

    void fileSizeLimitFollowsTheInputs()
    {
        ResolvedStep step;
        step.executable = u"/usr/bin/zip"_s;
        sparse(u"big/a.wav"_s, qint64(60) << 20);
        sparse(u"big/deeper/b.wav"_s, qint64(40) << 20);
        step.inputs = {path(u"big"_s), sparse(u"other.wav"_s, qint64(50) << 20)};
        step.outputPath = path(u"big.zip"_s);
        QCOMPARE(StepSandbox::policy(option(step), step, {}).fileSizeLimit,
                 SandboxPolicy::fileSizeLimitFor(qint64(150) << 20));
    }

    void zipOfAFolderWorksConfined()
    {
        // As the plan checker sets it up: zip runs in the input's folder and gets the bare name.
        QFile a(path(u"docs/Taxes/a.txt"_s)), b(path(u"docs/Taxes/sub/b.txt"_s));
        QVERIFY(QDir().mkpath(path(u"docs/Taxes/sub"_s)) && QDir().mkpath(path(u"scratch"_s)));
        QVERIFY(a.open(QIODevice::WriteOnly) && b.open(QIODevice::WriteOnly) && a.write("a") && b.write("b"));
        a.close();
        b.close();
        ResolvedStep step;
        step.executable = u"/usr/bin/zip"_s;
        step.inputs = {path(u"docs/Taxes"_s)};
        QVERIFY(QDir().mkpath(path(u"docs/.staging"_s)));
        step.args = {u"-q"_s, u"-r"_s, path(u"docs/.staging/Taxes.zip"_s), u"Taxes"_s};
        step.cwd = path(u"docs"_s);
        step.outputPath = path(u"docs/.staging/Taxes.zip"_s);
        QProcess zip;
        zip.setProgram(*step.executable);
        zip.setArguments(step.args);
        zip.setWorkingDirectory(*step.cwd);
        Sandbox(StepSandbox::policy(option(step), step, path(u"docs/.staging"_s))).applyTo(zip);
        zip.start();
        QVERIFY(zip.waitForFinished(30000));
        QVERIFY2(zip.exitCode() == 0, zip.readAllStandardError().constData());
        QProcess list;
        list.start(u"unzip"_s, {u"-Z1"_s, step.outputPath});
        QVERIFY(list.waitForFinished(30000));
        QStringList entries = QString::fromUtf8(list.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        entries.sort();
        QCOMPARE(entries, (QStringList{u"Taxes/"_s, u"Taxes/a.txt"_s, u"Taxes/sub/"_s, u"Taxes/sub/b.txt"_s}));
    }
};

TRELLICK_TEST_MAIN(TestStepSandbox)
#include "tst_stepsandbox.moc"
