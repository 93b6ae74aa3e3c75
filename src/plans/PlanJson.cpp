#include "PlanJson.h"

#include "JsonReader.h"
#include "LenientString.h"

#include <QJsonArray>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

bool isAbsent(const JsonValue* value)
{
    return value == nullptr || value->type == JsonValue::Type::Null;
}

// An optional string member: absent or null keeps the default, another type is a failure.
bool optionalString(const JsonValue& object, QStringView key, QString& out)
{
    const JsonValue* value = object.member(key);
    if (isAbsent(value)) {
        return true;
    }
    if (value->type != JsonValue::Type::String) {
        return false;
    }
    out = value->text;
    return true;
}

// An optional array member: absent or null gives nullptr (the default), a non-array is a failure.
bool optionalArray(const JsonValue& object, QStringView key, const JsonValue*& out)
{
    const JsonValue* value = object.member(key);
    out = nullptr;
    if (isAbsent(value)) {
        return true;
    }
    if (value->type != JsonValue::Type::Array) {
        return false;
    }
    out = value;
    return true;
}

std::optional<double> seconds(const JsonValue& object)
{
    const JsonValue* value = object.member(u"result_seconds");
    if (value == nullptr || value->type != JsonValue::Type::Number) {
        return std::nullopt;
    }
    bool ok = false;
    const double number = value->text.toDouble(&ok);
    if (!ok || !std::isfinite(number)) {
        return std::nullopt;
    }
    return number;
}

} // namespace

namespace PlanJson {

std::optional<RawStep> decodeStep(const JsonValue& json)
{
    if (json.type != JsonValue::Type::Object) {
        return std::nullopt;
    }
    RawStep step;
    const JsonValue* args = nullptr;
    if (!optionalString(json, u"program", step.program) || !optionalString(json, u"output", step.output)
        || !optionalString(json, u"summary", step.summary) || !optionalArray(json, u"args", args)) {
        return std::nullopt;
    }
    if (args != nullptr) {
        for (const JsonValue& element : args->items) {
            const std::optional<LenientString> arg = LenientString::decode(element);
            if (!arg) {
                return std::nullopt;
            }
            step.args << arg->value;
        }
    }
    step.isFolder = false;
    return step;
}

std::optional<RawOption> decodeOption(const JsonValue& json)
{
    if (json.type != JsonValue::Type::Object) {
        return std::nullopt;
    }
    RawOption option;
    option.label = u"Suggested"_s;
    const JsonValue* warnings = nullptr;
    const JsonValue* steps = nullptr;
    if (!optionalString(json, u"label", option.label) || !optionalString(json, u"summary", option.summary)
        || !optionalArray(json, u"warnings", warnings) || !optionalArray(json, u"steps", steps)) {
        return std::nullopt;
    }
    if (warnings != nullptr) {
        for (const JsonValue& warning : warnings->items) {
            if (warning.type != JsonValue::Type::String) {
                return std::nullopt;
            }
            option.warnings << warning.text;
        }
    }
    option.resultSeconds = seconds(json);
    if (steps != nullptr) {
        for (const JsonValue& element : steps->items) {
            std::optional<RawStep> step = decodeStep(element);
            if (!step) {
                return std::nullopt;
            }
            option.steps << *step;
        }
    }
    return option;
}

std::optional<AIPlanResponse> decodeResponse(const JsonValue& json)
{
    if (json.type != JsonValue::Type::Object) {
        return std::nullopt;
    }
    AIPlanResponse response;
    const JsonValue* error = json.member(u"error");
    if (error != nullptr && error->type == JsonValue::Type::String) {
        response.error = error->text;
    }
    const JsonValue* options = json.member(u"options");
    if (options != nullptr && options->type == JsonValue::Type::Array) {
        QList<RawOption> decoded;
        bool whole = true;
        for (const JsonValue& element : options->items) {
            std::optional<RawOption> option = decodeOption(element);
            if (!option) {
                whole = false;
                break;
            }
            decoded << *option;
        }
        if (whole && !decoded.isEmpty()) {
            response.options = decoded;
            return response;
        }
    }
    // A bare option object without the "options" wrapper.
    std::optional<RawOption> bare = decodeOption(json);
    if (bare && !bare->steps.isEmpty()) {
        response.options << *bare;
    }
    return response;
}

QJsonObject encode(const RawStep& step)
{
    return QJsonObject{
        {u"program"_s, step.program},
        {u"args"_s, QJsonArray::fromStringList(step.args)},
        {u"output"_s, step.output},
        {u"summary"_s, step.summary},
    };
}

QJsonObject encode(const RawOption& option)
{
    QJsonArray steps;
    for (const RawStep& step : option.steps) {
        steps.append(encode(step));
    }
    QJsonObject object{
        {u"label"_s, option.label},
        {u"summary"_s, option.summary},
        {u"warnings"_s, QJsonArray::fromStringList(option.warnings)},
        {u"steps"_s, steps},
    };
    if (option.resultSeconds) {
        object.insert(u"result_seconds"_s, *option.resultSeconds);
    }
    return object;
}

std::optional<RawOption> decodeOption(QByteArrayView json)
{
    const std::optional<JsonValue> value = JsonReader::read(json);
    if (!value) {
        return std::nullopt;
    }
    return decodeOption(*value);
}

} // namespace PlanJson
