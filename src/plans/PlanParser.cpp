#include "PlanParser.h"

#include "JsonReader.h"
#include "PlanFactory.h"
#include "PlanJson.h"

using namespace Qt::StringLiterals;

namespace PlanParser {

std::optional<QByteArray> extractJSON(const QString& text)
{
    const qsizetype first = text.indexOf(u'{');
    const qsizetype last = text.lastIndexOf(u'}');
    if (first < 0 || last < 0 || last < first) {
        return std::nullopt;
    }
    return text.sliced(first, last - first + 1).toUtf8();
}

Result<AIPlanResponse, PlanError> parse(const QString& text)
{
    const std::optional<QByteArray> json = extractJSON(text);
    if (!json) {
        return PlanError{u"The answer was not JSON."_s};
    }
    const std::optional<JsonValue> value = JsonReader::read(*json);
    std::optional<AIPlanResponse> response;
    if (value) {
        response = PlanJson::decodeResponse(*value);
    }
    if (!response) {
        return PlanError{u"The answer was JSON but not in the expected shape."_s};
    }
    return *response;
}

Result<QList<ResolvedOption>, PlanError> resolve(const QList<RawOption>& options, const QString& input)
{
    QList<ResolvedOption> resolved;
    std::optional<PlanError> firstError;
    for (const RawOption& option : options) {
        PlanFactory factory;
        Result<ResolvedOption, PlanError> result = factory.resolve(option, input, false);
        if (result.ok()) {
            resolved << result.value();
        } else if (!firstError) {
            firstError = result.error();
        }
    }
    if (resolved.isEmpty()) {
        return firstError.value_or(PlanError{u"The answer had no usable steps."_s});
    }
    return resolved;
}

} // namespace PlanParser
