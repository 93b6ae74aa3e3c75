#include "ToolFailure.h"

#include <QList>
#include <cmath>
#include <csignal>

using namespace Qt::StringLiterals;

namespace ToolFailure {

RunError describe(const QString& errorText, int status, const std::function<qint64()>& fileSizeLimit)
{
    static const QString diskFull = u"There is not enough free space on the disk for the new file."_s;
    static const QString codec = u"This copy of ffmpeg does not include a needed encoder or decoder."_s;
    static const QString exists = u"A file with that name already exists, so nothing was written."_s;
    static const QString missing = u"The tool could not find the file. It may have been moved or renamed."_s;
    static const QString denied = u"The system did not allow writing there. Check the folder's permissions."_s;
    static const QString damaged = u"The file looks damaged or is not the type it claims to be."_s;
    static const QString list = u"That file is a list of other files, not a video or audio file."_s;
    static const QString tooDeep = u"That archive has folders nested too deeply to unpack."_s;
    static const QString misunderstood = u"The tool did not understand the command. Try changing your request."_s;
    // Order matters: the first phrase found decides.
    static const QList<std::pair<QString, QString>> table{
        {u"unknown encoder"_s, codec},          {u"encoder not found"_s, codec},
        {u"unknown decoder"_s, codec},          {u"already exists"_s, exists},
        {u"not overwriting"_s, exists},         {u"no such file"_s, missing},
        {u"permission denied"_s, denied},       {u"operation not permitted"_s, denied},
        {u"not on whitelist"_s, list},          {u"nested too deeply"_s, tooDeep},
        {u"invalid data found"_s, damaged},     {u"moov atom not found"_s, damaged},
        {u"invalid argument"_s, misunderstood}, {u"unrecognized option"_s, misunderstood},
        {u"error parsing"_s, misunderstood},    {u"error opening"_s, misunderstood},
    };
    const QString lower = errorText.toLower();
    // Killed by the file-size limit (the signal's number stands in for the status), or told so.
    if (status == SIGXFSZ || lower.contains(u"file too large"_s)) {
        const double gigabytes = double(fileSizeLimit()) / double(qint64(1) << 30);
        const QString amount = gigabytes >= 10 || gigabytes == std::floor(gigabytes)
            ? QString::number(qRound64(gigabytes))
            : QString::number(gigabytes, 'f', 1);
        return {u"The result grew larger than the limit for one file ("_s + amount + u" GB), so it was stopped."_s,
                errorText};
    }
    if (lower.contains(u"no space left on device"_s) || lower.contains(u"disk full"_s)) {
        return {diskFull, errorText};
    }
    for (const auto& [phrase, message] : table) {
        if (lower.contains(phrase)) {
            return {message, errorText, message == exists ? ErrorKind::alreadyExists : ErrorKind::failed};
        }
    }
    return {u"The tool stopped with an error (code "_s + QString::number(status) + u")."_s, errorText};
}

} // namespace ToolFailure
