#include "StandIns.h"

#include "base/ProcessJob.h"

#include <QCoreApplication>

namespace StandIns {

QString path(const QString& name)
{
    return QCoreApplication::applicationDirPath() + u'/' + name;
}

ProcResult run(const QString& name, const QStringList& args)
{
    // The sanitizer build's leak report would land on standard error of every run.
    qputenv("ASAN_OPTIONS", "detect_leaks=0");
    return ProcessJob::runBlocking(path(name), args, {}, 120000);
}

bool refused(const ProcResult& result, const QString& prefix, const QString& words)
{
    return result.status != 0 && result.err.startsWith(prefix) && result.err.count(u'\n') == 1
        && result.err.contains(words);
}

QString output(const QString& program, const QStringList& args)
{
    const ProcResult result = ProcessJob::runBlocking(program, args, {}, 120000);
    if (result.status != 0) {
        qWarning("%s failed: %s", qPrintable(program), qPrintable(result.err));
        return {};
    }
    return result.out.trimmed();
}

} // namespace StandIns
