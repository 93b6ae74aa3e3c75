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
