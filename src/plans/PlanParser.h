#pragma once

#include "AIPlanResponse.h"
#include "PlanError.h"
#include "RawOption.h"
#include "ResolvedOption.h"
#include "base/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// From a model's reply to checked options.
namespace PlanParser {

// The UTF-8 text from the first "{" through the last "}", or absent. No other cleaning: prose and code
// fences around one object fall away, two objects stay two (and then fail to decode).
std::optional<QByteArray> extractJSON(const QString& text);

// "The answer was not JSON." without braces, "The answer was JSON but not in the expected shape." when
// the cut-out text is not one JSON object (or exceeds the reader's bounds). Does not look at the
// model's error or at whether there are options.
Result<AIPlanResponse, PlanError> parse(const QString& text);

// Resolves every option on its own factory (own scratch folder, own names), untrusted. Keeps the ones
// that pass, in order; when none does, fails with the first refusal, or "The answer had no usable
// steps." when there were no options.
Result<QList<ResolvedOption>, PlanError> resolve(const QList<RawOption>& options, const QString& input);

} // namespace PlanParser
