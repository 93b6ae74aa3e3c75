#include "HistoryEntry.h"

#include "plans/PlanJson.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

// An internet date-time with whole seconds: fractional seconds and other shapes are refused.
const QRegularExpression& datePattern()
{
    static const QRegularExpression pattern(u"\\A\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(Z|[+-]\\d{2}:\\d{2})\\z"_s);
    return pattern;
}

const QRegularExpression& uuidPattern()
{
    static const QRegularExpression pattern(
        u"\\A[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\\z"_s);
    return pattern;
}

std::optional<QString> stringAt(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString()) {
        return std::nullopt;
    }
    return value.toString();
}

} // namespace

QJsonObject HistoryEntry::toJson() const
{
    QDateTime utc = date.toUTC();
    utc.setTime(QTime(utc.time().hour(), utc.time().minute(), utc.time().second()));
    QJsonObject object{
        {u"id"_s, id.toString(QUuid::WithoutBraces).toUpper()},
        {u"date"_s, utc.toString(Qt::ISODate)},
        {u"fileName"_s, fileName},
        {u"inputPath"_s, inputPath},
        {u"request"_s, request},
        {u"command"_s, command},
        {u"result"_s, result},
    };
    if (option) {
        object.insert(u"option"_s, PlanJson::encode(*option));
    }
    return object;
}

std::optional<HistoryEntry> HistoryEntry::fromJson(const QJsonValue& value)
{
    if (!value.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = value.toObject();
    const auto id = stringAt(object, u"id"_s);
    const auto date = stringAt(object, u"date"_s);
    const auto fileName = stringAt(object, u"fileName"_s);
    const auto inputPath = stringAt(object, u"inputPath"_s);
    const auto request = stringAt(object, u"request"_s);
    const auto command = stringAt(object, u"command"_s);
    const auto result = stringAt(object, u"result"_s);
    if (!id || !date || !fileName || !inputPath || !request || !command || !result) {
        return std::nullopt;
    }
    if (!uuidPattern().match(*id).hasMatch() || !datePattern().match(*date).hasMatch()) {
        return std::nullopt;
    }
    const QDateTime when = QDateTime::fromString(*date, Qt::ISODate);
    if (!when.isValid()) {
        return std::nullopt;
    }
    HistoryEntry entry{QUuid::fromString(*id), when.toUTC(), *fileName, *inputPath, *request, *command, *result, {}};
    const QJsonValue option = object.value(u"option"_s);
    if (!option.isUndefined() && !option.isNull()) {
        // The plan format's own reader, with its lenient rules; a value that is not an option fails.
        entry.option
            = option.isObject() ? PlanJson::decodeOption(QJsonDocument(option.toObject()).toJson()) : std::nullopt;
        if (!entry.option) {
            return std::nullopt;
        }
    }
    return entry;
}
