#pragma once

#include <QObject>

namespace AIProviderKinds {
Q_NAMESPACE

// Which AI answers; stored by its raw value, the case name.
enum class AIProviderKind { openRouter, ollama, apple };
Q_ENUM_NS(AIProviderKind)

} // namespace AIProviderKinds

using AIProviderKinds::AIProviderKind;
