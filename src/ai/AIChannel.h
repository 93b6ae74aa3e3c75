#pragma once

#include "AIProviderKind.h"

#include <QString>

// The provider and its credentials for one request, built by the settings before every request.
struct AIChannel
{
    AIProviderKind kind = AIProviderKind::openRouter;
    QString apiKey; // OpenRouter only
    QString ollamaModel; // Ollama only

    bool operator==(const AIChannel&) const = default;
};
