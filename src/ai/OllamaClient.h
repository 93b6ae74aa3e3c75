#pragma once

#include "AIEndpoints.h"
#include "AIError.h"
#include "base/Result.h"
#include "net/HttpRequest.h"
#include "net/HttpResponse.h"

#include <QStringList>

// The requests and answers of a local Ollama server, for OllamaChatJob and OllamaModelsJob.
namespace OllamaClient {

// One non-streamed answer in JSON mode, for plans and names alike.
HttpRequest chatRequest(const AIEndpoints& endpoints, const QString& model, const QString& system, const QString& user);
// The answer text, untrimmed.
Result<QString, AIError> chatAnswer(const HttpResponse& response);

HttpRequest modelsRequest(const AIEndpoints& endpoints);
// The names of the pulled models in ascending order; an empty list when none is pulled.
Result<QStringList, AIError> modelNames(const HttpResponse& response);

} // namespace OllamaClient
