#include "StepSandbox.h"

#include <QDirIterator>
#include <QFileInfo>

namespace {

// Regular files only, symbolic links not followed: what a tool reading the input could really copy.
qint64 sizeOf(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isDir()) {
        return info.size();
    }
    qint64 total = 0;
    QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        total += it.nextFileInfo().size();
    }
    return total;
}

} // namespace

namespace StepSandbox {

SandboxPolicy policy(const ResolvedOption& option, const ResolvedStep& step, const QString& stagingDir)
{
    SandboxPolicy policy;
    policy.program = step.executable.value_or(QString());
    policy.readPaths = step.inputs;
    if (!stagingDir.isEmpty()) {
        policy.ownFolders << stagingDir;
    }
    if (option.tempDir) {
        policy.scratchDir = *option.tempDir;
        policy.ownFolders << *option.tempDir;
    }
    qint64 inputBytes = 0;
    for (const QString& input : step.inputs) {
        inputBytes += sizeOf(input);
    }
    policy.fileSizeLimit = SandboxPolicy::fileSizeLimitFor(inputBytes);
    return policy;
}

} // namespace StepSandbox
