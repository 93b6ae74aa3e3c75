#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <optional>

// Which AI answers; stored by its raw value.
enum class AIProviderKind { openRouter, ollama, apple };

namespace AIProviderKinds {

QList<AIProviderKind> all();
QString rawValue(AIProviderKind kind);
// Exact, case-sensitive match of a stored raw value; anything else maps to no case.
std::optional<AIProviderKind> fromRawValue(const QString& raw);

} // namespace AIProviderKinds

Q_DECLARE_METATYPE(AIProviderKind)
