#pragma once

#include "AIEndpoints.h"
#include "AIError.h"
#include "base/Result.h"
#include "net/HttpRequest.h"
#include "net/HttpResponse.h"

#include <QList>
#include <QString>

// The requests and answers of the OpenRouter API. The jobs that talk to it (OpenRouterModelsJob,
// OpenRouterCompleteJob) build and read their exchanges with these functions.
namespace OpenRouterClient {

// One free model as the request loop needs it.
struct ModelInfo
{
    QString id;
    bool supportsJSON = false;
    qint64 created = 0;

    bool operator==(const ModelInfo&) const = default;
};

inline constexpr int maxModelsTried = 6;
inline constexpr double temperature = 0.2;

HttpRequest modelsRequest(const AIEndpoints& endpoints);
// The free, text-producing models of a model list, those that accept a forced JSON answer first, newer
// before older.
Result<QList<ModelInfo>, AIError> freeModels(const HttpResponse& response);

HttpRequest chatRequest(const AIEndpoints& endpoints, const QString& apiKey, const QString& model,
                        const QString& system, const QString& user, bool json);
// The answer text of one chat completion, untrimmed.
Result<QString, AIError> chatAnswer(const HttpResponse& response);

} // namespace OpenRouterClient
