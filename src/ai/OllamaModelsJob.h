#pragma once

#include "AIEndpoints.h"
#include "AIError.h"
#include "Http.h"
#include "base/Result.h"

#include <QObject>
#include <QStringList>

using OllamaModelsOutcome = Result<QStringList, AIError>;

// Asks the local Ollama server which models are pulled.
class OllamaModelsJob : public QObject
{
    Q_OBJECT

public:
    explicit OllamaModelsJob(const AIEndpoints& endpoints, QObject* parent = nullptr);

    void start();
    void cancel();

signals:
    void finished(const OllamaModelsOutcome& outcome);

private:
    enum class Step { idle, listing, done };

    void finish(const OllamaModelsOutcome& outcome);

    AIEndpoints m_endpoints;
    Http m_http;
    Step m_step = Step::idle;
};
