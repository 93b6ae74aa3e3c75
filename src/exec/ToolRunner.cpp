#include "ToolRunner.h"

#include <QTimer>

using namespace Qt::StringLiterals;

ToolRunner::ToolRunner(QObject* parent)
    : QObject(parent)
{
}

RunJob* ToolRunner::run(const ResolvedOption& option, std::optional<double> fallbackDuration, RunJob::Progress progress)
{
    auto* job = new RunJob(option, fallbackDuration, std::move(progress), this);
    m_current = job;
    // Started later so that the caller can connect to finished() even when the run ends at once.
    QTimer::singleShot(0, job, &RunJob::start);
    return job;
}

void ToolRunner::cancel()
{
    if (m_current) {
        m_current->cancel();
    }
}

RunError ToolRunner::failure(const QString& errorText, int status)
{
    static const QString codec = u"This copy of ffmpeg does not include a needed encoder or decoder."_s;
    static const QString exists = u"A file with that name already exists, so nothing was written."_s;
    static const QString missing = u"The tool could not find the file. It may have been moved or renamed."_s;
    static const QString denied = u"macOS did not allow writing there. Check the folder's permissions."_s;
    static const QString damaged = u"The file looks damaged or is not the type it claims to be."_s;
    static const QString misunderstood = u"The tool did not understand the command. Try changing your request."_s;
    // Order matters: the first phrase found decides.
    static const QList<std::pair<QString, QString>> table{
        {u"unknown encoder"_s, codec},          {u"encoder not found"_s, codec},
        {u"unknown decoder"_s, codec},          {u"already exists"_s, exists},
        {u"not overwriting"_s, exists},         {u"no such file"_s, missing},
        {u"permission denied"_s, denied},       {u"operation not permitted"_s, denied},
        {u"invalid data found"_s, damaged},     {u"moov atom not found"_s, damaged},
        {u"invalid argument"_s, misunderstood}, {u"unrecognized option"_s, misunderstood},
        {u"error parsing"_s, misunderstood},    {u"error opening"_s, misunderstood},
    };
    const QString lower = errorText.toLower();
    for (const auto& [phrase, message] : table) {
        if (lower.contains(phrase)) {
            return {message, errorText, message == exists ? ErrorKind::alreadyExists : ErrorKind::failed};
        }
    }
    return {u"The tool stopped with an error (code "_s + QString::number(status) + u")."_s, errorText};
}
