#pragma once

#include "JsonValue.h"

#include <QByteArrayView>
#include <optional>

// A strict RFC 8259 reader for model answers. Unlike QJsonDocument it keeps numbers as written, and it
// is bounded: the text, the nesting depth and the number of values are capped so that a hostile answer
// costs little time and memory. Absent for anything that is not one valid JSON value within the bounds.
namespace JsonReader {

inline constexpr qsizetype maxBytes = 2 * 1024 * 1024;
inline constexpr int maxDepth = 64;
inline constexpr qsizetype maxValues = 200'000;

std::optional<JsonValue> read(QByteArrayView utf8);

} // namespace JsonReader
