#include "TestMain.h"
#include "plans/StepSandbox.h"
#include "platform/Sandbox.h"

#include <QDir>
#include <QFile>
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
};

TRELLICK_TEST_MAIN(TestStepSandbox)
#include "tst_stepsandbox.moc"
