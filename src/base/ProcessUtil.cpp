#include "ProcessUtil.h"

#include "platform/Sandbox.h"

#include <QProcess>
#include <QStringDecoder>
#include <QtConcurrent>

namespace ProcessUtil {

QString strictUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString() : text;
}

ProcResult run(const QString& program, const QStringList& args, const QString& cwd, std::optional<int> timeoutMs,
               const std::optional<SandboxPolicy>& sandbox)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(args);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!cwd.isEmpty()) {
        process.setWorkingDirectory(cwd);
    }
    if (sandbox) {
        Sandbox(*sandbox).applyTo(process);
    }
    process.start();
    if (!process.waitForStarted(-1)) {
        return {-1, {}, process.errorString()};
    }
    // QProcess reads both pipes while it waits, so a child that floods one stream never blocks.
    if (!process.waitForFinished(timeoutMs.value_or(-1))) {
        process.kill();
        process.waitForFinished(-1);
        return {-1, strictUtf8(process.readAllStandardOutput()),
                QStringLiteral("The program took too long and was stopped.")};
    }
    // On a crash QProcess reports the signal number as the exit code, like a wait status would.
    return {process.exitCode(), strictUtf8(process.readAllStandardOutput()),
            strictUtf8(process.readAllStandardError())};
}

QFuture<ProcResult> capture(const QString& program, const QStringList& args, const QString& cwd,
                            std::optional<int> timeoutMs, const std::optional<SandboxPolicy>& sandbox)
{
    return QtConcurrent::run(
        [program, args, cwd, timeoutMs, sandbox] { return run(program, args, cwd, timeoutMs, sandbox); });
}

} // namespace ProcessUtil
