#pragma once

#include "AIPlanResponse.h"
#include "JsonValue.h"
#include "RawOption.h"

#include <QByteArrayView>
#include <QJsonObject>
#include <optional>

// The plan answer format: lenient decoding of what a model writes, and the encoding of an option for
// the history file. Keys are "label", "summary", "warnings", "result_seconds", "steps" for an option
// and "program", "args", "output", "summary" for a step; any other key is ignored.
namespace PlanJson {

// Fails only when the value is not an object; the worst outcome otherwise is no error and no options.
std::optional<AIPlanResponse> decodeResponse(const JsonValue& json);
std::optional<RawOption> decodeOption(const JsonValue& json);
std::optional<RawStep> decodeStep(const JsonValue& json);

// An option as stored in the history: "result_seconds" only when known; isFolder is never written.
QJsonObject encode(const RawOption& option);
QJsonObject encode(const RawStep& step);
// Reads back what encode wrote (or any option object), with the same lenient rules as an answer.
std::optional<RawOption> decodeOption(QByteArrayView json);

} // namespace PlanJson
