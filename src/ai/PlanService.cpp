#include "PlanService.h"

#include "plans/PlanParser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace PlanService {

bool isUsablePlan(const QString& text)
{
    const ::Result<AIPlanResponse, PlanError> parsed = PlanParser::parse(text);
    return parsed.ok() && (!parsed.value().options.isEmpty() || parsed.value().error.has_value());
}

QString retryMessage(const QString& user, const QString& reason)
{
    return user + u"\n\nYour previous answer was rejected: "_s + reason
        + u"\nTry again, follow the rules exactly, and reply with JSON only."_s;
}

std::optional<QStringList> parseNames(const QString& text)
{
    const std::optional<QByteArray> json = PlanParser::extractJSON(text);
    if (!json) {
        return std::nullopt;
    }
    const QJsonValue names = QJsonDocument::fromJson(*json).object().value(u"names"_s);
    if (!names.isArray()) {
        return std::nullopt;
    }
    QStringList result;
    for (const QJsonValue& name : names.toArray()) {
        if (!name.isString()) {
            return std::nullopt;
        }
        result.append(name.toString());
    }
    return result;
}

AIError notUsable(const AIChannel& channel)
{
    if (channel.kind == AIProviderKind::apple) {
        return {u"The Apple on-device model did not answer in the expected format. Try again."_s};
    }
    return {channel.ollamaModel + u" did not answer in the expected format. Try again or pick another model."_s};
}

} // namespace PlanService
