#pragma once

#include "AIEndpoints.h"
#include "AIError.h"
#include "Http.h"
#include "OpenRouterClient.h"
#include "base/Result.h"

#include <QObject>

using FreeModelsOutcome = Result<QList<OpenRouterClient::ModelInfo>, AIError>;

// Fetches OpenRouter's current free models, in the order they would be tried. Needs no key.
class OpenRouterModelsJob : public QObject
{
    Q_OBJECT

public:
    explicit OpenRouterModelsJob(const AIEndpoints& endpoints, QObject* parent = nullptr);

    void start();
    void cancel();

signals:
    void finished(const FreeModelsOutcome& outcome);

private:
    enum class Step { idle, listing, done };

    void finish(const FreeModelsOutcome& outcome);

    AIEndpoints m_endpoints;
    Http m_http;
    Step m_step = Step::idle;
};
